#include "engine.h"

#include "measureddurations.h"

#include <cmath>

// The show and the saved show both take the length, so that the project stays as saved (or unsaved) as it was;
// nothing is recorded and no recovery copy is due.
bool Engine::storeMeasuredDuration(const QUuid& asset, const QUrl& url, double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return false;
    m_measuredDurations->record(asset, url, seconds);
    m_measuredDurations->fillIn(m_savedShow);
    Show measured = m_show;
    if (!m_measuredDurations->fillIn(measured))
        return false;
    m_show = std::move(measured);
    emit showChanged();
    return true;
}
