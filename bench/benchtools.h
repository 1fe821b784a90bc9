#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

// Helpers the benchmark programs share: clocks, percentiles and waiting in the event loop.
namespace BenchTools {

// Wall-clock seconds, comparable with the kernel's arrival stamps of datagrams.
inline double realtimeNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

inline double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

inline double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

// Sleeps in the event loop between checks, so that the harness itself costs next to no CPU.
inline void runEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    check.start(1);
    if (!done())
        loop.exec();
}

// Runs one step many times and prints its median, p99 and longest time in milliseconds against a goal.
inline void reportTimings(const char* what, const std::function<void(int)>& run, int rounds, double goalMs)
{
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        run(i);
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(samples.begin(), samples.end());
    std::printf("%-52s median %7.3f ms   p99 %7.3f ms   max %7.3f ms   (goal < %g ms)\n", what, samples[rounds / 2],
                samples[rounds * 99 / 100], samples.back(), goalMs);
}

} // namespace BenchTools
