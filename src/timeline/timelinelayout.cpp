#include "timelinelayout.h"

#include "clipplacement.h"
#include "editedcue.h"
#include "engine.h"
#include "timelinegeometry.h"
#include "timelineselection.h"
#include "timelineviewstate.h"

#include <algorithm>

using namespace TimelineGeometry;

TimelineLayout::TimelineLayout(const EditedCue& cue, const TimelineSelection& selection, const TimelineViewState& view)
    : m_cue(cue), m_selection(selection), m_view(view)
{
}

double TimelineLayout::drawnWidth(const TimelineEvent& event) const
{
    return TimelineGeometry::drawnWidth(m_cue.mediaDuration(event), m_view.zoom());
}

QList<TimelineLayout::LaneClip> TimelineLayout::visibleClips(const TimelineLane& lane, double viewportWidth) const
{
    const QList<TimelineEvent> timeline = m_cue.events();
    const QList<MediaAsset> library = m_cue.assets();
    const ClipPlacement placement = m_cue.placement(timeline, library);
    const double zoom = m_view.zoom();
    QList<LaneClip> clips;
    for (const TimelineEvent& event : m_cue.eventsOn(lane)) {
        if (!isValidTime(event.time))
            continue;
        const double x = xOf(event.time, m_view.scrollTime(), zoom);
        const double width = TimelineGeometry::drawnWidth(placement.mediaDuration(event), zoom);
        if (x >= viewportWidth || x + width <= 0)
            continue;
        const MediaAsset* entry = placement.asset(event);
        clips.append({event, entry ? std::optional(*entry) : std::nullopt, x, width});
    }
    return clips;
}

std::optional<TimelineEvent> TimelineLayout::eventAt(QPointF point) const
{
    const QList<TimelineLane> all = m_cue.lanes();
    const auto index = laneIndexAt(point.y(), int(all.size()));
    if (!index || !inClipBand(point.y()))
        return std::nullopt;
    const TimelineLane& lane = all[*index];
    const QList<MediaAsset> library = m_cue.assets();
    const QList<TimelineEvent> timeline = m_cue.events();
    const ClipPlacement placement = m_cue.placement(timeline, library);
    const double zoom = m_view.zoom();
    const QList<TimelineEvent> onLane = m_cue.eventsOn(lane);
    for (qsizetype i = onLane.size() - 1; i >= 0; --i) {
        const TimelineEvent& event = onLane[i];
        if (!isValidTime(event.time))
            continue;
        const double left = xOf(event.time, m_view.scrollTime(), zoom);
        const double width = TimelineGeometry::drawnWidth(placement.mediaDuration(event), zoom);
        if (point.x() >= left && point.x() <= left + width)
            return event;
    }
    return std::nullopt;
}

// The scroll range reaches past the last clip's end, the insertion time and the playing position, at least a
// minute, and always covers where the view stands.
double TimelineLayout::navigationLimit() const
{
    const QList<TimelineEvent> timeline = m_cue.events();
    const QList<MediaAsset> library = m_cue.assets();
    const ClipPlacement placement = m_cue.placement(timeline, library);
    double contentEnd = 0;
    for (const TimelineEvent& event : timeline)
        if (isValidTime(event.time))
            contentEnd = std::max(contentEnd, event.time + placement.mediaDuration(event).value_or(0));
    const double extent = std::max({60.0, contentEnd, m_selection.insertion(), m_cue.engine()->timelinePosition()});
    return std::max(m_view.scrollTime(), std::min(kLatestTime, extent));
}
