#include "checkanswers.h"

#include "checkedfiles.h"
#include "mediafiles.h"

CheckAnswers::CheckAnswers(MediaFiles& files, const QList<Cue>& cues, const QList<MediaAsset>& assets)
    : m_files(checkedFiles(cues, assets)), m_revivals(files.revivals())
{
    // One look at each file: those without an answer go ahead of everything asked in the background.
    QList<QUrl> unanswered;
    for (const QUrl& url : std::as_const(m_files)) {
        const std::optional<FileAnswer> answer = files.known(url, FileDepth::header);
        if (!answer)
            unanswered.append(url);
        else if (!answer->readable || answer->unusable)
            m_doubtful.append(url);
    }
    files.hurry(unanswered, FileDepth::header);
    // Every file answered is in, wherever its folder stands now.
    if (unanswered.isEmpty())
        m_inUpTo = m_files.size();
    if (!m_doubtful.isEmpty()) {
        files.refresh(m_doubtful, FileDepth::header, MediaFiles::Again::fromNow, MediaFiles::Urgency::urgent);
        return;
    }
    // The answers in hand decide now; the disk is asked again behind them, so that the next check sees any change.
    if (in(files))
        files.refreshInTurns(m_files, FileDepth::header);
}

// An answer in stays in, unless its folder had stalled and answered again since: then every file is looked at again.
bool CheckAnswers::in(MediaFiles& files) const
{
    if (m_revivals != files.revivals()) {
        m_revivals = files.revivals();
        m_inUpTo = m_doubtfulInUpTo = 0;
    }
    for (; m_inUpTo < m_files.size(); ++m_inUpTo)
        if (files.state(m_files[m_inUpTo], FileDepth::header) == FileState::waiting)
            return false;
    for (; m_doubtfulInUpTo < m_doubtful.size(); ++m_doubtfulInUpTo)
        if (files.onTheWay(m_doubtful[m_doubtfulInUpTo]))
            return false;
    return true;
}
