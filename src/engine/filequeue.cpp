#include "filequeue.h"

FileQueue::FileQueue(QObject* parent) : QObject(parent), worker([this] { run(); }) {}

FileQueue::~FileQueue()
{
    {
        std::lock_guard guard(lock);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
}

void FileQueue::post(Job job, Done done)
{
    {
        std::lock_guard guard(lock);
        entries.push_back({std::move(job), std::move(done)});
    }
    wake.notify_one();
}

void FileQueue::waitForIdle()
{
    std::unique_lock guard(lock);
    idle.wait(guard, [this] { return entries.empty() && !busy; });
}

void FileQueue::run()
{
    std::unique_lock guard(lock);
    for (;;) {
        wake.wait(guard, [this] { return stopping || !entries.empty(); });
        if (entries.empty())
            return;
        Entry entry = std::move(entries.front());
        entries.pop_front();
        busy = true;
        guard.unlock();
        const std::optional<QString> error = entry.job();
        if (entry.done)
            QMetaObject::invokeMethod(
                this, [done = std::move(entry.done), error] { done(error); }, Qt::QueuedConnection);
        guard.lock();
        busy = false;
        if (entries.empty())
            idle.notify_all();
    }
}
