#pragma once

#include <QObject>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// File work done one job at a time, in the order posted, on a thread of its own so that the main thread
// never waits for the disk. Each job's outcome (an error text or nothing) comes back on the main thread.
class FileQueue : public QObject
{
    Q_OBJECT
  public:
    using Job = std::function<std::optional<QString>()>;
    using Done = std::function<void(const std::optional<QString>& error)>;

    explicit FileQueue(QObject* parent = nullptr);
    // Finishes every posted job before returning, so nothing already handed over is lost.
    ~FileQueue() override;

    void post(Job job, Done done = nullptr);
    // Blocks until every job posted so far has run.
    void waitForIdle();

  private:
    struct Entry
    {
        Job job;
        Done done;
    };

    void run();

    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<Entry> entries;
    bool busy = false;
    bool stopping = false;
    std::thread worker;
};
