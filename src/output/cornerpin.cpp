#include "cornerpin.h"

#include <cmath>

QTransform cornerPinTransform(const ProjectorMapping& mapping, const QSizeF& size)
{
    const double width = size.width();
    const double height = size.height();
    if (!mapping.convex() || !(width > 0) || !(height > 0))
        return {};

    const QList<QPointF> corners = mapping.effectiveCorners();
    const double x0 = corners[0].x(), y0 = corners[0].y();
    const double x1 = corners[1].x(), y1 = corners[1].y();
    const double x2 = corners[2].x(), y2 = corners[2].y();
    const double x3 = corners[3].x(), y3 = corners[3].y();
    const double det = (x1 - x2) * (y3 - y2) - (y1 - y2) * (x3 - x2);
    if (!(std::abs(det) > 1e-6))
        return {};

    const double sumX = x0 - x1 + x2 - x3;
    const double sumY = y0 - y1 + y2 - y3;
    const double g = ((y3 - y2) * sumX - (x3 - x2) * sumY) / det;
    const double h = ((x1 - x2) * sumY - (y1 - y2) * sumX) / det;
    const double a = x1 - x0 + g * x1;
    const double b = x3 - x0 + h * x3;
    const double d = y1 - y0 + g * y1;
    const double e = y3 - y0 + h * y3;
    return QTransform(a, d * height / width, g / width, b * width / height, e, h / height, width * x0, height * y0, 1);
}
