#include "show.h"

Show Show::makeDefault()
{
    Show show;
    for (const char* name : {"暖场", "开场", "退场"}) {
        Cue cue;
        cue.name = QString::fromUtf8(name);
        show.cues.append(cue);
    }
    return show;
}

static bool usesSecondScreen(const Cue& cue)
{
    if (cue.side || cue.sideMirrorsMain)
        return true;
    if (!cue.timeline)
        return false;
    // As TimelineEvent::screen() says, without making a name for every event.
    for (const TimelineEvent& event : *cue.timeline)
        if (isScreen(event.track) &&
            (event.outputScreen ? *event.outputScreen == kScreen2 : event.track == Track::side))
            return true;
    return false;
}

QList<ScreenRole> Show::screens() const
{
    if (outputScreens && !outputScreens->isEmpty())
        return *outputScreens;
    for (const Cue& cue : cues)
        if (usesSecondScreen(cue))
            return {kScreen1, kScreen2};
    return {kScreen1};
}
