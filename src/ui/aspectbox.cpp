#include "aspectbox.h"

#include <QPainterPath>
#include <QRegion>
#include <cmath>

AspectBox::AspectBox(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void AspectBox::setContent(QWidget* content)
{
    if (content == m_content)
        return;
    delete m_content;
    m_content = content;
    if (m_content) {
        m_content->setParent(this);
        m_content->show();
    }
    place();
}

void AspectBox::setAspect(QSizeF aspect)
{
    if (!(aspect.width() > 0 && aspect.height() > 0))
        aspect = QSizeF(16, 9);
    if (aspect == m_aspect)
        return;
    m_aspect = aspect;
    place();
}

void AspectBox::setCornerRadius(double radius)
{
    m_radius = radius;
    place();
}

QRect AspectBox::contentRect() const
{
    const double scale = std::min(width() / m_aspect.width(), height() / m_aspect.height());
    const QSize size(int(std::lround(m_aspect.width() * scale)), int(std::lround(m_aspect.height() * scale)));
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void AspectBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

void AspectBox::place()
{
    if (!m_content)
        return;
    const QRect area = contentRect();
    m_content->setGeometry(area);
    if (m_radius <= 0 || area.isEmpty()) {
        m_content->clearMask();
        return;
    }
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(QPointF(0, 0), area.size()), m_radius, m_radius);
    m_content->setMask(QRegion(rounded.toFillPolygon().toPolygon()));
}
