#pragma once

#include <QList>
#include <QPointF>
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
};
