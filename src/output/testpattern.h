#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

class QPainter;

// The projector test pattern: one path of 42 lines, a grid of 20 × 20 cells over the whole picture area with its
// outer lines on the area's edges, stroked once in cyan, 1 pixel wide, without anti-aliasing. Bounds are the
// output's: a line on their right or bottom edge is drawn in their last column or row, so every line lying on an
// edge of the output shows.
void paintTestPattern(QPainter& painter, const QRectF& area, const QRectF& bounds);

// The pattern as an output of that size shows it through a crop: on black, over the crop's enlarged picture area,
// so that a crop enlarges the cells and shows part of the grid.
QImage testPatternImage(QSize size, const QRectF& crop);
