#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>

class MediaFiles;
class Player;

// Media due on air that has not loaded yet: a clip that came due, a cue that was started. Its file is asked about
// afresh, and one still waiting once its folder is found to have answered nothing for a second is named on the status
// line ("素材无响应 · name"), once, so that the operator knows why the picture before it stays up. A slow folder that
// answers is waited for without a word. Main thread.
class StalledStarts : public QObject
{
    Q_OBJECT
  public:
    struct StatusLine
    {
        std::function<QString()> read;
        std::function<void(const QString&)> write;
    };

    StalledStarts(MediaFiles& files, StatusLine statusLine, QObject* parent = nullptr);

    static QString text(const QString& name);

    // Watches what `waiting` tells of for as long as `owner` lives. Should it load after it was named, while the
    // status line still names it, the line says `onAir` again.
    void watch(QObject* owner, std::function<bool()> waiting, const QUrl& file, const QString& name,
               const QString& onAir);
    // Watches the player's current item while it loads.
    void watch(Player* player, const QString& name, const QString& onAir);
    // Nothing watched is due on air any more: another cue started, or the show stopped.
    void clear();
    // A press was refused because the file's folder gave no answer, and the status line says so: the press stays
    // refused, but once the folder answers again while the line still names the file, the line says that it answers.
    void refusedFor(const QUrl& file);
    static QString answersAgainText(const QString& name);

  private:
    struct Watched
    {
        QPointer<QObject> owner;
        std::function<bool()> waiting;
        QUrl file;
        QString name;
        QString onAir;
        bool named = false;
    };

    void check();
    void heard(const QUrl& file);

    MediaFiles& m_files;
    StatusLine m_status;
    QList<Watched> m_watched;
    QUrl m_refusedFor;
    QTimer m_check;
};
