#pragma once

#include <QWidget>

class Engine;
class TimelineEditorModel;
class TimelineLaneHeader;
class TimelineViewport;

// The timeline as the operator sees it: the lane header column beside the viewport, on a dark rounded panel as
// high as the ruler and the lanes.
class TimelineArea : public QWidget
{
    Q_OBJECT
  public:
    TimelineArea(TimelineEditorModel& model, Engine& engine, QWidget* parent = nullptr);

    TimelineLaneHeader* header() const { return m_header; }
    TimelineViewport* viewport() const { return m_viewport; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    TimelineLaneHeader* m_header;
    TimelineViewport* m_viewport;
};
