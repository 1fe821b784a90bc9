#include "projectorinput.h"

#include "cropregion.h"
#include "testpattern.h"

#include <QPainter>

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

void ProjectorInput::paint(QPainter& painter, const QSizeF& size)
{
    const QRectF area = croppedPictureArea(m_crop, size);
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
