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
Count& waited()
{
    static Count* shared = new Count;
    return *shared;
}

Count& unwaited()
{
    static Count* shared = new Count;
    return *shared;
}

void begin(Count& count)
{
    std::lock_guard guard(count.lock);
    ++count.running;
}

void end(Count& count)
{
    std::lock_guard guard(count.lock);
    if (--count.running == 0)
        count.none.notify_all();
}

bool waitForNone(Count& count, int milliseconds)
{
    std::unique_lock guard(count.lock);
    return count.none.wait_for(guard, std::chrono::milliseconds(milliseconds), [&] { return count.running == 0; });
}

} // namespace

AsideThreads::Running::Running()
{
    begin(waited());
}

AsideThreads::Running::~Running()
{
    end(waited());
}

AsideThreads::Unwaited::Unwaited()
{
    begin(unwaited());
}

AsideThreads::Unwaited::~Unwaited()
{
    end(unwaited());
}

bool AsideThreads::waitForAll(int milliseconds)
{
    return waitForNone(waited(), milliseconds);
}

bool AsideThreads::waitForUnwaited(int milliseconds)
{
    return waitForNone(unwaited(), milliseconds);
}
