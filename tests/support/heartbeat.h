#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>
#include <QTimer>
#include <algorithm>

// How long the main thread went at most without serving its timer (every 5 ms unless told) while it ran, and how
// much of that gap it spent waiting for a processor while it could have run: the part that other work on a busy
// machine makes, not the program.
class Heartbeat
{
  public:
    struct Gap
    {
        double ms = 0;
        double queuedMs = 0;
        QString text() const
        {
            return QStringLiteral("%1 ms (%2 ms of it waiting for a processor)")
                .arg(ms, 0, 'f', 1)
                .arg(queuedMs, 0, 'f', 1);
        }
    };

    explicit Heartbeat(int intervalMs = 5)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(intervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double queued = queuedMs();
            const double gap = double(m_since.nsecsElapsed()) / 1e6;
            if (gap > m_longest.ms)
                m_longest = {gap, queued - m_queuedAtTick};
            m_since.restart();
            m_queuedAtTick = queued;
            ++m_ticks;
        });
        restart();
        m_timer.start();
    }
    // The gap still open counts: a thread just back from a long wait has not served the timer since.
    Gap longestGap() const
    {
        const double open = double(m_since.nsecsElapsed()) / 1e6;
        return open > m_longest.ms ? Gap{open, queuedMs() - m_queuedAtTick} : m_longest;
    }
    qint64 longestGapMs() const { return qint64(longestGap().ms); }
    // Ticks served since it began.
    int ticks() const { return m_ticks; }
    void restart()
    {
        m_longest = {};
        m_since.restart();
        m_queuedAtTick = queuedMs();
    }

  private:
    // This thread's time waiting to run, from the scheduler's own count.
    static double queuedMs()
    {
        QFile stats(QStringLiteral("/proc/thread-self/schedstat"));
        if (!stats.open(QIODevice::ReadOnly))
            return 0;
        const QList<QByteArray> fields = stats.readAll().split(' ');
        return fields.size() > 1 ? fields[1].toDouble() / 1e6 : 0;
    }

    QTimer m_timer;
    QElapsedTimer m_since;
    Gap m_longest;
    double m_queuedAtTick = 0;
    int m_ticks = 0;
};
