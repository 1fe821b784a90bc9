#pragma once

#include "polygondistancefield.h"
#include "projectormapping.h"

#include <QImage>
#include <QRectF>
#include <optional>

// The mask image of a mapping over a tile of the output ((0, 0, 1, 1) is the whole output): N × N white pixels,
// RGBA8888 premultiplied, whose alpha is the edge-blend fade (or, with compensation, the black-level lift), times
// the polygon coverage when asked. N is 512 with a polygon, else 256; row 0 is the top of the tile.
// None when there is nothing to draw or when the mapping does not hold four edge widths.
std::optional<QImage> mappingTexture(const ProjectorMapping& mapping, const QRectF& tile, bool compensation,
                                     bool includesPolygon);
// The same with the polygon's distances sampled already, at PolygonDistanceField::Sampling::cornerToCorner of the
// normalised tile and 512; a field of one value is no polygon.
std::optional<QImage> mappingTexture(const ProjectorMapping& mapping, const QRectF& tile, bool compensation,
                                     const PolygonDistanceField& polygon);
