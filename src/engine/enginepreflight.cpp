#include "engine.h"

#include "directfile.h"
#include "displaybindings.h"
#include "mediafiles.h"

#include <QWindow>
#include <cmath>

namespace {

bool usableTime(double time)
{
    return std::isfinite(time) && time >= 0 && time <= 86400;
}

// What the disk said of each file the check looks at, asked once per check and off the main thread: a large show's
// events share a few hundred files, and a file on a share that stops answering must not hold the show.
class ReadableFiles
{
  public:
    explicit ReadableFiles(MediaFiles::Answers answers) : m_answers(std::move(answers)) {}

    bool answered(const QUrl& url) const { return m_answers.value(url).has_value(); }

    bool operator()(const QUrl& url) const
    {
        const std::optional<FileAnswer> answer = m_answers.value(url);
        return answer && answer->readable;
    }

    // The finding for a readable file that cannot be shown or played, from a look at its header.
    std::optional<QString> unusable(const QUrl& url) const
    {
        const std::optional<FileAnswer> answer = m_answers.value(url);
        if (!answer || !answer->unusable)
            return std::nullopt;
        return QStringLiteral("素材无法读取 · ") + url.fileName() + QStringLiteral("（") + *answer->unusable +
               QStringLiteral("）");
    }

  private:
    MediaFiles::Answers m_answers;
};

QString unansweredText(const QUrl& url)
{
    return QStringLiteral("素材无响应 · ") + url.fileName();
}

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

    // The file the check asks about for an event: that of its asset, when the event's track takes the asset.
    std::optional<QUrl> fileToAsk(const TimelineEvent& event) const
    {
        const auto entry = event.assetID ? m_entries.constFind(*event.assetID) : m_entries.cend();
        if (entry == m_entries.cend() || !accepts(event.track, *entry->asset))
            return std::nullopt;
        return entry->asset->url;
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
                return unansweredText(url);
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
    QList<QUrl> asked;
    for (const Cue& cue : cues) {
        if (!cue.isTimelineCue()) {
            for (const std::optional<QUrl>& file : {cue.main, cue.sideMirrorsMain ? std::nullopt : cue.side, cue.audio})
                if (file)
                    asked.append(*file);
            continue;
        }
        for (const TimelineEvent& event : *cue.timeline)
            if (std::optional<QUrl> file = index.fileToAsk(event))
                asked.append(std::move(*file));
    }
    const ReadableFiles files(m_mediaFiles->ask(asked, FileDepth::header));
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
                    files.answered(url) ? QStringLiteral("素材缺失 · ") + url.fileName() : unansweredText(url), false);
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
