#include "projectionrun.h"

ProjectionRun::ProjectionRun(ProjectionMode mode, QList<Cue> cues, QList<MediaAsset> assets)
    : m_mode(mode), m_cues(std::move(cues)), m_assets(std::move(assets))
{
}

QString ProjectionRun::position() const
{
    return QString::number(m_index + 1) + QStringLiteral(" / ") + QString::number(m_cues.size());
}

std::optional<Cue> ProjectionRun::following() const
{
    const int following = m_index + 1;
    if (following < m_cues.size())
        return m_cues.at(following);
    if (repeats(m_mode) && !m_cues.isEmpty())
        return m_cues.first();
    return std::nullopt;
}

bool ProjectionRun::advance()
{
    const int following = m_index + 1;
    if (following >= m_cues.size() && !repeats(m_mode))
        return false;
    m_index = following % m_cues.size();
    return true;
}
