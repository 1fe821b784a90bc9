#pragma once

#include <sys/resource.h>

// While it lives, the process may open no new file descriptor: the way to make socket creation fail for real.
class NoFileDescriptors
{
  public:
    NoFileDescriptors()
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit none = m_saved;
        none.rlim_cur = 0;
        ::setrlimit(RLIMIT_NOFILE, &none);
    }
    ~NoFileDescriptors() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }
    NoFileDescriptors(const NoFileDescriptors&) = delete;
    NoFileDescriptors& operator=(const NoFileDescriptors&) = delete;

  private:
    rlimit m_saved{};
};
