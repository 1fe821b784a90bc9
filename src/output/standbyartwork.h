#pragma once

#include <QImage>
#include <QSize>

// The built-in standby picture as an image of the given size, shown when an output has nothing of its own.
QImage standbyArtworkImage(const QSize& size);
