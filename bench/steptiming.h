#pragma once

// One step of a large-show benchmark, run from the event loop until it has ended: its time, the longest time the main
// thread went without serving a 1 ms timer, and the main thread's own processor time.
#include "benchtools.h"
#include "heartbeat.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QString>
#include <cstdio>
#include <functional>

namespace StepTiming {

struct Step
{
    const char* name;
    double ms = 0;
    double stopMs = 0;
    // Of the longest stop, the time the thread waited for a processor: other work on the machine, not the program.
    double queuedMs = 0;
    // The main thread's own processor time over the step, which other work on a busy machine does not stretch.
    double cpuMs = 0;
    bool ended = false;
    QString outcome;
};

inline int capMs()
{
    const int seconds = qEnvironmentVariableIntValue("LUMO_BENCH_CAP_S");
    return (seconds > 0 ? seconds : 180) * 1000;
}

inline Step measure(const char* name, const std::function<void()>& begin, const std::function<bool()>& ended,
                    const std::function<QString()>& outcome)
{
    BenchTools::runEvents(50);
    Heartbeat beat(1);
    QElapsedTimer clock;
    clock.start();
    // On the monotonic clock, as a profiler's samples are stamped: where each step lies in a profile.
    if (qEnvironmentVariableIsSet("LUMO_BENCH_STEP_TIMES"))
        std::fprintf(stderr, "step %s from %.3f\n", name,
                     double(QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs()) / 1e9);
    const double cpuStart = BenchTools::threadCpuSeconds();
    begin();
    // Once ended, it stays so: a watch that asks again on its own may say otherwise a moment later.
    bool done = false;
    BenchTools::runEventsUntil([&] { return done = done || ended(); }, capMs());
    Step step{name};
    step.ms = double(clock.nsecsElapsed()) / 1e6;
    step.stopMs = beat.longestGap().ms;
    step.queuedMs = beat.longestGap().queuedMs;
    step.cpuMs = (BenchTools::threadCpuSeconds() - cpuStart) * 1e3;
    step.ended = done;
    step.outcome = outcome();
    return step;
}

} // namespace StepTiming
