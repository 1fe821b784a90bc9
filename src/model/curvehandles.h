#pragma once

#include <QPointF>
#include <optional>

// Bezier handle offsets of one mesh node, each relative to the node.
struct CurveHandles
{
    std::optional<QPointF> left;
    std::optional<QPointF> right;
    std::optional<QPointF> up;
    std::optional<QPointF> down;

    bool operator==(const CurveHandles&) const = default;
};
