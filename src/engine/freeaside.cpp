#include "freeaside.h"

#include "asidethreads.h"
#include "belowshowclock.h"

#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Shows waiting to be freed, and whether a thread is freeing them. Never destroyed: the thread may still run while
// the process tears its statics down.
struct Freeing
{
    std::mutex lock;
    std::vector<Show> shows;
    bool threadRunning = false;
};

Freeing& freeing()
{
    static Freeing* shared = new Freeing;
    return *shared;
}

void freeUntilNoneWaits()
{
    runBelowShowClock();
    Freeing& state = freeing();
    std::unique_lock guard(state.lock);
    while (!state.shows.empty()) {
        std::vector<Show> taken;
        taken.swap(state.shows);
        guard.unlock();
        taken.clear();
        guard.lock();
    }
    state.threadRunning = false;
}

} // namespace

void freeAside(Show&& show)
{
    Freeing& state = freeing();
    std::lock_guard guard(state.lock);
    state.shows.push_back(std::move(show));
    if (state.threadRunning)
        return;
    // Counted from now, so that a process ending at once still gives the thread its moment.
    auto running = std::make_unique<AsideThreads::Running>();
    try {
        std::thread([running = std::move(running)] { freeUntilNoneWaits(); }).detach();
        state.threadRunning = true;
    } catch (const std::system_error&) {
        // No thread to be had: the show goes with the next one that is.
    }
}
