#include "display.h"

QString Display::displayName() const
{
    return QStringLiteral("%1 · %2 × %3").arg(name).arg(pixelSize.width()).arg(pixelSize.height());
}
