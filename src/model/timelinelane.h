#pragma once

#include "enums.h"
#include "screenrole.h"
#include "timelineevent.h"

#include <optional>

// One lane of a cue's timeline. Events record their lane implicitly through track, screen and layer.
struct TimelineLane
{
    Track track = Track::main;
    qint64 layer = 1;
    std::optional<ScreenRole> screen;

    bool operator==(const TimelineLane&) const = default;

    QString title() const;
    bool matches(const TimelineEvent& event) const;
};

size_t qHash(const TimelineLane& lane, size_t seed = 0);

// The lane an event lies on: screen clips on their screen's main lane, everything else on its own track; layers
// below 2 are layer 1.
TimelineLane laneOf(const TimelineEvent& event);
