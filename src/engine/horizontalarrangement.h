#pragma once

#include "projectormapping.h"
#include "screenrole.h"

#include <QList>
#include <optional>

// The mappings of screens standing left to right that together show `source` once across, each slice
// overlapping its neighbours by `overlap` of a slice with blended edges. None for fewer than two screens or an
// overlap outside 0 (no blending) up to but excluding 1 (slices on top of each other).
std::optional<QList<ProjectorMapping>> arrangedHorizontally(QList<ProjectorMapping> mappings, const ScreenRole& source,
                                                            double overlap);
