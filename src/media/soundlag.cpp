#include "soundlag.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace {

std::atomic<std::int64_t> lastNs{-1};

} // namespace

std::optional<std::chrono::nanoseconds> SoundLag::last()
{
    const std::int64_t ns = lastNs;
    return ns < 0 ? std::nullopt : std::optional(std::chrono::nanoseconds(ns));
}

void SoundLag::note(std::chrono::nanoseconds lag)
{
    lastNs = std::max<std::int64_t>(lag.count(), 0);
}

void SoundLag::forget()
{
    lastNs = -1;
}
