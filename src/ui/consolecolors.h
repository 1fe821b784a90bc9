#pragma once

#include <QColor>

// The console's colours: its own surfaces and tint, and the dark-mode system colours for marks.
namespace ConsoleColors {
inline QColor windowBackground()
{
    return QColor::fromRgbF(0.105f, 0.123f, 0.15f);
}
// Header row and status bar.
inline QColor barBackground()
{
    return QColor::fromRgbF(0.065f, 0.079f, 0.098f);
}
inline QColor inspectorBackground()
{
    return QColor::fromRgbF(0.089f, 0.104f, 0.127f);
}
// Every button, switch, picker and slider of the console window (not its sheets).
inline QColor tint()
{
    return QColor::fromRgbF(0.23f, 0.74f, 0.78f);
}
// The fill of a switch or segment that is on: the accent of the prominent buttons.
inline QColor activeFill()
{
    return tint();
}
inline QColor divider()
{
    return QColor(255, 255, 255, 26);
}

inline QColor cyan()
{
    return QColor(0x64, 0xD2, 0xFF);
}
inline QColor orange()
{
    return QColor(0xFF, 0x9F, 0x0A);
}
inline QColor yellow()
{
    return QColor(0xFF, 0xD6, 0x0A);
}
inline QColor green()
{
    return QColor(0x30, 0xD1, 0x58);
}
inline QColor red()
{
    return QColor(0xFF, 0x45, 0x3A);
}

inline QColor primaryText()
{
    return QColor(255, 255, 255, 235);
}
// The secondary style: captions, idle states.
inline QColor secondaryText()
{
    return QColor(235, 235, 245, 153);
}
inline QColor tertiaryText()
{
    return QColor(235, 235, 245, 77);
}
} // namespace ConsoleColors
