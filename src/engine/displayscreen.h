#pragma once

#include <QList>
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

    // The displays with the names they are shown by: displays that report the same name (two projectors of one
    // model, the screens of an X server that names none) are told apart as "name (1)", "name (2)", … in the order
    // of their numbers, which hold for the whole process.
    static QList<DisplayScreen> namedApart(QList<DisplayScreen> displays);

    // The pixel size of a display: the mode's when it reports one, turned to the frame's orientation (a mode
    // reports the panel's native way round even when the display is rotated); else the frame times the scale.
    static QSize pixelSizeFor(std::optional<QSize> modePixels, QSizeF frame, qreal scale);
};
