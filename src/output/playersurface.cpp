#include "playersurface.h"

#include "player.h"

using namespace std::chrono_literals;

PlayerSurface::PlayerSurface(QObject* parent) : VideoSurface(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(16ms);
    connect(&m_timer, &QTimer::timeout, this, &PlayerSurface::poll);
}

void PlayerSurface::show(Player* player)
{
    if (player && player == m_pending)
        return;
    m_pending.clear();
    if (player == m_displayed)
        return;
    if (!player) {
        m_displayed.clear();
        m_serial.reset();
        setImage({});
        return;
    }
    m_pending = player;
    poll();
    startIfNeeded();
}

void PlayerSurface::setActive(bool active)
{
    m_active = active;
    if (!active) {
        m_timer.stop();
        return;
    }
    poll();
    startIfNeeded();
}

void PlayerSurface::startIfNeeded()
{
    if (m_active && (m_displayed || m_pending) && !m_timer.isActive())
        m_timer.start();
}

void PlayerSurface::poll()
{
    if (m_pending && m_pending->currentFrame()) {
        m_displayed = m_pending;
        m_pending.clear();
        m_serial.reset();
    }
    if (!m_displayed)
        return;
    // A cleared player shows nothing; a player between two items keeps its last frame.
    if (!m_displayed->hasItem()) {
        m_serial.reset();
        setImage({});
        return;
    }
    const std::optional<VideoFrame> frame = m_displayed->currentFrame();
    if (!frame || frame->serial() == m_serial)
        return;
    m_serial = frame->serial();
    setImage(frame->toImage(targetSize()));
}
