#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
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

    // How long going away waits for the jobs already handed over.
    static constexpr std::chrono::seconds kLastJobs{2};

    explicit FileQueue(QObject* parent = nullptr);
    // Finishes the posted jobs first, so nothing already handed over is lost, unless a folder keeps the thread from
    // them for longer than kLastJobs: then the thread is left to finish them alone and nobody is told.
    ~FileQueue() override;

    void post(Job job, Done done = nullptr);
    // Waits until every job posted so far has run, or the time is up; false then.
    bool waitForIdle(std::chrono::milliseconds within);

  private:
    struct State;
    static void run(const std::shared_ptr<State>& state);

    std::shared_ptr<State> m_state;
    std::thread m_worker;
};
