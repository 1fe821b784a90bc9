#pragma once

#include "projectormapping.h"
#include "screenrole.h"

#include <QObject>

class Picture;

// What the output layer needs to put a screen out: its programme picture, its projector mapping and whether the
// test pattern is on for real displays. The engine's side implements it; tests hand in their own.
class ScreenOutputSource : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    // Null when the show has no such screen. A mapping's source names a screen of the show or nothing.
    virtual Picture* program(const ScreenRole& role) const = 0;
    virtual ProjectorMapping mapping(const ScreenRole& role) const = 0;
    virtual bool testPattern() const = 0;

  signals:
    // Any of the above may have changed.
    void changed();
};
