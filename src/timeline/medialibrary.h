#pragma once

#include <QWidget>

class TimelineEditorModel;

// The show's media library under the cue list.
class MediaLibrary : public QWidget
{
    Q_OBJECT
  public:
    explicit MediaLibrary(TimelineEditorModel& model, QWidget* parent = nullptr);
};
