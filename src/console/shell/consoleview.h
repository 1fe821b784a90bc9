#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "consolesheet.h"
class ConsoleState;
class ConsoleStatusBar;
class Engine;
class LumoSettings;
class ProjectChooser;
class TimelineEditor;

// Opens one of the application's single windows by its id ("remote-control", "user-guide", "projector-mapping",
// "projection-monitor"); a window already open comes forward.
using WindowOpener = std::function<void(const QString& id)>;

// The console window's content: header row, the main row (timeline editor holding the cue list and the screens
// column, then the inspector), the status line, and the two sheets. It owns the console's state and lends it,
// with the engine, to every section. Each section is made once by its make… function below.
class ConsoleView : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int inspectorWidth = 262;
    static constexpr int preflightWidth = 590;

    ConsoleView(Engine& engine, LumoSettings& settings, WindowOpener openWindow, QWidget* parent = nullptr);
    ~ConsoleView() override;

    Engine& engine() const { return m_engine; }
    ConsoleState& state() const { return *m_state; }
    LumoSettings& settings() const { return m_settings; }
    void openWindow(const QString& id) const;

    QWidget* header() const { return m_header; }
    QWidget* cueList() const { return m_cueList; }
    QWidget* screensColumn() const { return m_screensColumn; }
    QWidget* inspector() const { return m_inspector; }
    TimelineEditor* timelineEditor() const { return m_timelineEditor; }
    ConsoleStatusBar* statusBar() const { return m_statusBar; }
    // The sheets while shown.
    ConsoleSheet* preflightSheet() const { return m_preflightSheet; }
    ConsoleSheet* lightingSheet() const { return m_lightingSheet; }

    // Writes the recovery copy and the settings as the application quits, waiting a few seconds at most; a failure
    // is not worth stopping the quit for, and is said on stderr.
    void applicationWillTerminate();
    // "另存为…", as the project menu offers it.
    void saveShowElsewhere();

  private:
    QWidget* makeHeader();
    QWidget* makeCueList();
    QWidget* makeScreensColumn();
    QWidget* makeInspector();
    QWidget* makePreflight();
    QWidget* makeLightingModule();

    QWidget* makeHeaderRow();
    QWidget* makeMainRow();
    QWidget* makeInspectorColumn();
    void landSaveOnTheWay();
    void showSheet(QPointer<ConsoleSheet>& sheet, bool open, const std::function<QWidget*()>& content, int width,
                   const std::function<void()>& closed);

    Engine& m_engine;
    LumoSettings& m_settings;
    WindowOpener m_openWindow;
    // The open and save panels of the project menu.
    std::unique_ptr<ProjectChooser> m_chooser;
    ConsoleState* m_state;
    QWidget* m_header = nullptr;
    QWidget* m_cueList = nullptr;
    QWidget* m_screensColumn = nullptr;
    QWidget* m_inspector = nullptr;
    TimelineEditor* m_timelineEditor = nullptr;
    ConsoleStatusBar* m_statusBar = nullptr;
    QPointer<ConsoleSheet> m_preflightSheet;
    QPointer<ConsoleSheet> m_lightingSheet;
};
