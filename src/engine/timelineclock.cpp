#include "timelineclock.h"

#include <cmath>

void TimelineClock::update(double position)
{
    const bool movesBack = position < current;
    if (!movesBack && !(std::abs(position - current) >= 1.0 / 24.0))
        return;
    current = position;
    emit positionChanged(current);
}
