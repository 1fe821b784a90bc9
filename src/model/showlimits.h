#pragma once

#include "show.h"

#include <QString>
#include <optional>

// How much one show may hold. Far beyond any show a person prepares, and within what one console can play and
// draw: every screen carries a preview and a programme picture with a player each, every lane a row of the
// timeline. A show over these is refused when it is read, and the console's edits stop at them.
inline constexpr qsizetype kMostScreens = 64;
inline constexpr qsizetype kMostLanesPerCue = 1000;

// The lanes a cue's timeline holds besides the default ones: its extra lanes and the lanes of its events, each
// counted once.
qsizetype laneCount(const Cue& cue);
// The first limit the show passes, in the operator's words; none when it keeps them all.
std::optional<QString> showLimitProblem(const Show& show);
