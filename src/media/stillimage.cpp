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

QImage readStillThumbnail(const QString& path, int maxPixelSize)
{
    if (!isReadableFileAt(path))
        return {};
    allowStillAllocations();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > maxPixelSize || full.height() > maxPixelSize))
        reader.setScaledSize(full.scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio).expandedTo({1, 1}));
    QImage image = reader.read();
    if (image.isNull())
        return image;
    if (image.width() > maxPixelSize || image.height() > maxPixelSize)
        image = image.scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return toSrgb(std::move(image));
}

QString oversizePictureText(QSize size)
{
    return QStringLiteral("画面尺寸 %1×%2 超过上限 %3×%3").arg(size.width()).arg(size.height()).arg(kMaxStillSide);
}
