// Figures for the engine on a large show: the cost of one recorded edit, and how long one recovery write holds up
// the main thread (measured as the longest gap between ticks of a 1 ms timer while the write happens).
#include "engine.h"
#include "largeshow.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

static double milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

static void report(const char* what, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    double sum = 0;
    for (double sample : samples)
        sum += sample;
    std::printf("%-44s mean %8.3f ms   median %8.3f ms   max %8.3f ms   (%zu runs)\n", what, sum / samples.size(),
                samples[samples.size() / 2], samples.back(), samples.size());
}

static std::vector<double> timeEdits(Engine& engine, int count)
{
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        Show show = engine.show();
        show.cues[i % show.cues.size()].name = QStringLiteral("编辑 %1").arg(i);
        QElapsedTimer timer;
        timer.start();
        engine.setShow(std::move(show));
        samples.push_back(milliseconds(timer));
    }
    return samples;
}

// Longest stretch the main thread went without serving its event loop until `finished` holds, and 50 ms after.
static double longestGap(const std::function<bool()>& finished)
{
    QElapsedTimer sinceTick;
    sinceTick.start();
    double longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longest = std::max(longest, milliseconds(sinceTick));
        sinceTick.restart();
    });
    probe.start();
    QElapsedTimer waited;
    waited.start();
    while (!finished() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const qint64 settled = waited.elapsed() + 50;
    while (waited.elapsed() < settled)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return longest;
}

// From the edit until the recovery copy is on disk.
static double blockedDuringRecoveryWrite(Engine& engine, const QString& recoveryPath, int round)
{
    QFile::remove(recoveryPath);
    Show show = engine.show();
    show.cues[0].delay = round + 1;
    engine.setShow(std::move(show));
    return longestGap([&] { return QFile::exists(recoveryPath); });
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir folder;
    Engine engine(true, nullptr, folder.path());
    const QString recoveryPath = folder.filePath(QStringLiteral("Recovery.json"));

    QElapsedTimer timer;
    timer.start();
    Show large = makeLargeShow();
    std::printf("large show: %lld cues, 20000 events (built in %.1f ms)\n", qlonglong(large.cues.size()),
                milliseconds(timer));
    engine.setShow(std::move(large));

    report("one recorded edit (compare + undo step)", timeEdits(engine, 2000));

    std::vector<double> idle;
    for (int round = 0; round < 10; ++round) {
        QElapsedTimer span;
        span.start();
        idle.push_back(longestGap([&] { return span.elapsed() > 750; }));
    }
    report("longest event-loop gap with nothing to do", idle);

    std::vector<double> blocked;
    for (int round = 0; round < 20; ++round)
        blocked.push_back(blockedDuringRecoveryWrite(engine, recoveryPath, round));
    report("main thread held up by a recovery write", blocked);

    std::vector<double> direct;
    for (int round = 0; round < 5; ++round) {
        timer.restart();
        engine.writeRecovery();
        direct.push_back(milliseconds(timer));
    }
    report("writeRecovery() called directly (on quit)", direct);

    // Every cue, as the check sheet asks; the library's files are asked of the disk off the main thread.
    std::vector<double> checks;
    for (int round = 0; round < 5; ++round) {
        timer.restart();
        engine.playbackIssues(engine.show().cues, *engine.show().assets, true);
        checks.push_back(milliseconds(timer));
    }
    report("projection check of the whole show", checks);
    return 0;
}
