#include "projectionlaunch.h"

#include "consolestate.h"
#include "lumosettings.h"

#include <QPointer>

ProjectionLaunch::ProjectionLaunch(ConsoleState& state, std::function<void(const QString&)> openWindow)
    : m_state(state), m_engine(state.engine()), m_openWindow(std::move(openWindow))
{
}

QList<Cue> ProjectionLaunch::checkCues() const
{
    if (usesPlaylist(m_state.projectionMode()))
        return m_engine.show().cues;
    const std::optional<Cue> selected = m_state.selection();
    return selected ? QList<Cue>{*selected} : QList<Cue>{};
}

QList<Engine::PlaybackIssue> ProjectionLaunch::findings() const
{
    return m_engine.playbackIssues(checkCues(), m_engine.show().assets.value_or(QList<MediaAsset>{}), true);
}

bool ProjectionLaunch::canLaunch() const
{
    return !m_engine.projectionMode() && !checkCues().isEmpty();
}

void ProjectionLaunch::openCheck()
{
    m_state.setLaunchAfterCheck(false);
    m_state.setPreflightOpen(true);
}

void ProjectionLaunch::requestStart()
{
    if (findings().isEmpty()) {
        startProjection(Engine::Preflight::alreadyPassed);
        return;
    }
    m_state.setLaunchAfterCheck(true);
    m_state.setPreflightOpen(true);
}

// A run that waits its turn behind answers still on the way may be refused when they come: the monitors turn to
// what is on air, and the run's monitor window opens, only once it has started. The run may start after whatever
// asked for it (the check sheet) is gone; it answers to the console, which it finds through its state.
bool ProjectionLaunch::startProjection(Engine::Preflight preflight)
{
    const auto begun = [state = QPointer<ConsoleState>(&m_state), openWindow = m_openWindow] {
        if (!state)
            return;
        state->setPreviewMode(false);
        if (state->settings().autoOpenProjectionMonitor() && openWindow)
            openWindow(QStringLiteral("projection-monitor"));
    };
    return m_engine.beginProjection(m_state.projectionMode(), m_state.selection(), preflight, begun);
}
