#include "mediaaskahead.h"

#include "mediafiles.h"

static constexpr int kAskNextCueAgainMs = 1000;

MediaAskAhead::MediaAskAhead(MediaFiles& files, Files showFiles, Files nextCueFiles, QObject* parent)
    : QObject(parent), m_files(files), m_showFiles(std::move(showFiles)), m_nextCueFiles(std::move(nextCueFiles))
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    connect(&m_soon, &QTimer::timeout, this, &MediaAskAhead::askAhead);
    m_again.setInterval(kAskNextCueAgainMs);
    connect(&m_again, &QTimer::timeout, this, [this] { m_files.refresh(m_nextCueFiles(), FileDepth::header); });
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
    m_files.refresh(m_nextCueFiles(), FileDepth::header);
}
