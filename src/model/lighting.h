#pragma once

#include <QtGlobal>

// A cue's lighting action: fade one DMX channel to a level. Stored as typed; the engine limits it when applied.
struct Lighting
{
    qint64 address = 1;
    qint64 level = 0;
    double fade = 0;

    bool operator==(const Lighting&) const = default;
};
