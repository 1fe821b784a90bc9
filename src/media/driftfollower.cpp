#include "driftfollower.h"

#include <cstdlib>
#include <utility>

namespace {

// Buffers in the running average: a device's timing jitters by a millisecond or two from one to the next.
constexpr std::int64_t kAveraged = 32;
// A sound time read unchanged for this long on the host clock: the device's clock stands still. Some sinks' clocks
// move a segment of 10 ms at a time.
constexpr std::int64_t kStandingStillNs = 25'000'000;

} // namespace

void DriftFollower::restart()
{
    m_playing = PlaybackOnset();
    m_drift = 0;
    m_moved.reset();
    m_keptHere = false;
}

std::int64_t DriftFollower::correctionAt(std::int64_t soundTime, std::int64_t lead, std::int64_t startLead)
{
    const Reading reading{soundTime - lead, soundTime};
    if (!m_moved || m_moved->sound != soundTime)
        m_moved = reading;
    if (!m_playing.onset()) {
        if (!m_playing.take(soundTime - lead, soundTime))
            return 0;
        if (!m_kept) {
            // A device's own latency is kept, and pictures wait for it; a late beginning goes where they are.
            m_kept = waitedFor(lead) ? lead : startLead;
            m_keptHere = true;
            return lead - *m_kept;
        }
        // Where a later start left the sound is no drift: it goes back to its lag in one step.
        const std::int64_t off = lead - *m_kept;
        return std::abs(off) > kToleranceNs ? off : 0;
    }
    // A sound server's clock runs by itself for a while as its stream starts, whether or not the device plays, and
    // then stands still until the device catches up: the sound is not where the clock said, and is looked for again,
    // with a lag taken from that clock taken back.
    if (reading.host - m_moved->host >= kStandingStillNs) {
        if (std::exchange(m_keptHere, false))
            m_kept.reset();
        m_playing = PlaybackOnset();
        m_drift = 0;
        return 0;
    }
    m_drift = ((kAveraged - 1) * m_drift + (lead - *m_kept)) / kAveraged;
    if (std::abs(m_drift) <= kToleranceNs)
        return 0;
    const std::int64_t correction = m_drift;
    // The next buffers show the sound moved by it.
    m_drift = 0;
    return correction;
}
