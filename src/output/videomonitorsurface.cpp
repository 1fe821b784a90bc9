#include "videomonitorsurface.h"

#include "player.h"

using namespace std::chrono_literals;

VideoMonitorSurface::VideoMonitorSurface(QObject* parent) : VideoSurface(parent)
{
    m_timer.setInterval(42ms);
    connect(&m_timer, &QTimer::timeout, this, &VideoMonitorSurface::sample);
}

void VideoMonitorSurface::show(Player* player)
{
    m_player = player;
    if (m_timer.isActive())
        sample();
}

void VideoMonitorSurface::setActive(bool active)
{
    if (!active) {
        m_timer.stop();
        attach(std::nullopt);
        return;
    }
    if (!m_timer.isActive())
        m_timer.start();
    sample();
}

void VideoMonitorSurface::sample()
{
    const std::optional<quint64> current =
        m_player && m_player->hasItem() ? std::optional(m_player->generation()) : std::nullopt;
    if (current != m_item)
        attach(current);
    if (!m_item)
        return;
    showNewestFrame(*m_player);
}

// A new item keeps the frame on show until its own first frame; no item clears it.
void VideoMonitorSurface::attach(std::optional<quint64> item)
{
    m_item = item;
    forgetFrame();
    if (!item)
        setImage({});
}
