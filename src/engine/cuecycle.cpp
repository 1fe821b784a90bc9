#include "cuecycle.h"

#include "clock.h"

#include <algorithm>
#include <cmath>

using namespace std::chrono_literals;

// Looks at the clock again at least this often, so that a pause or a jump of the clock is seen soon.
static constexpr double kLongestWait = 0.1;
static constexpr double kShortestWait = 0.01;

CueCycle::CueCycle(std::shared_ptr<Clock> clock, std::function<bool()> isPaused, QObject* parent)
    : QObject(parent), m_clock(std::move(clock)), m_isPaused(std::move(isPaused))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CueCycle::check);
}

void CueCycle::markStart()
{
    cancel();
    m_startedAt = m_clock->uptime();
    m_pauseStarted.reset();
}

void CueCycle::pause()
{
    m_pauseStarted = m_clock->uptime();
}

void CueCycle::resume()
{
    if (!m_pauseStarted)
        return;
    m_startedAt += m_clock->uptime() - *m_pauseStarted;
    m_pauseStarted.reset();
}

void CueCycle::whenShownLongEnough(std::function<void()> work)
{
    m_work = std::move(work);
    m_timer.start(0ms);
}

void CueCycle::cancel()
{
    m_timer.stop();
    m_work = nullptr;
}

void CueCycle::check()
{
    const double remaining = m_startedAt - m_clock->uptime() + kShortestSeconds;
    const bool paused = m_isPaused();
    if (paused || remaining > 0) {
        const double wait = paused ? kLongestWait : std::clamp(remaining, kShortestWait, kLongestWait);
        m_timer.start(std::chrono::milliseconds(std::llround(wait * 1000)));
        return;
    }
    if (auto work = std::exchange(m_work, nullptr))
        work();
}
