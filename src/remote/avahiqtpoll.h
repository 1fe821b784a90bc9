#pragma once

#include <avahi-common/watch.h>

// Runs the Avahi client library on the Qt event loop of the thread that makes it: its file descriptors are watched
// with QSocketNotifier and its timeouts are QTimers, so every Avahi callback arrives on that thread. It must
// outlive every Avahi client made with it.
class AvahiQtPoll
{
  public:
    AvahiQtPoll();
    AvahiQtPoll(const AvahiQtPoll&) = delete;
    AvahiQtPoll& operator=(const AvahiQtPoll&) = delete;

    const AvahiPoll* api() const { return &m_api; }

  private:
    AvahiPoll m_api;
};
