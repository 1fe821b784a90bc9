#pragma once

#include <QList>
#include <QPointF>
#include <optional>
#include <vector>

// The signed distance to a polygon mask sampled at texel centres, row 0 at the top: 256 × 256 values, or a
// single 1.0 (all inside) when there is no polygon of three points or more.
struct PolygonDistanceField
{
    int size = 1;
    std::vector<float> values{1.0f};

    static PolygonDistanceField make(const std::optional<QList<QPointF>>& points);
};
