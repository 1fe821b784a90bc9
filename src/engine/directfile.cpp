#include "directfile.h"

std::optional<QUrl> directFile(const Cue& cue, const ScreenRole& role)
{
    if (role == kScreen1)
        return cue.main;
    if (role == kScreen2)
        return cue.sideMirrorsMain ? cue.main : cue.side;
    return std::nullopt;
}
