#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

// Ends the test program with a message when the scope has not ended within the time, so that a call that hangs
// (on a FIFO, a device) fails the suite at once instead of holding it until ctest's time-out. A bound for hangs
// only: speed is shown by the benchmarks.
class HangGuard
{
  public:
    explicit HangGuard(std::string what, std::chrono::seconds limit = std::chrono::seconds(20))
        : m_watch([this, what = std::move(what), limit] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
                  std::fprintf(stderr, "hung for %llds: %s\n", static_cast<long long>(limit.count()), what.c_str());
                  std::_Exit(1);
              }
          })
    {
    }
    ~HangGuard()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_watch.join();
    }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

  private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_watch;
};
