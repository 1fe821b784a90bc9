#pragma once

#include "projectormapping.h"

#include <QSize>
#include <vector>

// One vertex of the tessellated mesh: clip-space position and the mesh parameter (0–1, v downwards).
struct MeshVertex
{
    float x = 0;
    float y = 0;
    float u = 0;
    float v = 0;
};

// The triangle list that follows a mapping's curved surface, or its corner pin when it has no mesh: each grid
// segment is cut into up to 16 cells, never more than 96 cells on an axis.
class CurvedMesh
{
  public:
    static QSize cells(const ProjectorMapping& mapping);
    static std::vector<MeshVertex> tessellate(const ProjectorMapping& mapping);
};
