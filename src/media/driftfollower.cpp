#include "driftfollower.h"

#include <cstdlib>

namespace {

// Buffers in the running average: a device's timing jitters by a millisecond or two from one to the next.
constexpr std::int64_t kAveraged = 32;

} // namespace

void DriftFollower::restart()
{
    m_playing = PlaybackOnset();
    m_drift = 0;
}

std::int64_t DriftFollower::correctionAt(std::int64_t soundTime, std::int64_t lead)
{
    if (!m_playing.onset()) {
        if (!m_playing.take(soundTime - lead, soundTime))
            return 0;
        if (!m_kept) {
            m_kept = lead;
            return 0;
        }
        // Where a later start left the sound is no drift: it goes back to its lag in one step.
        const std::int64_t off = lead - *m_kept;
        return std::abs(off) > kToleranceNs ? off : 0;
    }
    m_drift = ((kAveraged - 1) * m_drift + (lead - *m_kept)) / kAveraged;
    if (std::abs(m_drift) <= kToleranceNs)
        return 0;
    const std::int64_t correction = m_drift;
    // The next buffers show the sound moved by it.
    m_drift = 0;
    return correction;
}
