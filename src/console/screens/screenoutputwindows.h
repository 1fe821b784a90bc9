#pragma once

#include "outputwindowfactory.h"

// The real output windows, for the engine's services.
class ScreenOutputWindows : public OutputWindowFactory
{
  public:
    std::unique_ptr<OutputWindow> open(Engine& engine, const ScreenRole& role, const DisplayScreen& display) override;
};
