#pragma once

#include "stillimage.h"

#include <QString>
#include <optional>

// Why a media file that is there cannot be shown, told from a few of its bytes without decoding it: empty, an image
// whose header cannot be read, a PNG cut short, a picture the still decoder refuses (larger than an output decodes,
// or needing more than maxStillBytes), an MP4 cut short or one whose picture claims such a size. None when a glance
// finds nothing wrong. Reads at most a few hundred bytes.
std::optional<QString> unusableMediaReason(const QString& path, qint64 maxStillBytes = kMaxStillBytes);
