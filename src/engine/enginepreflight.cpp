#include "engine.h"

#include "directfile.h"
#include "displaybindings.h"
#include "mediaglances.h"

#include <QWindow>
#include <cmath>

namespace {

bool usableTime(double time)
{
    return std::isfinite(time) && time >= 0 && time <= 86400;
}

// Asks the disk about each file once per check: a large show's events share a few hundred files. What a file's
// header said is read again only when the disk's stamp of the file has changed since it was last read.
class ReadableFiles
{
  public:
    ReadableFiles(const std::function<bool(const QUrl&)>& isReadable, MediaGlances& glances)
        : m_isReadable(isReadable), m_glances(glances)
    {
    }

    // The finding for a readable file that cannot be shown or played, from a look at its header.
    std::optional<QString> unusable(const QUrl& url)
    {
        const auto known = m_unusable.constFind(url);
        if (known != m_unusable.cend())
            return *known;
        std::optional<QString> text;
        if (const std::optional<QString> reason =
                url.isLocalFile() ? m_glances.unusableReason(url.toLocalFile()) : std::nullopt)
            text = QStringLiteral("素材无法读取 · ") + url.fileName() + QStringLiteral("（") + *reason +
                   QStringLiteral("）");
        m_unusable.insert(url, text);
        return text;
    }

    bool operator()(const QUrl& url)
    {
        const auto known = m_known.constFind(url);
        if (known != m_known.cend())
            return *known;
        const bool readable = m_isReadable(url);
        m_known.insert(url, readable);
        return readable;
    }

  private:
    const std::function<bool(const QUrl&)>& m_isReadable;
    MediaGlances& m_glances;
    QHash<QUrl, bool> m_known;
    QHash<QUrl, std::optional<QString>> m_unusable;
};

// The assets by id, the first of an id winning.
class AssetIndex
{
  public:
    AssetIndex(const QList<MediaAsset>& assets, ReadableFiles& files) : m_files(files)
    {
        m_entries.reserve(assets.size());
        for (const MediaAsset& asset : assets)
            if (!m_entries.contains(asset.id))
                m_entries.insert(asset.id, Entry{&asset, std::nullopt, {}});
    }

    // The finding's text for an event's media, or nothing when the media is in order. Each asset's file is asked
    // for once, and its text made once, however many events use it.
    std::optional<QString> problem(const TimelineEvent& event)
    {
        const auto entry = event.assetID ? m_entries.find(*event.assetID) : m_entries.end();
        if (entry == m_entries.end())
            return QStringLiteral("素材缺失或类型不匹配 · ") + rawValue(event.track);
        if (accepts(event.track, *entry->asset)) {
            if (!entry->readable)
                entry->readable = m_files(entry->asset->url);
            if (*entry->readable)
                return m_files.unusable(entry->asset->url);
        }
        if (entry->missingText.isEmpty())
            entry->missingText = QStringLiteral("素材缺失或类型不匹配 · ") + entry->asset->url.fileName();
        return entry->missingText;
    }

  private:
    struct Entry
    {
        const MediaAsset* asset;
        std::optional<bool> readable;
        QString missingText;
    };
    ReadableFiles& m_files;
    QHash<QUuid, Entry> m_entries;
};

// What the check needs of an output screen; the same for every cue.
struct OutputScreen
{
    ScreenRole role;
    // The screen whose picture it shows: its mapping's source, else itself.
    ScreenRole shown;
    bool bound;
    bool hasWindow;
};

} // namespace

QList<Engine::PlaybackIssue> Engine::playbackIssues(const QList<Cue>& cues, const QList<MediaAsset>& assets,
                                                    bool includeWarnings) const
{
    QList<PlaybackIssue> issues;
    ReadableFiles files(m_services.isReadableFile, *m_glances);
    AssetIndex index(assets, files);
    QList<OutputScreen> outputs;
    for (const ScreenRole& role : m_show.screens()) {
        const ProjectorMapping screenMapping = mapping(role);
        const ScreenRole shown = screenMapping.enabled && screenMapping.source ? *screenMapping.source : role;
        outputs.append({role, shown, screenHasBinding(role), m_displayBindings->hasWindow(role)});
    }
    // Findings are many in a large show with missing media; their ids come from the cheap generator.
    const auto add = [&](const Cue& cue, std::optional<QUuid> eventID, std::optional<ScreenRole> screen, QString text,
                         bool warning) {
        issues.append({newUuid(), cue, eventID, std::move(screen), std::move(text), warning});
    };
    QList<ScreenRole> eventScreens;
    for (const Cue& cue : cues) {
        const QList<TimelineEvent> events = cue.timeline.value_or(QList<TimelineEvent>{});
        eventScreens.clear();
        for (const TimelineEvent& event : events) {
            const std::optional<ScreenRole> screen = event.screen();
            if (!usableTime(event.time))
                add(cue, event.id, screen, QStringLiteral("事件时间无效"), false);
            if (screen) {
                if (!eventScreens.contains(*screen))
                    eventScreens.append(*screen);
                if (!m_program.contains(*screen))
                    add(cue, event.id, screen, QStringLiteral("缺少") + screen->rawValue, false);
            }
            if (event.track == Track::message) {
                if (!event.validMessage())
                    add(cue, event.id, screen, QStringLiteral("通讯事件配置无效"), false);
                continue;
            }
            if (std::optional<QString> problem = index.problem(event))
                add(cue, event.id, screen, std::move(*problem), false);
        }
        if (events.isEmpty()) {
            const QList<QUrl> missing = cue.missingFiles(std::ref(files));
            for (const QUrl& url : missing)
                add(cue, std::nullopt, std::nullopt, QStringLiteral("素材缺失 · ") + url.fileName(), false);
            for (const std::optional<QUrl>& file : {cue.main, cue.sideMirrorsMain ? std::nullopt : cue.side, cue.audio})
                if (file && !missing.contains(*file))
                    if (std::optional<QString> unusable = files.unusable(*file))
                        add(cue, std::nullopt, std::nullopt, std::move(*unusable), false);
        }
        for (const OutputScreen& output : std::as_const(outputs)) {
            const bool used =
                events.isEmpty() ? directFile(cue, output.shown).has_value() : eventScreens.contains(output.shown);
            if (!used)
                continue;
            if (!output.bound) {
                if (includeWarnings)
                    add(cue, std::nullopt, output.role, output.role.rawValue + QStringLiteral("仅监看"), true);
                continue;
            }
            if (!output.hasWindow)
                add(cue, std::nullopt, output.role, output.role.rawValue + QStringLiteral("输出不可用"), false);
        }
    }
    return issues;
}

bool Engine::canPlay(const Cue& cue, const QList<MediaAsset>& assets)
{
    const QList<PlaybackIssue> issues = playbackIssues({cue}, assets, false);
    if (issues.isEmpty())
        return true;
    setMessage(issues.first().text);
    return false;
}
