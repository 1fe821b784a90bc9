#include "timelinemouseinput.h"

#include <cmath>

void TimelineMouseInput::rightPress(QPointF point)
{
    m_rightDown = point;
    m_panX.reset();
}

void TimelineMouseInput::rightDrag(QPointF point)
{
    if (!m_rightDown)
        return;
    if (!m_panX && std::hypot(point.x() - m_rightDown->x(), point.y() - m_rightDown->y()) < kPanThreshold)
        return;
    const double previous = m_panX.value_or(m_rightDown->x());
    m_panX = point.x();
    if (pan)
        pan(point.x() - previous);
}

QList<TimelineMenuItem> TimelineMouseInput::rightRelease()
{
    const std::optional<QPointF> pressed = m_rightDown;
    const bool panned = m_panX.has_value();
    reset();
    if (!pressed || panned || !menu)
        return {};
    return menu(*pressed);
}

void TimelineMouseInput::wheel(double dx, double dy, double x, bool shift)
{
    if (shift || std::abs(dy) < std::abs(dx)) {
        if (pan)
            pan(dx != 0 ? dx : dy);
    } else if (zoom) {
        zoom(dy, x);
    }
}

void TimelineMouseInput::reset()
{
    m_rightDown.reset();
    m_panX.reset();
}
