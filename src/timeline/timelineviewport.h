#pragma once

#include "timelineleftgesture.h"
#include "timelinemouseinput.h"

#include <QWidget>

class Engine;

// The timeline's viewport: the ruler above one row per lane with its clips, the ghost of a clip being moved, the
// insertion line and, while the edited cue is on air, the playhead. Everything is painted from the editor model and
// hit-tested in code; the mouse and library drops go to the model's operations.
class TimelineViewport : public QWidget
{
    Q_OBJECT
  public:
    // Shown by the whole area; the viewport shows a clip's own help over the clip.
    static const QString kHelp;

    TimelineViewport(TimelineEditorModel& model, Engine& engine, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void paintRuler(QPainter& painter) const;
    void paintLane(QPainter& painter, const TimelineLane& lane, int index) const;
    void showMenu(QPointF point, const QList<TimelineMenuItem>& items);
    void updateHelp(QPointF point);
    std::optional<TimelineLane> laneAt(double y) const;
    void targetLane(std::optional<TimelineLane> lane);
    void playheadMoved(double position);
    QRect playheadStrip(double position) const;

    TimelineEditorModel& m_model;
    Engine& m_engine;
    TimelineMouseInput m_mouse;
    TimelineLeftGesture m_left;
    std::optional<TimelineLane> m_dropLane;
    double m_playheadPosition = 0;
};
