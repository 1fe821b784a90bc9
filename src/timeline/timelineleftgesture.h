#pragma once

#include "timelineeditormodel.h"

#include <QPointF>
#include <optional>

// The left button in the viewport. A press on the ruler or an empty place of a lane places the pointer and scrubs,
// and goes on doing so while dragged; a press on a clip selects it on release, or moves it once dragged 4 points; a
// press on a picture's handle changes the picture's duration once dragged 1 point. Points are viewport coordinates.
class TimelineLeftGesture
{
  public:
    static constexpr double kMoveThreshold = 4;
    static constexpr double kResizeThreshold = 1;

    explicit TimelineLeftGesture(TimelineEditorModel& model) : m_model(model) {}

    void press(QPointF point, double viewportWidth);
    void drag(QPointF point, bool bypassSnap);
    void release(QPointF point, bool bypassSnap);
    // Ends whatever was under way without finishing it.
    void cancel();
    bool active() const { return m_kind != Kind::none; }

  private:
    enum class Kind { none, pointer, clip, resize };

    bool passed(QPointF point, double threshold) const;
    void finish();

    TimelineEditorModel& m_model;
    Kind m_kind = Kind::none;
    QPointF m_start;
    double m_viewportWidth = 0;
    std::optional<TimelineLane> m_lane;
    std::optional<TimelineLayout::LaneClip> m_clip;
    bool m_dragging = false;
};
