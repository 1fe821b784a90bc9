#include "cuecountdown.h"

#include "clock.h"
#include "delayedtask.h"

#include <cmath>

using namespace std::chrono_literals;

CueCountdown::CueCountdown(std::shared_ptr<Clock> clock, Start start, QObject* parent)
    : QObject(parent), m_clock(std::move(clock)), m_start(std::move(start)), m_task(new DelayedTask(0ms, this))
{
}

void CueCountdown::begin(const Cue& cue, double seconds, std::optional<RemotePlaybackMode> remoteMode)
{
    m_cue = cue.id;
    m_remoteMode = remoteMode;
    schedule(cue, seconds);
}

void CueCountdown::cancel()
{
    m_task->cancel();
    m_cue.reset();
    m_remoteMode.reset();
    m_remaining = 0;
}

void CueCountdown::hold()
{
    m_remaining = std::max(m_deadline - m_clock->uptime(), 0.0);
    m_task->cancel();
}

void CueCountdown::resume(const Cue& cue)
{
    schedule(cue, m_remaining);
}

// The countdown runs on a timer owned by the engine, so it ends with the engine.
void CueCountdown::schedule(const Cue& cue, double seconds)
{
    m_deadline = m_clock->uptime() + seconds;
    m_name = cue.name;
    const std::optional<RemotePlaybackMode> mode = m_remoteMode;
    const auto delay = std::chrono::milliseconds(std::llround(seconds * 1000));
    m_task->schedule(
        [this, cue, mode] {
            if (m_cue != cue.id)
                return;
            cancel();
            m_start(cue, mode);
        },
        delay);
}
