#pragma once

#include <QString>
#include <QUrl>

typedef struct _GstMessage GstMessage;

// The text an operator reads when a media file fails, in the operator's words rather than GStreamer's: what kind of
// failure, and "incomplete" for an MP4 cut short before its index rather than "without playable streams".
QString mediaFailureText(GstMessage* error, const QUrl& url);

// True when the file is an MP4/QuickTime file that ends before its index: media data but no 'moov' box, or a
// top-level box that runs past the end of the file.
bool isIncompleteIsoFile(const QString& path);
