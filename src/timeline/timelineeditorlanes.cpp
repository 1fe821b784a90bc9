#include "timelineeditormodel.h"

#include "engine.h"
#include "timelinelanes.h"

#include <algorithm>

void TimelineEditorModel::writeCue(const std::function<void(Cue&)>& change)
{
    Show show = m_engine->show();
    const auto index = cueIndexIn(show);
    if (!index)
        return;
    change(show.cues[*index]);
    m_engine->setShow(std::move(show));
}

void TimelineEditorModel::updateEvents(const QList<TimelineEvent>& events)
{
    writeCue([&](Cue& cue) { cue.timeline = events; });
}

void TimelineEditorModel::selectLane(const TimelineLane& lane)
{
    setLaneSelection(lane.track, lane.layer, lane.screen);
}

void TimelineEditorModel::addLayer(Track track, std::optional<ScreenRole> screen)
{
    if (!cueIndex())
        return;
    qint64 highest = 0;
    for (const TimelineLane& lane : lanes())
        if (lane.track == track && lane.screen == screen)
            highest = std::max(highest, lane.layer);
    const TimelineLane added{track, highest + 1, screen};
    writeCue([&](Cue& cue) {
        QList<TimelineLane> extra = cue.extraLanes.value_or(QList<TimelineLane>{});
        extra.append(added);
        cue.extraLanes = extra;
    });
    selectLane(added);
}

void TimelineEditorModel::requestLayerDeletion(const TimelineLane& lane)
{
    if (eventCount(lane) > 0)
        setLayerToDelete(lane);
    else
        deleteLayer(lane);
}

static bool isDefaultLane(const TimelineLane& lane)
{
    return lane.layer == 1 && (lane.screen || (lane.track == Track::music));
}

void TimelineEditorModel::deleteLayer(const TimelineLane& lane)
{
    if (!cueIndex())
        return;
    bool removedSelected = false;
    writeCue([&](Cue& cue) {
        QList<TimelineEvent> kept;
        for (const TimelineEvent& event : cue.timeline.value_or(QList<TimelineEvent>{})) {
            if (!lane.matches(event))
                kept.append(event);
            else if (event.id == m_eventID)
                removedSelected = true;
        }
        cue.timeline = kept;
        if (cue.extraLanes)
            cue.extraLanes->removeAll(lane);
        if (isDefaultLane(lane)) {
            QList<TimelineLane> hidden = cue.hiddenDefaultLanes.value_or(QList<TimelineLane>{});
            if (!hidden.contains(lane))
                hidden.append(lane);
            cue.hiddenDefaultLanes = hidden;
        }
    });
    if (removedSelected)
        setEventID(std::nullopt);
    const QList<TimelineLane> remaining = lanes();
    if (!remaining.isEmpty())
        selectLane(remaining.first());
}

void TimelineEditorModel::editEvent(const TimelineEvent& event)
{
    setEventID(event.id);
    setInsertion(event.time);
    for (const TimelineLane& lane : lanes())
        if (lane.matches(event)) {
            selectLane(lane);
            break;
        }
    if (event.track == Track::message)
        setMessageDraft(event);
}

void TimelineEditorModel::deleteEvent(const QUuid& id)
{
    QList<TimelineEvent> kept = events();
    kept.removeIf([&](const TimelineEvent& event) { return event.id == id; });
    updateEvents(kept);
    if (m_eventID == id)
        setEventID(std::nullopt);
}
