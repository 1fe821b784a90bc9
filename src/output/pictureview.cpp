#include "pictureview.h"

#include "standbyartwork.h"

#include <QPainter>

PictureView::PictureView(Picture* picture, bool fillsScreen, QWidget* parent)
    : QWidget(parent), m_canvas(picture, fillsScreen)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&m_canvas, &PictureCanvas::changed, this, &PictureView::canvasChanged);
    canvasChanged();
}

void PictureView::canvasChanged()
{
    // While the view shows the standby artwork, assistive technology hears the artwork's name.
    const QString name = m_canvas.showsStandbyArtwork() ? standbyArtworkLabel : QString();
    if (accessibleName() != name)
        setAccessibleName(name);
    update();
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
