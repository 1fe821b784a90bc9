#pragma once

#include <QRectF>
#include <QSizeF>

// The one reading of a mapping's crop that every view draws by, the output windows' renderer and the monitors alike:
// width and height each 0.01 … 1 (below 0.01, or not a number, counts as 0.01), the origin held between 0 and
// 1 − size so that the region never leaves the picture. A negative size is not turned round: it is below 0.01.
QRectF shownCropRegion(const QRectF& crop);

// Where the whole picture lies for an output of that size: the shown region enlarged to fill it.
QRectF croppedPictureArea(const QRectF& crop, const QSizeF& size);
