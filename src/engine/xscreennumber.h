#pragma once

#include <optional>

class QScreen;

// The number of the X screen a display belongs to (the ".1" of ":0.1"); none off X. Unlike Qt's order of screens,
// which puts the primary first, it stays the same from one start to the next.
std::optional<int> xScreenNumber(QScreen* screen);
