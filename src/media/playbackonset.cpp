#include "playbackonset.h"

namespace {

// Readings closer than this on the host clock are too close to tell a pace.
constexpr std::int64_t kShortestStep = 1'000'000;
constexpr int kPacedSteps = 2;

// Within half and twice the host's pace: playing, neither standing still nor jumping.
bool atHostPace(std::int64_t host, std::int64_t sound)
{
    return 2 * sound >= host && sound <= 2 * host;
}

} // namespace

std::optional<std::int64_t> PlaybackOnset::take(std::int64_t hostTime, std::int64_t soundTime)
{
    if (m_onset)
        return m_onset;
    if (!m_last) {
        m_last = Reading{hostTime, soundTime};
        return std::nullopt;
    }
    const std::int64_t hostStep = hostTime - m_last->host;
    if (hostStep < kShortestStep)
        return std::nullopt;
    if (atHostPace(hostStep, soundTime - m_last->sound)) {
        if (m_pacedSteps++ == 0)
            m_pacedFrom = m_last;
    } else {
        m_pacedSteps = 0;
    }
    m_last = Reading{hostTime, soundTime};
    if (m_pacedSteps < kPacedSteps)
        return std::nullopt;
    // The device played what it has played since at the host's pace; it may have begun within the first step.
    m_onset = hostTime - (soundTime - m_pacedFrom->sound);
    return m_onset;
}
