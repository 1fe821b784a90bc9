#include "engine.h"

#include "checkedfiles.h"
#include "directfile.h"
#include "displaybindings.h"
#include "mediafiles.h"
#include "stalledstarts.h"

#include <QWindow>
#include <cmath>

namespace {

bool usableTime(double time)
{
    return std::isfinite(time) && time >= 0 && time <= 86400;
}

// What the disk has said of each file the check looks at, read once per check without waiting: a large show's
// events share a few hundred files, and a file still on its way or on a share that stopped answering is a finding
// of its own.
class ReadableFiles
{
  public:
    ReadableFiles(MediaFiles& files, const QList<QUrl>& urls)
    {
        for (const QUrl& url : urls) {
            const FileState state = files.state(url, FileDepth::header);
            // What a folder said before it stalled does not tell whether the file can be played from it now.
            m_states.insert(url,
                            {state, state == FileState::answered ? files.known(url, FileDepth::header) : std::nullopt});
        }
    }

    bool answered(const QUrl& url) const { return m_states.value(url).state == FileState::answered; }

    bool operator()(const QUrl& url) const
    {
        const std::optional<FileAnswer>& answer = m_states.value(url).answer;
        return answer && answer->readable;
    }

    // The finding for a readable file that cannot be shown or played, from a look at its header.
    std::optional<QString> unusable(const QUrl& url) const
    {
        const std::optional<FileAnswer>& answer = m_states.value(url).answer;
        if (!answer || !answer->unusable)
            return std::nullopt;
        return QStringLiteral("素材无法读取 · ") + url.fileName() + QStringLiteral("（") + *answer->unusable +
               QStringLiteral("）");
    }

    // The finding for a file without answer: its folder stalled, or its answer is still on the way.
    QString unansweredText(const QUrl& url) const
    {
        return (m_states.value(url).state == FileState::stalled ? QStringLiteral("素材无响应 · ")
                                                                : QStringLiteral("正在检查素材 · ")) +
               url.fileName();
    }

  private:
    struct Known
    {
        FileState state = FileState::waiting;
        std::optional<FileAnswer> answer;
    };
    QHash<QUrl, Known> m_states;
};

// The assets by id, the first of an id winning.
class AssetIndex
{
  public:
    explicit AssetIndex(const QList<MediaAsset>& assets)
    {
        m_entries.reserve(assets.size());
        for (const MediaAsset& asset : assets)
            if (!m_entries.contains(asset.id))
                m_entries.insert(asset.id, Entry{&asset, {}});
    }

    // The finding's text for an event's media, or nothing when the media is in order. Each asset's text is made
    // once, however many events use it.
    std::optional<QString> problem(const TimelineEvent& event, const ReadableFiles& files)
    {
        const auto entry = event.assetID ? m_entries.find(*event.assetID) : m_entries.end();
        if (entry == m_entries.end())
            return QStringLiteral("素材缺失或类型不匹配 · ") + rawValue(event.track);
        const QUrl& url = entry->asset->url;
        if (accepts(event.track, *entry->asset)) {
            if (!files.answered(url))
                return files.unansweredText(url);
            if (files(url))
                return files.unusable(url);
        }
        if (entry->missingText.isEmpty())
            entry->missingText = QStringLiteral("素材缺失或类型不匹配 · ") + url.fileName();
        return entry->missingText;
    }

  private:
    struct Entry
    {
        const MediaAsset* asset;
        QString missingText;
    };
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
    AssetIndex index(assets);
    const ReadableFiles files(*m_mediaFiles, checkedFiles(cues, assets));
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
                // A screen still on air after it left the show goes as soon as nothing plays.
                if (!m_program.contains(*screen) || m_leavingScreens.contains(*screen))
                    add(cue, event.id, screen, QStringLiteral("缺少") + screen->rawValue, false);
            }
            if (event.track == Track::message) {
                if (!event.validMessage())
                    add(cue, event.id, screen, QStringLiteral("通讯事件配置无效"), false);
                continue;
            }
            if (std::optional<QString> problem = index.problem(event, files))
                add(cue, event.id, screen, std::move(*problem), false);
        }
        if (events.isEmpty()) {
            const QList<QUrl> missing = cue.missingFiles(std::cref(files));
            for (const QUrl& url : missing)
                add(cue, std::nullopt, std::nullopt,
                    files.answered(url) ? QStringLiteral("素材缺失 · ") + url.fileName() : files.unansweredText(url),
                    false);
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
    for (const QUrl& file : checkedFiles({cue}, assets))
        if (issues.first().text == StalledStarts::text(file.fileName()) &&
            m_mediaFiles->state(file, FileDepth::stamp) == FileState::stalled) {
            m_stalledStarts->refusedFor(file);
            break;
        }
    return false;
}

QList<QUrl> Engine::showMediaFiles() const
{
    QList<QUrl> files = checkedFiles(m_show.cues, {});
    for (const MediaAsset& asset : m_show.assets.value_or(QList<MediaAsset>{}))
        files.append(asset.url);
    if (m_show.defaultPicture)
        files.append(*m_show.defaultPicture);
    return files;
}
