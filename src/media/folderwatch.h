#pragma once

#include "lookreplies.h"
#include "mediafile.h"

#include <QUrl>
#include <chrono>
#include <functional>

// Looks at an item's file again and again while the item waits on it (a load, a playing item that makes no
// progress), one look at a time, each on a thread of its own. A single look tells only how the folder answers now; a
// look the folder kept waiting tells that it was silent meanwhile, so that what the item did not do then is put down
// to the folder, not to the item, even when the folder answers again just as the item's time runs out.
class FolderWatch
{
  public:
    // A folder that kept a look waiting this long was silent, as a folder with a question on the way counts as stalled
    // after a second elsewhere; a busy disk answers sooner.
    static constexpr std::chrono::seconds kSilentAfter{1};

    struct Answer
    {
        FileStamp stamp;
        // The folder kept the look waiting: it was silent until just now.
        bool wasSilent = false;
    };

    // Each answer is handed to `answered` on the receiver's thread.
    FolderWatch(QObject* receiver, std::function<void(const Answer& answer)> answered);

    // Watches the file of a new item (or none): the answers of looks on their way belong to the one before and are
    // dropped.
    void watch(const QUrl& file);
    // Looks at the file unless a look is on its way, whose answer then serves. What is not a local file has no folder
    // to wait for: it is answered at once.
    void look();

  private:
    LookReplies m_replies;
    std::function<void(const Answer& answer)> m_answered;
    QUrl m_file;
    quint64 m_watched = 0;
    bool m_onItsWay = false;
};
