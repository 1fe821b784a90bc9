#pragma once

#include "projectormapping.h"

#include <QRectF>
#include <optional>

// Where in output space (the mesh parameter, 0–1) the edge blends, gamma, black-level lift and polygon mask of
// two mappings can differ, with room for the mask textures' filtering; none when that may be anywhere (a lift
// change, a polygon that appears, disappears or changes its number of points, values that are not numbers).
std::optional<QRectF> maskChangeArea(const ProjectorMapping& before, const ProjectorMapping& after);
