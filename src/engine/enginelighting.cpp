#include "engine.h"

#include "lightingoutput.h"

bool Engine::lightsBlack() const
{
    return m_lights->lightsBlack();
}

void Engine::setLightsBlack(bool black)
{
    if (black == m_lights->lightsBlack())
        return;
    m_lights->setLightsBlack(black);
    emit lightsBlackChanged();
}

void Engine::configureLights()
{
    m_lights->configureLights(m_show.artNetHost, m_show.universe);
}

void Engine::applyLighting(const std::optional<Lighting>& lighting)
{
    m_lights->applyLighting(lighting, m_show.artNetHost, m_show.universe);
}
