#pragma once

#include "projectormapping.h"

#include <QSizeF>
#include <QTransform>

// The corner pin for a surface of the given size: the projective map taking the rectangle (0, 0)–size onto the
// mapping's corner quad scaled by size. The identity when the corners are not a convex quad, the size is empty
// or the quad is degenerate, so the content then fills the surface uncorrected.
QTransform cornerPinTransform(const ProjectorMapping& mapping, const QSizeF& size);
