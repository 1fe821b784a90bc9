#include "checkanswers.h"

#include "checkedfiles.h"
#include "mediafiles.h"

CheckAnswers::CheckAnswers(MediaFiles& files, const QList<Cue>& cues, const QList<MediaAsset>& assets)
    : m_files(checkedFiles(cues, assets))
{
    files.hurry(m_files, FileDepth::header);
    for (const QUrl& url : std::as_const(m_files)) {
        const std::optional<FileAnswer> answer = files.known(url, FileDepth::header);
        if (answer && (!answer->readable || answer->unusable))
            m_doubtful.append(url);
    }
    if (!m_doubtful.isEmpty()) {
        files.refresh(m_doubtful, FileDepth::header, MediaFiles::Again::fromNow, MediaFiles::Urgency::urgent);
        return;
    }
    // The answers in hand decide now; the disk is asked again behind them, so that the next check sees any change.
    if (in(files))
        files.refresh(m_files, FileDepth::header);
}

bool CheckAnswers::in(MediaFiles& files) const
{
    for (const QUrl& url : m_files)
        if (files.state(url, FileDepth::header) == FileState::waiting)
            return false;
    for (const QUrl& url : m_doubtful)
        if (files.onTheWay(url))
            return false;
    return true;
}
