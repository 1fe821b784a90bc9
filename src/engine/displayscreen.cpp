#include "displayscreen.h"

#include <QHash>
#include <algorithm>

QString DisplayScreen::displayName() const
{
    return QStringLiteral("%1 · %2 × %3").arg(name).arg(pixelSize.width()).arg(pixelSize.height());
}

QList<DisplayScreen> DisplayScreen::namedApart(QList<DisplayScreen> displays)
{
    QHash<QString, QList<int>> numbersByName;
    for (const DisplayScreen& display : std::as_const(displays))
        numbersByName[display.name].append(display.number);
    for (QList<int>& numbers : numbersByName)
        std::sort(numbers.begin(), numbers.end());
    for (DisplayScreen& display : displays) {
        const QList<int>& alike = numbersByName[display.name];
        if (alike.size() > 1)
            display.name = QStringLiteral("%1 (%2)").arg(display.name).arg(alike.indexOf(display.number) + 1);
    }
    return displays;
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
