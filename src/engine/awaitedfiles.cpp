#include "awaitedfiles.h"

#include <utility>

AwaitedFiles::AwaitedFiles(MediaFiles& files, QObject* parent) : QObject(parent), m_files(files)
{
    connect(&m_files, &MediaFiles::answered, this, &AwaitedFiles::runSettled);
    connect(&m_files, &MediaFiles::questionsAnswered, this, &AwaitedFiles::runSettled);
}

void AwaitedFiles::await(const QList<QUrl>& urls, FileDepth depth, Freshness freshness, std::function<void()> then)
{
    if (freshness == Freshness::fresh)
        m_files.refresh(urls, depth, MediaFiles::Again::fromNow);
    Work work{urls, depth, freshness, std::move(then)};
    if (m_waiting.isEmpty() && settled(work)) {
        work.then();
        return;
    }
    m_waiting.append(std::move(work));
}

bool AwaitedFiles::settled(const Work& work) const
{
    for (const QUrl& url : work.urls) {
        const FileState state = m_files.state(url, work.depth);
        if (state == FileState::waiting)
            return false;
        if (work.freshness == Freshness::fresh && m_files.onTheWay(url))
            return false;
    }
    return true;
}

void AwaitedFiles::runSettled()
{
    while (!m_waiting.isEmpty() && settled(m_waiting.first())) {
        // The work may give more work, or cancel what waits.
        const Work work = m_waiting.takeFirst();
        work.then();
    }
}
