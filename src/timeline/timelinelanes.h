#pragma once

#include "show.h"

#include <QList>

// The lane an event lies on: screen clips on their screen's main lane, everything else on its own track; layers
// below 2 are layer 1.
TimelineLane laneOf(const TimelineEvent& event);

// The lanes the editor shows for a cue, in display order: each screen's lanes topmost layer first, then the music,
// effects and message lanes upwards. Without a cue only the default lanes.
QList<TimelineLane> timelineLanes(const Show& show, const Cue* cue);
