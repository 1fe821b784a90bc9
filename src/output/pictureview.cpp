#include "pictureview.h"

#include <QPainter>

PictureView::PictureView(Picture* picture, bool fillsScreen, QWidget* parent)
    : QWidget(parent), m_canvas(picture, fillsScreen)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&m_canvas, &PictureCanvas::changed, this, qOverload<>(&QWidget::update));
}

void PictureView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_canvas.paint(painter, rect());
}

void PictureView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_canvas.setTargetSize(size() * devicePixelRatio());
}

void PictureView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_canvas.setActive(true);
}

void PictureView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_canvas.setActive(false);
}
