#include "checkanswers.h"

#include "checkedfiles.h"
#include "mediafiles.h"
#include "turnslices.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <optional>

namespace {

// Up to this many files and events a check gathers at once, as a small show's check answers at once.
constexpr qsizetype kAtOnce = 4096;

} // namespace

struct CheckAnswers::State
{
    MediaFiles& disk;
    std::optional<CheckedMediaMaker> maker;
    std::shared_ptr<const CheckedMedia> media;
    QList<QUrl> files;
    // Files looked at so far while gathering, and those of them without answer.
    qsizetype lookedAt = 0;
    QList<qsizetype> unanswered;
    QList<qsizetype> doubtful;
    bool ready = false;
    QTimer turns;
    QList<std::pair<QPointer<QObject>, std::function<void()>>> waiting;
    // The files before these are in, counted since the folders last stalled and answered again.
    qsizetype inUpTo = 0;
    qsizetype doubtfulInUpTo = 0;
    quint64 revivals = 0;

    explicit State(MediaFiles& files) : disk(files) {}

    // Goes on gathering for at most `budgetNs` (none: to the end); true when done.
    bool gather(qint64 budgetNs)
    {
        QElapsedTimer clock;
        clock.start();
        if (maker) {
            if (!maker->step(budgetNs))
                return false;
            media = maker->done();
            files = media->files;
            maker.reset();
        }
        // One look at each file: those without an answer go ahead of everything asked in the background.
        while (lookedAt < files.size()) {
            const qsizetype file = lookedAt++;
            const std::optional<FileAnswer> answer = disk.known(files[file], depth(file));
            if (!answer)
                unanswered.append(file);
            else if (!answer->readable || answer->unusable)
                doubtful.append(file);
            if (budgetNs >= 0 && lookedAt % 64 == 0 && clock.nsecsElapsed() > budgetNs)
                return false;
        }
        ask();
        return true;
    }

    FileDepth depth(qsizetype file) const { return checkedDepth(*media, file); }

    // The files at these places, by how deep they are asked.
    std::pair<QList<QUrl>, QList<QUrl>> byDepth(const QList<qsizetype>& places) const
    {
        std::pair<QList<QUrl>, QList<QUrl>> split;
        for (const qsizetype file : places)
            (depth(file) == FileDepth::header ? split.first : split.second).append(files[file]);
        return split;
    }

    void ask()
    {
        ready = true;
        revivals = disk.revivals();
        // What the cue puts up as it starts is looked at to the header; the rest need only be readable, which a
        // slow share answers in a few requests, and their headers are looked at behind.
        const auto [headers, readable] = byDepth(unanswered);
        disk.hurry(headers, FileDepth::header);
        disk.hurry(readable, FileDepth::readable);
        // Every file answered is in, wherever its folder stands now.
        if (unanswered.isEmpty())
            inUpTo = files.size();
        if (!doubtful.isEmpty()) {
            const auto [doubtfulHeaders, doubtfulReadable] = byDepth(doubtful);
            for (const auto& [urls, deep] :
                 {std::pair{doubtfulHeaders, FileDepth::header}, std::pair{doubtfulReadable, FileDepth::readable}})
                disk.refresh(urls, deep, MediaFiles::Again::fromNow, MediaFiles::Urgency::urgent);
            return;
        }
        // The answers in hand decide now; the disk is asked again behind them, so that the next check sees any
        // change.
        if (in())
            disk.refreshInTurns(files, FileDepth::header);
    }

    bool in()
    {
        if (!ready)
            return false;
        if (revivals != disk.revivals()) {
            revivals = disk.revivals();
            inUpTo = doubtfulInUpTo = 0;
        }
        for (; inUpTo < files.size(); ++inUpTo)
            if (disk.state(files[inUpTo], depth(inUpTo)) == FileState::waiting)
                return false;
        for (; doubtfulInUpTo < doubtful.size(); ++doubtfulInUpTo)
            if (disk.onTheWay(files[doubtful[doubtfulInUpTo]]))
                return false;
        return true;
    }

    void turn()
    {
        if (!gather(kTurnSliceNs))
            return;
        turns.stop();
        // In a turn of their own: what they do may let go of this check while its timer still fires.
        for (auto& [context, then] : std::exchange(waiting, {}))
            if (context)
                QMetaObject::invokeMethod(context, std::move(then), Qt::QueuedConnection);
    }
};

CheckAnswers::CheckAnswers(MediaFiles& files, const QList<Cue>& cues, const QList<MediaAsset>& assets)
    : m_state(std::make_shared<State>(files))
{
    qsizetype size = 0;
    if (std::optional<std::shared_ptr<const CheckedMedia>> known = knownCheckedMedia(cues, assets)) {
        m_state->media = *known;
        m_state->files = (*known)->files;
        size = m_state->files.size();
    } else {
        m_state->maker.emplace(cues, assets);
        size = assets.size();
        for (const Cue& cue : cues)
            size += cue.timeline ? cue.timeline->size() : 0;
    }
    if (size <= kAtOnce) {
        m_state->gather(-1);
        return;
    }
    State* state = m_state.get();
    QObject::connect(&state->turns, &QTimer::timeout, &state->turns, [state] { state->turn(); });
    state->turns.start(0);
}

// An answer in stays in, unless its folder had stalled and answered again since: then every file is looked at again.
bool CheckAnswers::in(MediaFiles& /*files*/) const
{
    return !m_state || m_state->in();
}

bool CheckAnswers::ready() const
{
    return !m_state || m_state->ready;
}

void CheckAnswers::whenReady(QObject* context, std::function<void()> then) const
{
    if (ready())
        return;
    m_state->waiting.append({context, std::move(then)});
}
