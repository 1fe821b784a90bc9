#pragma once

#include "projectormapping.h"

#include <cmath>

// The mapping of a curved screen: a rows × rows mesh bent both ways, `bend` of the output across at its most.
inline ProjectorMapping bentMesh(int rows, double bend)
{
    ProjectorMapping mapping;
    mapping.enabled = true;
    mapping.meshRows = rows;
    mapping.meshColumns = rows;
    QList<QPointF> nodes = mapping.meshPoints();
    for (QPointF& node : nodes)
        node += QPointF(bend * std::sin(node.y() * 3.1), bend / 1.5 * std::sin(node.x() * 6.2));
    mapping.mesh = nodes;
    return mapping;
}
