#pragma once

#include "callpace.h"
#include "mediafile.h"

#include <QHash>

#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// How much is asked of a file, each depth taking in the ones before: its stamp, whether it can be read, and a look
// at its header.
enum class FileDepth { stamp, readable, header };

// What the disk said of one media file, as deep as it was asked.
struct FileAnswer
{
    FileDepth depth = FileDepth::stamp;
    FileStamp stamp;
    bool readable = false;
    // Why a readable file cannot be shown or played, when its header was looked at.
    std::optional<QString> unusable;

    bool operator==(const FileAnswer&) const = default;
};

// Asks the disk about media files on threads of their own, a few a folder with questions waiting, as many as a slow
// share answers well at once: a folder that stops answering (a stalled network share) holds its own threads and the
// questions behind them, never the caller nor the other folders. A question already waiting for the same file
// takes the new caller's answer along. Urgent questions (what a GO needs now) go ahead of the folder's background
// questions (everything asked ahead), and a folder whose calls are slow gets more threads for them. The caller only
// hands its questions over: a thread of their own sorts them into the folders' lanes and starts the folders' threads,
// so that asking never waits on the lanes nor starts a thread.
class FileQuestions
{
  public:
    using Clock = std::chrono::steady_clock;
    using IsReadable = std::function<bool(const QUrl&)>;
    using Answered = std::function<void(const FileAnswer&)>;
    enum class Urgency { background, urgent };

    explicit FileQuestions(IsReadable isReadable);
    // Returns at once; threads stuck on a stalled folder end when it answers.
    ~FileQuestions();

    // The folder whose threads answer for the file: questions about one folder wait behind each other.
    static QString folderOf(const QUrl& url);

    // answered runs on the folder's thread, or never while the folder does not answer. A header is looked at again
    // only when `previous` did not look at it under the same stamp.
    void ask(const QUrl& url, FileDepth depth, std::optional<FileAnswer> previous, Answered answered,
             Urgency urgency = Urgency::background);
    // How quickly the folder's calls on the file system end, as its threads have found them, and when one last
    // ended. A folder that answers every call, however slowly, is heard from all the time.
    const CallPace& pace(const QString& folder);
    // A question about the file still waiting behind the folder's background questions goes ahead of them.
    void hurry(const QUrl& url);

  private:
    static constexpr int kThreadsPerFolder = 4;
    // Threads that take only urgent questions, beside those, for a folder whose calls are slow.
    static constexpr int kUrgentThreadsPerFolder = 12;
    struct Lanes;
    std::shared_ptr<Lanes> m_lanes;
    // Main thread only: by folder, kept for as long as the questions' owner lives.
    QHash<QString, std::shared_ptr<CallPace>> m_paces;
};
