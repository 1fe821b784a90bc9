#pragma once

#include "screenoutputsource.h"

class Engine;

// An engine's screens as the output layer sees them. One per engine, a child of it, made on first use.
class EngineOutputSource : public ScreenOutputSource
{
    Q_OBJECT
  public:
    static EngineOutputSource* of(Engine& engine);

    Picture* program(const ScreenRole& role) const override;
    ProjectorMapping mapping(const ScreenRole& role) const override;
    bool testPattern() const override;

  private:
    explicit EngineOutputSource(Engine& engine);

    Engine& m_engine;
};
