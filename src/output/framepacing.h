#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

// Which video frame a draw of an output shows. Each frame goes up at the first refresh at or after the host time it
// falls due, never before, so that outputs showing one player's frames change together and the picture keeps time
// with the sound, however early the frames arrived. A frame without a due time (a paused player's) shows at once.
class FramePacing
{
  public:
    using Time = std::chrono::steady_clock::time_point;
    using Due = std::optional<Time>;

    // Of frames in decoding order, the one a draw that reaches the screen at `shownAt` shows: the newest due by
    // then. None when every frame falls due later.
    static std::optional<std::size_t> frameAt(const std::vector<Due>& frames, Time shownAt);
    // When a draw taking `drawTime` must start for the first frame after the one shown to reach the screen as it
    // falls due; none when no later frame waits.
    static std::optional<Time> nextDrawAt(const std::vector<Due>& frames, std::optional<std::size_t> shown,
                                          std::chrono::nanoseconds drawTime);
};
