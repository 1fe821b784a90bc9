#pragma once

#include "show.h"

#include <QList>
#include <QUrl>

// The media files the playback check reads for these cues, each once, in the order met: the direct files of a cue
// without timeline, and the file of each timeline event whose track takes its asset (the first asset of an id).
QList<QUrl> checkedFiles(const QList<Cue>& cues, const QList<MediaAsset>& assets);
