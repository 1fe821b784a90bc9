#include "consolestate.h"

#include "engine.h"

#include <algorithm>

ConsoleState::ConsoleState(Engine& engine, LumoSettings& settings, QObject* parent)
    : QObject(parent), m_engine(engine), m_settings(settings), m_screens(engine.showScreens())
{
    connect(&engine, &Engine::showChanged, this, &ConsoleState::screensMayHaveChanged);
}

// Only a real change of the screens moves the page back and drops ticks of screens that are gone.
void ConsoleState::screensMayHaveChanged()
{
    const QList<ScreenRole> screens = m_engine.showScreens();
    if (screens == m_screens)
        return;
    m_screens = screens;
    setScreenPage(std::min(m_screenPage, lastScreenPage(screens.size())));
    QSet<ScreenRole> kept;
    for (const ScreenRole& role : m_selectedScreens)
        if (screens.contains(role))
            kept.insert(role);
    setSelectedScreens(kept);
}

int ConsoleState::lastScreenPage(qsizetype screenCount)
{
    return std::max<int>(0, int(screenCount - 1) / screensPerPage);
}

int ConsoleState::lastScreenPage() const
{
    return lastScreenPage(m_engine.showScreens().size());
}

std::optional<int> ConsoleState::selectedIndex() const
{
    const std::optional<QUuid> id = m_engine.selected();
    if (!id)
        return std::nullopt;
    const QList<Cue>& cues = m_engine.show().cues;
    for (int i = 0; i < cues.size(); ++i)
        if (cues[i].id == *id)
            return i;
    return std::nullopt;
}

std::optional<Cue> ConsoleState::selection() const
{
    const std::optional<int> index = selectedIndex();
    if (!index)
        return std::nullopt;
    return m_engine.show().cues[*index];
}

void ConsoleState::setPreviewMode(bool on)
{
    if (on == m_previewMode)
        return;
    m_previewMode = on;
    emit previewModeChanged();
}

void ConsoleState::setPreflightOpen(bool open)
{
    if (open == m_preflightOpen)
        return;
    m_preflightOpen = open;
    emit preflightOpenChanged();
}

void ConsoleState::setLaunchAfterCheck(bool launch)
{
    if (launch == m_launchAfterCheck)
        return;
    m_launchAfterCheck = launch;
    emit launchAfterCheckChanged();
}

void ConsoleState::setPreviewHeight(double height)
{
    height = std::clamp(height, minimumPreviewHeight, maximumPreviewHeight);
    if (height == m_previewHeight)
        return;
    m_previewHeight = height;
    emit previewHeightChanged();
}

void ConsoleState::setAudioExpanded(bool expanded)
{
    if (expanded == m_audioExpanded)
        return;
    m_audioExpanded = expanded;
    emit audioExpandedChanged();
}

void ConsoleState::setLightingModuleOpen(bool open)
{
    if (open == m_lightingModuleOpen)
        return;
    m_lightingModuleOpen = open;
    emit lightingModuleOpenChanged();
}

void ConsoleState::setSelectedScreens(const QSet<ScreenRole>& screens)
{
    if (screens == m_selectedScreens)
        return;
    m_selectedScreens = screens;
    emit selectedScreensChanged();
}

void ConsoleState::setScreenPage(int page)
{
    if (page == m_screenPage)
        return;
    m_screenPage = page;
    emit screenPageChanged();
}

void ConsoleState::setProjectionMode(ProjectionMode mode)
{
    if (mode == m_projectionMode)
        return;
    m_projectionMode = mode;
    emit projectionModeChanged();
}
