#pragma once

#include "projectionlaunch.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStackedWidget;

// The projection check: what would keep the covered cues from playing, errors and reminders, each a jump to its
// cue, event and page of screen cards. Opened by the start of a run, it offers to go on once no error is left.
// The content of the console's check sheet; it checks again on every change of the engine.
class PreflightCheck : public QWidget
{
    Q_OBJECT
  public:
    PreflightCheck(ConsoleState& state, std::function<void(const QString&)> openWindow, QWidget* parent = nullptr);

  private:
    QWidget* makeHeading();
    QWidget* makePlaceholder();
    void refresh();
    void jumpTo(QListWidgetItem* item);
    void start();

    ConsoleState& m_state;
    Engine& m_engine;
    ProjectionLaunch m_launch;
    QList<Engine::PlaybackIssue> m_findings;
    QLabel* m_shield;
    QLabel* m_counts;
    QStackedWidget* m_body;
    QListWidget* m_list;
    QPushButton* m_start;
};
