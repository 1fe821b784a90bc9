#pragma once

#include <sys/resource.h>
#include <unistd.h>

// While it lives, the process may open no new file descriptor: the way to make socket creation fail for real. The
// limit is the lowest free descriptor number rather than 0, so that the event loop may still poll the ones open.
class NoFileDescriptors
{
  public:
    NoFileDescriptors()
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        const int lowestFree = ::dup(0);
        if (lowestFree >= 0)
            ::close(lowestFree);
        rlimit none = m_saved;
        none.rlim_cur = rlim_t(lowestFree < 0 ? 0 : lowestFree);
        ::setrlimit(RLIMIT_NOFILE, &none);
    }
    ~NoFileDescriptors() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }
    NoFileDescriptors(const NoFileDescriptors&) = delete;
    NoFileDescriptors& operator=(const NoFileDescriptors&) = delete;

  private:
    rlimit m_saved{};
};
