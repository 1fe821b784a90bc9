#pragma once

#include "asidethreads.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

// A look at the disk (a stat, a header) on a thread of its own, which a folder that stops answering (a stalled
// network share) holds for as long as it does not answer, instead of the thread that asked.

// Long enough for a busy local disk, short enough that an operator does not feel it.
inline constexpr std::chrono::milliseconds kLookDeadline{150};

// Runs the look and hands its result to `answered` on the look's thread; the caller does not wait. False when no
// thread could be started: then nothing is answered.
template <typename Result> bool lookAside(std::function<Result()> look, std::function<void(Result)> answered)
{
    try {
        // Counted from here, not from when the thread first runs. Its answer is nobody's once the program ends, and a
        // share that stopped answering may hold it for good: the end does not wait for it.
        auto running = std::make_shared<AsideThreads::Unwaited>();
        std::thread([look = std::move(look), answered = std::move(answered), running = std::move(running)]() mutable {
            answered(look());
            running.reset();
        }).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

// Runs the look and waits at most `within` for its result; none when it has not come by then. Never on the main
// thread, which waits for no look: it asks with lookAside (or LookReplies) and acts when the answer comes.
template <typename Result>
std::optional<Result> lookWithin(std::function<Result()> look, std::chrono::milliseconds within = kLookDeadline)
{
    struct Shared
    {
        std::mutex lock;
        std::condition_variable done;
        std::optional<Result> result;
    };
    auto shared = std::make_shared<Shared>();
    const bool started = lookAside<Result>(std::move(look), [shared](Result result) {
        std::lock_guard guard(shared->lock);
        shared->result = std::move(result);
        shared->done.notify_all();
    });
    if (!started)
        return std::nullopt;
    std::unique_lock guard(shared->lock);
    shared->done.wait_for(guard, within, [&] { return shared->result.has_value(); });
    return shared->result;
}
