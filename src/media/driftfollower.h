#pragma once

#include "playbackonset.h"

#include <cstdint>
#include <optional>

// Keeps a sound sink with the host clock without cutting its start. A device plays nothing for a while after it
// starts, while the host clock goes on, so its clock cannot tell how the sound lies until it goes at the host's
// pace; a sink that took that while for drift would cut as much sound out of the first seconds to catch up. Here
// the lag the sound has once the device first plays at pace is the one it keeps (pictures wait for it): only drift
// from it is corrected, ten milliseconds or so at a time, and a later start (after a pause or a flush) that finds the
// sound elsewhere is brought back to it at once. A first start that finds the sound later (or earlier) than pictures
// wait for is brought back at once as well, to the lag the pictures kept meanwhile: a device that began to play a
// second late would otherwise stay a second behind them for the whole cue.
class DriftFollower
{
  public:
    // Drift past this is corrected: the sound then skips or repeats that much. A device's timing, read through a
    // sound server on a busy machine, wanders by a few milliseconds without drifting.
    static constexpr std::int64_t kToleranceNs = 10'000'000;
    // The most the sound may lag behind the host clock, or lead it, for pictures to wait for it (or run behind it):
    // a device's own latency. More is a device that began late (or a stalled one), and is not waited for.
    static constexpr std::int64_t kLongestLagNs = 250'000'000;
    static constexpr std::int64_t kLongestLeadNs = 50'000'000;

    // At each buffer the sink plays: the sink's time of the sound heard now, and how far that lies ahead of the host
    // clock (negative: behind), in nanoseconds; `startLead`, the lead pictures keep until the sound's own is known.
    // Returns how far to move the sound's time back (positive) or forward (negative) to keep its lead; zero for no
    // correction.
    std::int64_t correctionAt(std::int64_t soundTime, std::int64_t lead, std::int64_t startLead);
    // A new start, a flush or new caps: the sound is looked for again once the device plays.
    void restart();

    // Whether pictures wait for a sound leading the host clock by `lead` (negative: lagging).
    static bool waitedFor(std::int64_t lead) { return lead >= -kLongestLagNs && lead <= kLongestLeadNs; }

  private:
    PlaybackOnset m_playing;
    // The lead the sound had once the device first played, and whether this start found it.
    std::optional<std::int64_t> m_kept;
    bool m_keptHere = false;
    // The drift from that lead, averaged over the last few dozen buffers.
    std::int64_t m_drift = 0;
    struct Reading
    {
        std::int64_t host = 0;
        std::int64_t sound = 0;
    };
    // The reading at which the sound's time last moved.
    std::optional<Reading> m_moved;
};
