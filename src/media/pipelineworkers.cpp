#include "pipelineworkers.h"

#include "belowshowclock.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace {

// Two screens' pipelines made at once while the old cue's are stopped, with one to spare.
constexpr int kThreads = 4;

// Plain threads rather than QThreads: a QThread brings an event dispatcher, and with it a descriptor, that these
// never use.
class Workers
{
  public:
    void run(std::function<void()> work)
    {
        std::scoped_lock hold(m_lock);
        m_queue.push_back(std::move(work));
        if (int(m_queue.size()) > m_waiting && m_threads < kThreads) {
            ++m_threads;
            std::thread([this] { loop(); }).detach();
        }
        m_wake.notify_one();
    }

    bool waitForAll(int timeoutMs)
    {
        std::unique_lock hold(m_lock);
        return m_done.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                               [this] { return m_queue.empty() && m_busy == 0; });
    }

  private:
    void loop()
    {
        pthread_setname_np(pthread_self(), "lumo-pipelines");
        runBelowShowClock();
        std::unique_lock hold(m_lock);
        for (;;) {
            ++m_waiting;
            m_wake.wait(hold, [this] { return !m_queue.empty(); });
            --m_waiting;
            std::function<void()> work = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_busy;
            hold.unlock();
            work();
            // What the work held goes before it counts as done.
            work = nullptr;
            hold.lock();
            --m_busy;
            if (m_queue.empty() && m_busy == 0)
                m_done.notify_all();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<std::function<void()>> m_queue;
    int m_threads = 0;
    int m_waiting = 0;
    int m_busy = 0;
};

Workers& workers()
{
    // Never destroyed: the threads wait on it for the rest of the process, and quitting waits with a deadline for
    // the work, not for the threads.
    static Workers* made = new Workers;
    return *made;
}

} // namespace

namespace PipelineWorkers {

void run(std::function<void()> work)
{
    workers().run(std::move(work));
}

bool waitForAll(int timeoutMs)
{
    return workers().waitForAll(timeoutMs);
}

} // namespace PipelineWorkers
