#include "filequeue.h"

#include <condition_variable>
#include <deque>
#include <mutex>

struct FileQueue::State
{
    struct Entry
    {
        Job job;
        Done done;
    };

    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<Entry> entries;
    bool busy = false;
    bool stopping = false;
    // Where outcomes go; none once the queue is gone.
    FileQueue* owner = nullptr;
};

FileQueue::FileQueue(QObject* parent) : QObject(parent), m_state(std::make_shared<State>())
{
    m_state->owner = this;
    m_worker = std::thread([state = m_state] { run(state); });
}

FileQueue::~FileQueue()
{
    const bool finished = waitForIdle(kLastJobs);
    {
        std::lock_guard guard(m_state->lock);
        m_state->owner = nullptr;
        m_state->stopping = true;
    }
    m_state->wake.notify_all();
    if (finished)
        m_worker.join();
    else
        m_worker.detach();
}

void FileQueue::post(Job job, Done done)
{
    {
        std::lock_guard guard(m_state->lock);
        m_state->entries.push_back({std::move(job), std::move(done)});
    }
    m_state->wake.notify_one();
}

bool FileQueue::waitForIdle(std::chrono::milliseconds within)
{
    std::unique_lock guard(m_state->lock);
    return m_state->idle.wait_for(guard, within, [this] { return m_state->entries.empty() && !m_state->busy; });
}

void FileQueue::run(const std::shared_ptr<State>& state)
{
    std::unique_lock guard(state->lock);
    for (;;) {
        state->wake.wait(guard, [&] { return state->stopping || !state->entries.empty(); });
        if (state->entries.empty())
            return;
        State::Entry entry = std::move(state->entries.front());
        state->entries.pop_front();
        state->busy = true;
        guard.unlock();
        const std::optional<QString> error = entry.job();
        guard.lock();
        if (entry.done && state->owner)
            QMetaObject::invokeMethod(
                state->owner, [done = std::move(entry.done), error] { done(error); }, Qt::QueuedConnection);
        state->busy = false;
        if (state->entries.empty())
            state->idle.notify_all();
    }
}
