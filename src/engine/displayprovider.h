#pragma once

#include "displayscreen.h"

#include <QList>
#include <QObject>

// The connected displays, and a signal when they change (connected, removed, resized).
class DisplayProvider : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;
    virtual QList<DisplayScreen> displays() const = 0;
    // Whether the console window (a visible window titled "Lumoria") lies on the display with that number.
    virtual bool holdsConsole(int number) const
    {
        Q_UNUSED(number);
        return false;
    }
    // Whether the window that has the keyboard lies on the display with that number.
    virtual bool holdsKeyWindow(int number) const
    {
        Q_UNUSED(number);
        return false;
    }

  signals:
    void displaysChanged();
};
