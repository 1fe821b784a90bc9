#include "cue.h"

#include "mediafile.h"

QList<QUrl> Cue::missingFiles() const
{
    QList<QUrl> missing;
    for (const std::optional<QUrl>& file : {main, sideMirrorsMain ? std::nullopt : side, audio})
        if (file && !isReadableFile(*file))
            missing.append(*file);
    return missing;
}
