#pragma once

#include <QString>

class QWidget;

// Hover help. Every explanatory tooltip of the console goes through lumoHelp; a window that follows the
// "显示悬浮说明" switch carries it with setLumoTooltipsEnabled, and every widget inside it (its sheets too) shows its
// help only while the switch is on. The switch is read when the help would show, so a change acts at once.
void lumoHelp(QWidget* widget, const QString& text);

// Sets the switch for a window and everything it presents; windows that never set it show their help.
void setLumoTooltipsEnabled(QWidget* window, bool enabled);

// The help the widget shows now: its text, or "" while the switch of its window is off.
QString lumoHelpText(const QWidget* widget);
