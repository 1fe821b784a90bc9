#pragma once

#include <QRect>
#include <QSize>
#include <QString>

// One connected display as the engine sees it.
struct DisplayScreen
{
    int number = 0;    // at least 1, the same for the same display for the life of the process
    QString identity;  // stored in a show's display bindings to find the display again
    QString name;
    QRect geometry;
    QSize pixelSize;

    bool operator==(const DisplayScreen&) const = default;

    // "name · width × height" in pixels.
    QString displayName() const;
};
