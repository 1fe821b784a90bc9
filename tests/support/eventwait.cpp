#include "eventwait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

// Events are served from an event loop, as the program serves them: objects let go with deleteLater go there, where
// events served by hand outside any loop would never delete them.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    if (condition())
        return true;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer look;
    look.setTimerType(Qt::PreciseTimer);
    look.setInterval(1);
    bool held = false;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        held = condition();
        if (held || deadline.hasExpired())
            loop.quit();
    });
    look.start();
    loop.exec();
    return held || condition();
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
    // The events posted by the last timers, served in a loop of their own.
    bool served = false;
    QTimer::singleShot(0, [&served] { served = true; });
    waitUntil([&served] { return served; }, 60000);
}
