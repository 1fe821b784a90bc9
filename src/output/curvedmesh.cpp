#include "curvedmesh.h"

#include "cornerpin.h"

#include <algorithm>

QSize CurvedMesh::cells(const ProjectorMapping& mapping)
{
    const int across = mapping.columns() - 1;
    const int down = mapping.rows() - 1;
    const int split = std::min(96 / std::max(across, down), 16);
    return {across * split, down * split};
}

std::vector<MeshVertex> CurvedMesh::tessellate(const ProjectorMapping& mapping)
{
    const QSize count = cells(mapping);
    const int nx = count.width();
    const int ny = count.height();
    const int stride = nx + 1;

    // Without a mesh the corners pin the picture in perspective, as a flat projector sees it; corners that do not
    // make a convex quad leave it uncorrected.
    const std::optional<QTransform> pin =
        mapping.mesh ? std::nullopt : std::optional<QTransform>(cornerPinTransform(mapping, QSizeF(1, 1)));
    std::vector<MeshVertex> grid;
    grid.reserve(size_t(stride) * (ny + 1));
    for (int j = 0; j <= ny; ++j) {
        for (int i = 0; i <= nx; ++i) {
            const double u = double(i) / nx;
            const double v = double(j) / ny;
            const QPointF p = pin ? pin->map(QPointF(u, v)) : mapping.surface(u, v);
            grid.push_back({float(2 * p.x() - 1), float(1 - 2 * p.y()), float(u), float(v)});
        }
    }

    std::vector<MeshVertex> triangles;
    triangles.reserve(size_t(6) * nx * ny);
    for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
            const int k = j * stride + i;
            for (int index : {k, k + 1, k + stride, k + 1, k + stride + 1, k + stride})
                triangles.push_back(grid[index]);
        }
    }
    return triangles;
}
