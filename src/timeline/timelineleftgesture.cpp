#include "timelineleftgesture.h"

#include "timelineclipview.h"

#include <cmath>

using namespace TimelineGeometry;

// The clip under the point as its lane draws it, or none.
static std::optional<TimelineLayout::LaneClip> clipAt(const TimelineEditorModel& model, const TimelineLane& lane,
                                                      QPointF point, double viewportWidth)
{
    const std::optional<TimelineEvent> hit = model.layout().eventAt(point);
    if (!hit)
        return std::nullopt;
    for (const TimelineLayout::LaneClip& clip : model.layout().visibleClips(lane, viewportWidth))
        if (clip.event.id == hit->id)
            return clip;
    return std::nullopt;
}

void TimelineLeftGesture::press(QPointF point, double viewportWidth)
{
    cancel();
    m_start = point;
    m_viewportWidth = viewportWidth;
    const QList<TimelineLane> lanes = m_model.cue().lanes();
    const std::optional<int> index = laneIndexAt(point.y(), int(lanes.size()));
    if (point.y() >= kRulerHeight && !index)
        return;
    m_lane = index ? std::optional(lanes[*index]) : std::nullopt;
    if (m_lane)
        m_clip = clipAt(m_model, *m_lane, point, viewportWidth);
    if (!m_clip) {
        m_kind = Kind::pointer;
        m_model.positionPointer(m_lane, point.x());
        return;
    }
    const auto handle = TimelineClipView(*m_clip, laneTop(*index)).handleRect();
    m_kind = handle && handle->contains(point) ? Kind::resize : Kind::clip;
}

bool TimelineLeftGesture::passed(QPointF point, double threshold) const
{
    return std::hypot(point.x() - m_start.x(), point.y() - m_start.y()) >= threshold;
}

void TimelineLeftGesture::drag(QPointF point, bool bypassSnap)
{
    const double translationX = point.x() - m_start.x();
    switch (m_kind) {
    case Kind::none:
        return;
    case Kind::pointer:
        m_model.positionPointer(m_lane, point.x());
        return;
    case Kind::clip:
        m_dragging = m_dragging || passed(point, kMoveThreshold);
        if (m_dragging && m_clip->asset)
            m_model.placement().dragClip(m_clip->event, *m_clip->asset, point, translationX, m_clip->width,
                                         m_viewportWidth, bypassSnap);
        return;
    case Kind::resize:
        m_dragging = m_dragging || passed(point, kResizeThreshold);
        if (m_dragging)
            m_model.placement().resizePicture(m_clip->event, *m_clip->asset, translationX);
        return;
    }
}

void TimelineLeftGesture::release(QPointF point, bool bypassSnap)
{
    if (m_kind == Kind::clip) {
        if (!m_dragging)
            m_model.edits().editEvent(m_clip->event);
        else if (m_clip->asset)
            m_model.placement().dropClip(m_clip->event, *m_clip->asset, point, point.x() - m_start.x(), m_clip->width,
                                         m_viewportWidth, bypassSnap);
    }
    finish();
}

void TimelineLeftGesture::cancel()
{
    if (m_kind == Kind::clip && m_dragging)
        m_model.placement().cancelClipDrag();
    finish();
}

void TimelineLeftGesture::finish()
{
    if (m_kind == Kind::resize)
        m_model.placement().endPictureResize();
    m_kind = Kind::none;
    m_lane.reset();
    m_clip.reset();
    m_dragging = false;
}
