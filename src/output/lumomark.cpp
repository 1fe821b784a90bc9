#include "lumomark.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

void paintLumoMark(QPainter& painter, const QSizeF& size)
{
    const double u = std::min(size.width(), size.height()) / 100;
    if (u <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);

    QPainterPath outline;
    outline.addPolygon(QPolygonF({QPointF(20, 23) * u, QPointF(80, 23) * u, QPointF(80, 68) * u, QPointF(20, 68) * u}));
    outline.closeSubpath();
    QPen outlinePen(QColor::fromRgbF(0.67f, 0.92f, 0.95f), 4 * u, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
    outlinePen.setMiterLimit(10);
    painter.strokePath(outline, outlinePen);

    QPainterPath play;
    play.addPolygon(QPolygonF({QPointF(44, 34) * u, QPointF(62, 45.5) * u, QPointF(44, 57) * u}));
    play.closeSubpath();
    play.setFillRule(Qt::WindingFill);
    painter.fillPath(play, QColor::fromRgbF(0.24f, 0.88f, 0.81f));

    QPainterPath stand;
    stand.moveTo(QPointF(50, 70) * u);
    stand.lineTo(QPointF(50, 80) * u);
    stand.moveTo(QPointF(38, 80) * u);
    stand.lineTo(QPointF(62, 80) * u);
    QPen standPen(QColor::fromRgbF(1, 1, 1, 0.66f), 3 * u, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    standPen.setMiterLimit(10);
    painter.strokePath(stand, standPen);
    painter.restore();
}
