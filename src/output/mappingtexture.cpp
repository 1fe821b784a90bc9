#include "mappingtexture.h"

#include <algorithm>
#include <cmath>

// NaN (a hand-edited value, or a zero-size tile) counts as no light rather than spreading through the image.
static double unitLimited(double value)
{
    if (!(value > 0))
        return 0;
    return std::min(value, 1.0);
}

static constexpr int kPolygonSize = 512;

static double ramp(double distance, double width)
{
    if (!(width > 0))
        return 1;
    return unitLimited(distance / width);
}

std::optional<QImage> mappingTexture(const ProjectorMapping& mapping, const QRectF& tile, bool compensation,
                                     bool includesPolygon)
{
    const std::optional<QList<QPointF>>& points = includesPolygon ? mapping.polygonMask : std::nullopt;
    const bool polygon = points && points->size() >= 3;
    // Nothing to mask needs no field.
    if (polygon && (!compensation || mapping.effectiveBlackLevel() != 0) && mapping.edges.size() == 4)
        return mappingTexture(mapping, tile, compensation,
                              PolygonDistanceField::make(points, PolygonDistanceField::Sampling::cornerToCorner(
                                                                     tile.normalized(), kPolygonSize)));
    return mappingTexture(mapping, tile, compensation, PolygonDistanceField());
}

std::optional<QImage> mappingTexture(const ProjectorMapping& mapping, const QRectF& tile, bool compensation,
                                     const PolygonDistanceField& field)
{
    const double lift = mapping.effectiveBlackLevel();
    if (compensation && lift == 0)
        return std::nullopt;
    const bool polygon = field.size == kPolygonSize && field.values.size() == size_t(kPolygonSize) * kPolygonSize;
    const QList<double> edges = mapping.effectiveEdges();
    const bool anyBlend = std::any_of(edges.cbegin(), edges.cend(), [](double w) { return w > 0; });
    if (!compensation && !polygon && !anyBlend)
        return std::nullopt;
    if (edges.size() != 4)
        return std::nullopt;

    const int size = polygon ? kPolygonSize : 256;
    const QRectF area = tile.normalized();
    // A tile of no size (a crop typed by hand) would make the soft edge zero pixels wide.
    const double extent = std::max(area.width(), area.height());
    const float pixel = float((extent >= 0.01 ? extent : 0.01) / (size - 1));
    const double gamma = mapping.effectiveGamma();
    const double left = edges[0], right = edges[1], top = edges[2], bottom = edges[3];

    // The ramps across and down are worked out once per column and per row.
    std::vector<double> across(size_t(size), 1);
    for (int i = 0; i < size; ++i) {
        const double x = area.x() + area.width() * i / (size - 1);
        across[size_t(i)] = ramp(x, left) * ramp(1 - x, right);
    }
    QImage image(size, size, QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    for (int j = 0; j < size; ++j) {
        const double y = area.y() + area.height() * j / (size - 1);
        const double down = ramp(y, top), up = ramp(1 - y, bottom);
        uchar* line = image.scanLine(j);
        for (int i = 0; i < size; ++i) {
            const double blend = across[size_t(i)] * down * up;
            float coverage = 1;
            if (polygon)
                coverage = float(unitLimited(field.values[size_t(j) * size + i] / pixel + 0.5f));
            const double value = compensation ? lift * blend : blend == 1 ? 1.0 : std::pow(blend, gamma);
            const uchar byte = uchar(std::clamp(std::round(value * coverage * 255), 0.0, 255.0));
            std::fill_n(line + 4 * i, 4, byte);
        }
    }
    return image;
}
