#pragma once

#include "cue.h"
#include "screenrole.h"

#include <QUrl>
#include <optional>

// The file a cue without timeline events shows on a screen by itself: main on the first screen, side (or main
// again when mirrored) on the second, nothing elsewhere.
std::optional<QUrl> directFile(const Cue& cue, const ScreenRole& role);
