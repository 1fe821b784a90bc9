#include "standbyartwork.h"

#include <QPainter>
#include <QPen>

// A plain stand-in: a dark field with a cyan ring and play mark, until the console draws the real artwork.
QImage standbyArtworkImage(const QSize& size)
{
    if (size.isEmpty()) return {};
    QImage image(size, QImage::Format_RGBA8888_Premultiplied);
    image.fill(QColor::fromRgbF(0.065f, 0.079f, 0.098f));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double radius = std::min(size.width(), size.height()) * 0.12;
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    const QColor cyan(0x64, 0xD2, 0xFF);
    painter.setPen(QPen(cyan, radius * 0.12));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, radius, radius);
    painter.setPen(Qt::NoPen);
    painter.setBrush(cyan);
    const double side = radius * 0.45;
    painter.drawPolygon(QPolygonF{centre + QPointF(-side * 0.6, -side), centre + QPointF(side, 0),
                                  centre + QPointF(-side * 0.6, side)});
    return image;
}
