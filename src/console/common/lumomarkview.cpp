#include "lumomarkview.h"

#include "lumomark.h"

#include <QPainter>

LumoMark::LumoMark(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void LumoMark::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintLumoMark(painter, size());
}
