#include "delayedtask.h"

DelayedTask::DelayedTask(std::chrono::milliseconds delay, QObject* parent) : QObject(parent), usualDelay(delay)
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, [this] {
        auto work = std::exchange(pending, nullptr);
        if (work)
            work();
    });
}

void DelayedTask::schedule(std::function<void()> work)
{
    schedule(std::move(work), usualDelay);
}

void DelayedTask::schedule(std::function<void()> work, std::chrono::milliseconds delay)
{
    pending = std::move(work);
    timer.start(delay);
}

void DelayedTask::cancel()
{
    timer.stop();
    pending = nullptr;
}
