#include "engine.h"

#include "independentscreens.h"

bool Engine::play(const Cue& cue, const QSet<ScreenRole>& screens)
{
    return m_independent->play(cue, screens);
}

void Engine::pauseScreens(const QSet<ScreenRole>& screens)
{
    m_independent->pause(screens);
}

void Engine::resumeScreens(const QSet<ScreenRole>& screens)
{
    m_independent->resume(screens);
}

void Engine::stopScreens(const QSet<ScreenRole>& screens)
{
    m_independent->stop(screens);
}

void Engine::returnScreensToProjection(const QSet<ScreenRole>& screens)
{
    m_independent->returnToProjection(screens);
}

const Engine* Engine::independentScreen(const ScreenRole& role) const
{
    return m_independent->engine(role);
}
