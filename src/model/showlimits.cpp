#include "showlimits.h"

#include <QSet>
#include <algorithm>

qsizetype laneCount(const Cue& cue)
{
    QSet<TimelineLane> lanes;
    if (cue.extraLanes)
        for (const TimelineLane& lane : *cue.extraLanes)
            lanes.insert(lane);
    if (cue.timeline)
        for (const TimelineEvent& event : *cue.timeline)
            lanes.insert(laneOf(event));
    return lanes.size();
}

std::optional<QString> showLimitProblem(const Show& show)
{
    const qsizetype screens = show.outputScreens ? show.outputScreens->size() : 0;
    if (screens > kMostScreens)
        return QStringLiteral("有 %1 个输出屏幕，超过上限 %2 个").arg(screens).arg(kMostScreens);
    for (const Cue& cue : show.cues) {
        const qsizetype hidden = cue.hiddenDefaultLanes ? cue.hiddenDefaultLanes->size() : 0;
        const qsizetype lanes = std::max(laneCount(cue), hidden);
        if (lanes > kMostLanesPerCue)
            return QStringLiteral("节目“%1”有 %2 条轨道，超过每个节目的上限 %3 条")
                .arg(cue.name.left(40))
                .arg(lanes)
                .arg(kMostLanesPerCue);
    }
    return std::nullopt;
}
