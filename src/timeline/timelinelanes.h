#pragma once

#include "show.h"

#include <QList>

// The lanes the editor shows for a cue, in display order: each screen's lanes topmost layer first, then the music,
// effects and message lanes upwards. Without a cue only the default lanes.
QList<TimelineLane> timelineLanes(const Show& show, const Cue* cue);
