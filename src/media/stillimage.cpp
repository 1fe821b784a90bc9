#include "stillimage.h"

#include "mediafile.h"

#include <QColorSpace>
#include <QImageReader>

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

QImage readStillImage(const QString& path)
{
    if (!isReadableFileAt(path))
        return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (isOversizeStill(reader.size()))
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
