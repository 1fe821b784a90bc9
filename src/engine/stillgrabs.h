#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

// Video stills grabbed off the main thread. Each file has a decoder of its own, which stays open between grabs so
// that scrubbing through a file opens it once; a file's grabs run in turn on a thread of its own, and files run side
// by side. A grab held by a folder that stopped answering so holds later grabs of its own file only, never another
// file's, whichever screen asks. Nothing here is ever waited for: a grab still running when its owner goes ends on
// its thread, answers nobody and closes its decoder there.
class StillGrabs
{
  public:
    using Answered = std::function<void(const std::optional<QImage>&)>;

    // Answers are handed to the receiver's thread while it lives.
    StillGrabs(QObject* receiver, QSize maxSize);
    ~StillGrabs();
    StillGrabs(const StillGrabs&) = delete;
    StillGrabs& operator=(const StillGrabs&) = delete;

    // Starts a round of grabs: those of earlier rounds not yet begun are dropped unanswered.
    void startRound(quint64 round);
    // Grabs the file's frame at the second for the current round; the same frame asked twice is grabbed once.
    void grab(const QUrl& file, double seconds, Answered answered);
    // Closes, aside, the decoders of the files this round has not asked for, or of all files; a decoder in use is
    // closed by its grab once it is done and unwanted.
    void closeUnasked();
    void closeIdle();
    // A grab still looks at a video, for a still wanted or not.
    bool grabbing() const;

  private:
    struct Files;
    std::shared_ptr<Files> m_files;
};
