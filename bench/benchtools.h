#pragma once

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
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

} // namespace BenchTools
