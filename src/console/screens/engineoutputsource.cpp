#include "engineoutputsource.h"

#include "engine.h"

EngineOutputSource* EngineOutputSource::of(Engine& engine)
{
    if (auto* source = engine.findChild<EngineOutputSource*>(QString(), Qt::FindDirectChildrenOnly))
        return source;
    return new EngineOutputSource(engine);
}

EngineOutputSource::EngineOutputSource(Engine& engine) : ScreenOutputSource(&engine), m_engine(engine)
{
    for (auto signal : {&Engine::showChanged, &Engine::screensChanged, &Engine::projectionTestPatternChanged})
        connect(&engine, signal, this, &ScreenOutputSource::changed);
}

Picture* EngineOutputSource::program(const ScreenRole& role) const
{
    return m_engine.program(role);
}

ProjectorMapping EngineOutputSource::mapping(const ScreenRole& role) const
{
    return m_engine.mapping(role);
}

bool EngineOutputSource::testPattern() const
{
    return m_engine.projectionTestPattern();
}
