#include "cue.h"

#include "mediafile.h"

QList<QUrl> Cue::missingFiles() const
{
    return missingFiles(isReadableFile);
}

QList<QUrl> Cue::missingFiles(const std::function<bool(const QUrl&)>& isReadable) const
{
    QList<QUrl> missing;
    for (const std::optional<QUrl>& file : {main, sideMirrorsMain ? std::nullopt : side, audio})
        if (file && !isReadable(*file))
            missing.append(*file);
    return missing;
}
