#include "asidethreads.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

struct Count
{
    std::mutex lock;
    std::condition_variable none;
    int running = 0;
};

// Never destroyed: threads may still end while the process tears its statics down.
Count& count()
{
    static Count* shared = new Count;
    return *shared;
}

} // namespace

AsideThreads::Running::Running()
{
    std::lock_guard guard(count().lock);
    ++count().running;
}

AsideThreads::Running::~Running()
{
    std::lock_guard guard(count().lock);
    if (--count().running == 0)
        count().none.notify_all();
}

bool AsideThreads::waitForAll(int milliseconds)
{
    std::unique_lock guard(count().lock);
    return count().none.wait_for(guard, std::chrono::milliseconds(milliseconds), [] { return count().running == 0; });
}
