#pragma once

#include "threadstacks.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
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
              m_started = true;
              m_done.notify_all();
              if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
                  std::fprintf(stderr, "hung for %llds: %s\n", static_cast<long long>(limit.count()), what.c_str());
                  printEveryThreadsStack();
                  std::_Exit(1);
              }
          })
    {
        // Watching before the scope begins: what the scope then takes away (every free file descriptor, which the
        // sanitizers' checks of a starting thread need) cannot keep the watch from starting.
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_started; });
    }
    ~HangGuard()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_watch.join();
    }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

  private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_started = false;
    bool m_finished = false;
    std::thread m_watch;
};

// A guard over a whole test program, when LUMO_TEST_HANG_SECONDS gives its limit (scripts/test sets it a little under
// ctest's time-out, which ends a test without a word); none otherwise.
inline std::unique_ptr<HangGuard> testProgramHangGuard()
{
    const char* limit = std::getenv("LUMO_TEST_HANG_SECONDS");
    const int seconds = limit ? std::atoi(limit) : 0;
    if (seconds <= 0)
        return nullptr;
    return std::make_unique<HangGuard>("the test program", std::chrono::seconds(seconds));
}
