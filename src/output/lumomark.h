#pragma once

#include <QSizeF>

class QPainter;

// The product mark, a display with a play triangle on a stand, drawn as vector art in the top-left square of the
// given size (side min(width, height)), so it is sharp at every size.
void paintLumoMark(QPainter& painter, const QSizeF& size);
