#pragma once

#include "audiochannelmixer.h"
#include "engine.h"
#include "soundoutput.h"

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

// Helpers the benchmark programs share: start-up, clocks, percentiles and waiting in the event loop.
namespace BenchTools {

// Benchmarks that play media play it in real time into a silent sink, with a sound device or without.
inline void useSilentAudio()
{
    SoundOutput::shared().choose(SoundSink::silent);
}

// Before the application object: windows offscreen unless the environment names a platform, sound into a fake sink.
inline void runHeadless()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    useSilentAudio();
}

// An engine over the given recovery folder with a mixer of its own. recordsEdits: the console's main engine, whose
// every edit is an undo step; otherwise an engine that only plays, as a screen engine does.
inline std::unique_ptr<Engine> makeEngine(const QTemporaryDir& folder, bool recordsEdits,
                                          Engine::Services services = {})
{
    return std::make_unique<Engine>(recordsEdits, std::make_shared<AudioChannelMixer>(), folder.path(),
                                    std::move(services));
}

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

inline void runEvents(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
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

// Median, p99 and longest of a list of times in milliseconds, on one line.
inline void printFigures(const char* what, const std::vector<double>& milliseconds)
{
    std::printf("  %-58s median %7.3f ms   p99 %7.3f ms   max %7.3f ms   (n=%zu)\n", what,
                percentile(milliseconds, 0.5), percentile(milliseconds, 0.99), percentile(milliseconds, 1.0),
                milliseconds.size());
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
