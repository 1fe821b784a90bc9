#include "framepacing.h"

std::optional<std::size_t> FramePacing::frameAt(const std::vector<Due>& frames, Time shownAt)
{
    for (std::size_t i = frames.size(); i-- > 0;)
        if (!frames[i] || *frames[i] <= shownAt)
            return i;
    return std::nullopt;
}

std::optional<FramePacing::Time> FramePacing::nextDrawAt(const std::vector<Due>& frames,
                                                         std::optional<std::size_t> shown,
                                                         std::chrono::nanoseconds drawTime)
{
    const std::size_t next = shown ? *shown + 1 : 0;
    if (next >= frames.size())
        return std::nullopt;
    // A frame without a due time is wanted at once: any time already past says so.
    if (!frames[next])
        return Time{};
    return *frames[next] - drawTime;
}
