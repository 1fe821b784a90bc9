#include "windowplacement.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <algorithm>

WindowPlacement WindowPlacement::fitted(QSize defaultSize, QSize minimumSize, QRect available, QMargins frame)
{
    const QSize room = available.size().shrunkBy(frame);
    const QSize size = defaultSize.boundedTo(room).expandedTo(minimumSize);
    const QSize framed = size.grownBy(frame);
    QPoint topLeft = available.topLeft() +
                     QPoint((available.width() - framed.width()) / 2, (available.height() - framed.height()) / 2);
    topLeft.setX(std::max(topLeft.x(), available.left()));
    topLeft.setY(std::max(topLeft.y(), available.top()));
    return {size, topLeft};
}

// The frame a window manager puts around a window is known only once one is shown: that of a window already on
// screen, else a title bar of the style's height.
static QMargins expectedFrame(const QWidget& opening)
{
    for (const QWidget* shown : QApplication::topLevelWidgets())
        if (shown != &opening && shown->isVisible() && shown->windowHandle() && !shown->isModal())
            if (const QMargins frame = shown->windowHandle()->frameMargins(); !frame.isNull())
                return frame;
    return {0, opening.style()->pixelMetric(QStyle::PM_TitleBarHeight), 0, 0};
}

void placeOpeningWindow(QWidget& window, QSize defaultSize, QScreen* screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const WindowPlacement placement =
        WindowPlacement::fitted(defaultSize, window.minimumSize(), screen->availableGeometry(), expectedFrame(window));
    window.resize(placement.size);
    // A move places the frame, title bar included, where it is asked to go.
    window.move(placement.frameTopLeft);
}
