#include "timelinelanes.h"

#include <QHash>
#include <QSet>
#include <algorithm>

QList<TimelineLane> timelineLanes(const Show& show, const Cue* cue)
{
    const QList<ScreenRole> screens = show.screens();
    QList<TimelineLane> candidates;
    for (const ScreenRole& screen : screens)
        candidates.append({Track::main, 1, screen});
    candidates.append({Track::music, 1, std::nullopt});
    if (cue) {
        if (cue->hiddenDefaultLanes)
            candidates.removeIf([&](const TimelineLane& lane) { return cue->hiddenDefaultLanes->contains(lane); });
        if (cue->extraLanes)
            candidates.append(*cue->extraLanes);
        if (cue->timeline)
            for (const TimelineEvent& event : *cue->timeline)
                candidates.append(laneOf(event));
    }

    // Groups in display order: each screen's lanes, then music, effects and message; lanes of a screen that is no
    // longer in the show, and screenless lanes of a screen track, have none and are not shown.
    QHash<QString, qsizetype> screenGroup;
    for (const ScreenRole& screen : screens)
        if (!screenGroup.contains(screen.rawValue))
            screenGroup.insert(screen.rawValue, screenGroup.size());
    const qsizetype music = screenGroup.size();
    auto groupOf = [&](const TimelineLane& lane) -> std::optional<qsizetype> {
        if (lane.screen) {
            const auto found = screenGroup.constFind(lane.screen->rawValue);
            return found == screenGroup.cend() ? std::nullopt : std::optional(*found);
        }
        switch (lane.track) {
        case Track::music:
            return music;
        case Track::effects:
            return music + 1;
        case Track::message:
            return music + 2;
        case Track::main:
        case Track::side:
            break;
        }
        return std::nullopt;
    };

    struct Placed
    {
        qsizetype group;
        TimelineLane lane;
    };
    QSet<TimelineLane> seen;
    QList<Placed> placed;
    for (const TimelineLane& lane : candidates) {
        const std::optional<qsizetype> group = groupOf(lane);
        if (!group || seen.contains(lane))
            continue;
        seen.insert(lane);
        placed.append({*group, lane});
    }
    // A screen's topmost layer comes first; the other tracks count upwards. Equal layers keep their first-seen order.
    std::stable_sort(placed.begin(), placed.end(), [music](const Placed& a, const Placed& b) {
        if (a.group != b.group)
            return a.group < b.group;
        return a.group < music ? a.lane.layer > b.lane.layer : a.lane.layer < b.lane.layer;
    });
    QList<TimelineLane> ordered;
    ordered.reserve(placed.size());
    for (const Placed& lane : placed)
        ordered.append(lane.lane);
    return ordered;
}
