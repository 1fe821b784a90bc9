#include "stillpreloads.h"

#include "directfile.h"
#include "stilldecoder.h"

void StillPreloads::setTimeline(const QList<TimelineEvent>& events, const QHash<QUuid, MediaAsset>& assets)
{
    m_timeline.clear();
    for (int index = 0; index < events.size(); ++index) {
        const TimelineEvent& event = events[index];
        const std::optional<ScreenRole> role = event.screen();
        const auto asset = event.assetID ? assets.constFind(*event.assetID) : assets.cend();
        if (role && asset != assets.cend() && asset->kind == AssetKind::image && asset->url.isLocalFile())
            m_timeline[*role].append({index, asset->url.toLocalFile()});
    }
}

void StillPreloads::prepare(int timelineIndex, const std::optional<Cue>& next, const QList<ScreenRole>& screens,
                            const QList<MediaAsset>& assets)
{
    StillDecoder& decoder = StillDecoder::shared();
    for (auto screen = m_timeline.cbegin(); screen != m_timeline.cend(); ++screen) {
        const QList<Still>& stills = screen.value();
        const auto upcoming = std::lower_bound(stills.cbegin(), stills.cend(), timelineIndex,
                                               [](const Still& still, int index) { return still.index < index; });
        if (upcoming != stills.cend() && screens.contains(screen.key()))
            decoder.prepare(upcoming->path);
    }
    if (next)
        for (const QString& path : nextCueStills(*next, screens, assets))
            decoder.prepare(path);
}

QStringList StillPreloads::nextCueStills(const Cue& cue, const QList<ScreenRole>& screens,
                                         const QList<MediaAsset>& assets)
{
    if (m_next && m_next->cue == cue && m_next->assets == assets && m_next->screens == screens)
        return m_next->paths;
    QStringList paths;
    if (!cue.isTimelineCue()) {
        for (const ScreenRole& role : screens)
            if (const std::optional<QUrl> url = directFile(cue, role);
                url && url->isLocalFile() && assetKind(*url) == AssetKind::image)
                paths.append(url->toLocalFile());
    } else {
        // The earliest still of each screen.
        QHash<ScreenRole, std::pair<double, QString>> first;
        for (const TimelineEvent& event : *cue.timeline) {
            const std::optional<ScreenRole> role = event.screen();
            if (!role || !screens.contains(*role) || !event.assetID ||
                (first.contains(*role) && first[*role].first <= event.time))
                continue;
            const auto asset = std::find_if(assets.cbegin(), assets.cend(), [&](const MediaAsset& candidate) {
                return candidate.id == *event.assetID;
            });
            if (asset != assets.cend() && asset->kind == AssetKind::image && asset->url.isLocalFile())
                first.insert(*role, {event.time, asset->url.toLocalFile()});
        }
        for (const auto& [time, path] : std::as_const(first))
            paths.append(path);
    }
    m_next = NextCue{cue, assets, screens, paths};
    return paths;
}
