#include "maskchangearea.h"

#include <algorithm>
#include <cmath>

// Blend and polygon textures are 256 texels across and filtered; a few texels more cover what a change reaches.
static constexpr double filterMargin = 4.0 / 255;

// By corners, as QRectF::united drops a rectangle of no size, which a single point is.
static void include(std::optional<QRectF>& area, const QRectF& part)
{
    if (!area) {
        area = part;
        return;
    }
    area = QRectF(QPointF(std::min(area->left(), part.left()), std::min(area->top(), part.top())),
                  QPointF(std::max(area->right(), part.right()), std::max(area->bottom(), part.bottom())));
}

static bool finite(QPointF point)
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

// The bands of the sides whose fade may differ: sides whose width changed, or every side when the gamma did.
static bool includeBlendChange(const ProjectorMapping& before, const ProjectorMapping& after,
                               std::optional<QRectF>& area)
{
    const QList<double> wasEdges = before.effectiveEdges();
    const QList<double> isEdges = after.effectiveEdges();
    if (wasEdges == isEdges && before.effectiveGamma() == after.effectiveGamma())
        return true;
    if (wasEdges.size() != 4 || isEdges.size() != 4)
        return false;
    const bool gammaChanged = before.effectiveGamma() != after.effectiveGamma();
    for (int side = 0; side < 4; ++side) {
        const double was = wasEdges[side], is = isEdges[side];
        const double band = std::max(was, is);
        if ((was == is && !gammaChanged) || band <= 0)
            continue;
        const QRectF bands[] = {{0, 0, band, 1}, {1 - band, 0, band, 1}, {0, 0, 1, band}, {0, 1 - band, 1, band}};
        include(area, bands[side]);
    }
    return true;
}

// Around each moved point, the two sides that meet there, before and after.
static bool includePolygonChange(const ProjectorMapping& before, const ProjectorMapping& after,
                                 std::optional<QRectF>& area)
{
    const std::optional<QList<QPointF>>& was = before.polygonMask;
    const std::optional<QList<QPointF>>& is = after.polygonMask;
    if (was == is)
        return true;
    if (!was || !is || was->size() != is->size() || was->size() < 3)
        return false;
    const qsizetype count = was->size();
    for (qsizetype i = 0; i < count; ++i) {
        if ((*was)[i] == (*is)[i])
            continue;
        for (const qsizetype k : {(i + count - 1) % count, i, (i + 1) % count}) {
            for (const QPointF point : {(*was)[k], (*is)[k]}) {
                if (!finite(point))
                    return false;
                include(area, QRectF(point, point));
            }
        }
    }
    return true;
}

std::optional<QRectF> maskChangeArea(const ProjectorMapping& before, const ProjectorMapping& after)
{
    if (before.effectiveBlackLevel() != after.effectiveBlackLevel())
        return std::nullopt;
    std::optional<QRectF> area;
    if (!includeBlendChange(before, after, area) || !includePolygonChange(before, after, area))
        return std::nullopt;
    if (!area)
        return QRectF();
    return area->adjusted(-filterMargin, -filterMargin, filterMargin, filterMargin);
}
