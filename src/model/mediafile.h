#pragma once

#include <QUrl>

// Whether a media reference points at a file this process can read.
bool isReadableFile(const QUrl& url);
