#pragma once

#include "screenrole.h"

#include <QWidget>

class AspectBox;
class ConsoleState;
class Engine;
class QCheckBox;
class QLabel;
class QToolButton;
class ScreenMonitor;
class ScreenOutputPicker;

// The card of one output screen: its name (a tick box with two screens or more), the "输出到" picker that binds it
// to a display, the remove button, a live monitor of its picture and its status word. Every control calls the
// engine or writes the console's state; the card redraws in place from their changes.
class ScreenCard : public QWidget
{
    Q_OBJECT
  public:
    ScreenCard(ConsoleState& state, const ScreenRole& role, QWidget* parent = nullptr);

    ScreenRole role() const { return m_role; }
    QCheckBox* tick() const { return m_tick; }
    ScreenOutputPicker* picker() const { return m_picker; }
    QToolButton* removeButton() const { return m_remove; }
    ScreenMonitor* monitor() const { return m_monitor; }
    // The corrected output, made the first time the card shows it; null before.
    QWidget* mappedOutput() const;
    QString statusWord() const;

    void refresh();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QWidget* makeTopRow();
    QWidget* makeStatus();
    void refreshPicker();
    void refreshMonitor();
    void choose(std::optional<int> display);
    void remove();

    ConsoleState& m_state;
    Engine& m_engine;
    ScreenRole m_role;
    QCheckBox* m_tick;
    QLabel* m_name;
    ScreenOutputPicker* m_picker;
    QToolButton* m_remove;
    ScreenMonitor* m_monitor;
    AspectBox* m_mapped;
    QWidget* m_status;
    QLabel* m_statusIcon;
    QLabel* m_statusText;
};
