#pragma once

#include "mediafiles.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <functional>

// Work that needs the disk's answers about media files, run on the main thread once every file has answered or
// lies in a folder that stalled: nothing waits for the answers meanwhile. Work goes in the order it was given. The
// files of a large piece of work are asked a slice each turn of the event loop, and each round of answers is looked
// at from the first file still waiting: the main thread's cost grows with the answers, never with the files at once.
class AwaitedFiles : public QObject
{
    Q_OBJECT
  public:
    // known: an answer the disk gave before will do. fresh: each file is asked again, and its new answer is awaited.
    enum class Freshness { known, fresh };

    AwaitedFiles(MediaFiles& files, QObject* parent = nullptr);

    // Runs `then` at once when every file has its answer already.
    void await(const QList<QUrl>& urls, FileDepth depth, Freshness freshness, std::function<void()> then);
    // As above, and once the answers are in, `each` is given every file's place in the list, in order, a slice each
    // turn of the event loop, before `then` runs: work over thousands of answers. It gives and cancels no work.
    using Each = std::function<void(qsizetype)>;
    void await(const QList<QUrl>& urls, FileDepth depth, Freshness freshness, Each each, std::function<void()> then);
    void cancelAll() { m_waiting.clear(); }
    bool waiting() const { return !m_waiting.isEmpty(); }

  private:
    struct Work
    {
        QList<QUrl> urls;
        FileDepth depth;
        Freshness freshness;
        std::function<void()> then;
        // The files before this one have settled, counted since the folders last stalled and answered again: each
        // round of answers looks on from here, not over the whole list again.
        qsizetype settledUpTo = 0;
        quint64 revivals = 0;
        // Fresh work: the files asked again so far.
        qsizetype askedUpTo = 0;
        Each each;
        qsizetype doneUpTo = 0;
    };
    // Looks on through the work's files until the slice's time is spent; true when all have settled. `outOfTime`
    // says whether it stopped for the time alone.
    bool settled(Work& work, const QElapsedTimer& slice, bool* outOfTime = nullptr) const;
    void runSettled();
    // Asks the work's next files again, until the slice's time is spent; true when all are asked.
    bool askSlice(Work& work, const QElapsedTimer& slice);
    // Gives the work's next files to `each`, until the slice's time is spent; true when all are done.
    static bool eachSlice(Work& work, const QElapsedTimer& slice);
    void askWaiting();

    MediaFiles& m_files;
    QList<Work> m_waiting;
    QTimer m_asking;
};
