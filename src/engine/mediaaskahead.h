#pragma once

#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <functional>

class MediaFiles;

// Asks the disk about the show's media before anyone needs the answers: each file new to the show soon after the
// open or edit that brought it, and the files of the cue that plays next again whenever that changes and, by their
// stamp, once their answers have aged (`MediaFiles::refreshAged`), so that GO finds answers ready and recent, and a
// deleted file or a share that stopped answering shows before GO does. The next cue's files are looked over every
// two seconds a slice a turn, and a slow share's questions come to rest between rounds.
class MediaAskAhead : public QObject
{
    Q_OBJECT
  public:
    using Files = std::function<QList<QUrl>()>;

    MediaAskAhead(MediaFiles& files, Files showFiles, Files nextCueFiles, QObject* parent = nullptr);

    // Once per turn of the event loop, however many edits came in it.
    void showChanged();

  private:
    void askAhead();
    void askSlice();
    void askAgainSlice();

    MediaFiles& m_files;
    Files m_showFiles;
    Files m_nextCueFiles;
    QList<QUrl> m_nextAsked;
    // The show's files as the last change left them, asked from `m_askedUpTo` on.
    QList<QUrl> m_toAsk;
    qsizetype m_askedUpTo = 0;
    bool m_changed = false;
    QTimer m_soon;
    QTimer m_again;
    // The next cue's files looked over again, from `m_againUpTo` on.
    QList<QUrl> m_againFiles;
    qsizetype m_againUpTo = 0;
    QTimer m_againTurns;
};
