#include "draghandle.h"

#include "consolecolors.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

DragHandle::DragHandle(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(12);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::SizeVerCursor);
}

void DragHandle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor grip = ConsoleColors::secondaryText();
    grip.setAlphaF(grip.alphaF() * 0.55f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(grip);
    const QRectF capsule(width() / 2.0 - 19, height() / 2.0 - 1.5, 38, 3);
    painter.drawRoundedRect(capsule, 1.5, 1.5);
}

void DragHandle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressedAt = event->globalPosition();
    m_dragging = false;
}

void DragHandle::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressedAt)
        return QWidget::mouseMoveEvent(event);
    const QPointF moved = event->globalPosition() - *m_pressedAt;
    if (!m_dragging && std::hypot(moved.x(), moved.y()) < minimumDistance)
        return;
    m_dragging = true;
    emit dragChanged(moved.y());
}

void DragHandle::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressedAt)
        return QWidget::mouseReleaseEvent(event);
    m_pressedAt.reset();
    if (std::exchange(m_dragging, false))
        emit dragEnded();
}
