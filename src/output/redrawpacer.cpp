#include "redrawpacer.h"

RedrawPacer::RedrawPacer(std::chrono::milliseconds interval, std::function<void()> redraw, QObject* parent)
    : QObject(parent), m_interval(interval), m_redraw(std::move(redraw))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RedrawPacer::redraw);
}

void RedrawPacer::request()
{
    if (m_timer.isActive())
        return;
    const auto waited = std::chrono::milliseconds(m_sinceLast.isValid() ? m_sinceLast.elapsed() : m_interval.count());
    if (waited >= m_interval) {
        redraw();
        return;
    }
    m_timer.start(m_interval - waited);
}

void RedrawPacer::redraw()
{
    m_sinceLast.start();
    m_redraw();
}
