#pragma once

#include "awaitedfiles.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class MediaFiles;

// Edits of the show that wait for the disk's answers about their files (relink, the default picture, an import, a
// file put on a lane), kept in the order they were asked. Each is made in its turn, once its answers are in, as it
// would have been made at its moment: on the show it was asked for, and only while the edit it was asked after is
// still part of that show. Another show taking the place of the open one drops them all; an undo or redo pressed
// while edits wait takes back the newest of them, which is then never made. The main thread never waits.
class WaitingEdits : public QObject
{
    Q_OBJECT
  public:
    using Id = quint64;
    struct Hooks
    {
        // The show in place (Engine::showNumber).
        std::function<quint64()> show;
        // Names the newest undo step now, and tells whether one so named is still in the show.
        std::function<quint64()> lastEdit;
        std::function<bool(quint64)> editInPlace;
        std::function<void(const QString&)> say;
    };

    WaitingEdits(MediaFiles& files, Hooks hooks, QObject* parent = nullptr);
    ~WaitingEdits() override;

    // Begins an edit named `name` ("重新定位缺失素材"), for the show in place and after its newest edit; it goes on
    // by await() or hold().
    Id ask(const QString& name);
    // The edit goes on with `then` in its turn, once the disk has answered about these files: at once when nothing
    // waits before it and the answers are in. Also for an edit that, going on, needs more answers.
    void await(Id id, const QList<QUrl>& urls, FileDepth depth, AwaitedFiles::Freshness freshness,
               std::function<void()> then);
    // As above, with `each` given every file's place in the list once the answers are in, a slice each turn (work
    // over thousands of answers), before the edit goes on in its turn.
    void await(Id id, const QList<QUrl>& urls, FileDepth depth, AwaitedFiles::Freshness freshness,
               AwaitedFiles::Each each, std::function<void()> then);
    // The edit waits for something other than the disk's answers (a look at a picture) until resume().
    void hold(Id id);
    void resume(Id id, std::function<void()> then);

    // Whether the edit has been neither made nor dropped.
    bool waits(Id id) const;
    bool waiting() const { return !m_edits.isEmpty(); }
    // Asked by the edit going on, as it is about to be made: whether it lands, on the show it was asked for and with
    // the edit it was asked after still in place. When not, it is made nowhere.
    bool lands(Id id) const;

    // Another show takes the place of the open one: every waiting edit is dropped. What to add to the status line
    // to say so; empty when none waited.
    QString dropAll();
    // An undo or redo: the newest waiting edit is taken back and says so. False when none waits.
    bool takeBackNewest();

  signals:
    // An edit began or stopped waiting.
    void changed();

  private:
    struct Edit;
    Edit* find(Id id) const;
    void process();
    void remove(Id id);

    MediaFiles& m_files;
    Hooks m_hooks;
    QList<std::shared_ptr<Edit>> m_edits;
    Id m_nextId = 1;
    // An edit is going on: what it asks of this comes first, in its turn.
    bool m_running = false;
};
