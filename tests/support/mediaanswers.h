#pragma once

#include "checkedfiles.h"
#include "engine.h"
#include "eventwait.h"
#include "mediafiles.h"

#include <algorithm>

// Waits until the disk has answered about every media file of the engine's show (or its folder has stalled), as
// those answers would have come in long before an operator's next click.
inline void awaitMediaAnswers(Engine& engine)
{
    const Show& show = engine.show();
    QList<QUrl> files = checkedFiles(show.cues, show.assets.value_or(QList<MediaAsset>{}));
    for (const MediaAsset& asset : show.assets.value_or(QList<MediaAsset>{}))
        files.append(asset.url);
    if (show.defaultPicture)
        files.append(*show.defaultPicture);
    waitUntil([&] {
        return std::none_of(files.cbegin(), files.cend(), [&](const QUrl& url) {
            return engine.mediaFiles().state(url, FileDepth::header) == FileState::waiting;
        });
    });
}
