#include "polygondistance.h"

#include <cmath>
#include <limits>

std::optional<PolygonDistance> PolygonDistance::make(const std::optional<QList<QPointF>>& points)
{
    if (!points || points->size() < 3)
        return std::nullopt;
    PolygonDistance polygon;
    const qsizetype count = points->size();
    polygon.edges.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const QPointF& from = points->at(i);
        const QPointF& to = points->at(i + 1 < count ? i + 1 : 0);
        Edge edge;
        edge.a = {float(from.x()), float(from.y())};
        edge.b = {float(to.x()), float(to.y())};
        edge.delta = {edge.b.x - edge.a.x, edge.b.y - edge.a.y};
        const float lengthSquared = edge.delta.x * edge.delta.x + edge.delta.y * edge.delta.y;
        // A repeated point makes a side of length 0; the floor keeps its distance that of the point.
        edge.reciprocalLengthSquared = 1.0f / std::max(lengthSquared, 1e-8f);
        polygon.edges.append(edge);
    }
    return polygon;
}

float PolygonDistance::signedDistance(float x, float y) const
{
    if (edges.isEmpty())
        return -std::numeric_limits<float>::infinity();
    float best = std::numeric_limits<float>::infinity();
    bool inside = false;
    for (const Edge& edge : edges) {
        best = std::min(best, squaredDistance(edge, x, y));
        // Even-odd crossing of a ray towards +x.
        if (crosses(edge, y) && x < crossingX(edge, y))
            inside = !inside;
    }
    const float distance = std::sqrt(best);
    return inside ? distance : -distance;
}
