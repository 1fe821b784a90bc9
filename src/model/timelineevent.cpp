#include "timelineevent.h"

std::optional<ScreenRole> TimelineEvent::screen() const
{
    if (!isScreen(track))
        return std::nullopt;
    if (outputScreen)
        return outputScreen;
    return track == Track::side ? kScreen2 : kScreen1;
}

qint64 TimelineEvent::effectiveLayer() const
{
    const qint64 value = layer.value_or(1);
    return value < 1 ? 1 : value;
}
