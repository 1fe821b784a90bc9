#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

// How long the main thread went at most without serving its 5 ms timer while it ran.
class Heartbeat
{
  public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_since.restart());
            ++m_ticks;
        });
        m_since.start();
        m_timer.start();
    }
    // The gap still open counts: a thread just back from a long wait has not served the timer since.
    qint64 longestGapMs() const { return std::max(m_longest, m_since.elapsed()); }
    // Ticks served since it began.
    int ticks() const { return m_ticks; }
    void restart()
    {
        m_longest = 0;
        m_since.restart();
    }

  private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
    int m_ticks = 0;
};
