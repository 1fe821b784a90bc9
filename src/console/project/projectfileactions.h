#pragma once

#include "projectchooser.h"

#include <QString>

class ConsoleState;
class Engine;
class QWidget;

// The project menu's file work: open, save in place or elsewhere, relink missing media. A panel answers later (the
// console draws and plays on meanwhile) and the work follows its answer, for the show that was open when it was
// asked; the engine reads and writes aside and says the outcome on its status line when it comes; a cancelled panel
// does nothing.
class ProjectFileActions
{
  public:
    ProjectFileActions(ConsoleState& state, ProjectChooser& chooser, QWidget* panelParent);

    void openShow();
    // A project file became the open show: the screens start at their first page, none chosen.
    void showOpened();
    void saveShow(bool chooseLocation);
    void relinkAssets();

  private:
    QString presetSavePath() const;
    ProjectChooser::Chosen forThisShow(std::function<void(const QUrl&)> then) const;

    ConsoleState& m_state;
    Engine& m_engine;
    ProjectChooser& m_chooser;
    QWidget* m_panelParent;
};
