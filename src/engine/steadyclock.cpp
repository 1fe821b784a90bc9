#include "steadyclock.h"

#include <chrono>

double SteadyClock::uptime() const
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
