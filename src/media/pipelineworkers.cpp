#include "pipelineworkers.h"

#include "belowshowclock.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Two screens' pipelines made at once while the old cue's are stopped, with one to spare.
constexpr int kThreads = 4;
// Work that has waited this long while every thread is busy gets a thread of its own: a pipeline whose file lies in a
// folder that stopped answering holds its thread (a stop, a seek or a query waits for its streaming threads) for as
// long as the folder is silent, and the other pipelines' work must not wait behind it.
constexpr auto kPatience = 100ms;
constexpr int kMostThreads = 64;
// A thread beyond the usual number that has had nothing to do for this long ends.
constexpr auto kSpareIdle = 10s;

// Plain threads rather than QThreads: a QThread brings an event dispatcher, and with it a descriptor, that these
// never use.
class Workers
{
  public:
    void run(std::function<void()> work)
    {
        std::scoped_lock hold(m_lock);
        m_queue.push_back({std::move(work), Clock::now()});
        if (int(m_queue.size()) > m_waiting && m_threads < kThreads)
            startThread();
        m_wake.notify_one();
        if (m_waiting == 0) {
            watchTheQueue();
            m_queued.notify_all();
        }
    }

    bool waitForAll(int timeoutMs)
    {
        std::unique_lock hold(m_lock);
        return m_done.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                               [this] { return m_queue.empty() && m_busy == 0; });
    }

  private:
    struct Queued
    {
        std::function<void()> work;
        Clock::time_point since;
    };

    // With the lock held.
    void startThread()
    {
        ++m_threads;
        std::thread([this] { loop(); }).detach();
    }

    // With the lock held: a thread that starts one more worker whenever work has waited too long.
    void watchTheQueue()
    {
        if (m_watching)
            return;
        m_watching = true;
        std::thread([this] { watch(); }).detach();
    }

    void watch()
    {
        pthread_setname_np(pthread_self(), "lumo-pipelines");
        runBelowShowClock();
        std::unique_lock hold(m_lock);
        for (;;) {
            m_queued.wait(hold, [this] { return !m_queue.empty() && m_waiting == 0; });
            const Clock::time_point due = m_queue.front().since + kPatience;
            if (Clock::now() < due) {
                m_queued.wait_until(hold, due);
                continue;
            }
            if (m_threads < kMostThreads)
                startThread();
            // The new thread takes the work; the next check waits until it has.
            m_queued.wait_for(hold, kPatience);
        }
    }

    void loop()
    {
        pthread_setname_np(pthread_self(), "lumo-pipelines");
        runBelowShowClock();
        std::unique_lock hold(m_lock);
        for (;;) {
            ++m_waiting;
            const bool woken = m_wake.wait_for(hold, kSpareIdle, [this] { return !m_queue.empty(); });
            --m_waiting;
            if (!woken && m_threads > kThreads) {
                --m_threads;
                return;
            }
            if (!woken)
                continue;
            std::function<void()> work = std::move(m_queue.front().work);
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
            if (!m_queue.empty())
                m_queued.notify_all();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    // Tells the watch that work waits with no thread free.
    std::condition_variable m_queued;
    std::deque<Queued> m_queue;
    int m_threads = 0;
    int m_waiting = 0;
    int m_busy = 0;
    bool m_watching = false;
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
