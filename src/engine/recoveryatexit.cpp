#include "recoveryatexit.h"

#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

namespace {
struct Registry
{
    std::mutex lock;
    std::vector<std::pair<const void*, RecoveryAtExit::Flush>> flushes;
};

void flushAtExit()
{
    RecoveryAtExit::flushAll();
}

// The hook is registered after the registry exists, so exit() runs it before the registry is destroyed.
Registry& registry()
{
    static Registry registry;
    static const bool hooked = std::atexit(flushAtExit) == 0;
    (void)hooked;
    return registry;
}
} // namespace

void RecoveryAtExit::watch(const void* owner, Flush flush)
{
    Registry& watched = registry();
    std::lock_guard guard(watched.lock);
    watched.flushes.emplace_back(owner, std::move(flush));
}

void RecoveryAtExit::unwatch(const void* owner)
{
    Registry& watched = registry();
    std::lock_guard guard(watched.lock);
    std::erase_if(watched.flushes, [owner](const auto& entry) { return entry.first == owner; });
}

void RecoveryAtExit::flushAll()
{
    Registry& watched = registry();
    std::lock_guard guard(watched.lock);
    for (const auto& entry : watched.flushes)
        entry.second();
}
