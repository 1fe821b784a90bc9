#pragma once

#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <optional>

// One connected display as the engine sees it.
struct DisplayScreen
{
    int number = 0;   // at least 1, the same for the same display for the life of the process
    QString identity; // stored in a show's display bindings to find the display again
    QString name;
    QRect geometry;
    QSize pixelSize;

    bool operator==(const DisplayScreen&) const = default;

    // "name · width × height" in pixels.
    QString displayName() const;

    // The pixel size of a display: the mode's when it reports one, turned to the frame's orientation (a mode
    // reports the panel's native way round even when the display is rotated); else the frame times the scale.
    static QSize pixelSizeFor(std::optional<QSize> modePixels, QSizeF frame, qreal scale);
};
