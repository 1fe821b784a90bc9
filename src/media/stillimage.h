#pragma once

#include <QImage>
#include <QString>

// Reads a still picture file as the outputs show it: upright by its orientation tag and converted to sRGB from the
// colour space it embeds (a Display P3 photo keeps its look). Null when the file cannot be read.
QImage readStillImage(const QString& path);

// A reduced copy of a still picture, upright, in sRGB, at most maxPixelSize on its longer side; decoders that can
// (JPEG) decode at the reduced size. Null when the file cannot be read or its full size exceeds the reader's
// allocation limit.
QImage readStillThumbnail(const QString& path, int maxPixelSize);
