#pragma once

#include <QImage>
#include <QSize>
#include <QUrl>
#include <optional>

// The length of a media file in seconds; none when it cannot be read or has no finite length.
std::optional<double> mediaDuration(const QUrl& url);

// The video's frame at the given second, oriented upright and scaled down to fit maxSize when one is given;
// none when the file cannot be decoded.
std::optional<QImage> videoFrameAt(const QUrl& url, double seconds, QSize maxSize = {});
