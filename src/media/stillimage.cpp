#include "stillimage.h"

#include "mediafile.h"

#include <QColorSpace>
#include <QImageReader>

// Qt's reader refuses on its own any picture that takes more than 128 MB decoded (8192 × 8192 in RGBA takes 256 MB),
// far below what the outputs show: it is allowed what a still is allowed, and stillRefusal decides within that.
static void allowStillAllocations()
{
    static const bool allowed = [] {
        QImageReader::setAllocationLimit(int((kMaxStillBytes + (1 << 20) - 1) >> 20));
        return true;
    }();
    Q_UNUSED(allowed);
}

// The bytes the reader's image takes once decoded, rows padded to 32 bits as QImage keeps them. A format the
// header does not tell is counted as 32-bit, which is what most pictures decode to.
static qint64 decodedBytes(QSize size, QImage::Format format)
{
    const int bits = format == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 row = (qint64(size.width()) * bits + 31) / 32 * 4;
    return row * size.height();
}

static QImage toSrgb(QImage image)
{
    const QColorSpace srgb(QColorSpace::SRgb);
    // Untagged pictures are taken as sRGB already; indexed ones are expanded so their colours can be converted.
    if (image.colorSpace().isValid() && image.colorSpace() != srgb) {
        if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono ||
            image.format() == QImage::Format_MonoLSB)
            image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        image.convertToColorSpace(srgb);
    }
    return image;
}

std::optional<QString> stillRefusal(QImageReader& reader, qint64 maxBytes)
{
    const QSize size = reader.size();
    if (!size.isValid())
        return std::nullopt;
    if (isOversizeStill(size))
        return oversizePictureText(size);
    const qint64 bytes = decodedBytes(size, reader.imageFormat());
    if (bytes <= maxBytes)
        return std::nullopt;
    const auto megabytes = [](qint64 value) { return QString::number((value + (1 << 20) - 1) >> 20); };
    return QStringLiteral("画面 %1×%2 解码需 %3 MB 内存，超过上限 %4 MB")
        .arg(size.width())
        .arg(size.height())
        .arg(megabytes(bytes), megabytes(maxBytes));
}

QImage readStillImage(const QString& path, qint64 maxBytes)
{
    if (!isReadableFileAt(path))
        return {};
    allowStillAllocations();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (stillRefusal(reader, maxBytes))
        return {};
    QImage image = reader.read();
    if (image.isNull())
        return image;
    return toSrgb(std::move(image));
}

// The size within side × side that keeps the aspect, never thinner than a pixel.
static QSize fitted(QSize size, int side)
{
    return size.scaled(side, side, Qt::KeepAspectRatio).expandedTo({1, 1});
}

static bool isIndexed(QImage::Format format)
{
    return format == QImage::Format_Mono || format == QImage::Format_MonoLSB || format == QImage::Format_Indexed8;
}

// Qt's PNG reader, asked for a reduced picture, loses the colour table of a 1-bit palette (a red card comes out black
// and white) and the transparency of every palette; and Qt's smooth scaling halves the transparency of a 16-bit
// picture with alpha again. Such pictures are read whole instead, within what an output would decode.
static bool reducesWrongly(QImage::Format format)
{
    return isIndexed(format) || format == QImage::Format_RGBA64 || format == QImage::Format_RGBA64_Premultiplied;
}

// A picture read whole is thinned in its own format to a few times the wanted size before it is turned into 8-bit
// colour and smoothed: it is never expanded at full size.
static QImage reducedWhole(const QImage& image, int maxPixelSize)
{
    const int roughSide = maxPixelSize * 4;
    QImage rough = image;
    if (image.width() > roughSide || image.height() > roughSide)
        rough = image.scaled(fitted(image.size(), roughSide), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (rough.depth() != 32)
        rough = rough.convertToFormat(rough.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    return rough.scaled(fitted(rough.size(), maxPixelSize), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage readStillThumbnail(const QString& path, int maxPixelSize)
{
    if (!isReadableFileAt(path))
        return {};
    allowStillAllocations();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    const bool whole = reducesWrongly(reader.imageFormat());
    if (whole && stillRefusal(reader))
        return {};
    if (full.isValid() && (full.width() > maxPixelSize || full.height() > maxPixelSize) && !whole)
        reader.setScaledSize(fitted(full, maxPixelSize));
    QImage image = reader.read();
    if (image.isNull() || (image.width() <= maxPixelSize && image.height() <= maxPixelSize))
        return toSrgb(std::move(image));
    return toSrgb(reducedWhole(image, maxPixelSize));
}

QString oversizePictureText(QSize size)
{
    return QStringLiteral("画面尺寸 %1×%2 超过上限 %3×%3").arg(size.width()).arg(size.height()).arg(kMaxStillSide);
}
