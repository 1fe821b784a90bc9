#pragma once

#include <QWidget>

class NumberField;
class QComboBox;
class QPushButton;
class QSlider;
class QToolButton;
class TimelineEditorModel;

// The row above the timeline: the lane picker, the menu that adds lanes, the button that deletes the selected lane,
// the insertion time, the snap switch and the zoom.
class TimelineControls : public QWidget
{
    Q_OBJECT
  public:
    explicit TimelineControls(TimelineEditorModel& model, QWidget* parent = nullptr);

  private:
    void refresh();

    TimelineEditorModel& m_model;
    QComboBox* m_lanes;
    QPushButton* m_addLayer;
    QToolButton* m_removeLane;
    NumberField* m_insertion;
    QPushButton* m_snap;
    QSlider* m_zoom;
};
