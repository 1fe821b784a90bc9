#include "mediaaskahead.h"

#include "mediafiles.h"

// A stat a file every two seconds: a slow share is not kept busy, and a file deleted or a share that stopped
// answering still shows well before the operator reaches GO.
static constexpr int kAskNextCueAgainMs = 2000;

MediaAskAhead::MediaAskAhead(MediaFiles& files, Files showFiles, Files nextCueFiles, QObject* parent)
    : QObject(parent), m_files(files), m_showFiles(std::move(showFiles)), m_nextCueFiles(std::move(nextCueFiles))
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    connect(&m_soon, &QTimer::timeout, this, &MediaAskAhead::askAhead);
    m_again.setInterval(kAskNextCueAgainMs);
    connect(&m_again, &QTimer::timeout, this, [this] { m_files.refresh(m_nextCueFiles(), FileDepth::stamp); });
    m_again.start();
    showChanged();
}

void MediaAskAhead::showChanged()
{
    if (!m_soon.isActive())
        m_soon.start();
}

void MediaAskAhead::askAhead()
{
    // Asks only the files never asked; what was asked before is known, or on its way.
    for (const QUrl& url : m_showFiles())
        m_files.state(url, FileDepth::header);
    // The next cue's files are asked afresh when another cue, or other files, come next; an edit elsewhere in the
    // show leaves them to the stamps.
    QList<QUrl> next = m_nextCueFiles();
    if (next == m_nextAsked)
        return;
    m_files.refresh(next, FileDepth::header);
    m_nextAsked = std::move(next);
}
