#pragma once

#include "displayscreen.h"
#include "screenrole.h"

#include <memory>

class Engine;

// One borderless output window covering a display. Destroying it closes it.
class OutputWindow
{
  public:
    virtual ~OutputWindow() = default;
    // Covers the display again (after a change of its resolution or arrangement).
    virtual void place(const DisplayScreen& display) = 0;
    virtual void raise() = 0;
    // False once the window lost its display and closed itself.
    virtual bool isOpen() const = 0;
};

// Opens the output windows; supplied by the console over the output layer, replaced in tests.
class OutputWindowFactory
{
  public:
    virtual ~OutputWindowFactory() = default;
    // A window on the display showing the screen's programme; none when it cannot be opened there.
    virtual std::unique_ptr<OutputWindow> open(Engine& engine, const ScreenRole& role,
                                               const DisplayScreen& display) = 0;
};
