#pragma once

#include "projectfileactions.h"
#include "projectionlaunch.h"

#include <QWidget>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class ElidedLabel;
class QLabel;
class QPushButton;
class QToolButton;

// The console's top row: the show's name and saved state, the projection mode, the check and the start of a run,
// the monitor switches, the project menu "工程", the user guide and "保存".
class ConsoleHeader : public QWidget
{
    Q_OBJECT
  public:
    ConsoleHeader(ConsoleState& state, ProjectChooser& chooser, std::function<void(const QString&)> openWindow,
                  QWidget* parent = nullptr);

    // "另存为…" of the project menu.
    void saveShowElsewhere() { m_files.saveShow(true); }

  private:
    QWidget* makeTitle();
    QPushButton* makeProjectMenu();
    void refresh();
    void refreshTitle();

    ConsoleState& m_state;
    Engine& m_engine;
    std::function<void(const QString&)> m_openWindow;
    ProjectFileActions m_files;
    ProjectionLaunch m_launch;
    ElidedLabel* m_title;
    QLabel* m_badgeIcon;
    QLabel* m_badgeText;
    QComboBox* m_mode;
    QPushButton* m_check;
    QPushButton* m_start;
    QCheckBox* m_autoMonitor;
    QAction* m_open;
    QAction* m_recover;
};
