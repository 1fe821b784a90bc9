#pragma once

#include <QWidget>

class QLabel;
class QSlider;
class QToolButton;
class TimelineEditorModel;

// The row under the timeline: back to the start, the horizontal scroll over the content's range, and the position.
class TimelineNavigation : public QWidget
{
    Q_OBJECT
  public:
    explicit TimelineNavigation(TimelineEditorModel& model, QWidget* parent = nullptr);

    // The position as shown: one fraction digit in the operator's locale.
    static QString positionText(double seconds);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void refresh();

    TimelineEditorModel& m_model;
    QToolButton* m_toStart;
    QSlider* m_scroll;
    QLabel* m_position;
};
