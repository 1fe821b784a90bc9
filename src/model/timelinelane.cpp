#include "timelinelane.h"

TimelineLane laneOf(const TimelineEvent& event)
{
    return {isScreen(event.track) ? Track::main : event.track, event.effectiveLayer(), event.screen()};
}

QString TimelineLane::title() const
{
    if (screen)
        return screen->rawValue + QStringLiteral(" · ") + QString::number(layer);
    switch (track) {
    case Track::music:
        return QStringLiteral("音频 · ") + QString::number(layer);
    case Track::effects:
        return layer >= 2 ? QStringLiteral("音效 · ") + QString::number(layer) : QStringLiteral("音效");
    case Track::main:
    case Track::side:
    case Track::message:
        break;
    }
    return rawValue(track);
}

bool TimelineLane::matches(const TimelineEvent& event) const
{
    const bool sameLane = screen ? event.screen() == screen : event.track == track;
    return sameLane && event.effectiveLayer() == layer;
}

size_t qHash(const TimelineLane& lane, size_t seed)
{
    return qHashMulti(seed, int(lane.track), lane.layer, lane.screen ? lane.screen->rawValue : QString(),
                      lane.screen.has_value());
}
