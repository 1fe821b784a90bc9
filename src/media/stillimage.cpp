#include "stillimage.h"

#include <QColorSpace>
#include <QImageReader>

QImage readStillImage(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        return image;
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
