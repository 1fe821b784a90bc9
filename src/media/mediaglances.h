#pragma once

#include "mediafile.h"

#include <QHash>
#include <QString>
#include <optional>

// What a look at media files' headers found (unusableMediaReason), kept for each file while the disk gives the same
// stamp for it, so that checks repeated at every redraw of a large show read each header once, and a file that is
// written again, replaced or restored is read afresh. Main thread, like the checks that use it.
class MediaGlances
{
  public:
    // Why the file at the path cannot be shown or played; none when a glance finds nothing wrong.
    std::optional<QString> unusableReason(const QString& path);

  private:
    struct Glance
    {
        FileStamp stamp;
        std::optional<QString> reason;
    };
    QHash<QString, Glance> m_glances;
};
