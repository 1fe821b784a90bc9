#pragma once

#include "engine.h"
#include "mediafiles.h"

#include <QHash>
#include <QList>
#include <QSet>

// The check sheet's findings, kept between checks: while nothing but cues changed in the show, only the cues that
// changed (or came in) are checked again and the others keep their findings, so an edit of a large show with the
// sheet open costs the edited cues alone. Lengths measured and entries added to the library that no event names
// change no finding either. Anything else checks every cue. A cue is checked again too when the disk's
// answer about one of its files changed (a file deleted, restored or replaced, or its folder stalled), and at each
// update while one of its files has not answered. The disk is never asked here beyond what the check asks.
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
    // The disk's answer about the file changed: the cues that use it are checked again at the next update.
    void fileAnswered(const QUrl& file);

  private:
    struct CheckedCue
    {
        Cue cue;
        Findings findings;
        // Every file the cue's check may have looked at.
        QList<QUrl> files;
        // One of them had not answered the check: the cue is checked again at every update until they all have.
        bool waitsForAnswer = false;
    };
    // The files a cue plays, its own and those of its timeline's assets.
    QList<QUrl> filesOf(const Cue& cue) const;

    const Engine& m_engine;
    // The show as last checked, without its cues: the rest of what the findings depend on.
    Show m_context;
    QHash<QUuid, QUrl> m_assetFiles;
    QSet<QUrl> m_answeredSince;
    QList<CheckedCue> m_checked;
    QList<Findings> m_groups;
};
