#pragma once

#include <cstdint>
#include <optional>

// Tells when a sound device began to play, from readings of its clock against the host clock. The device's clock
// stands still from a start until the device plays what it was given (and may jump as the sink sets it), then goes
// at the host's pace.
class PlaybackOnset
{
  public:
    // Takes a reading (nanoseconds on either clock). Once two steps in a row went at the host's pace, returns the host
    // time the device began to play, and from then on with every reading.
    std::optional<std::int64_t> take(std::int64_t hostTime, std::int64_t soundTime);
    std::optional<std::int64_t> onset() const { return m_onset; }

  private:
    struct Reading
    {
        std::int64_t host = 0;
        std::int64_t sound = 0;
    };
    std::optional<Reading> m_last;
    // The reading before the first step at the host's pace in a row.
    std::optional<Reading> m_pacedFrom;
    int m_pacedSteps = 0;
    std::optional<std::int64_t> m_onset;
};
