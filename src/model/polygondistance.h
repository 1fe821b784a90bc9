#pragma once

#include <QList>
#include <QPointF>
#include <algorithm>
#include <optional>

// A polygon mask prepared for many distance queries: one pass over the sides, single precision.
struct PolygonDistance
{
    struct Vec2
    {
        float x = 0;
        float y = 0;
    };
    struct Edge
    {
        Vec2 a;
        Vec2 b;
        Vec2 delta;
        float reciprocalLengthSquared = 0;
    };

    QList<Edge> edges;

    // None for an absent list or fewer than three points.
    static std::optional<PolygonDistance> make(const std::optional<QList<QPointF>>& points);
    // Positive inside, negative outside; the magnitude is the distance to the nearest side.
    float signedDistance(float x, float y) const;

    // The squared distance from a point to one side, as signedDistance measures it.
    static float squaredDistance(const Edge& edge, float x, float y)
    {
        const float px = x - edge.a.x;
        const float py = y - edge.a.y;
        float t = edge.reciprocalLengthSquared * (px * edge.delta.x + py * edge.delta.y);
        t = t > 0 ? std::min(t, 1.0f) : 0.0f;
        const float dx = px - t * edge.delta.x;
        const float dy = py - t * edge.delta.y;
        return dx * dx + dy * dy;
    }
    // Whether the horizontal line through y crosses a side, and where: a point left of there is inside once more.
    static bool crosses(const Edge& edge, float y) { return (y < edge.a.y) != (y < edge.b.y); }
    static float crossingX(const Edge& edge, float y)
    {
        return edge.a.x + (y - edge.a.y) * edge.delta.x / edge.delta.y;
    }
};
