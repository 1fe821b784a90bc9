#include "mediaglances.h"

#include "mediafilecheck.h"

// A show names a few hundred files; far more means files come and go, and the old ones are not worth keeping.
static constexpr qsizetype kMostKept = 8192;

std::optional<QString> MediaGlances::unusableReason(const QString& path)
{
    const FileStamp stamp = fileStampAt(path);
    const auto known = m_glances.constFind(path);
    if (known != m_glances.cend() && known->stamp == stamp)
        return known->reason;
    std::optional<QString> reason = unusableMediaReason(path);
    if (m_glances.size() >= kMostKept)
        m_glances.clear();
    m_glances.insert(path, {stamp, reason});
    return reason;
}
