#include "timelinelanes.h"

#include <QSet>
#include <algorithm>

static bool isKept(const TimelineLane& lane, const QList<ScreenRole>& screens)
{
    if (lane.screen)
        return screens.contains(*lane.screen);
    return lane.track == Track::music || lane.track == Track::effects || lane.track == Track::message;
}

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

    QSet<TimelineLane> seen;
    QList<TimelineLane> kept;
    for (const TimelineLane& lane : candidates)
        if (isKept(lane, screens) && !seen.contains(lane)) {
            seen.insert(lane);
            kept.append(lane);
        }

    QList<TimelineLane> ordered;
    ordered.reserve(kept.size());
    auto appendGroup = [&](auto belongs, bool topmostFirst) {
        const qsizetype start = ordered.size();
        for (const TimelineLane& lane : kept)
            if (belongs(lane))
                ordered.append(lane);
        std::stable_sort(ordered.begin() + start, ordered.end(), [=](const TimelineLane& a, const TimelineLane& b) {
            return topmostFirst ? a.layer > b.layer : a.layer < b.layer;
        });
    };
    for (const ScreenRole& screen : screens)
        appendGroup([&](const TimelineLane& lane) { return lane.screen == screen; }, true);
    for (Track track : {Track::music, Track::effects, Track::message})
        appendGroup([&](const TimelineLane& lane) { return !lane.screen && lane.track == track; }, false);
    return ordered;
}
