#pragma once

// The engine's time source: seconds of system uptime on a monotonic clock. Tests drive a fake one.
class Clock
{
  public:
    virtual ~Clock() = default;
    virtual double uptime() const = 0;
};
