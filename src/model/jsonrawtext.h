#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What Qt's JSON parser lets through but a project file must not hold: a raw control character (below U+0020)
// inside a string, which JSON allows only escaped, and an integer below the 64-bit minimum, which the parser
// reads as the minimum. (The writer writes no such integer: large doubles get an exponent.) Call it on text that
// parsed; the answer names the byte.
std::optional<QString> rawTextProblem(const QByteArray& json);
