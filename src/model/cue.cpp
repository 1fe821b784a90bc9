#include "cue.h"

#include <QFileInfo>

static bool isReadableFile(const QUrl& url)
{
    const QFileInfo info(url.toLocalFile());
    return !info.filePath().isEmpty() && info.exists() && info.isReadable();
}

QList<QUrl> Cue::missingFiles() const
{
    QList<QUrl> missing;
    for (const std::optional<QUrl>& file : {main, sideMirrorsMain ? std::nullopt : side, audio})
        if (file && !isReadableFile(*file))
            missing.append(*file);
    return missing;
}
