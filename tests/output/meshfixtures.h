#pragma once

#include "videoframe.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QTransform>
#include <QWidget>
#include <cstdint>

// A decoded RGBA frame holding a copy of the image.
VideoFrame rgbaFrame(const QImage& image, std::uint64_t serial, const QTransform& orientation = {});
// A planar YUV frame of one colour, as a decoder of a small video would make it.
VideoFrame i420Frame(QSize size, std::uint8_t y, std::uint8_t u, std::uint8_t v, std::uint64_t serial);
// A mask of many points round a circle, unlike any made before in this run (its size differs by a hair), so that
// its distance field is never found made already.
QList<QPointF> manyPointCircle(int count, QPointF centre, double radius);
// Side-by-side colour bands, left to right.
QImage bands(QSize size, const QList<QColor>& colours);
// Leaves the image in the test-shots folder for a person to look at.
void saveShot(const QImage& image, const QString& name);
// True when the two colours differ by at most tolerance in each of red, green and blue.
bool near(QColor actual, QColor expected, int tolerance = 3);
// Shows the widget at that size and waits until it is on screen.
void showOnScreen(QWidget& widget, QSize size = {160, 90});
// The widget as drawn now, after pending events; also left in the test shots when named.
QImage grabbed(QWidget& widget, const QString& shot = {});
