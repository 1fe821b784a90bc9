#include "standbyartworkview.h"

#include "standbyartwork.h"

#include <QPainter>

StandbyArtwork::StandbyArtwork(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(standbyArtworkLabel);
}

void StandbyArtwork::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintStandbyArtwork(painter, size());
}
