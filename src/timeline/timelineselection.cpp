#include "timelineselection.h"

#include "assign.h"
#include "editedcue.h"
#include "engine.h"
#include "findbyid.h"
#include "timelinegeometry.h"
#include "timelinelanes.h"

#include <cstring>

TimelineSelection::TimelineSelection(const EditedCue& cue, QObject* parent) : QObject(parent), m_cue(cue) {}

void TimelineSelection::setAssetID(std::optional<QUuid> id)
{
    if (assign(m_assetID, id))
        emit changed();
}

void TimelineSelection::setEventID(std::optional<QUuid> id)
{
    if (!assign(m_eventID, id))
        return;
    followSelectedEvent();
    emit changed();
}

// The selected event's lane becomes the selected lane and the insertion time moves to its start, unless the event
// lies outside the day.
void TimelineSelection::followSelectedEvent()
{
    if (!m_eventID)
        return;
    const QList<TimelineEvent> all = m_cue.events();
    const auto found = findById(all, *m_eventID);
    if (found == all.cend() || !TimelineGeometry::isValidTime(found->time))
        return;
    selectLane(laneOf(*found));
    setInsertion(found->time);
}

void TimelineSelection::selectLane(const TimelineLane& lane)
{
    bool moved = assign(m_track, lane.track);
    moved = assign(m_layer, lane.layer) || moved;
    if (lane.screen)
        moved = assign(m_selectedScreen, *lane.screen) || moved;
    if (moved)
        emit changed();
}

void TimelineSelection::setInsertion(double seconds)
{
    // Compared bit for bit, so that a typed NaN is stored once.
    if (std::memcmp(&m_insertion, &seconds, sizeof seconds) == 0)
        return;
    m_insertion = seconds;
    emit changed();
}

ScreenRole TimelineSelection::effectiveScreenIn(const Show& show) const
{
    // The engine's own show has its screens worked out already.
    const Engine& engine = *m_cue.engine();
    const QList<ScreenRole> screens = &show == &engine.show() ? engine.showScreens() : show.screens();
    return screens.contains(m_selectedScreen) ? m_selectedScreen : screens.first();
}

ScreenRole TimelineSelection::effectiveScreen() const
{
    return effectiveScreenIn(m_cue.engine()->show());
}

TimelineLane TimelineSelection::selectedLaneIn(const Show& show, const QList<TimelineLane>& lanes) const
{
    TimelineLane named{m_track, m_layer, std::nullopt};
    if (isScreen(m_track)) {
        named.track = Track::main;
        named.screen = effectiveScreenIn(show);
    }
    if (lanes.contains(named) || lanes.isEmpty())
        return named;
    return lanes.first();
}

TimelineLane TimelineSelection::selectedLane() const
{
    const Show& show = m_cue.engine()->show();
    return selectedLaneIn(show, m_cue.lanesIn(show));
}

bool TimelineSelection::isHighlightedLane(const TimelineLane& lane) const
{
    return lane.track == m_track && lane.layer == m_layer && (!lane.screen || lane.screen == effectiveScreen());
}
