#pragma once

#include "engine.h"
#include "mediafiles.h"

#include <QHash>
#include <QList>
#include <QSet>

// The check sheet's findings, kept between checks: while nothing but cues changed in the show, only the cues that
// changed (or came in) are checked again and the others keep their findings, so an edit of a large show with the
// sheet open costs the edited cues alone. Anything else checks every cue. The disk is asked about every file the
// cues use at each update (off the main thread): a cue one of whose files was deleted, restored or replaced since,
// or does not answer, is checked again too.
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
        // Every file the cue's check may have looked at.
        QList<QUrl> files;
        // One of them did not answer the check: the cue is checked again at every update until they all have.
        bool waitsForAnswer = false;
    };
    // The files a cue plays, its own and those of its timeline's assets.
    QList<QUrl> filesOf(const Cue& cue) const;
    // The files whose stamp on disk is not the one taken at the last update, or that did not answer; every stamp is
    // taken afresh, off the main thread.
    QSet<QUrl> restampFiles();
    static std::optional<FileStamp> stampIn(const MediaFiles::Answers& answers, const QUrl& file);

    const Engine& m_engine;
    // The show as last checked, without its cues: the rest of what the findings depend on.
    Show m_context;
    QHash<QUuid, QUrl> m_assetFiles;
    // The disk's stamp of each file the checked cues use, taken before they were checked; none when it did not
    // answer in time.
    QHash<QUrl, std::optional<FileStamp>> m_stamps;
    QList<CheckedCue> m_checked;
    QList<Findings> m_groups;
};
