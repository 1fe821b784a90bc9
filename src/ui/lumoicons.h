#pragma once

#include "consolecolors.h"

#include <QIcon>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

// The console's own symbols, drawn as vector art and named as the console's texts name them ("waveform.path",
// "play.fill", "checkmark.circle", ...). An unknown name draws a plain ring, so a missing symbol is visible.
QIcon lumoIcon(const QString& symbol, const QColor& colour = ConsoleColors::tint());

// Draws a symbol into a square of the rect (centred), for views that paint their own content.
void paintLumoSymbol(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& colour);

// Every symbol that has a drawing of its own.
QStringList lumoSymbols();
