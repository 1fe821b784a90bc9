#include "mappingtexture.h"

#include "polygondistance.h"

#include <algorithm>
#include <cmath>

// NaN (a hand-edited value, or a zero-size tile) counts as no light rather than spreading through the image.
static double unitLimited(double value)
{
    if (!(value > 0)) return 0;
    return std::min(value, 1.0);
}

static double ramp(double distance, double width)
{
    if (!(width > 0)) return 1;
    return unitLimited(distance / width);
}

std::optional<QImage> mappingTexture(const ProjectorMapping& mapping, const QRectF& tile, bool compensation,
                                     bool includesPolygon)
{
    const double lift = mapping.effectiveBlackLevel();
    if (compensation && lift == 0) return std::nullopt;
    const std::optional<PolygonDistance> polygon =
        includesPolygon ? PolygonDistance::make(mapping.polygonMask) : std::nullopt;
    const bool anyBlend = std::any_of(mapping.edges.cbegin(), mapping.edges.cend(), [](double w) { return w > 0; });
    if (!compensation && !polygon && !anyBlend) return std::nullopt;
    if (mapping.edges.size() != 4) return std::nullopt;

    const int size = polygon ? 512 : 256;
    const QRectF area = tile.normalized();
    // A tile of no size (a crop typed by hand) would make the soft edge zero pixels wide.
    const double extent = std::max(area.width(), area.height());
    const float pixel = float((extent >= 0.01 ? extent : 0.01) / (size - 1));
    const double gamma = mapping.effectiveGamma();
    const double left = mapping.edges[0], right = mapping.edges[1], top = mapping.edges[2], bottom = mapping.edges[3];

    QImage image(size, size, QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull()) return std::nullopt;
    for (int j = 0; j < size; ++j) {
        const double y = area.y() + area.height() * j / (size - 1);
        uchar* line = image.scanLine(j);
        for (int i = 0; i < size; ++i) {
            const double x = area.x() + area.width() * i / (size - 1);
            const double blend = ramp(x, left) * ramp(1 - x, right) * ramp(y, top) * ramp(1 - y, bottom);
            float coverage = 1;
            if (polygon) coverage = float(unitLimited(polygon->signedDistance(float(x), float(y)) / pixel + 0.5f));
            const double value = compensation ? lift * blend : std::pow(blend, gamma);
            const uchar byte = uchar(std::clamp(std::round(value * coverage * 255), 0.0, 255.0));
            std::fill_n(line + 4 * i, 4, byte);
        }
    }
    return image;
}
