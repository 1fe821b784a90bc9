#pragma once

#include "engine.h"

#include <QList>

// The check sheet's findings, kept between checks: while nothing but cues changed in the show, only the cues that
// changed (or came in) are checked again and the others keep their findings, so an edit of a large show with the
// sheet open costs the edited cues alone. Anything else checks every cue.
class PreflightFindings
{
  public:
    using Findings = QList<Engine::PlaybackIssue>;

    explicit PreflightFindings(const Engine& engine) : m_engine(engine) {}

    // The findings for these cues, reminders included, in the engine's order: in groups, one a cue, unless two
    // neighbouring cues share an id (then in one group). A cue kept from the last update keeps its group's data.
    QList<Findings> update(const QList<Cue>& cues);
    // The next update checks every cue again.
    void forget() { m_checked.clear(); }

  private:
    struct CheckedCue
    {
        Cue cue;
        Findings findings;
    };

    const Engine& m_engine;
    // The show as last checked, without its cues: the rest of what the findings depend on.
    Show m_context;
    QList<CheckedCue> m_checked;
    QList<Findings> m_groups;
};
