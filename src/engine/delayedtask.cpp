#include "delayedtask.h"

DelayedTask::DelayedTask(std::chrono::milliseconds delay, QObject* parent) : QObject(parent)
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(delay);
    connect(&timer, &QTimer::timeout, this, [this] {
        auto work = std::exchange(pending, nullptr);
        if (work)
            work();
    });
}

void DelayedTask::schedule(std::function<void()> work)
{
    pending = std::move(work);
    timer.start();
}

void DelayedTask::cancel()
{
    timer.stop();
    pending = nullptr;
}
