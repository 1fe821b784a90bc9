#include "cropregion.h"

#include <algorithm>

QRectF shownCropRegion(const QRectF& crop)
{
    const auto extent = [](double value) { return value >= 0.01 ? std::min(value, 1.0) : 0.01; };
    // Not a number compares false both ways, so it counts as 0.
    const auto origin = [](double value, double extent) { return std::min(1 - extent, value > 0 ? value : 0.0); };
    const double width = extent(crop.width());
    const double height = extent(crop.height());
    return {origin(crop.x(), width), origin(crop.y(), height), width, height};
}

QRectF croppedPictureArea(const QRectF& crop, const QSizeF& size)
{
    const QRectF region = shownCropRegion(crop);
    const QSizeF area(size.width() / region.width(), size.height() / region.height());
    return {QPointF(-region.x() * area.width(), -region.y() * area.height()), area};
}
