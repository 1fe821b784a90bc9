#include "testpattern.h"

#include "cropregion.h"

#include <QPainter>
#include <QPainterPath>

// A 1-pixel pen fills the pixel to the right of (below) its line, so a line on the far edge of the output would fall
// just outside it: held one pixel in, it stays visible where the projector is aligned against it.
static double insideFarEdge(double position, double farEdge)
{
    return position > farEdge - 1 && position <= farEdge ? farEdge - 1 : position;
}

void paintTestPattern(QPainter& painter, const QRectF& area, const QRectF& bounds)
{
    QPainterPath path;
    for (int i = 0; i <= 20; ++i) {
        const double x = insideFarEdge(area.left() + area.width() * i / 20, bounds.right());
        const double y = insideFarEdge(area.top() + area.height() * i / 20, bounds.bottom());
        path.moveTo(x, area.top());
        path.lineTo(x, area.bottom());
        path.moveTo(area.left(), y);
        path.lineTo(area.right(), y);
    }
    painter.setPen(QPen(QColor(0x64, 0xD2, 0xFF), 1));
    painter.drawPath(path);
}

QImage testPatternImage(QSize size, const QRectF& crop)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::black);
    QPainter painter(&image);
    const QRectF bounds(QPointF(0, 0), QSizeF(size));
    paintTestPattern(painter, croppedPictureArea(crop, bounds.size()), bounds);
    return image;
}
