#include "medialibraryedits.h"

#include "awaitedfiles.h"
#include "clipplacementedits.h"
#include "editedcue.h"
#include "engine.h"
#include "mediafiles.h"
#include "timelineselection.h"
#include "timelineviewstate.h"

#include <QDir>
#include <QHash>
#include <algorithm>

// The file URL that the library stores for a URL: a local path with "." and ".." resolved.
static std::optional<QUrl> standardizedFile(const QUrl& url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    return QUrl::fromLocalFile(QDir::cleanPath(url.toLocalFile()));
}

MediaLibraryEdits::MediaLibraryEdits(const EditedCue& cue, TimelineSelection& selection, TimelineViewState& view,
                                     ClipPlacementEdits& placement)
    : m_cue(cue), m_selection(selection), m_view(view), m_placement(placement),
      m_answers(std::make_unique<AwaitedFiles>(cue.engine()->mediaFiles()))
{
}

MediaLibraryEdits::~MediaLibraryEdits() = default;

bool MediaLibraryEdits::importing() const
{
    return m_answers->waiting();
}

void MediaLibraryEdits::afterAnswers(const QList<QUrl>& urls, std::function<void()> then)
{
    QList<QUrl> files;
    for (const QUrl& url : urls)
        if (const std::optional<QUrl> file = standardizedFile(url))
            files.append(*file);
    m_answers->await(files, FileDepth::readable, AwaitedFiles::Freshness::fresh, std::move(then));
    if (m_answers->waiting())
        m_view.setNote(QStringLiteral("正在读取 %1 个文件…").arg(files.size()));
}

std::optional<QList<MediaAsset>> MediaLibraryEdits::withAddedAssets(const Show& show, const QList<QUrl>& urls)
{
    QList<MediaAsset> library = show.assets.value_or(QList<MediaAsset>{});
    const qsizetype before = library.size();
    // The first entry of each file, so an import of hundreds of files does not compare every pair.
    QHash<QUrl, QUuid> entryOfFile;
    for (auto entry = library.crbegin(); entry != library.crend(); ++entry)
        entryOfFile.insert(entry->url, entry->id);
    // Answered before the import went on; a file whose folder stalled is skipped and counted apart.
    MediaFiles& disk = m_cue.engine()->mediaFiles();
    int skipped = 0;
    int silent = 0;
    std::optional<QUuid> handled;
    for (const QUrl& url : urls) {
        const std::optional<QUrl> file = standardizedFile(url);
        const std::optional<FileAnswer> answer = file ? disk.known(*file, FileDepth::readable) : std::nullopt;
        if (file && !answer) {
            ++silent;
            continue;
        }
        if (!file || !answer->readable || !assetKind(*file)) {
            ++skipped;
            continue;
        }
        auto existing = entryOfFile.constFind(*file);
        if (existing == entryOfFile.cend()) {
            MediaAsset entry;
            entry.url = *file;
            entry.kind = *assetKind(*file);
            library.append(entry);
            existing = entryOfFile.insert(entry.url, entry.id);
        }
        handled = *existing;
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

// The show is written only when a file was new to the library.
void MediaLibraryEdits::addAssets(const QList<QUrl>& urls)
{
    afterAnswers(urls, [this, urls] {
        Show show = m_cue.engine()->show();
        if (auto library = withAddedAssets(show, urls)) {
            show.assets = std::move(library);
            m_cue.engine()->setShow(std::move(show));
        }
    });
}

void MediaLibraryEdits::insertFile(const QUrl& file, const TimelineLane& lane, double time)
{
    afterAnswers({file}, [this, file, lane, time] { insertAnsweredFile(file, lane, time); });
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

// One edit: the new library entry, and, only when the clip was placed, the lane made for it and the clip.
void MediaLibraryEdits::insertAnsweredFile(const QUrl& file, const TimelineLane& lane, double time)
{
    Show show = m_cue.engine()->show();
    if (auto library = withAddedAssets(show, {file}))
        show.assets = std::move(library);
    const Show withAsset = show;
    const std::optional<QUrl> stored = standardizedFile(file);
    const QList<MediaAsset> library = show.assets.value_or(QList<MediaAsset>{});
    const auto entry =
        std::find_if(library.cbegin(), library.cend(), [&](const MediaAsset& a) { return stored && a.url == *stored; });
    if (entry == library.cend() || !accepts(lane.track, *entry)) {
        m_cue.engine()->setShow(withAsset);
        return;
    }
    m_selection.selectLane(lane);
    m_selection.setInsertion(time);
    m_selection.setAssetID(entry->id);
    const auto index = m_cue.cueIndexIn(show);
    if (index && !m_cue.lanesIn(show).contains(lane)) {
        Cue& cue = show.cues[*index];
        QList<TimelineLane> extra = cue.extraLanes.value_or(QList<TimelineLane>{});
        extra.append(lane);
        cue.extraLanes = extra;
    }
    m_placement.addEventTo(std::move(show), withAsset, false);
}
