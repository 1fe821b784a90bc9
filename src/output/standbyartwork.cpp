#include "standbyartwork.h"

#include "lumomark.h"

#include <QFontDatabase>
#include <QPaintDevice>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>

namespace {
QFont captionFont(double pixelSize, double tracking, const QPaintDevice* device)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const double dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
    font.setPointSizeF(std::max(pixelSize, 0.5) * 72 / dpi);
    font.setWeight(QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    return font;
}
} // namespace

void paintStandbyArtwork(QPainter& painter, const QSizeF& size)
{
    if (size.isEmpty())
        return;
    const double s = std::min(size.width() * 0.0625, size.height() / 9);
    const QPointF centre(size.width() / 2, size.height() / 2);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QRadialGradient glow(centre, 10 * s);
    glow.setColorAt(0, QColor::fromRgbF(0.07f, 0.19f, 0.24f));
    glow.setColorAt(1, QColor::fromRgbF(0.018f, 0.036f, 0.066f));
    painter.fillRect(QRectF(QPointF(0, 0), size), glow);

    // Each ring is stroked inside its own circle: its outer edge is the circle of diameter k s.
    const double lineWidth = std::max(0.012 * s, 0.5);
    QColor ring(0x64, 0xD2, 0xFF);
    ring.setAlphaF(0.12f);
    painter.setPen(QPen(ring, lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    for (const double k : {4.8, 6.0, 7.2}) {
        const double radius = (k * s - lineWidth) / 2;
        painter.drawEllipse(centre, radius, radius);
    }

    const QFont font = captionFont(0.3 * s, 0.09 * s, painter.device());
    const QFontMetricsF metrics(font, painter.device());
    const double markSide = 2.15 * s;
    const double spacing = 0.15 * s;
    const double top = centre.y() - (markSide + spacing + metrics.height()) / 2;

    painter.save();
    painter.translate(centre.x() - markSide / 2, top);
    paintLumoMark(painter, QSizeF(markSide, markSide));
    painter.restore();

    painter.setFont(font);
    painter.setPen(QColor::fromRgbF(0.8f, 0.93f, 0.96f));
    const QRectF captionBox(0, top + markSide + spacing, size.width(), metrics.height());
    painter.drawText(captionBox, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, "LUMORIA");
    painter.restore();
}

QImage standbyArtworkImage(const QSize& size)
{
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_RGBA8888_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    paintStandbyArtwork(painter, QSizeF(size));
    return image;
}
