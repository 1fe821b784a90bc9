#include "testpattern.h"

#include "projectorinput.h"

#include <QPainter>
#include <QPainterPath>

void paintTestPattern(QPainter& painter, const QRectF& area)
{
    QPainterPath path;
    for (int i = 0; i <= 20; ++i) {
        const double x = area.left() + area.width() * i / 20;
        const double y = area.top() + area.height() * i / 20;
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
    paintTestPattern(painter, ProjectorInput::pictureArea(crop, QSizeF(size)));
    return image;
}
