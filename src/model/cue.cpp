#include "cue.h"

#include <QFileInfo>

static bool isReadableFile(const QUrl& url)
{
    const QFileInfo info(url.toLocalFile());
    return !info.filePath().isEmpty() && info.exists() && info.isReadable();
}

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
