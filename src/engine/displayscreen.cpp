#include "displayscreen.h"

QString DisplayScreen::displayName() const
{
    return QStringLiteral("%1 · %2 × %3").arg(name).arg(pixelSize.width()).arg(pixelSize.height());
}
