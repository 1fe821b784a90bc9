#pragma once

#include <functional>

// Recovery copies still to be written when the process ends through exit() instead of leaving its event loop: Qt's
// X11 connection calls exit() when the display goes away, from whichever thread noticed. Each watched flush runs
// then, on that thread, before anything static is torn down.
namespace RecoveryAtExit {
using Flush = std::function<void()>;

// The flush must be safe on any thread. owner identifies it for unwatch.
void watch(const void* owner, Flush flush);
// Waits for a flush of this owner that is running now.
void unwatch(const void* owner);
// What the exit hook runs; for tests.
void flushAll();
} // namespace RecoveryAtExit
