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
        forgetFrame();
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
        forgetFrame();
    }
    if (!m_displayed)
        return;
    // A cleared player shows nothing; a player between two items keeps its last frame.
    if (!m_displayed->hasItem()) {
        forgetFrame();
        setImage({});
        return;
    }
    showNewestFrame(*m_displayed);
}
