#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

// Where a window opens on a display: at its default size where the display's free area (without panels and docks)
// holds it with its frame, else at the largest size that fits, never below its minimum; its frame centred in the
// free area and never above or left of it, so the title bar and the window's header are on screen.
struct WindowPlacement
{
    QSize size; // the window's content, without the frame
    QPoint frameTopLeft;

    bool operator==(const WindowPlacement&) const = default;

    static WindowPlacement fitted(QSize defaultSize, QSize minimumSize, QRect available, QMargins frame);
};

// Sizes and places a window that is about to open for the first time on a display, by its default size.
void placeOpeningWindow(QWidget& window, QSize defaultSize, QScreen* screen);
