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

// The check looks at the show as it will be once the edits waiting for their answers are made, as it would have
// with them in at the press.
void ProjectionLaunch::requestStart()
{
    const QString name = usesPlaylist(m_state.projectionMode()) ? rawValue(m_state.projectionMode())
                         : m_state.selection()                  ? m_state.selection()->name
                                                                : QString();
    const QPointer<ConsoleState> state(&m_state);
    m_engine.checkInTurn(
        name,
        [state, openWindow = m_openWindow] {
            return state ? ProjectionLaunch(*state, openWindow).checkCues() : QList<Cue>{};
        },
        [state, openWindow = m_openWindow] {
            if (state)
                ProjectionLaunch(*state, openWindow).startOrCheck();
        });
}

void ProjectionLaunch::startOrCheck()
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
