#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QSlider;
class QToolButton;
class TimelineEditorModel;

// The row under the timeline: back to the start, the horizontal scroll over the content's range, and the position.
// A wheel notch over the scroll moves the view by a tenth of the span it shows, so visibleWidth gives the width of
// the timeline's viewport in points.
class TimelineNavigation : public QWidget
{
    Q_OBJECT
  public:
    TimelineNavigation(TimelineEditorModel& model, std::function<double()> visibleWidth, QWidget* parent = nullptr);

    // The position as shown: one fraction digit in the operator's locale.
    static QString positionText(double seconds);

  protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void refresh();

    TimelineEditorModel& m_model;
    std::function<double()> m_visibleWidth;
    QToolButton* m_toStart;
    QSlider* m_scroll;
    QLabel* m_position;
};
