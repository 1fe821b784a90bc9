#pragma once

#include "preflightfindings.h"
#include "projectionlaunch.h"

#include <QWidget>

class FindingListModel;
class QLabel;
class QListView;
class QModelIndex;
class QPushButton;
class QStackedWidget;

// The projection check: what would keep the covered cues from playing, errors and reminders, each a jump to its
// cue, event and page of screen cards. Opened by the start of a run, it offers to go on once no error is left.
// The content of the console's check sheet; it checks again after changes of the engine, at most once per turn of
// the event loop, and before the operator acts on a finding.
class PreflightCheck : public QWidget
{
    Q_OBJECT
  public:
    PreflightCheck(ConsoleState& state, std::function<void(const QString&)> openWindow, QWidget* parent = nullptr);

  private:
    QWidget* makeHeading();
    QWidget* makePlaceholder();
    void scheduleRefresh();
    void refreshIfPending();
    void refresh();
    void jumpTo(const QModelIndex& index);
    void start();

    ConsoleState& m_state;
    Engine& m_engine;
    ProjectionLaunch m_launch;
    PreflightFindings m_findings;
    bool m_refreshPending = false;
    // The pending refresh follows a change, not only answers from the disk.
    bool m_asksDisk = true;
    FindingListModel* m_model;
    QLabel* m_shield;
    std::optional<bool> m_shieldAlerts;
    QLabel* m_counts;
    QStackedWidget* m_body;
    QListView* m_list;
    QPushButton* m_start;
};
