#pragma once

#include "timelinemenuitem.h"

#include <QList>
#include <QPointF>
#include <functional>
#include <optional>

// The wheel and the right button of the timeline viewport, turned into zoom, pan and the context menu. A right press
// is a click until it moves 4 points from where it went down; from then on it pans by the horizontal movement and
// opens no menu. Points are viewport coordinates; the left button is not handled here.
class TimelineMouseInput
{
  public:
    static constexpr double kPanThreshold = 4;
    // A wheel notch counts as this many points, as a line of a precise scroll does.
    static constexpr double kPointsPerNotch = 10;

    std::function<void(double delta, double x)> zoom;
    std::function<void(double dx)> pan;
    std::function<QList<TimelineMenuItem>(QPointF point)> menu;

    // Where the pending right press went down.
    std::optional<QPointF> rightDown() const { return m_rightDown; }
    void rightPress(QPointF point);
    void rightDrag(QPointF point);
    // The menu's entries for a click that never moved far enough to pan, else none.
    QList<TimelineMenuItem> rightRelease();
    // The wheel's deltas in points, positive up and to the left.
    void wheel(double dx, double dy, double x, bool shift);
    void reset();

  private:
    std::optional<QPointF> m_rightDown;
    std::optional<double> m_panX;
};
