#include "screenclip.h"

#include "picture.h"

#include <cmath>

bool ScreenClip::hasEnded(double time) const
{
    const Player* player = picture->player();
    if (failed())
        return true;
    if (const std::optional<double> length = event.clipDuration(asset))
        return event.time + *length <= time;
    if (!player->hasItem())
        return true;
    const std::optional<double> itemLength = player->duration();
    if (!itemLength || !std::isfinite(*itemLength) || *itemLength <= 0)
        return false;
    return event.time + *itemLength <= time;
}

bool ScreenClip::failed() const
{
    return picture->player()->status() == PlayerStatus::failed || picture->stillFailed();
}
