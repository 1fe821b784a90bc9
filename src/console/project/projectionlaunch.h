#pragma once

#include "engine.h"

#include <functional>

class ConsoleState;

// Starting an automatic run from the console: the cues a check or a run covers, the check before a start, and the
// start itself with what the console does after it.
class ProjectionLaunch
{
  public:
    ProjectionLaunch(ConsoleState& state, std::function<void(const QString&)> openWindow);

    // Every cue in a playlist mode, else the selected cue alone (none without a selection).
    QList<Cue> checkCues() const;
    // The engine's findings for those cues, reminders included.
    QList<Engine::PlaybackIssue> findings() const;
    // Whether "投放检查" and "开始投放" can act: no run on, and something to cover.
    bool canLaunch() const;

    // "投放检查": opens the check sheet without the offer to start.
    void openCheck();
    // "开始投放": starts at once when the check finds nothing, else opens the sheet with the offer to start.
    void requestStart();
    // Starts the run; once it has started the monitors show what is on air and the run's monitor window opens if
    // wanted. False when it was refused at once.
    bool startProjection(Engine::Preflight preflight = Engine::Preflight::check);
    bool startProjection(ProjectionMode mode, const std::optional<Cue>& cue, Engine::Preflight preflight);

  private:
    ConsoleState& m_state;
    Engine& m_engine;
    std::function<void(const QString&)> m_openWindow;
};
