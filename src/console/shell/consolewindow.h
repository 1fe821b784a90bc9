#pragma once

#include <QMainWindow>

class ConsoleView;
class Engine;
class LumoSettings;
class QAction;

// The console window "Lumoria": the console view with the menus "编辑" (undo, redo of the show's edits) and "显示"
// (the hover-help switch). The engine finds the display that carries the console by this title.
class ConsoleWindow : public QMainWindow
{
    Q_OBJECT
  public:
    static constexpr const char* title = "Lumoria";
    static constexpr QSize defaultWindowSize{1320, 850};
    static constexpr QSize smallestWindowSize{1080, 720};

    ConsoleWindow(ConsoleView* view, Engine& engine, LumoSettings& settings, QWidget* parent = nullptr);

    ConsoleView* view() const { return m_view; }
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }
    QAction* tooltipsAction() const { return m_tooltips; }
    // A close is on its way: it waits for the newest edits to reach the recovery copy, or asks the operator.
    bool closing() const { return m_closing; }

  signals:
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    bool mayClose();
    bool askBeforeLosing(const QString& why);

    ConsoleView* m_view;
    bool m_closing = false;
    QAction* m_undo;
    QAction* m_redo;
    QAction* m_tooltips;
};
