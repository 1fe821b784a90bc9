#pragma once

#include <QFuture>
#include <QImage>
#include <QSize>
#include <QUrl>
#include <optional>

// Both probes block until the file has answered (milliseconds for a broken file, at most 10 s for a stuck one);
// call them from a worker thread, or use the Async forms, whose futures resolve on the global thread pool.

// The length of a media file in seconds; none when it cannot be read or has no finite length.
std::optional<double> mediaDuration(const QUrl& url);
QFuture<std::optional<double>> mediaDurationAsync(const QUrl& url);

// When the first frame of a file's picture starts, in seconds; later than 0 when the file holds sound (or nothing)
// before its picture begins. None when the file has no picture or cannot be read.
std::optional<double> videoStart(const QUrl& url);

// The video's frame whose span holds the given second, oriented upright and scaled down to fit maxSize when one
// is given; none when the file cannot be decoded.
std::optional<QImage> videoFrameAt(const QUrl& url, double seconds, QSize maxSize = {});
QFuture<std::optional<QImage>> videoFrameAtAsync(const QUrl& url, double seconds, QSize maxSize = {});
