#pragma once

#include "polygondistance.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <optional>
#include <vector>

// The signed distance to a polygon mask sampled on a grid, row 0 at the top, or a single 1.0 (all inside) when there
// is no polygon of three points or more.
struct PolygonDistanceField
{
    // Where the samples lie: the output coordinates of the columns and of the rows, each ascending.
    struct Sampling
    {
        std::vector<float> xs;
        std::vector<float> ys;

        // size × size texel centres over the whole output, as a texture the GPU filters is sampled.
        static Sampling texelCentres(int size);
        // size × size points from corner to corner of an area: the first and last pixels lie on its borders.
        static Sampling cornerToCorner(const QRectF& area, int size);
        bool operator==(const Sampling&) const = default;
    };

    int size = 1;
    std::vector<float> values{1.0f};

    static PolygonDistanceField make(const std::optional<QList<QPointF>>& points, const Sampling& sampling);
    // Within one sample spacing of the outline the distances are signedDistance's own; further out each is the
    // distance to a side found through the neighbouring samples, the nearest in all but rare cases and never less.
    // The signs are signedDistance's everywhere. The cost grows with the samples plus the sides' lengths, not with
    // the samples times the sides.
    static PolygonDistanceField make(const PolygonDistance& polygon, const Sampling& sampling);
};
