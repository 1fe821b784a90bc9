#include "timelineviewstate.h"

#include "assign.h"
#include "engine.h"

using namespace TimelineGeometry;

TimelineViewState::TimelineViewState(Engine* engine, QObject* parent) : QObject(parent), m_engine(engine) {}

void TimelineViewState::setZoom(double pointsPerSecond)
{
    if (assign(m_view.zoom, clampedZoom(pointsPerSecond)))
        emit changed();
}

void TimelineViewState::setScrollTime(double seconds)
{
    if (assign(m_view.scrollTime, clampedScroll(seconds)))
        emit changed();
}

void TimelineViewState::zoomAbout(double delta, double x)
{
    if (assign(m_view, zoomedAbout(m_view, delta, x)))
        emit changed();
}

void TimelineViewState::pan(double dx)
{
    setScrollTime(pannedScroll(scrollTime(), dx, zoom()));
}

double TimelineViewState::timeAt(double x) const
{
    return TimelineGeometry::timeAt(x, scrollTime(), zoom());
}

QList<RulerLabel> TimelineViewState::rulerLabels(double viewportWidth) const
{
    return TimelineGeometry::rulerLabels(scrollTime(), zoom(), viewportWidth);
}

void TimelineViewState::setSnapEnabled(bool enabled)
{
    if (!assign(m_snapEnabled, enabled))
        return;
    emit snapEnabledChanged(enabled);
    emit changed();
}

void TimelineViewState::setAssetSearch(const QString& text)
{
    if (assign(m_assetSearch, text))
        emit changed();
}

void TimelineViewState::setNote(const QString& text)
{
    // A note that lands for a press made before the cue shown changed would have gone with the change.
    const quint64 at = momentNow();
    const bool kept = at >= m_shownAt;
    if (kept)
        m_noteAt = at;
    const bool moved = kept && assign(m_note, text);
    if (!text.isEmpty())
        m_engine->setMessage(text);
    if (moved)
        emit changed();
}

void TimelineViewState::setDropTargeted(bool targeted)
{
    if (assign(m_dropTargeted, targeted))
        emit changed();
}

void TimelineViewState::setLaneTargeted(const TimelineLane& lane, bool targeted)
{
    std::optional<TimelineLane> target = m_targetedLane;
    if (targeted && lane.track != Track::message)
        target = lane;
    else if (m_targetedLane == lane)
        target.reset();
    if (assign(m_targetedLane, target))
        emit changed();
}

void TimelineViewState::setMovingClip(std::optional<ClipMove> move)
{
    if (assign(m_movingClip, move))
        emit changed();
}

void TimelineViewState::setResizeStart(std::optional<double> start)
{
    m_resizeStart = start;
}

void TimelineViewState::setMessageDraft(std::optional<TimelineEvent> draft)
{
    if (!assign(m_messageDraft, std::move(draft)))
        return;
    m_draftAt = momentNow();
    emit messageDraftChanged();
    emit changed();
}

void TimelineViewState::setLayerToDelete(std::optional<TimelineLane> lane)
{
    if (!assign(m_layerToDelete, lane))
        return;
    m_promptAt = momentNow();
    emit layerToDeleteChanged();
    emit changed();
}

quint64 TimelineViewState::momentNow() const
{
    return m_engine ? m_engine->momentNow() : 0;
}

void TimelineViewState::dropOpened(std::optional<quint64> lateAt)
{
    m_shownAt = lateAt.value_or(momentNow());
    if (m_draftAt <= m_shownAt)
        setMessageDraft(std::nullopt);
    if (m_promptAt <= m_shownAt)
        setLayerToDelete(std::nullopt);
    if (m_noteAt <= m_shownAt && assign(m_note, QString()))
        emit changed();
}

void TimelineViewState::requestScrub(const ScrubRequest& request)
{
    m_scrubRequest = request;
    emit scrubRequestChanged();
}

void TimelineViewState::clearScrubRequest()
{
    if (!m_scrubRequest)
        return;
    m_scrubRequest.reset();
    emit scrubRequestChanged();
}
