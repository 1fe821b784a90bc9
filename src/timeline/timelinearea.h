#pragma once

#include <QWidget>

class TimelineEditorModel;

// The timeline itself: lane headers beside the viewport with ruler, lanes and clips. It is as high as the ruler and
// the model's lanes; the editor scrolls it when that is more than it shows.
class TimelineArea : public QWidget
{
    Q_OBJECT
  public:
    explicit TimelineArea(TimelineEditorModel& model, QWidget* parent = nullptr);

    QSize sizeHint() const override;

  private:
    TimelineEditorModel& m_model;
};
