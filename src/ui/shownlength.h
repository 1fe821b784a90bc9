#pragma once

#include <QString>

// Longer than any line of the console can show, short enough that laying it out and eliding it costs nothing.
inline constexpr qsizetype kLongestShownText = 1000;

// A text as the console shows it: cut to kLongestShownText characters, with an ellipsis where it was cut, before
// it reaches a layout. A text of millions of characters (a name in a hand-made project file) would otherwise take
// seconds and gigabytes to measure, only to be elided to a few words.
inline QString shownLength(const QString& text)
{
    if (text.size() <= kLongestShownText)
        return text;
    qsizetype cut = kLongestShownText - 1;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}
