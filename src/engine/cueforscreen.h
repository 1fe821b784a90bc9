#pragma once

#include "cue.h"
#include "screenrole.h"

#include <optional>

// What a screen plays of a cue on its own: only its own pictures and videos, no sound file, no lighting, and never
// an automatic GO at the end (it holds instead). Frozen at a position, a timeline keeps on each layer only the clip
// visible there and what comes after.
Cue cueForScreen(const Cue& cue, const ScreenRole& role, std::optional<double> frozenAt = std::nullopt);
