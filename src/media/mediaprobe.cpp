#include "mediaprobe.h"

std::optional<double> mediaDuration(const QUrl&) { return {}; }
std::optional<QImage> videoFrameAt(const QUrl&, double, QSize) { return {}; }
