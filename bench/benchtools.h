#pragma once

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
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

// The machine's load averages over 1, 5 and 15 minutes, to print beside figures that other work on it moves.
inline QByteArray loadAverage()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    if (!load.open(QIODevice::ReadOnly))
        return "?";
    return load.readLine(15).trimmed();
}

// Benchmarks that play media play it in real time without a sound device, unless told otherwise.
inline void useSilentAudioUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("LUMO_AUDIO_SINK"))
        qputenv("LUMO_AUDIO_SINK", "fake");
}

struct IdleTiming
{
    double wallMs = 0;
    // The main thread's own time, which other processes on a busy machine do not stretch.
    double cpuMs = 0;
    // The loop never went idle within the cap (wallMs is then the cap).
    bool capped = false;
};

// Runs one action, then the event loop until its dispatcher first finds nothing queued and is about to wait, or
// until the cap (in ms; none when negative). Qt's own dispatcher says so only when no posted event is left; the GLib
// one says so before every round, so a program timing this sets QT_NO_GLIB=1 before making its application.
inline IdleTiming toIdle(const std::function<void()>& action, int capMs = -1)
{
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = threadCpuSeconds();
    action();
    IdleTiming timing;
    QEventLoop loop;
    const auto watch =
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
            timing = {double(clock.nsecsElapsed()) / 1e6, (threadCpuSeconds() - cpuStart) * 1e3};
            loop.quit();
        });
    QTimer cap;
    if (capMs >= 0) {
        cap.setSingleShot(true);
        QObject::connect(&cap, &QTimer::timeout, &loop, [&] {
            timing = {double(capMs), (threadCpuSeconds() - cpuStart) * 1e3, true};
            loop.quit();
        });
        cap.start(capMs);
    }
    loop.exec();
    QObject::disconnect(watch);
    return timing;
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
