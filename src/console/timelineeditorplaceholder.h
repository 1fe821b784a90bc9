#pragma once

#include <QWidget>

// Stands in for the timeline editor: the cue list on the left, the screens column on the right over an empty,
// labelled area where the timeline will be.
class TimelineEditorPlaceholder : public QWidget
{
    Q_OBJECT
  public:
    TimelineEditorPlaceholder(QWidget* programList, QWidget* monitors, QWidget* parent = nullptr);
};
