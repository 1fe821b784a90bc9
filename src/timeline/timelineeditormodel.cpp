#include "timelineeditormodel.h"

#include "assign.h"
#include "clipplacement.h"
#include "engine.h"
#include "findbyid.h"
#include "timelinelanes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace TimelineGeometry;

TimelineEditorModel::TimelineEditorModel(Engine* engine, QObject* parent) : QObject(parent), m_engine(engine)
{
    connect(engine, &Engine::showChanged, this, [this] {
        emit changed();
        serveFocusRequest();
    });
    connect(engine, &Engine::currentChanged, this, &TimelineEditorModel::changed);
    connect(engine, &Engine::selectedChanged, this, &TimelineEditorModel::selectedCueChanged);
    connect(engine, &Engine::focusEventChanged, this, &TimelineEditorModel::serveFocusRequest);
}

// A resize drag cut short still ends, so that later edits are not joined to it.
TimelineEditorModel::~TimelineEditorModel()
{
    if (m_resizeDragging && m_engine)
        m_engine->endDrag();
}

void TimelineEditorModel::setAssetID(std::optional<QUuid> id)
{
    if (assign(m_assetID, id))
        emit changed();
}

void TimelineEditorModel::setAssetSearch(const QString& text)
{
    if (assign(m_assetSearch, text))
        emit changed();
}

void TimelineEditorModel::setSnapEnabled(bool enabled)
{
    if (!assign(m_snapEnabled, enabled))
        return;
    emit snapEnabledChanged(enabled);
    emit changed();
}

void TimelineEditorModel::setEventID(std::optional<QUuid> id)
{
    if (!assign(m_eventID, id))
        return;
    followSelectedEvent();
    emit changed();
}

// The selected event's lane becomes the selected lane and the insertion time moves to its start, unless the event
// lies outside the day.
void TimelineEditorModel::followSelectedEvent()
{
    if (!m_eventID)
        return;
    const QList<TimelineEvent> all = events();
    const auto found = findById(all, *m_eventID);
    if (found == all.cend() || !isValidTime(found->time))
        return;
    const TimelineLane lane = laneOf(*found);
    setLaneSelection(lane.track, lane.layer, lane.screen);
    setInsertion(found->time);
}

void TimelineEditorModel::setLaneSelection(Track track, qint64 layer, std::optional<ScreenRole> screen)
{
    bool moved = assign(m_track, track);
    moved = assign(m_layer, layer) || moved;
    if (screen)
        moved = assign(m_selectedScreen, *screen) || moved;
    if (moved)
        emit changed();
}

void TimelineEditorModel::setInsertion(double seconds)
{
    // Compared bit for bit, so that a typed NaN is stored once.
    if (std::memcmp(&m_insertion, &seconds, sizeof seconds) == 0)
        return;
    m_insertion = seconds;
    emit changed();
}

void TimelineEditorModel::setZoom(double pointsPerSecond)
{
    if (assign(m_view.zoom, clampedZoom(pointsPerSecond)))
        emit changed();
}

void TimelineEditorModel::setScrollTime(double seconds)
{
    if (assign(m_view.scrollTime, clampedScroll(seconds)))
        emit changed();
}

void TimelineEditorModel::setNote(const QString& text)
{
    const bool moved = assign(m_note, text);
    if (!text.isEmpty())
        m_engine->setMessage(text);
    if (moved)
        emit changed();
}

void TimelineEditorModel::setDropTargeted(bool targeted)
{
    if (assign(m_dropTargeted, targeted))
        emit changed();
}

void TimelineEditorModel::setLaneTargeted(const TimelineLane& lane, bool targeted)
{
    std::optional<TimelineLane> target = m_targetedLane;
    if (targeted && lane.track != Track::message)
        target = lane;
    else if (m_targetedLane == lane)
        target.reset();
    if (assign(m_targetedLane, target))
        emit changed();
}

void TimelineEditorModel::setMessageDraft(std::optional<TimelineEvent> draft)
{
    if (!assign(m_messageDraft, std::move(draft)))
        return;
    emit messageDraftChanged();
    emit changed();
}

void TimelineEditorModel::setLayerToDelete(std::optional<TimelineLane> lane)
{
    if (!assign(m_layerToDelete, lane))
        return;
    emit layerToDeleteChanged();
    emit changed();
}

void TimelineEditorModel::setResizeStart(std::optional<double> start)
{
    m_resizeStart = start;
}

void TimelineEditorModel::setMovingClip(std::optional<ClipMove> move)
{
    if (assign(m_movingClip, move))
        emit changed();
}

std::optional<int> TimelineEditorModel::cueIndexIn(const Show& show) const
{
    const std::optional<QUuid> selected = m_engine->selected();
    if (!selected)
        return std::nullopt;
    for (int i = 0; i < show.cues.size(); ++i)
        if (show.cues[i].id == *selected)
            return i;
    return std::nullopt;
}

std::optional<int> TimelineEditorModel::cueIndex() const
{
    return cueIndexIn(m_engine->show());
}

QList<TimelineEvent> TimelineEditorModel::events() const
{
    const auto index = cueIndex();
    return index ? m_engine->show().cues[*index].timeline.value_or(QList<TimelineEvent>{}) : QList<TimelineEvent>{};
}

QList<MediaAsset> TimelineEditorModel::assets() const
{
    return m_engine->show().assets.value_or(QList<MediaAsset>{});
}

QList<TimelineLane> TimelineEditorModel::lanesIn(const Show& show) const
{
    const auto index = cueIndexIn(show);
    return timelineLanes(show, index ? &show.cues[*index] : nullptr);
}

QList<TimelineLane> TimelineEditorModel::lanes() const
{
    return lanesIn(m_engine->show());
}

ScreenRole TimelineEditorModel::effectiveScreenIn(const Show& show) const
{
    const QList<ScreenRole> screens = show.screens();
    return screens.contains(m_selectedScreen) ? m_selectedScreen : screens.first();
}

ScreenRole TimelineEditorModel::effectiveScreen() const
{
    return effectiveScreenIn(m_engine->show());
}

TimelineLane TimelineEditorModel::selectedLaneIn(const Show& show, const QList<TimelineLane>& lanes) const
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

TimelineLane TimelineEditorModel::selectedLane() const
{
    const Show& show = m_engine->show();
    return selectedLaneIn(show, lanesIn(show));
}

bool TimelineEditorModel::isLive() const
{
    const auto index = cueIndex();
    const std::optional<Cue>& current = m_engine->current();
    return index && current && current->id == m_engine->show().cues[*index].id;
}

bool TimelineEditorModel::isHighlightedLane(const TimelineLane& lane) const
{
    return lane.track == m_track && lane.layer == m_layer && (!lane.screen || lane.screen == effectiveScreen());
}

std::optional<MediaAsset> TimelineEditorModel::asset(const TimelineEvent& event) const
{
    return m_engine->asset(event);
}

int TimelineEditorModel::eventCount(const TimelineLane& lane) const
{
    const QList<TimelineEvent> all = events();
    return int(std::count_if(all.cbegin(), all.cend(), [&](const TimelineEvent& e) { return lane.matches(e); }));
}

// Another cue was selected: what belonged to the old one goes; zoom, lane selection and library stay.
void TimelineEditorModel::selectedCueChanged()
{
    setMessageDraft(std::nullopt);
    setLayerToDelete(std::nullopt);
    setEventID(std::nullopt);
    setInsertion(0);
    if (m_scrubRequest) {
        m_scrubRequest.reset();
        emit scrubRequestChanged();
    }
    setScrollTime(0);
    setNote({});
    emit changed();
    serveFocusRequest();
}

// A request to open an event waits while its event lies in another cue, and is dropped once no cue holds it. It is
// served on a later turn of the event loop, after the handlers of the change that brought it.
void TimelineEditorModel::serveFocusRequest()
{
    const std::optional<QUuid> wanted = m_engine->focusEvent();
    if (!wanted || m_focusQueued)
        return;
    m_focusQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_focusQueued = false;
            const std::optional<QUuid> wanted = m_engine->focusEvent();
            if (!wanted)
                return;
            for (const TimelineEvent& event : events())
                if (event.id == *wanted) {
                    editEvent(event);
                    setScrollTime(std::max(event.time - 2, 0.0));
                    m_engine->setFocusEvent(std::nullopt);
                    return;
                }
            for (const Cue& cue : m_engine->show().cues)
                if (cue.timeline && std::any_of(cue.timeline->cbegin(), cue.timeline->cend(),
                                                [&](const TimelineEvent& e) { return e.id == *wanted; }))
                    return;
            m_engine->setFocusEvent(std::nullopt);
        },
        Qt::QueuedConnection);
}
