#include "eventwait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QThread>
#include <QTimer>

namespace {

// Waits under way on this thread: one may run inside an event that another one serves.
thread_local int waiting = 0;

// Serves the events waiting now. Events served by hand outside any event loop delete what was let go with deleteLater
// from inside an event, but never what was let go outside any (a test's own body, a fixture's teardown, an engine torn
// down there), which the program's loop would have deleted: the outermost wait deletes those too, as nothing of
// theirs is running then.
void serveEvents()
{
    ++waiting;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    --waiting;
    if (waiting == 0)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        serveEvents();
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
    serveEvents();
}
