#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class QPainter;

// The built-in standby picture: the mark and the name over a dark radial glow with three faint rings, laid out on a
// 16:9 grid so it scales with the area it fills.
void paintStandbyArtwork(QPainter& painter, const QSizeF& size);

// The same as an image of the given size, shown when an output has nothing of its own.
QImage standbyArtworkImage(const QSize& size);

// What the picture says to assistive technology.
inline const QString standbyArtworkLabel = QStringLiteral("Lumoria 待机画面");
