#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

class QImageReader;

// The largest side of a still that is decoded for an output; a larger picture (or one whose header claims to be)
// is refused before anything is allocated for it.
constexpr int kMaxStillSide = 16384;
// The most memory a still may take once decoded: the largest picture in 8-bit RGBA, 1 GiB. A picture that decodes
// to more bytes a pixel (16-bit colour) is refused at a smaller size.
constexpr qint64 kMaxStillBytes = qint64(kMaxStillSide) * kMaxStillSide * 4;

inline bool isOversizeStill(QSize size)
{
    return size.width() > kMaxStillSide || size.height() > kMaxStillSide;
}

// What the operator reads about a picture or video of that size.
QString oversizePictureText(QSize size);

// Why the still a reader is about to decode will not be shown, from its header: larger than an output decodes, or
// taking more than maxBytes once decoded. None when the header gives no size (the read itself then finds out).
// The check before a show and the decode for an output ask this same question.
std::optional<QString> stillRefusal(QImageReader& reader, qint64 maxBytes = kMaxStillBytes);

// Reads a still picture file as the outputs show it: upright by its orientation tag and converted to sRGB from the
// colour space it embeds (a Display P3 photo keeps its look). Null when the file cannot be read or stillRefusal
// refuses it.
QImage readStillImage(const QString& path, qint64 maxBytes = kMaxStillBytes);

// A reduced copy of a still picture, upright, in sRGB, at most maxPixelSize on its longer side; decoders that can
// (JPEG) decode at the reduced size. Null when the file cannot be read or needs more memory than a still may take.
QImage readStillThumbnail(const QString& path, int maxPixelSize);
