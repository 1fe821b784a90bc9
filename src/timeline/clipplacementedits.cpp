#include "clipplacementedits.h"

#include "clipplacement.h"
#include "editedcue.h"
#include "edithistory.h"
#include "engine.h"
#include "findbyid.h"
#include "timelinecueedits.h"
#include "timelinelanes.h"
#include "timelinenotes.h"
#include "timelineselection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

using namespace TimelineGeometry;

static const QString kAddOverlapNote = QStringLiteral("同一轨道的素材不能重叠，请调整位置或层级。");
static const QString kMoveRefusedNote = QStringLiteral("无法移到此处，请选择可用轨道和空白区间。");
static constexpr double kShortestPicture = 0.01;

ClipPlacementEdits::ClipPlacementEdits(const EditedCue& cue, TimelineSelection& selection, TimelineViewState& view,
                                       TimelineCueEdits& edits)
    : m_cue(cue), m_selection(selection), m_view(view), m_edits(edits)
{
}

ClipPlacementEdits::~ClipPlacementEdits()
{
    if (m_resizeDragging && m_cue.engine())
        m_cue.engine()->history().endDrag();
}

bool ClipPlacementEdits::snaps(bool bypassSnap) const
{
    return m_view.snapEnabled() && !bypassSnap;
}

std::optional<double> ClipPlacementEdits::placementTime(double wanted, const TimelineEvent& event,
                                                        const TimelineLane& lane, bool bypassSnap) const
{
    const QList<TimelineEvent> all = m_cue.events();
    const QList<MediaAsset> library = m_cue.assets();
    return ClipPlacement(all, library).placementTime(wanted, event, lane, snaps(bypassSnap), m_view.zoom());
}

static const MediaAsset* findAsset(const QList<MediaAsset>& library, const std::optional<QUuid>& id)
{
    if (!id)
        return nullptr;
    const auto found = findById(library, *id);
    return found == library.cend() ? nullptr : &*found;
}

bool ClipPlacementEdits::canAdd() const
{
    const Show& show = m_cue.engine()->show();
    const QList<TimelineLane> all = m_cue.lanesIn(show);
    const TimelineLane lane = m_selection.selectedLaneIn(show, all);
    const MediaAsset* entry = findAsset(show.assets.value_or(QList<MediaAsset>{}), m_selection.assetID());
    return all.contains(lane) && entry && accepts(lane.track, *entry);
}

// Places the clip in this copy of the show. The new clip is built from the lane it goes to, so that it always suits
// the lane it is checked against.
ClipPlacementEdits::AddOutcome ClipPlacementEdits::placeIn(Show& show, const ClipAt& clip, bool bypassSnap,
                                                           QUuid& added)
{
    const auto cue = findById(std::as_const(show.cues), clip.cue);
    if (cue == show.cues.cend())
        return AddOutcome::refused;
    const int index = int(cue - show.cues.cbegin());
    const bool edited = m_cue.engine()->selected() == clip.cue;
    const QList<TimelineLane> all = edited ? m_cue.lanesIn(show) : timelineLanes(show, &show.cues[index]);
    const QList<MediaAsset> library = show.assets.value_or(QList<MediaAsset>{});
    const MediaAsset* entry = findAsset(library, clip.asset);
    if (!all.contains(clip.lane) || !entry || !accepts(clip.lane.track, *entry))
        return AddOutcome::refused;
    if (!isValidTime(clip.time))
        return AddOutcome::outOfRange;

    TimelineEvent event = TimelineCueEdits::newMessage(clip.time);
    if (!added.isNull())
        event.id = added;
    event.track = clip.lane.track;
    event.assetID = entry->id;
    event.outputScreen = isScreen(clip.lane.track) ? clip.lane.screen : std::nullopt;
    if (entry->kind == AssetKind::video)
        event.videoMuted = false;
    event.layer = clip.lane.layer;

    QList<TimelineEvent> timeline = show.cues[index].timeline.value_or(QList<TimelineEvent>{});
    const auto time =
        ClipPlacement(timeline, library).placementTime(clip.time, event, clip.lane, snaps(bypassSnap), m_view.zoom());
    if (!time)
        return AddOutcome::overlaps;
    event.time = *time;
    timeline.append(event);
    show.cues[index].timeline = timeline;
    added = event.id;
    return AddOutcome::added;
}

void ClipPlacementEdits::finishAdd(AddOutcome outcome, const QUuid& added, bool inEditedCue)
{
    switch (outcome) {
    case AddOutcome::refused:
        return;
    case AddOutcome::outOfRange:
        m_view.setNote(kTimeRangeNote);
        return;
    case AddOutcome::overlaps:
        m_view.setNote(kAddOverlapNote);
        return;
    case AddOutcome::added:
        m_view.setNote({});
        if (!inEditedCue)
            return;
        for (const TimelineEvent& event : m_cue.events())
            if (event.id == added)
                m_selection.setInsertion(event.time);
        m_selection.setEventID(added);
        return;
    }
}

bool ClipPlacementEdits::placeClip(Show show, const ClipAt& clip, const std::optional<Show>& fallback, bool bypassSnap)
{
    QUuid added;
    const AddOutcome outcome = placeIn(show, clip, bypassSnap, added);
    if (outcome == AddOutcome::added)
        m_cue.engine()->setShow(std::move(show));
    else if (fallback)
        m_cue.engine()->setShow(*fallback);
    finishAdd(outcome, added, m_cue.engine()->selected() == clip.cue);
    return outcome == AddOutcome::added;
}

// The clip the selection names, built from the lane the selection resolves to.
bool ClipPlacementEdits::addEvent(bool bypassSnap)
{
    const Show& show = m_cue.engine()->show();
    const std::optional<QUuid> cue = m_cue.engine()->selected();
    const std::optional<QUuid> asset = m_selection.assetID();
    if (!cue || !asset)
        return false;
    const TimelineLane lane = m_selection.selectedLaneIn(show, m_cue.lanesIn(show));
    return placeClip(show, {*cue, lane, *asset, m_selection.insertion()}, std::nullopt, bypassSnap);
}

bool ClipPlacementEdits::dropAsset(const QUuid& assetID, const TimelineLane& lane, double x, bool bypassSnap)
{
    TimelineEvent probe;
    probe.assetID = assetID;
    const std::optional<MediaAsset> entry = m_cue.asset(probe);
    if (!entry)
        return false;
    if (!accepts(lane.track, *entry)) {
        m_view.setNote(rawValue(entry->kind) + QStringLiteral("无法放入") + lane.title() + QStringLiteral("轨道"));
        return false;
    }
    m_selection.selectLane(lane);
    m_selection.setInsertion(m_view.timeAt(x));
    m_selection.setAssetID(entry->id);
    return addEvent(bypassSnap);
}

std::optional<ClipPlacementEdits::ClipMove>
ClipPlacementEdits::clipDestination(const TimelineEvent& event, const MediaAsset& asset, QPointF pointer,
                                    double translationX, double width, double viewportWidth, bool bypassSnap) const
{
    if (!(pointer.x() >= 0 && pointer.x() <= viewportWidth))
        return std::nullopt;
    const QList<TimelineLane> all = m_cue.lanes();
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
    const double zoom = m_view.zoom();
    const auto time = placementTime(event.time + translationX / zoom, moved, lane, bypassSnap);
    if (!time)
        return std::nullopt;
    return ClipMove{event.id, lane, *time, width};
}

void ClipPlacementEdits::dragClip(const TimelineEvent& event, const MediaAsset& asset, QPointF pointer,
                                  double translationX, double width, double viewportWidth, bool bypassSnap)
{
    m_view.setMovingClip(clipDestination(event, asset, pointer, translationX, width, viewportWidth, bypassSnap));
}

void ClipPlacementEdits::cancelClipDrag()
{
    m_view.setMovingClip(std::nullopt);
}

void ClipPlacementEdits::dropClip(const TimelineEvent& event, const MediaAsset& asset, QPointF pointer,
                                  double translationX, double width, double viewportWidth, bool bypassSnap)
{
    m_view.setMovingClip(std::nullopt);
    const auto destination = clipDestination(event, asset, pointer, translationX, width, viewportWidth, bypassSnap);
    QList<TimelineEvent> timeline = m_cue.events();
    const auto stored = findById(timeline, event.id);
    if (!destination || stored == timeline.end()) {
        m_view.setNote(kMoveRefusedNote);
        return;
    }
    const TimelineLane& lane = destination->lane;
    stored->track = lane.track;
    stored->outputScreen = lane.screen;
    stored->layer = lane.layer;
    stored->time = destination->time;
    m_edits.updateEvents(timeline);
    m_selection.setEventID(event.id);
    m_selection.selectLane(lane);
    m_selection.setInsertion(destination->time);
}

// The duration follows the total drag from the duration at its start, on the 0.01 s grid, and never reaches into
// the next clip of the picture's screen and layer: where less than the shortest picture fits, the room wins.
void ClipPlacementEdits::resizePicture(const TimelineEvent& event, const MediaAsset& asset, double translationX)
{
    if (!m_view.resizeStart()) {
        m_view.setResizeStart(event.clipDuration(asset));
        m_selection.setEventID(event.id);
        // The steps of one drag are one undo step.
        if (m_view.resizeStart() && !std::exchange(m_resizeDragging, true))
            m_cue.engine()->history().beginDrag();
    }
    const std::optional<double> start = m_view.resizeStart();
    if (!start)
        return;
    QList<TimelineEvent> timeline = m_cue.events();
    const auto stored = findById(timeline, event.id);
    if (stored == timeline.end())
        return;

    double next = std::numeric_limits<double>::infinity();
    for (const TimelineEvent& other : timeline)
        if (other.id != event.id && other.screen() == stored->screen() &&
            other.effectiveLayer() == stored->effectiveLayer() && other.time > stored->time)
            next = std::min(next, other.time);
    const double room = next - stored->time;
    double duration = std::max(gridTime(*start + translationX / m_view.zoom()), kShortestPicture);
    duration = std::min({duration, room, kLatestTime});
    stored->imageDuration = duration;
    // Fitted at the duration set here: a picture shorter than the shortest one still ends where its room does.
    const QList<MediaAsset> library = m_cue.assets();
    if (ClipPlacement(timeline, library).canPlace(*stored, duration))
        m_edits.updateEvents(timeline);
}

void ClipPlacementEdits::endPictureResize()
{
    m_view.setResizeStart(std::nullopt);
    if (std::exchange(m_resizeDragging, false))
        m_cue.engine()->history().endDrag();
}
