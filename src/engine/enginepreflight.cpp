#include "engine.h"

#include "directfile.h"
#include "mediafile.h"

#include <QWindow>
#include <cmath>

static bool usableTime(double time)
{
    return std::isfinite(time) && time >= 0 && time <= 86400;
}

static const MediaAsset* findAsset(const QList<MediaAsset>& assets, const std::optional<QUuid>& id)
{
    if (!id)
        return nullptr;
    for (const MediaAsset& asset : assets)
        if (asset.id == *id)
            return &asset;
    return nullptr;
}

static QStringList eventReasons(const TimelineEvent& event, const QList<MediaAsset>& assets,
                                const std::function<bool(const ScreenRole&)>& hasProgram)
{
    QStringList reasons;
    if (!usableTime(event.time))
        reasons.append(QStringLiteral("事件时间无效"));
    if (const std::optional<ScreenRole> screen = event.screen(); screen && !hasProgram(*screen))
        reasons.append(QStringLiteral("缺少") + screen->rawValue);
    if (event.track == Track::message) {
        if (!event.validMessage())
            reasons.append(QStringLiteral("通讯事件配置无效"));
        return reasons;
    }
    const MediaAsset* asset = findAsset(assets, event.assetID);
    if (asset && accepts(event.track, *asset) && isReadableFile(asset->url))
        return reasons;
    const QString what = asset ? asset->url.fileName() : rawValue(event.track);
    reasons.append(QStringLiteral("素材缺失或类型不匹配 · ") + what);
    return reasons;
}

QList<Engine::PlaybackIssue> Engine::playbackIssues(const QList<Cue>& cues, const QList<MediaAsset>& assets,
                                                    bool includeWarnings) const
{
    QList<PlaybackIssue> issues;
    const auto hasProgram = [this](const ScreenRole& role) { return m_program.contains(role); };
    const QList<ScreenRole> screens = m_show.screens();
    for (const Cue& cue : cues) {
        const QList<TimelineEvent> events = cue.timeline.value_or(QList<TimelineEvent>{});
        for (const TimelineEvent& event : events)
            for (const QString& reason : eventReasons(event, assets, hasProgram))
                issues.append({QUuid::createUuid(), cue, event.id, event.screen(), reason, false});
        if (events.isEmpty())
            for (const QUrl& url : cue.missingFiles())
                issues.append({QUuid::createUuid(), cue, std::nullopt, std::nullopt,
                               QStringLiteral("素材缺失 · ") + url.fileName(), false});
        for (const ScreenRole& role : screens) {
            const ProjectorMapping screenMapping = mapping(role);
            const ScreenRole shown = screenMapping.enabled && screenMapping.source ? *screenMapping.source : role;
            const bool used = events.isEmpty()
                                  ? directFile(cue, shown).has_value()
                                  : std::any_of(events.cbegin(), events.cend(),
                                                [&](const TimelineEvent& event) { return event.screen() == shown; });
            if (!used)
                continue;
            if (!screenHasBinding(role)) {
                if (includeWarnings)
                    issues.append(
                        {QUuid::createUuid(), cue, std::nullopt, role, role.rawValue + QStringLiteral("仅监看"), true});
                continue;
            }
            if (!hasOutputWindow(role))
                issues.append({QUuid::createUuid(), cue, std::nullopt, role,
                               role.rawValue + QStringLiteral("输出不可用"), false});
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
