#pragma once

#include "outputrenderthread.h"
#include "outputwindowfactory.h"

// The real output windows, for the engine's services.
class ScreenOutputWindows : public OutputWindowFactory
{
  public:
    explicit ScreenOutputWindows(OutputRenderOptions options = {}) : m_options(std::move(options)) {}
    std::unique_ptr<OutputWindow> open(Engine& engine, const ScreenRole& role, const DisplayScreen& display) override;

  private:
    OutputRenderOptions m_options;
};
