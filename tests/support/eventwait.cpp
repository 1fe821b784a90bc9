#include "eventwait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void runEvents(int milliseconds)
{
    // Timers fire in the order they fall due, so the timers due before this one have fired when it has.
    QTimer end;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    bool ended = false;
    QObject::connect(&end, &QTimer::timeout, [&ended] { ended = true; });
    end.start(milliseconds);
    waitUntil([&ended] { return ended; }, milliseconds + 60000);
    QCoreApplication::processEvents();
}
