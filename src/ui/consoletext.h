#pragma once

#include "operatorlocale.h"

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QLocale>
#include <QString>
#include <QWidget>

// The console's text styles, each made from the font a widget already has, and the colour of a text widget.
namespace ConsoleText {
inline QFont scaled(QFont font, double factor, bool bold = false)
{
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}
inline QFont title2(const QFont& base)
{
    return scaled(base, 1.5, true);
}
inline QFont headline(const QFont& base)
{
    return scaled(base, 1.0, true);
}
inline QFont caption(const QFont& base)
{
    return scaled(base, 0.85);
}
inline QFont caption2(const QFont& base)
{
    return scaled(base, 0.8);
}
// The size and weight of the given font in the system's fixed-pitch face: a number set in it keeps every digit in
// its place as its value changes, whatever face the console's own font falls back to.
inline QFont monospacedDigits(const QFont& base)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(base.pointSizeF());
    font.setWeight(base.weight());
    return font;
}

// A fraction as a whole percentage in the operator's locale (0.12 is "12%").
inline QString percent(double fraction)
{
    const QLocale locale = operatorLocale();
    return locale.toString(qRound(fraction * 100)) + locale.percent();
}

inline void setColour(QWidget* text, const QColor& colour)
{
    QPalette palette = text->palette();
    palette.setColor(QPalette::WindowText, colour);
    text->setPalette(palette);
}
} // namespace ConsoleText
