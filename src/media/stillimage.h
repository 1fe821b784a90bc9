#pragma once

#include <QImage>
#include <QString>

// Reads a still picture file as the outputs show it: upright by its orientation tag and converted to sRGB from the
// colour space it embeds (a Display P3 photo keeps its look). Null when the file cannot be read.
QImage readStillImage(const QString& path);
