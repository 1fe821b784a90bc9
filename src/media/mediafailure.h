#pragma once

#include <QString>
#include <QUrl>

class QFile;
typedef struct _GstMessage GstMessage;

// The text an operator reads when a media file fails, in the operator's words rather than GStreamer's: what kind of
// failure, and "incomplete" for an MP4 cut short before its index rather than "without playable streams". Looks at
// the file for at most a moment, waiting for it: for worker threads; the main thread asks aside (below).
QString mediaFailureText(GstMessage* error, const QUrl& url);

// The words for the error alone, without looking at the file.
QString mediaFailureWords(GstMessage* error);
// Whether the error may come of a file cut short, which only a look at the file (isIncompleteIsoFile) tells.
bool mayBeIncompleteFile(GstMessage* error, const QUrl& url);
// What the operator reads of a file that ends before its index.
QString incompleteFileText();

// True when the file is an MP4/QuickTime file that ends before its index: media data but no 'moov' box, or a
// top-level box that runs past the end of the file.
bool isIncompleteIsoFile(const QString& path);
// The same for a file already open, which a glance at its header looks at further.
bool isIncompleteIsoFile(QFile& file);
