#include "polygondistancefield.h"

#include "polygondistance.h"

PolygonDistanceField PolygonDistanceField::make(const std::optional<QList<QPointF>>& points)
{
    const std::optional<PolygonDistance> polygon = PolygonDistance::make(points);
    if (!polygon) return {};
    PolygonDistanceField field;
    field.size = 256;
    field.values.resize(size_t(field.size) * field.size);
    for (int r = 0; r < field.size; ++r)
        for (int c = 0; c < field.size; ++c)
            field.values[size_t(r) * field.size + c] =
                polygon->signedDistance((c + 0.5f) / field.size, (r + 0.5f) / field.size);
    return field;
}
