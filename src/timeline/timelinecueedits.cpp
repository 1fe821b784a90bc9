#include "timelinecueedits.h"

#include "editedcue.h"
#include "engine.h"
#include "findbyid.h"
#include "showlimits.h"
#include "timelinegeometry.h"
#include "timelinenotes.h"
#include "timelineselection.h"
#include "timelineviewstate.h"

#include <algorithm>
#include <cmath>

using namespace TimelineGeometry;

static const QString kEditOverlapNote = QStringLiteral("同一轨道的素材不能重叠，请调整时间或层级。");

TimelineCueEdits::TimelineCueEdits(const EditedCue& cue, TimelineSelection& selection, TimelineViewState& view)
    : m_cue(cue), m_selection(selection), m_view(view)
{
}

void TimelineCueEdits::writeCue(const std::function<void(Cue&)>& change)
{
    Engine* engine = m_cue.engine();
    Show show = engine->show();
    const auto index = m_cue.cueIndexIn(show);
    if (!index)
        return;
    change(show.cues[*index]);
    engine->setShow(std::move(show));
}

void TimelineCueEdits::updateEvents(const QList<TimelineEvent>& events)
{
    writeCue([&](Cue& cue) { cue.timeline = events; });
}

void TimelineCueEdits::addLayer(Track track, std::optional<ScreenRole> screen)
{
    const std::optional<int> index = m_cue.cueIndex();
    if (!index)
        return;
    if (laneCount(m_cue.engine()->show().cues.at(*index)) >= kMostLanesPerCue) {
        m_view.setNote(QStringLiteral("每个节目最多 %1 条轨道").arg(kMostLanesPerCue));
        return;
    }
    qint64 highest = 0;
    for (const TimelineLane& lane : m_cue.lanes())
        if (lane.track == track && lane.screen == screen)
            highest = std::max(highest, lane.layer);
    const TimelineLane added{track, highest + 1, screen};
    writeCue([&](Cue& cue) {
        QList<TimelineLane> extra = cue.extraLanes.value_or(QList<TimelineLane>{});
        extra.append(added);
        cue.extraLanes = extra;
    });
    m_selection.selectLane(added);
}

void TimelineCueEdits::requestLayerDeletion(const TimelineLane& lane)
{
    if (m_cue.eventCount(lane) > 0)
        m_view.setLayerToDelete(lane);
    else
        deleteLayer(lane);
}

static bool isDefaultLane(const TimelineLane& lane)
{
    return lane.layer == 1 && (lane.screen || (lane.track == Track::music));
}

void TimelineCueEdits::deleteLayer(const TimelineLane& lane)
{
    if (!m_cue.cueIndex())
        return;
    bool removedSelected = false;
    writeCue([&](Cue& cue) {
        QList<TimelineEvent> kept;
        for (const TimelineEvent& event : cue.timeline.value_or(QList<TimelineEvent>{})) {
            if (!lane.matches(event))
                kept.append(event);
            else if (event.id == m_selection.eventID())
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
        m_selection.setEventID(std::nullopt);
    const QList<TimelineLane> remaining = m_cue.lanes();
    if (!remaining.isEmpty())
        m_selection.selectLane(remaining.first());
}

void TimelineCueEdits::editEvent(const TimelineEvent& event)
{
    m_selection.setEventID(event.id);
    m_selection.setInsertion(event.time);
    for (const TimelineLane& lane : m_cue.lanes())
        if (lane.matches(event)) {
            m_selection.selectLane(lane);
            break;
        }
    if (event.track == Track::message)
        m_view.setMessageDraft(event);
    emit m_view.eventOpened();
}

void TimelineCueEdits::deleteEvent(const QUuid& id)
{
    QList<TimelineEvent> kept = m_cue.events();
    kept.removeIf([&](const TimelineEvent& event) { return event.id == id; });
    updateEvents(kept);
    if (m_selection.eventID() == id)
        m_selection.setEventID(std::nullopt);
}

static bool placementFieldsDiffer(const TimelineEvent& a, const TimelineEvent& b)
{
    // A time that is not a number, as a project file may hold, is not a change of itself.
    const bool sameTime = a.time == b.time || (std::isnan(a.time) && std::isnan(b.time));
    return !sameTime || a.layer != b.layer || a.assetID != b.assetID || a.imageDuration != b.imageDuration;
}

bool TimelineCueEdits::applyEventEdit(int editedCue, const TimelineEvent& edited)
{
    if (m_cue.cueIndex() != editedCue)
        return false;
    QList<TimelineEvent> timeline = m_cue.events();
    const auto stored = findById(timeline, edited.id);
    if (stored == timeline.end())
        return false;
    if (placementFieldsDiffer(edited, *stored)) {
        if (!isValidTime(edited.time)) {
            m_view.setNote(kTimeRangeNote);
            return false;
        }
        if (!m_cue.canPlace(edited)) {
            m_view.setNote(kEditOverlapNote);
            return false;
        }
    }
    *stored = edited;
    updateEvents(timeline);
    if (isValidTime(edited.time))
        m_selection.setInsertion(edited.time);
    return true;
}

std::optional<double> TimelineCueEdits::typedPictureDuration(double seconds)
{
    if (!std::isfinite(seconds))
        return std::nullopt;
    return std::clamp(seconds, 0.01, kLatestTime);
}

bool TimelineCueEdits::videoSoundOff(const TimelineEvent& event)
{
    if (event.videoMuted)
        return *event.videoMuted;
    return event.screen() == kScreen1 ? !event.videoAudio : true;
}

TimelineEvent TimelineCueEdits::newMessage(double time)
{
    TimelineEvent event;
    event.time = time;
    event.track = Track::message;
    event.transport = Transport::udp;
    event.host = QStringLiteral("127.0.0.1");
    event.port = 9000;
    event.oscAddress = QStringLiteral("/cue");
    return event;
}

void TimelineCueEdits::openNewMessage()
{
    if (!m_cue.cueIndex())
        return;
    const double insertion = m_selection.insertion();
    if (!isValidTime(insertion)) {
        m_view.setNote(kTimeRangeNote);
        return;
    }
    m_view.setMessageDraft(newMessage(insertion));
}

void TimelineCueEdits::saveMessage(const TimelineEvent& saved)
{
    QList<TimelineEvent> timeline = m_cue.events();
    const auto stored = findById(timeline, saved.id);
    if (stored != timeline.end())
        *stored = saved;
    else
        timeline.append(saved);
    updateEvents(timeline);
    m_selection.setEventID(saved.id);
    m_selection.selectLane({Track::message, 1, std::nullopt});
    m_selection.setInsertion(saved.time);
}
