#include "projectorinput.h"

#include "testpattern.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

ProjectorInput::ProjectorInput(Picture* picture, const QRectF& crop, bool testPattern, QObject* parent)
    : QObject(parent), m_canvas(picture, true), m_crop(crop), m_testPattern(testPattern)
{
    connect(&m_canvas, &PictureCanvas::changed, this, &ProjectorInput::changed);
}

void ProjectorInput::setCrop(const QRectF& crop)
{
    if (crop == m_crop)
        return;
    m_crop = crop;
    emit changed();
}

void ProjectorInput::setTestPattern(bool testPattern)
{
    if (testPattern == m_testPattern)
        return;
    m_testPattern = testPattern;
    emit changed();
}

// A crop below 1 % (or not a number) counts as 1 %; its origin is held so that the region never leaves the picture.
QRectF ProjectorInput::pictureArea(const QRectF& crop, const QSizeF& size)
{
    const auto extent = [](double value) { return value >= 0.01 ? std::min(value, 1.0) : 0.01; };
    const auto origin = [](double value, double extent) { return std::min(1 - extent, std::max(value, 0.0)); };
    const double w = extent(crop.width());
    const double h = extent(crop.height());
    const double x = std::isnan(crop.x()) ? 0 : crop.x();
    const double y = std::isnan(crop.y()) ? 0 : crop.y();
    const QSizeF area(size.width() / w, size.height() / h);
    return {QPointF(-origin(x, w) * area.width(), -origin(y, h) * area.height()), area};
}

void ProjectorInput::paint(QPainter& painter, const QSizeF& size)
{
    const QRectF area = pictureArea(m_crop, size);
    const QRectF bounds(QPointF(0, 0), size);
    painter.save();
    painter.setClipRect(bounds);
    if (m_testPattern) {
        painter.fillRect(bounds, Qt::black);
        paintTestPattern(painter, area, bounds);
    } else {
        m_canvas.setTargetSize(area.size().toSize());
        m_canvas.paint(painter, area);
    }
    painter.restore();
}
