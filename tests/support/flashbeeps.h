#pragma once

#include <QtGlobal>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Picture against sound for a clip that flashes and beeps together once a second (MediaFixtures::flashBeepVideo):
// the flashes read back from the X server at a window's centre, the beeps found in a recording, both as onsets on
// the steady clock.
namespace FlashBeeps {

using Time = std::chrono::steady_clock::time_point;

// Reads a 16 x 16 area at the centre of an X window (of $DISPLAY) over and over on a thread of its own, with its own
// connection, and notes when it turns white.
class FlashWatch
{
  public:
    // None when there is no X display or no such window.
    static std::unique_ptr<FlashWatch> start(unsigned long window);
    ~FlashWatch();
    // The onsets seen so far; reading goes on.
    std::vector<Time> onsets() const;
    std::vector<Time> stop();

  private:
    FlashWatch() = default;
    struct State;
    std::shared_ptr<State> m_state;
};

// Where the sound rises out of at least 200 ms of quiet; `playedAt` tells when a sample was played.
std::vector<Time> beepOnsets(const std::vector<qint16>& samples, const std::function<Time(std::size_t)>& playedAt,
                             int rate);

// What a GO to the clip gave, from its first flash on.
struct Start
{
    // For each flash from the first, beep onset minus flash onset in ms (positive: sound late) of the nearest beep;
    // none where no beep is within half a second.
    std::vector<std::optional<double>> offsets;
    // Beeps heard from 100 ms before the first flash to 500 ms after the last.
    int beeps = 0;
    // Ms between each beep and the next in that span.
    std::vector<double> beepIntervals;
};
Start compare(const std::vector<Time>& flashes, const std::vector<Time>& beeps);

} // namespace FlashBeeps
