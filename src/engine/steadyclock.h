#pragma once

#include "clock.h"

class SteadyClock : public Clock
{
  public:
    double uptime() const override;
};
