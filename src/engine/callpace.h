#pragma once

#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>

// How quickly a folder answers, from the calls on it that ended lately: it counts as silent only once it has given
// no sign of life for four times as long as its slowest recent call took. One stat is two or three requests to a
// share, so at 0.6 s a request a stat ends after about 1.8 s, and calls started together end together: a share that
// slow answers all the while, and one that answered at once and now holds a call for a second does not. Written by
// the threads that make the calls, read anywhere, without a lock.
class CallPace
{
  public:
    using Clock = std::chrono::steady_clock;
    // The least silence that counts, for a folder whose calls end at once.
    static constexpr std::chrono::milliseconds kQuickSilence{1000};
    // For a folder none of whose calls has ended yet: its first call may be several slow requests.
    static constexpr std::chrono::milliseconds kFirstSilence{2500};
    // Silent after this many times its slowest recent call.
    static constexpr int kCallsLong = 4;
    // However slow its calls were, a folder that gives no sign for this long is silent.
    static constexpr std::chrono::seconds kLongestSilence{30};

    // A call on the folder ended after `took`. Each call that ends lets the slowest before it weigh a little less,
    // so that a folder that has become quick again is soon judged by its quick calls.
    void ended(Clock::duration took)
    {
        const Clock::rep now = Clock::now().time_since_epoch().count();
        m_lastEnded = std::max<Clock::rep>(now, 1);
        Clock::rep slowest = m_slowest.load();
        Clock::rep next = 0;
        do
            next = std::max<Clock::rep>(took.count(), slowest < 0 ? 0 : slowest - slowest / 16);
        while (!m_slowest.compare_exchange_weak(slowest, next));
    }

    // When a call on it last ended; none before the first.
    std::optional<Clock::time_point> lastEnded() const
    {
        const Clock::rep at = m_lastEnded;
        return at == 0 ? std::nullopt : std::optional(Clock::time_point(Clock::duration(at)));
    }

    // How long the folder may give no sign of life before it counts as silent.
    Clock::duration silentAfter() const
    {
        const Clock::rep slowest = m_slowest;
        if (slowest < 0)
            return kFirstSilence;
        return std::clamp<Clock::duration>(kCallsLong * Clock::duration(slowest), kQuickSilence, kLongestSilence);
    }

  private:
    std::atomic<Clock::rep> m_lastEnded{0};
    // The slowest recent call, decaying; -1 before the first call ends.
    std::atomic<Clock::rep> m_slowest{-1};
};
