#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

// Which video frame an output's refresh shows. Each frame goes up at the refresh nearest the host time it falls due,
// so that outputs showing one player's frames change together and the picture keeps time with the sound, however
// early the frames arrived. A frame without a due time (a paused player's) shows at once.
class FramePacing
{
  public:
    using Time = std::chrono::steady_clock::time_point;
    using Due = std::optional<Time>;

    // Of frames in decoding order, the one a refresh that reaches the screen at `refresh` shows: the newest due at
    // most half a refresh period after it. None when every frame falls due later.
    static std::optional<std::size_t> frameAt(const std::vector<Due>& frames, Time refresh,
                                              std::chrono::nanoseconds period);
    // When a draw taking `drawTime` must start for the first frame after the one shown to go up at its refresh;
    // none when no later frame waits.
    static std::optional<Time> nextDrawAt(const std::vector<Due>& frames, std::optional<std::size_t> shown,
                                          std::chrono::nanoseconds period, std::chrono::nanoseconds drawTime);
};
