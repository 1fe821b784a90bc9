#include "mediaaskahead.h"

#include "mediafiles.h"
#include "turnslices.h"

#include <QElapsedTimer>
#include <utility>

// The next cue's files are looked over every two seconds, and those whose answer has aged asked again by their stamp:
// a slow share is not kept busy, and a file deleted or a share that stopped answering still shows well before the
// operator reaches GO.
static constexpr int kAskNextCueAgainMs = 2000;
MediaAskAhead::MediaAskAhead(MediaFiles& files, Files showFiles, Files nextCueFiles, QObject* parent)
    : QObject(parent), m_files(files), m_showFiles(std::move(showFiles)), m_nextCueFiles(std::move(nextCueFiles))
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    connect(&m_soon, &QTimer::timeout, this, &MediaAskAhead::askAhead);
    m_again.setInterval(kAskNextCueAgainMs);
    connect(&m_again, &QTimer::timeout, this, [this] {
        // A round still going on over a very large cue is let finish first.
        if (m_againTurns.isActive())
            return;
        m_againFiles = m_nextAsked;
        m_againUpTo = 0;
        askAgainSlice();
    });
    m_again.start();
    m_againTurns.setSingleShot(true);
    m_againTurns.setInterval(0);
    connect(&m_againTurns, &QTimer::timeout, this, &MediaAskAhead::askAgainSlice);
    showChanged();
}

void MediaAskAhead::showChanged()
{
    m_changed = true;
    if (!m_soon.isActive())
        m_soon.start();
}

void MediaAskAhead::askAhead()
{
    if (std::exchange(m_changed, false)) {
        // The next cue's files are asked afresh when another cue, or other files, come next; an edit elsewhere in
        // the show leaves them to the stamps.
        if (QList<QUrl> next = m_nextCueFiles(); next != m_nextAsked) {
            m_files.refresh(next, FileDepth::header);
            m_nextAsked = std::move(next);
        }
        m_toAsk = m_showFiles();
        m_askedUpTo = 0;
        m_files.expect(m_toAsk.size());
        // Listing a large show's files is a turn's work of its own.
        if (!m_toAsk.isEmpty())
            return m_soon.start();
    }
    askSlice();
    if (m_askedUpTo < m_toAsk.size())
        m_soon.start();
    else
        m_toAsk.clear();
}

// Asks only the files never asked, what was asked before being known or on its way; a large library is asked a slice
// a turn, so that the show's thread goes on between them.
void MediaAskAhead::askSlice()
{
    QElapsedTimer slice;
    slice.start();
    while (m_askedUpTo < m_toAsk.size()) {
        m_files.state(m_toAsk[m_askedUpTo++], FileDepth::header);
        if (m_askedUpTo % 64 == 0 && slice.nsecsElapsed() > kTurnSliceNs)
            return;
    }
}

void MediaAskAhead::askAgainSlice()
{
    QElapsedTimer slice;
    slice.start();
    while (m_againUpTo < m_againFiles.size()) {
        m_files.refreshAged(m_againFiles[m_againUpTo++], FileDepth::stamp);
        if (m_againUpTo % 64 == 0 && slice.nsecsElapsed() > kTurnSliceNs)
            return m_againTurns.start();
    }
    m_againFiles.clear();
}
