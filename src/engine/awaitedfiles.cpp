#include "awaitedfiles.h"

#include "turnslices.h"

#include <algorithm>
#include <utility>

static constexpr qsizetype kAskedAtOnce = 128;

AwaitedFiles::AwaitedFiles(MediaFiles& files, QObject* parent) : QObject(parent), m_files(files)
{
    connect(&m_files, &MediaFiles::answeredFiles, this, &AwaitedFiles::runSettled);
    connect(&m_files, &MediaFiles::questionsAnswered, this, &AwaitedFiles::runSettled);
    m_asking.setSingleShot(true);
    m_asking.setInterval(0);
    connect(&m_asking, &QTimer::timeout, this, &AwaitedFiles::askWaiting);
}

void AwaitedFiles::await(const QList<QUrl>& urls, FileDepth depth, Freshness freshness, std::function<void()> then)
{
    await(urls, depth, freshness, {}, std::move(then));
}

void AwaitedFiles::await(const QList<QUrl>& urls, FileDepth depth, Freshness freshness, Each each,
                         std::function<void()> then)
{
    Work work{urls,
              depth,
              freshness,
              std::move(then),
              0,
              m_files.revivals(),
              freshness == Freshness::fresh ? 0 : urls.size(),
              std::move(each)};
    QElapsedTimer slice;
    slice.start();
    const bool asked = (m_asking.isActive() && freshness == Freshness::fresh) ? false : askSlice(work, slice);
    if (asked && m_waiting.isEmpty() && settled(work, slice) && eachSlice(work, slice)) {
        work.then();
        return;
    }
    m_waiting.append(std::move(work));
    if (!m_asking.isActive())
        m_asking.start();
}

bool AwaitedFiles::askSlice(Work& work, const QElapsedTimer& slice)
{
    while (work.askedUpTo < work.urls.size()) {
        const qsizetype count = std::min(kAskedAtOnce, work.urls.size() - work.askedUpTo);
        m_files.refresh(work.urls.mid(work.askedUpTo, count), work.depth, MediaFiles::Again::fromNow);
        work.askedUpTo += count;
        if (slice.nsecsElapsed() > kTurnSliceNs)
            return work.askedUpTo == work.urls.size();
    }
    return true;
}

// The works waiting to be asked go in their order, a slice's time each turn.
void AwaitedFiles::askWaiting()
{
    QElapsedTimer slice;
    slice.start();
    for (Work& work : m_waiting)
        if (!askSlice(work, slice)) {
            m_asking.start();
            return;
        }
    runSettled();
}

// A file settled stays so, unless its folder had stalled and answered again since: then it may be waiting again,
// and the files are looked at from the first.
bool AwaitedFiles::settled(Work& work, const QElapsedTimer& slice, bool* outOfTime) const
{
    if (work.askedUpTo < work.urls.size())
        return false;
    if (work.revivals != m_files.revivals()) {
        work.revivals = m_files.revivals();
        work.settledUpTo = 0;
    }
    for (; work.settledUpTo < work.urls.size(); ++work.settledUpTo) {
        const QUrl& url = work.urls[work.settledUpTo];
        const FileState state = m_files.state(url, work.depth);
        if (state == FileState::waiting)
            return false;
        if (work.freshness == Freshness::fresh && m_files.onTheWay(url))
            return false;
        if ((work.settledUpTo + 1) % 256 == 0 && slice.nsecsElapsed() > kTurnSliceNs) {
            ++work.settledUpTo;
            if (outOfTime)
                *outOfTime = work.settledUpTo < work.urls.size();
            return work.settledUpTo == work.urls.size();
        }
    }
    return true;
}

bool AwaitedFiles::eachSlice(Work& work, const QElapsedTimer& slice)
{
    if (!work.each)
        return true;
    while (work.doneUpTo < work.urls.size()) {
        work.each(work.doneUpTo++);
        if (work.doneUpTo % 64 == 0 && slice.nsecsElapsed() > kTurnSliceNs)
            return work.doneUpTo == work.urls.size();
    }
    return true;
}

void AwaitedFiles::runSettled()
{
    QElapsedTimer slice;
    slice.start();
    bool outOfTime = false;
    while (!m_waiting.isEmpty() && settled(m_waiting.first(), slice, &outOfTime)) {
        if (!eachSlice(m_waiting.first(), slice)) {
            m_asking.start();
            return;
        }
        // The work may give more work, or cancel what waits.
        const Work work = m_waiting.takeFirst();
        work.then();
    }
    // Thousands of answers in at once are looked through over several turns.
    if (outOfTime)
        m_asking.start();
}
