#include "timelineeditormodel.h"

#include "clipplacement.h"
#include "engine.h"
#include "findbyid.h"
#include "timelinelanes.h"
#include "timelinenotes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

using namespace TimelineGeometry;

static const QString kAddOverlapNote = QStringLiteral("同一轨道的素材不能重叠，请调整位置或层级。");
static const QString kMoveRefusedNote = QStringLiteral("无法移到此处，请选择可用轨道和空白区间。");
static constexpr double kShortestPicture = 0.01;

std::optional<double> TimelineEditorModel::mediaDuration(const TimelineEvent& event) const
{
    const QList<TimelineEvent> all = events();
    const QList<MediaAsset> library = assets();
    return ClipPlacement(all, library).mediaDuration(event);
}

bool TimelineEditorModel::canPlace(const TimelineEvent& event) const
{
    const QList<TimelineEvent> all = events();
    const QList<MediaAsset> library = assets();
    return ClipPlacement(all, library).canPlace(event);
}

std::optional<double> TimelineEditorModel::placementTime(double wanted, const TimelineEvent& event,
                                                         const TimelineLane& lane, bool bypassSnap) const
{
    const QList<TimelineEvent> all = events();
    const QList<MediaAsset> library = assets();
    return ClipPlacement(all, library).placementTime(wanted, event, lane, m_snapEnabled && !bypassSnap, zoom());
}

static const MediaAsset* findAsset(const QList<MediaAsset>& library, const std::optional<QUuid>& id)
{
    if (!id)
        return nullptr;
    const auto found = findById(library, *id);
    return found == library.cend() ? nullptr : &*found;
}

bool TimelineEditorModel::canAdd() const
{
    const Show& show = m_engine->show();
    const QList<TimelineLane> all = lanesIn(show);
    const TimelineLane lane = selectedLaneIn(show, all);
    const MediaAsset* entry = findAsset(show.assets.value_or(QList<MediaAsset>{}), m_assetID);
    return all.contains(lane) && entry && accepts(lane.track, *entry);
}

// Places the selected asset in this copy of the show. The new clip is built from the lane the selection resolves
// to, so that it always suits the lane it is checked against.
TimelineEditorModel::AddOutcome TimelineEditorModel::addEventIn(Show& show, bool bypassSnap, QUuid& added)
{
    const auto index = cueIndexIn(show);
    const QList<TimelineLane> all = lanesIn(show);
    const TimelineLane lane = selectedLaneIn(show, all);
    const QList<MediaAsset> library = show.assets.value_or(QList<MediaAsset>{});
    const MediaAsset* entry = findAsset(library, m_assetID);
    if (!index || !all.contains(lane) || !entry || !accepts(lane.track, *entry))
        return AddOutcome::refused;
    if (!isValidTime(m_insertion))
        return AddOutcome::outOfRange;

    TimelineEvent event = newMessage(m_insertion);
    event.track = lane.track;
    event.assetID = entry->id;
    event.outputScreen = isScreen(lane.track) ? lane.screen : std::nullopt;
    if (entry->kind == AssetKind::video)
        event.videoMuted = false;
    event.layer = lane.layer;

    QList<TimelineEvent> timeline = show.cues[*index].timeline.value_or(QList<TimelineEvent>{});
    const auto time =
        ClipPlacement(timeline, library).placementTime(m_insertion, event, lane, m_snapEnabled && !bypassSnap, zoom());
    if (!time)
        return AddOutcome::overlaps;
    event.time = *time;
    timeline.append(event);
    show.cues[*index].timeline = timeline;
    added = event.id;
    return AddOutcome::added;
}

void TimelineEditorModel::finishAdd(AddOutcome outcome, const QUuid& added)
{
    switch (outcome) {
    case AddOutcome::refused:
        return;
    case AddOutcome::outOfRange:
        setNote(kTimeRangeNote);
        return;
    case AddOutcome::overlaps:
        setNote(kAddOverlapNote);
        return;
    case AddOutcome::added:
        for (const TimelineEvent& event : events())
            if (event.id == added)
                setInsertion(event.time);
        setEventID(added);
        setNote({});
        return;
    }
}

bool TimelineEditorModel::addEvent(bool bypassSnap)
{
    Show show = m_engine->show();
    QUuid added;
    const AddOutcome outcome = addEventIn(show, bypassSnap, added);
    if (outcome == AddOutcome::added)
        m_engine->setShow(std::move(show));
    finishAdd(outcome, added);
    return outcome == AddOutcome::added;
}

std::optional<TimelineEditorModel::ClipMove>
TimelineEditorModel::clipDestination(const TimelineEvent& event, const MediaAsset& asset, QPointF pointer,
                                     double translationX, double width, double viewportWidth, bool bypassSnap) const
{
    if (!(pointer.x() >= 0 && pointer.x() <= viewportWidth))
        return std::nullopt;
    const Show& show = m_engine->show();
    const QList<TimelineLane> all = lanesIn(show);
    const auto index = laneIndexAt(pointer.y(), int(all.size()));
    if (!index)
        return std::nullopt;
    const TimelineLane& lane = all[*index];
    if (!accepts(lane.track, asset))
        return std::nullopt;
    TimelineEvent moved = event;
    moved.track = lane.track;
    moved.outputScreen = lane.screen;
    moved.layer = lane.layer;
    const QList<TimelineEvent> timeline = events();
    const QList<MediaAsset> library = assets();
    const auto time =
        ClipPlacement(timeline, library)
            .placementTime(event.time + translationX / zoom(), moved, lane, m_snapEnabled && !bypassSnap, zoom());
    if (!time)
        return std::nullopt;
    return ClipMove{event.id, lane, *time, width};
}

void TimelineEditorModel::dragClip(const TimelineEvent& event, const MediaAsset& asset, QPointF pointer,
                                   double translationX, double width, double viewportWidth, bool bypassSnap)
{
    setMovingClip(clipDestination(event, asset, pointer, translationX, width, viewportWidth, bypassSnap));
}

void TimelineEditorModel::cancelClipDrag()
{
    setMovingClip(std::nullopt);
}

void TimelineEditorModel::dropClip(const TimelineEvent& event, const MediaAsset& asset, QPointF pointer,
                                   double translationX, double width, double viewportWidth, bool bypassSnap)
{
    setMovingClip(std::nullopt);
    const auto destination = clipDestination(event, asset, pointer, translationX, width, viewportWidth, bypassSnap);
    QList<TimelineEvent> timeline = events();
    const auto stored = findById(timeline, event.id);
    if (!destination || stored == timeline.end()) {
        setNote(kMoveRefusedNote);
        return;
    }
    const TimelineLane& lane = destination->lane;
    stored->track = lane.track;
    stored->outputScreen = lane.screen;
    stored->layer = lane.layer;
    stored->time = destination->time;
    updateEvents(timeline);
    setEventID(event.id);
    selectLane(lane);
    setInsertion(destination->time);
}

// The duration follows the total drag from the duration at its start, on the 0.01 s grid, and never reaches into
// the next clip of the picture's screen and layer. Where not even the shortest picture fits, the step is refused.
void TimelineEditorModel::resizePicture(const TimelineEvent& event, const MediaAsset& asset, double translationX)
{
    if (!m_resizeStart) {
        setResizeStart(event.clipDuration(asset));
        setEventID(event.id);
        // The steps of one drag are one undo step.
        if (m_resizeStart && !std::exchange(m_resizeDragging, true))
            m_engine->beginDrag();
    }
    if (!m_resizeStart)
        return;
    QList<TimelineEvent> timeline = events();
    const auto stored = findById(timeline, event.id);
    if (stored == timeline.end())
        return;

    double next = std::numeric_limits<double>::infinity();
    for (const TimelineEvent& other : timeline)
        if (other.id != event.id && other.screen() == stored->screen() &&
            other.effectiveLayer() == stored->effectiveLayer() && other.time > stored->time)
            next = std::min(next, other.time);
    const double room = next - stored->time;
    if (room < kShortestPicture)
        return;

    double duration = std::max(gridTime(*m_resizeStart + translationX / zoom()), kShortestPicture);
    duration = std::min({duration, room, kLatestTime});
    stored->imageDuration = duration;
    const QList<MediaAsset> library = assets();
    if (ClipPlacement(timeline, library).canPlace(*stored))
        updateEvents(timeline);
}

void TimelineEditorModel::endPictureResize()
{
    setResizeStart(std::nullopt);
    if (std::exchange(m_resizeDragging, false))
        m_engine->endDrag();
}
