#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// The largest side of a still that is decoded for an output; a larger picture (or one whose header claims to be)
// is refused before anything is allocated for it.
constexpr int kMaxStillSide = 16384;

inline bool isOversizeStill(QSize size)
{
    return size.width() > kMaxStillSide || size.height() > kMaxStillSide;
}

// What the operator reads about a picture or video of that size.
QString oversizePictureText(QSize size);

// Reads a still picture file as the outputs show it: upright by its orientation tag and converted to sRGB from the
// colour space it embeds (a Display P3 photo keeps its look). Null when the file cannot be read or is oversize.
QImage readStillImage(const QString& path);

// A reduced copy of a still picture, upright, in sRGB, at most maxPixelSize on its longer side; decoders that can
// (JPEG) decode at the reduced size. Null when the file cannot be read or its full size exceeds the reader's
// allocation limit.
QImage readStillThumbnail(const QString& path, int maxPixelSize);
