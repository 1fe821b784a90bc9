#include "displayscreen.h"

QString DisplayScreen::displayName() const
{
    return QStringLiteral("%1 · %2 × %3").arg(name).arg(pixelSize.width()).arg(pixelSize.height());
}

QSize DisplayScreen::pixelSizeFor(std::optional<QSize> modePixels, QSizeF frame, qreal scale)
{
    if (!modePixels || modePixels->width() < 1 || modePixels->height() < 1)
        return QSize(int(frame.width() * scale), int(frame.height() * scale));
    const QSize mode = *modePixels;
    const bool modeLandscape = mode.height() < mode.width();
    const bool modePortrait = mode.width() < mode.height();
    if ((modeLandscape && frame.width() < frame.height()) || (modePortrait && frame.height() < frame.width()))
        return mode.transposed();
    return mode;
}
