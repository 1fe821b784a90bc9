#pragma once

#include <QUuid>

// A fresh random (version 4) UUID for a new cue, event or asset. Cheaper than QUuid::createUuid, which asks the
// system for randomness on every call; reading a project file makes every record this way before filling it.
QUuid newUuid();
