#include "lumoicons.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {
// Each drawing works in a 24 x 24 box with the pen and brush already set to the symbol's colour.
using Drawing = std::function<void(QPainter&)>;

QPolygonF points(std::initializer_list<QPointF> list)
{
    return QPolygonF(QList<QPointF>(list));
}

void fill(QPainter& p, const QPainterPath& path)
{
    p.fillPath(path, p.pen().color());
}

void triangle(QPainter& p, QRectF box)
{
    QPainterPath path;
    path.addPolygon(points({box.topLeft(), QPointF(box.right(), box.center().y()), box.bottomLeft()}));
    path.closeSubpath();
    fill(p, path);
}

void arrow(QPainter& p, QPointF from, QPointF to)
{
    p.drawLine(from, to);
    const QLineF shaft(to, from);
    QLineF wing = shaft;
    wing.setLength(6);
    wing.setAngle(shaft.angle() + 40);
    p.drawLine(wing);
    wing.setAngle(shaft.angle() - 40);
    p.drawLine(wing);
}

void circled(QPainter& p, const std::function<void(QPainter&)>& inner)
{
    p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
    inner(p);
}

void shield(QPainter& p)
{
    QPainterPath path;
    path.moveTo(12, 2.5);
    path.lineTo(20, 5.5);
    path.lineTo(20, 11);
    path.cubicTo(20, 16.5, 16, 20, 12, 21.5);
    path.cubicTo(8, 20, 4, 16.5, 4, 11);
    path.lineTo(4, 5.5);
    path.closeSubpath();
    p.drawPath(path);
}

void exclamation(QPainter& p, double top, double bottom)
{
    p.drawLine(QPointF(12, top), QPointF(12, bottom));
    p.drawPoint(QPointF(12, bottom + 4));
}

void check(QPainter& p)
{
    p.drawPolyline(points({{7.5, 12.5}, {10.5, 15.5}, {16.5, 8.5}}));
}

void wave(QPainter& p, const QList<double>& heights)
{
    const double step = 20.0 / heights.size();
    for (int i = 0; i < heights.size(); ++i) {
        const double x = 2 + step * (i + 0.5);
        p.drawLine(QPointF(x, 12 - heights[i] / 2), QPointF(x, 12 + heights[i] / 2));
    }
}

void phone(QPainter& p, QRectF body)
{
    p.drawRoundedRect(body, 2.5, 2.5);
    p.drawLine(QPointF(body.center().x() - 1.5, body.bottom() - 2.5),
               QPointF(body.center().x() + 1.5, body.bottom() - 2.5));
}

const QHash<QString, Drawing>& drawings()
{
    static const QHash<QString, Drawing> table = {
        {"waveform.path",
         [](QPainter& p) {
             QPainterPath path(QPointF(2, 12));
             const double ys[] = {12, 6, 18, 3, 21, 8, 16, 12};
             for (int i = 1; i < 8; ++i)
                 path.lineTo(2 + i * 20.0 / 7, ys[i]);
             p.drawPath(path);
         }},
        {"waveform",
         [](QPainter& p) {
             wave(p, {4, 10, 16, 8, 18, 6, 12, 4});
         }},
        {"play.fill", [](QPainter& p) { triangle(p, QRectF(6, 4, 14, 16)); }},
        {"pause.fill",
         [](QPainter& p) {
             p.fillRect(QRectF(6, 4, 4, 16), p.pen().color());
             p.fillRect(QRectF(14, 4, 4, 16), p.pen().color());
         }},
        {"stop.fill", [](QPainter& p) { p.fillRect(QRectF(5, 5, 14, 14), p.pen().color()); }},
        {"backward.end",
         [](QPainter& p) {
             p.drawLine(QPointF(5, 5), QPointF(5, 19));
             p.drawPolygon(points({{19, 5}, {8, 12}, {19, 19}}));
         }},
        {"play.rectangle",
         [](QPainter& p) {
             p.drawRoundedRect(QRectF(2.5, 5, 19, 14), 3, 3);
             triangle(p, QRectF(10, 8.5, 6, 7));
         }},
        {"play.rectangle.fill",
         [](QPainter& p) {
             QPainterPath frame;
             frame.addRoundedRect(QRectF(2, 4.5, 20, 15), 3, 3);
             QPainterPath play;
             play.addPolygon(points({{10, 8.5}, {16, 12}, {10, 15.5}}));
             play.closeSubpath();
             fill(p, frame.subtracted(play));
         }},
        {"checkmark.circle", [](QPainter& p) { circled(p, check); }},
        {"checkmark.shield",
         [](QPainter& p) {
             shield(p);
             check(p);
         }},
        {"exclamationmark.shield",
         [](QPainter& p) {
             shield(p);
             exclamation(p, 7, 12);
         }},
        {"exclamationmark.circle", [](QPainter& p) { circled(p, [](QPainter& q) { exclamation(q, 7, 12.5); }); }},
        {"info.circle",
         [](QPainter& p) {
             circled(p, [](QPainter& q) {
                 q.drawLine(QPointF(12, 11), QPointF(12, 17));
                 q.drawPoint(QPointF(12, 7.5));
             });
         }},
        {"questionmark.circle",
         [](QPainter& p) {
             circled(p, [](QPainter& q) {
                 QPainterPath path(QPointF(9, 9.5));
                 path.cubicTo(9, 6, 15, 6, 15, 9.5);
                 path.cubicTo(15, 11.5, 12, 11.5, 12, 14);
                 q.drawPath(path);
                 q.drawPoint(QPointF(12, 17.5));
             });
         }},
        {"xmark",
         [](QPainter& p) {
             p.drawLine(QPointF(6, 6), QPointF(18, 18));
             p.drawLine(QPointF(18, 6), QPointF(6, 18));
         }},
        {"plus",
         [](QPainter& p) {
             p.drawLine(QPointF(12, 5), QPointF(12, 19));
             p.drawLine(QPointF(5, 12), QPointF(19, 12));
         }},
        {"minus", [](QPainter& p) { p.drawLine(QPointF(5, 12), QPointF(19, 12)); }},
        {"plus.circle",
         [](QPainter& p) {
             circled(p, [](QPainter& q) {
                 q.drawLine(QPointF(12, 8), QPointF(12, 16));
                 q.drawLine(QPointF(8, 12), QPointF(16, 12));
             });
         }},
        {"minus.circle",
         [](QPainter& p) { circled(p, [](QPainter& q) { q.drawLine(QPointF(8, 12), QPointF(16, 12)); }); }},
        {"circle.fill",
         [](QPainter& p) {
             QPainterPath path;
             path.addEllipse(QRectF(5, 5, 14, 14));
             fill(p, path);
         }},
        {"arrow.up", [](QPainter& p) { arrow(p, QPointF(12, 20), QPointF(12, 4)); }},
        {"arrow.down", [](QPainter& p) { arrow(p, QPointF(12, 4), QPointF(12, 20)); }},
        {"arrow.right", [](QPainter& p) { arrow(p, QPointF(4, 12), QPointF(20, 12)); }},
        {"arrow.up.right", [](QPainter& p) { arrow(p, QPointF(6, 18), QPointF(18, 6)); }},
        {"chevron.left",
         [](QPainter& p) {
             p.drawPolyline(points({{15, 5}, {8, 12}, {15, 19}}));
         }},
        {"chevron.right",
         [](QPainter& p) {
             p.drawPolyline(points({{9, 5}, {16, 12}, {9, 19}}));
         }},
        {"lightbulb",
         [](QPainter& p) {
             QPainterPath bulb(QPointF(9, 16));
             bulb.cubicTo(9, 13, 5, 12, 5, 8.5);
             bulb.cubicTo(5, 4.5, 8.5, 2, 12, 2);
             bulb.cubicTo(15.5, 2, 19, 4.5, 19, 8.5);
             bulb.cubicTo(19, 12, 15, 13, 15, 16);
             bulb.closeSubpath();
             p.drawPath(bulb);
             p.drawLine(QPointF(9.5, 19), QPointF(14.5, 19));
             p.drawLine(QPointF(10.5, 22), QPointF(13.5, 22));
         }},
        {"folder",
         [](QPainter& p) {
             p.drawPolygon(points({{2.5, 6}, {9, 6}, {11, 8}, {21.5, 8}, {21.5, 19}, {2.5, 19}}));
         }},
        {"display",
         [](QPainter& p) {
             p.drawRoundedRect(QRectF(2.5, 4, 19, 13), 1.5, 1.5);
             p.drawLine(QPointF(12, 17), QPointF(12, 20.5));
             p.drawLine(QPointF(8, 20.5), QPointF(16, 20.5));
         }},
        {"timeline.selection",
         [](QPainter& p) {
             p.drawLine(QPointF(3, 4), QPointF(3, 20));
             p.drawLine(QPointF(21, 4), QPointF(21, 20));
             p.drawRoundedRect(QRectF(6, 7, 12, 4), 1, 1);
             p.drawRoundedRect(QRectF(6, 14, 8, 4), 1, 1);
         }},
        {"film",
         [](QPainter& p) {
             p.drawRoundedRect(QRectF(4, 2.5, 16, 19), 2, 2);
             p.drawLine(QPointF(8, 2.5), QPointF(8, 21.5));
             p.drawLine(QPointF(16, 2.5), QPointF(16, 21.5));
             p.drawLine(QPointF(8, 12), QPointF(16, 12));
         }},
        {"photo",
         [](QPainter& p) {
             p.drawRoundedRect(QRectF(2.5, 4.5, 19, 15), 2, 2);
             p.drawPolyline(points({{5, 17}, {10, 11}, {14, 15}, {16, 13}, {19.5, 17}}));
             p.drawEllipse(QPointF(16, 8.5), 1.2, 1.2);
         }},
        {"speaker.slash",
         [](QPainter& p) {
             p.drawPolygon(points({{3, 9}, {7, 9}, {12, 5}, {12, 19}, {7, 15}, {3, 15}}));
             p.drawLine(QPointF(3, 3), QPointF(21, 21));
         }},
        {"iphone", [](QPainter& p) { phone(p, QRectF(7, 2.5, 10, 19)); }},
        {"iphone.gen3.radiowaves.left.and.right",
         [](QPainter& p) {
             phone(p, QRectF(8.5, 3.5, 7, 17));
             p.drawArc(QRectF(3, 7, 6, 10), 110 * 16, 140 * 16);
             p.drawArc(QRectF(15, 7, 6, 10), -70 * 16, 140 * 16);
         }},
        {"paperplane.fill",
         [](QPainter& p) {
             QPainterPath path;
             path.addPolygon(points({{2, 11}, {22, 3}, {15, 21}, {11, 13}}));
             path.closeSubpath();
             fill(p, path);
         }},
    };
    return table;
}

class SymbolEngine : public QIconEngine
{
  public:
    SymbolEngine(QString symbol, QColor colour) : m_symbol(std::move(symbol)), m_colour(colour) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QColor colour = m_colour;
        if (mode == QIcon::Disabled)
            colour.setAlphaF(colour.alphaF() * 0.35f);
        paintLumoSymbol(*painter, rect, m_symbol, colour);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new SymbolEngine(m_symbol, m_colour); }

  private:
    QString m_symbol;
    QColor m_colour;
};
} // namespace

QIcon lumoIcon(const QString& symbol, const QColor& colour)
{
    return QIcon(new SymbolEngine(symbol, colour));
}

void paintLumoSymbol(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& colour)
{
    const double side = std::min(rect.width(), rect.height());
    if (side <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.center().x() - side / 2, rect.center().y() - side / 2);
    painter.scale(side / 24, side / 24);
    painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    const auto found = drawings().constFind(symbol);
    if (found != drawings().constEnd())
        (*found)(painter);
    else
        painter.drawEllipse(QRectF(6, 6, 12, 12));
    painter.restore();
}

QStringList lumoSymbols()
{
    return drawings().keys();
}
