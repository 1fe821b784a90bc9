#include "medialibraryedits.h"

#include "clipplacementedits.h"
#include "editedcue.h"
#include "engine.h"
#include "findbyid.h"
#include "mediafiles.h"
#include "timelinelanes.h"
#include "timelineselection.h"
#include "timelineviewstate.h"
#include "waitingedits.h"

#include <QDir>
#include <QHash>
#include <algorithm>
#include <memory>

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

void MediaLibraryEdits::afterAnswers(const QString& name, const QList<QUrl>& urls,
                                     std::function<void(const Imported&)> then)
{
    // A URL that is no local file is left out, in its place among the others.
    auto outcomes = std::make_shared<Imported>(urls.size());
    QList<QUrl> files;
    QList<qsizetype> placeOf;
    for (qsizetype i = 0; i < urls.size(); ++i)
        if (const std::optional<QUrl> file = standardizedFile(urls[i])) {
            files.append(*file);
            placeOf.append(i);
        }
    WaitingEdits& waiting = m_cue.engine()->waitingEdits();
    m_imports.removeIf([&](quint64 edit) { return !waiting.waits(edit); });
    const quint64 edit = waiting.ask(name);
    m_imports.append(edit);
    const std::weak_ptr<bool> alive = m_alive;
    waiting.await(
        edit, files, FileDepth::readable, AwaitedFiles::Freshness::fresh,
        [this, alive, files, placeOf, outcomes](qsizetype i) {
            if (!alive.expired())
                (*outcomes)[placeOf[i]] = imported(files[i]);
        },
        [&waiting, edit, alive, outcomes, then = std::move(then)] {
            if (!alive.expired() && waiting.lands(edit))
                then(*outcomes);
        });
    if (waiting.waits(edit)) {
        m_readingNote = QStringLiteral("正在读取 %1 个文件…").arg(files.size());
        m_view.setNote(m_readingNote);
    }
}

void MediaLibraryEdits::waitsChanged()
{
    if (importing() || m_readingNote.isEmpty())
        return;
    if (m_view.note() == m_readingNote)
        m_view.setNote({});
    m_readingNote.clear();
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

std::optional<QList<MediaAsset>> MediaLibraryEdits::withAddedAssets(const Show& show, const Imported& files)
{
    QList<MediaAsset> library = show.assets.value_or(QList<MediaAsset>{});
    const qsizetype before = library.size();
    // The first entry of each file, so an import of hundreds of files does not compare every pair; one look-up a
    // file, as a library can hold tens of thousands.
    QHash<QUrl, std::optional<QUuid>> entryOfFile;
    entryOfFile.reserve(library.size() + files.size());
    for (const MediaAsset& entry : std::as_const(library))
        if (std::optional<QUuid>& first = entryOfFile[entry.url]; !first)
            first = entry.id;
    int skipped = 0;
    int silent = 0;
    std::optional<QUuid> handled;
    for (const ImportedFile& file : files) {
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
            library.append(entry);
            existing = entry.id;
        }
        handled = existing;
    }
    if (handled)
        m_selection.setAssetID(handled);
    QString note = QStringLiteral("素材库 · %1 项").arg(library.size());
    if (skipped > 0)
        note += QStringLiteral(" · 跳过 %1 个不支持或无法读取的文件").arg(skipped);
    if (silent > 0)
        note += QStringLiteral(" · %1 个文件无响应").arg(silent);
    m_view.setNote(note);
    if (library.size() == before)
        return std::nullopt;
    return library;
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
    afterAnswers(QStringLiteral("素材导入"), urls, [this](const Imported& files) {
        Show show = m_cue.engine()->show();
        if (auto library = withAddedAssets(show, files)) {
            show.assets = std::move(library);
            m_cue.engine()->setShow(std::move(show));
        }
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
    afterAnswers(QStringLiteral("素材插入"), {file},
                 [this, file, target](const Imported& answered) { insertAnsweredFile(file, answered, target); });
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

// One edit: the new library entry, and, only when the clip was placed, the lane made for it and the clip. The
// editor's lane, time and selection follow only when the target is the cue it edits.
void MediaLibraryEdits::insertAnsweredFile(const QUrl& file, const Imported& answered, const ClipTarget& target)
{
    if (!inPlace(target.show))
        return;
    Show show = m_cue.engine()->show();
    if (auto library = withAddedAssets(show, answered))
        show.assets = std::move(library);
    const Show withAsset = show;
    const std::optional<QUrl> stored = standardizedFile(file);
    const QList<MediaAsset> library = show.assets.value_or(QList<MediaAsset>{});
    const auto entry =
        std::find_if(library.cbegin(), library.cend(), [&](const MediaAsset& a) { return stored && a.url == *stored; });
    const auto cue = target.cue ? findById(std::as_const(show.cues), *target.cue) : show.cues.cend();
    if (entry == library.cend() || !accepts(target.lane.track, *entry) || cue == show.cues.cend()) {
        m_cue.engine()->setShow(withAsset);
        return;
    }
    const int index = int(cue - show.cues.cbegin());
    if (m_cue.engine()->selected() == target.cue) {
        m_selection.selectLane(target.lane);
        m_selection.setInsertion(target.time);
        m_selection.setAssetID(entry->id);
    }
    if (!timelineLanes(show, &show.cues[index]).contains(target.lane)) {
        Cue& edited = show.cues[index];
        QList<TimelineLane> extra = edited.extraLanes.value_or(QList<TimelineLane>{});
        extra.append(target.lane);
        edited.extraLanes = extra;
    }
    m_placement.placeClip(std::move(show), {*target.cue, target.lane, entry->id, target.time}, withAsset, false);
}
