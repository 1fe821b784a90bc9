#include "medialibraryedits.h"

#include "clipplacementedits.h"
#include "editedcue.h"
#include "engine.h"
#include "findbyid.h"
#include "mediafiles.h"
#include "timelinelanes.h"
#include "timelineselection.h"
#include "timelineviewstate.h"
#include "turnslices.h"
#include "waitingedits.h"

#include <QDir>
#include <QHash>
#include <algorithm>
#include <memory>
#include <utility>

// The file URL that the library stores for a URL: a local path with "." and ".." resolved.
static std::optional<QUrl> standardizedFile(const QUrl& url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    return QUrl::fromLocalFile(QDir::cleanPath(url.toLocalFile()));
}

MediaLibraryEdits::MediaLibraryEdits(const EditedCue& cue, TimelineSelection& selection, TimelineViewState& view,
                                     ClipPlacementEdits& placement)
    : m_cue(cue), m_selection(selection), m_view(view), m_placement(placement)
{
}

MediaLibraryEdits::~MediaLibraryEdits() = default;

bool MediaLibraryEdits::importing() const
{
    const WaitingEdits& waiting = m_cue.engine()->waitingEdits();
    return std::any_of(m_imports.cbegin(), m_imports.cend(), [&](quint64 edit) { return waiting.waits(edit); });
}

// What an import adds to the library it was asked on, worked out a step at a time as the answers are read: first
// the library's first entry of each file, so an import of thousands of files does not compare every pair, then each
// imported file in order, one look-up a file.
struct MediaLibraryEdits::Addition
{
    Addition(const Show& show, Imported files) : library(show.assets), outcomes(std::move(files))
    {
        entryOfFile.reserve(entries() + outcomes.size());
    }

    qsizetype entries() const { return library ? library->size() : 0; }
    qsizetype steps() const { return entries() + outcomes.size(); }
    // Whether the show holds this very library still: then what was worked out holds for it.
    bool on(const Show& show) const
    {
        if (!library || !show.assets)
            return !library && !show.assets;
        return library->constData() == show.assets->constData() && library->size() == show.assets->size();
    }

    // Goes on until `upTo` steps are done in all (an entry looked at or a file handled), handling no file from
    // `ready` on: those have no answer yet.
    void advance(qsizetype upTo, qsizetype ready)
    {
        for (; indexed < entries() && indexed < upTo; ++indexed) {
            const MediaAsset& entry = library->at(indexed);
            if (std::optional<QUuid>& first = entryOfFile[entry.url]; !first)
                first = entry.id;
        }
        if (indexed < entries())
            return;
        for (; handled < std::min(ready, outcomes.size()) && indexed + handled < upTo; ++handled) {
            const ImportedFile& file = outcomes.at(handled);
            if (file.silent) {
                ++silent;
                continue;
            }
            if (!file.kind) {
                ++skipped;
                continue;
            }
            std::optional<QUuid>& existing = entryOfFile[*file.file];
            if (!existing) {
                MediaAsset entry;
                entry.url = *file.file;
                entry.kind = *file.kind;
                added.append(entry);
                existing = entry.id;
            }
            last = existing;
        }
    }
    void finish() { advance(steps(), outcomes.size()); }

    // Held to tell whether the show still holds this very library when the import lands.
    std::optional<QList<MediaAsset>> library;
    Imported outcomes;
    QHash<QUrl, std::optional<QUuid>> entryOfFile;
    qsizetype indexed = 0;
    qsizetype handled = 0;
    QList<MediaAsset> added;
    // The entry of the last file handled.
    std::optional<QUuid> last;
    // The library's selection when the import was asked: the import selects what it added only while it stands.
    std::optional<QUuid> selectedAtPress;
    int skipped = 0;
    int silent = 0;
};

void MediaLibraryEdits::afterAnswers(const QString& name, const QList<QUrl>& urls, Landing then)
{
    Engine& engine = *m_cue.engine();
    WaitingEdits& waiting = engine.waitingEdits();
    m_imports.removeIf([&](quint64 edit) { return !waiting.waits(edit); });
    const quint64 edit = waiting.ask(name, {}, true);
    m_imports.append(edit);
    auto addition = std::make_shared<Addition>(engine.show(), Imported(urls.size()));
    addition->selectedAtPress = m_selection.assetID();
    // A URL that is no local file is left out, in its place among the others. Thousands of files are named a slice
    // a turn while the edit holds its place in line.
    auto files = std::make_shared<QList<QUrl>>();
    auto placeOf = std::make_shared<QList<qsizetype>>();
    waiting.hold(edit);
    const std::weak_ptr<bool> alive = m_alive;
    const auto nameFile = [urls, files, placeOf](qsizetype i) {
        if (const std::optional<QUrl> file = standardizedFile(urls[i])) {
            files->append(*file);
            placeOf->append(i);
        }
    };
    runInSlices(&engine, urls.size(), nameFile, [this, &waiting, edit, alive, files, placeOf, addition, then] {
        if (alive.expired() || !waiting.waits(edit))
            return;
        waiting.await(
            edit, *files, FileDepth::readable, AwaitedFiles::Freshness::fresh,
            [this, alive, files, placeOf, addition](qsizetype i) {
                if (alive.expired())
                    return;
                addition->outcomes[(*placeOf)[i]] = imported((*files)[i]);
                // The library is looked through in step with the answers read, all of it by the last.
                const qsizetype upTo = qsizetype(qint64(i + 1) * addition->steps() / files->size());
                addition->advance(upTo, (*placeOf)[i] + 1);
            },
            [&waiting, edit, alive, addition, then] {
                if (!alive.expired() && (waiting.lands(edit) || waiting.gone(edit)))
                    then(*addition, edit);
            });
        if (waiting.waits(edit)) {
            m_readingNote = QStringLiteral("正在读取 %1 个文件…").arg(files->size());
            m_view.setNote(m_readingNote);
        }
    });
}

void MediaLibraryEdits::waitsChanged()
{
    if (importing() || m_readingNote.isEmpty())
        return;
    if (m_view.note() == m_readingNote)
        m_view.setNote({});
    // Files taken back or dropped before they were read leave the line saying what holds.
    m_cue.engine()->waitEnded(std::exchange(m_readingNote, QString()));
}

// Answered before the import went on; a file whose folder stalled is left out and counted apart.
MediaLibraryEdits::ImportedFile MediaLibraryEdits::imported(const QUrl& file)
{
    const std::optional<FileAnswer> answer = m_cue.engine()->mediaFiles().known(file, FileDepth::readable);
    if (!answer)
        return {std::nullopt, std::nullopt, true};
    if (!answer->readable)
        return {file, std::nullopt};
    const QString name = file.fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {file, assetKind(file)};
    const QString ending = name.mid(dot);
    auto kind = m_kindOfEnding.constFind(ending);
    if (kind == m_kindOfEnding.cend())
        kind = m_kindOfEnding.insert(ending, assetKind(file));
    return {file, *kind};
}

MediaLibraryEdits::Added MediaLibraryEdits::withAddedAssets(const Show& show, Addition& asked)
{
    // Edits made meanwhile changed the library: it is looked through afresh.
    std::optional<Addition> again;
    if (!asked.on(show))
        again.emplace(show, asked.outcomes);
    Addition& addition = again ? *again : asked;
    addition.finish();
    Added added;
    added.entries = addition.added;
    added.handled = addition.last;
    QList<MediaAsset> library = show.assets.value_or(QList<MediaAsset>{});
    library.append(addition.added);
    added.note = QStringLiteral("素材库 · %1 项").arg(library.size());
    if (addition.skipped > 0)
        added.note += QStringLiteral(" · 跳过 %1 个不支持或无法读取的文件").arg(addition.skipped);
    if (addition.silent > 0)
        added.note += QStringLiteral(" · %1 个文件无响应").arg(addition.silent);
    if (!addition.added.isEmpty())
        added.library = std::move(library);
    return added;
}

// A version of the show after the import's place among the undo steps: the entries the import added, unless there.
static Show withEntries(const Show& from, const QList<MediaAsset>& entries)
{
    Show show = from;
    QList<MediaAsset> library = show.assets.value_or(QList<MediaAsset>{});
    bool changed = false;
    for (const MediaAsset& entry : entries)
        if (findById(std::as_const(library), entry.id) == library.cend()) {
            library.append(entry);
            changed = true;
        }
    if (changed)
        show.assets = std::move(library);
    return show;
}

// The note and the library's selection say what the import did, unless the operator has moved on since: a note
// said meanwhile, or another entry selected, stays as it would had the files answered at once.
void MediaLibraryEdits::tellAdded(const Added& added, const Addition& asked, bool withNote)
{
    const quint64 at = m_cue.engine()->momentNow();
    // An import or a file pressed later has told already: this one would have told before it.
    if (at < m_toldAt)
        return;
    m_toldAt = at;
    const bool overEarlierImport = m_landedEntry && m_selection.assetID() == m_landedEntry && m_landedAt < at;
    if (added.handled && (m_selection.assetID() == asked.selectedAtPress || overEarlierImport)) {
        m_selection.setAssetID(added.handled);
        m_landedEntry = added.handled;
        m_landedAt = at;
    }
    // The note may stand in the panel while the line, kept by a later press, still says the files are being read.
    if (withNote &&
        (m_view.note().isEmpty() || m_view.note() == m_readingNote || m_cue.engine()->message() == m_readingNote))
        m_view.setNote(added.note);
}

// Gone from the undo steps while it waited, the edit is made nowhere: what it would have made of the show now only
// tells the library what it came to.
bool MediaLibraryEdits::landOrTell(quint64 edit, const std::function<Show(const Show&)>& made)
{
    Engine& engine = *m_cue.engine();
    if (engine.waitingEdits().gone(edit)) {
        made(engine.show());
        return false;
    }
    return engine.landEdit(edit, made);
}

bool MediaLibraryEdits::inPlace(quint64 show) const
{
    return m_cue.engine()->showNumber() == show;
}

void MediaLibraryEdits::addAssets(const QList<QUrl>& urls)
{
    addAssets(urls, m_cue.engine()->showNumber());
}

// The show is written only when a file was new to the library; files meant for a show that another has replaced
// since go nowhere.
void MediaLibraryEdits::addAssets(const QList<QUrl>& urls, quint64 forShow)
{
    if (!inPlace(forShow))
        return;
    afterAnswers(QStringLiteral("素材导入"), urls, [this](Addition& addition, quint64 edit) {
        std::optional<Added> added;
        landOrTell(edit, [&](const Show& from) {
            if (added)
                return withEntries(from, added->entries);
            added = withAddedAssets(from, addition);
            Show show = from;
            if (added->library)
                show.assets = added->library;
            return show;
        });
        if (added)
            tellAdded(*added, addition);
    });
}

ClipTarget MediaLibraryEdits::targetNow(const TimelineLane& lane, double time) const
{
    return {m_cue.engine()->showNumber(), m_cue.engine()->selected(), lane, time};
}

void MediaLibraryEdits::insertFile(const QUrl& file, const TimelineLane& lane, double time)
{
    insertFile(file, targetNow(lane, time));
}

void MediaLibraryEdits::insertFile(const QUrl& file, const ClipTarget& target)
{
    if (!inPlace(target.show))
        return;
    // A lane deleted after this leaves the clip out, as it would take it with it had the file answered at once.
    ClipTarget asked = target;
    const Show& show = m_cue.engine()->show();
    const auto cue = target.cue ? findById(std::as_const(show.cues), *target.cue) : show.cues.cend();
    asked.laneShown = cue != show.cues.cend() && timelineLanes(show, &*cue).contains(target.lane);
    afterAnswers(QStringLiteral("素材插入"), {file}, [this, file, asked](Addition& answered, quint64 edit) {
        insertAnsweredFile(file, answered, asked, edit);
    });
}

void MediaLibraryEdits::removeAsset()
{
    const std::optional<QUuid> selected = m_selection.assetID();
    if (!selected)
        return;
    const QUuid id = *selected;
    Show show = m_cue.engine()->show();
    for (const Cue& cue : show.cues)
        for (const TimelineEvent& event : cue.timeline.value_or(QList<TimelineEvent>{}))
            if (event.assetID == id) {
                m_view.setNote(QStringLiteral("此素材仍被时间轴使用，请先删除或替换对应事件。"));
                return;
            }
    if (show.assets && show.assets->removeIf([&](const MediaAsset& entry) { return entry.id == id; }) > 0)
        m_cue.engine()->setShow(std::move(show));
    m_selection.setAssetID(std::nullopt);
    m_view.setNote({});
}

// One edit: the new library entry, and, only when the clip was placed, the lane made for it and the clip; made in
// every version of the show after its place, the same clip in each, left out where its lane was deleted since. The
// editor's lane, time and selection follow only when the target is the cue it edits.
void MediaLibraryEdits::insertAnsweredFile(const QUrl& file, Addition& answered, const ClipTarget& target, quint64 edit)
{
    if (!inPlace(target.show))
        return;
    const std::optional<QUrl> stored = standardizedFile(file);
    std::optional<Added> added;
    std::optional<ClipPlacementEdits::AddOutcome> outcome;
    std::optional<QUuid> placedEntry;
    QUuid clip;
    const auto made = [&](const Show& from) {
        Show show = from;
        if (added) {
            show = withEntries(from, added->entries);
        } else {
            added = withAddedAssets(from, answered);
            if (added->library)
                show.assets = added->library;
        }
        const Show withAsset = show;
        const QList<MediaAsset> library = show.assets.value_or(QList<MediaAsset>{});
        const auto entry = std::find_if(library.cbegin(), library.cend(),
                                        [&](const MediaAsset& a) { return stored && a.url == *stored; });
        const auto cue = target.cue ? findById(std::as_const(show.cues), *target.cue) : show.cues.cend();
        if (entry == library.cend() || !accepts(target.lane.track, *entry) || cue == show.cues.cend())
            return withAsset;
        const int index = int(cue - show.cues.cbegin());
        if (!timelineLanes(show, &show.cues[index]).contains(target.lane)) {
            if (target.laneShown)
                return withAsset;
            Cue& edited = show.cues[index];
            QList<TimelineLane> extra = edited.extraLanes.value_or(QList<TimelineLane>{});
            extra.append(target.lane);
            edited.extraLanes = extra;
        }
        const ClipPlacementEdits::AddOutcome placed =
            m_placement.placeIn(show, {*target.cue, target.lane, entry->id, target.time}, false, clip);
        if (!outcome) {
            outcome = placed;
            placedEntry = entry->id;
        }
        return placed == ClipPlacementEdits::AddOutcome::added ? show : withAsset;
    };
    const bool inShow = landOrTell(edit, made);
    // An entry the operator selected since the press stays selected.
    const bool librarySelectionKept = m_selection.assetID() == answered.selectedAtPress;
    // A clip refused where it was put says so in place of the library's count.
    const bool clipRefused = outcome && (*outcome == ClipPlacementEdits::AddOutcome::overlaps ||
                                         *outcome == ClipPlacementEdits::AddOutcome::outOfRange);
    if (added)
        tellAdded(*added, answered, !clipRefused);
    // Undone before its answers came, it is made only where a redo finds it; what it told the editor stands all the
    // same, as it would had it landed at its press and been undone then.
    if (!outcome || m_cue.engine()->momentNow() < m_toldAt)
        return;
    const bool edited = m_cue.engine()->selected() == target.cue;
    if (edited) {
        m_selection.selectLane(target.lane);
        m_selection.setInsertion(target.time);
        if (librarySelectionKept)
            m_selection.setAssetID(placedEntry);
    }
    m_placement.finishAdd(*outcome, clip, edited && inShow);
}
