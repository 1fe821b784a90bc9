#include "cueforscreen.h"

#include "directfile.h"

#include <QHash>

static QList<TimelineEvent> visibleFrom(const QList<TimelineEvent>& events, double position)
{
    QHash<qint64, int> shownOnLayer;
    for (int index = 0; index < events.size(); ++index) {
        const TimelineEvent& event = events.at(index);
        if (event.time < 0 || event.time > position)
            continue;
        const auto shown = shownOnLayer.constFind(event.effectiveLayer());
        if (shown == shownOnLayer.cend() || events.at(*shown).time <= event.time)
            shownOnLayer.insert(event.effectiveLayer(), index);
    }
    QList<TimelineEvent> kept;
    for (int index = 0; index < events.size(); ++index) {
        const TimelineEvent& event = events.at(index);
        if (event.time > position || shownOnLayer.value(event.effectiveLayer(), -1) == index)
            kept.append(event);
    }
    return kept;
}

Cue cueForScreen(const Cue& cue, const ScreenRole& role, std::optional<double> frozenAt)
{
    Cue copy = cue;
    copy.audio.reset();
    copy.lighting.reset();
    if (copy.ending == EndBehavior::next)
        copy.ending = EndBehavior::hold;
    if (cue.isTimelineCue()) {
        QList<TimelineEvent> events;
        for (const TimelineEvent& event : *cue.timeline)
            if (isScreen(event.track) && event.screen() == role)
                events.append(event);
        copy.timeline = frozenAt ? visibleFrom(events, *frozenAt) : events;
        copy.main.reset();
        copy.side.reset();
    } else {
        const std::optional<QUrl> file = directFile(cue, role);
        copy.main = file;
        copy.side = role == kScreen2 ? file : std::nullopt;
    }
    copy.sideMirrorsMain = false;
    return copy;
}
