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

// The check looks at the cues chosen at the press (the mode, the selected cue) in the show as it will be once the
// edits waiting for their answers are made, as it would have with them in at the press.
void ProjectionLaunch::requestStart()
{
    const ProjectionMode mode = m_state.projectionMode();
    const std::optional<Cue> selected = m_state.selection();
    const QString name = usesPlaylist(mode) ? rawValue(mode) : selected ? selected->name : QString();
    const QPointer<ConsoleState> state(&m_state);
    Engine* engine = &m_engine;
    const auto cues = [engine, mode, selected] {
        if (usesPlaylist(mode))
            return engine->show().cues;
        if (!selected)
            return QList<Cue>{};
        for (const Cue& cue : engine->show().cues)
            if (cue.id == selected->id)
                return QList<Cue>{cue};
        return QList<Cue>{*selected};
    };
    m_engine.checkInTurn(name, cues, [state, openWindow = m_openWindow, engine, mode, cues] {
        if (!state)
            return;
        const QList<Cue> covered = cues();
        if (!engine->playbackIssues(covered, engine->show().assets.value_or(QList<MediaAsset>{}), true).isEmpty()) {
            state->setLaunchAfterCheck(true);
            state->setPreflightOpen(true);
            return;
        }
        ProjectionLaunch(*state, openWindow)
            .startProjection(mode, covered.isEmpty() ? std::nullopt : std::optional(covered.first()),
                             Engine::Preflight::alreadyPassed);
    });
}

// A run that waits its turn behind answers still on the way may be refused when they come: the monitors turn to
// what is on air, and the run's monitor window opens, only once it has started. The run may start after whatever
// asked for it (the check sheet) is gone; it answers to the console, which it finds through its state.
bool ProjectionLaunch::startProjection(Engine::Preflight preflight)
{
    return startProjection(m_state.projectionMode(), m_state.selection(), preflight);
}

bool ProjectionLaunch::startProjection(ProjectionMode mode, const std::optional<Cue>& cue, Engine::Preflight preflight)
{
    const auto begun = [state = QPointer<ConsoleState>(&m_state), openWindow = m_openWindow] {
        if (!state)
            return;
        state->setPreviewMode(false);
        if (state->settings().autoOpenProjectionMonitor() && openWindow)
            openWindow(QStringLiteral("projection-monitor"));
    };
    return m_engine.beginProjection(mode, cue, preflight, begun);
}
