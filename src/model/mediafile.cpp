#include "mediafile.h"

#include <QFileInfo>

bool isReadableFile(const QUrl& url)
{
    if (!url.isLocalFile())
        return false;
    const QFileInfo info(url.toLocalFile());
    return info.isFile() && info.isReadable();
}
