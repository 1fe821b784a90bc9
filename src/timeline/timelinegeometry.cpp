#include "timelinegeometry.h"

#include <algorithm>
#include <cmath>

namespace TimelineGeometry {

bool isValidTime(double seconds)
{
    return std::isfinite(seconds) && seconds >= 0 && seconds <= kLatestTime;
}

double gridTime(double seconds)
{
    // std::round rounds halves away from zero.
    const double rounded = std::round(seconds * 100) / 100;
    if (std::isnan(rounded) || rounded < 0)
        return 0;
    return std::min(rounded, kLatestTime);
}

double xOf(double seconds, double scrollTime, double zoom)
{
    return (seconds - scrollTime) * zoom;
}

double timeAt(double x, double scrollTime, double zoom)
{
    return gridTime(scrollTime + x / zoom);
}

double clampedZoom(double zoom)
{
    return std::isnan(zoom) ? kDefaultZoom : std::clamp(zoom, kMinZoom, kMaxZoom);
}

double clampedScroll(double scrollTime)
{
    return std::isnan(scrollTime) ? 0 : std::clamp(scrollTime, 0.0, kLatestTime);
}

View zoomedAbout(View view, double delta, double x)
{
    const double anchor = view.scrollTime + x / view.zoom;
    view.zoom = clampedZoom(view.zoom * std::exp(0.018 * delta));
    view.scrollTime = clampedScroll(anchor - x / view.zoom);
    return view;
}

double pannedScroll(double scrollTime, double dx, double zoom)
{
    return clampedScroll(scrollTime - dx / zoom);
}

QList<RulerLabel> rulerLabels(double scrollTime, double zoom, double width)
{
    QList<RulerLabel> labels;
    if (!(zoom > 0) || !std::isfinite(scrollTime) || !std::isfinite(width))
        return labels;
    const auto step = std::max<qint64>(1, qint64(std::ceil(48 / zoom)));
    const qint64 first = qint64(scrollTime) / step * step;
    const qint64 last = std::max(first, qint64(scrollTime + width / zoom));
    for (qint64 t = first; t <= last; t += step)
        labels.append({t, xOf(double(t), scrollTime, zoom)});
    return labels;
}

std::optional<int> laneIndexAt(double y, int laneCount)
{
    const double below = y - kRulerHeight;
    if (!(below >= 0) || below >= laneCount * kLaneHeight)
        return std::nullopt;
    return int(below / kLaneHeight);
}

bool inClipBand(double y)
{
    const double below = y - kRulerHeight;
    const double offset = below - kLaneHeight * std::floor(below / kLaneHeight);
    return offset >= kClipTop && offset <= kClipBottom;
}

double laneTop(int index)
{
    return kRulerHeight + kLaneHeight * index;
}

double areaHeight(int laneCount)
{
    return laneCount * kLaneHeight + kRulerHeight;
}

double drawnWidth(std::optional<double> length, double zoom)
{
    return length ? std::max(*length * zoom, 1.0) : kOpenClipWidth;
}

} // namespace TimelineGeometry
