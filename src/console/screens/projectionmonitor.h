#pragma once

#include "screenrole.h"

#include <QMap>
#include <QWidget>

class ElidedLabel;
class Engine;
class QGridLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class ProjectionMonitorCell;

// The content of the window "投放监看": the cue on air with the state of the automatic run and buttons to pause,
// continue and stop it, a grid of every screen's on-air output (two columns from two screens on), and the status
// line. It always shows the on-air pictures, sampled as every console monitor does.
class ProjectionMonitor : public QWidget
{
    Q_OBJECT
  public:
    explicit ProjectionMonitor(Engine& engine, QWidget* parent = nullptr);

    QString title() const;
    QString subtitle() const;
    // The cells in grid order, and the number of grid columns.
    QList<ProjectionMonitorCell*> cells() const;
    int columns() const { return m_columns; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* makeHeader();
    void refresh();
    void syncCells();
    void refreshCells();
    void updateOnScreen();

    Engine& m_engine;
    ElidedLabel* m_title;
    ElidedLabel* m_subtitle;
    QPushButton* m_pause;
    QPushButton* m_stop;
    QScrollArea* m_scroll;
    QWidget* m_grid;
    QGridLayout* m_gridLayout;
    QMap<ScreenRole, ProjectionMonitorCell*> m_cells;
    QList<ScreenRole> m_order;
    int m_columns = 0;
    ElidedLabel* m_message;
};
