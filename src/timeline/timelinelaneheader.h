#pragma once

#include <QList>
#include <QWidget>

class QToolButton;
class TimelineEditorModel;
struct TimelineLane;

// The column left of the viewport: "时间" beside the ruler, then each lane's title (cyan for the selected lane), a
// button on message lanes that adds a communication event at the pointer, and "删除轨道" on each row's context menu.
class TimelineLaneHeader : public QWidget
{
    Q_OBJECT
  public:
    explicit TimelineLaneHeader(TimelineEditorModel& model, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void refresh();
    QFont captionFont() const;

    TimelineEditorModel& m_model;
    // One per message lane, reused as lanes come and go.
    QList<QToolButton*> m_addButtons;
};
