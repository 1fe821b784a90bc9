#pragma once

#include "mediaasset.h"
#include "timelineevent.h"

#include <QList>
#include <QUuid>
#include <QWidget>

class QComboBox;
class TimelineEditorModel;

// "定位事件": the edited cue's events by time; choosing one selects it with its lane and moves the insertion time.
class EventPicker : public QWidget
{
    Q_OBJECT
  public:
    explicit EventPicker(TimelineEditorModel& model, QWidget* parent = nullptr);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void refresh();

    TimelineEditorModel& m_model;
    QComboBox* m_choices;
    // The event of each option after "未选择".
    QList<QUuid> m_ids;
    QList<TimelineEvent> m_shownEvents;
    QList<MediaAsset> m_shownAssets;
};
