// How a large show feels to the operator: the whole console as the program builds it, over a show of 1,000 cues,
// 20,000 timeline events and 200 generated media files on two mapped screens, saved and opened through the engine.
// Prints median / p99 / max from each operator action to the event loop's next idle (nothing queued, about to
// wait), with the check sheet closed and open (it checks the whole list), and the memory held after opening:
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/console_scale_bench [rounds, 40 by default]
#include "benchtools.h"
#include "consolestate.h"
#include "consolewindow.h"
#include "cuelist.h"
#include "engine.h"
#include "largeshow.h"
#include "lumoriaapp.h"
#include "lumosettings.h"
#include "lumostyle.h"
#include "mediafixtures.h"
#include "projectfilework.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QWindow>
#include <cstdio>

namespace {

using Timing = BenchTools::IdleTiming;
using BenchTools::toIdle;

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void report(const QString& what, const std::vector<Timing>& timings, double goalMs)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (const Timing& timing : timings) {
        wall.push_back(timing.wallMs);
        cpu.push_back(timing.cpuMs);
    }
    std::sort(wall.begin(), wall.end());
    std::printf(
        "  %-36s median %7.2f ms  p99 %7.2f ms  max %7.2f ms  (goal < %g ms);  main thread CPU median %6.2f ms\n",
        qPrintable(what), wall[wall.size() / 2], BenchTools::percentile(wall, 0.99), wall.back(), goalMs,
        BenchTools::percentile(cpu, 0.5));
    std::fflush(stdout);
}

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

// The large show with every asset a real file of its kind in the folder, so the check finds them all.
Show showWithMedia(const QDir& folder)
{
    Show show = makeLargeShow();
    const QString sources[] = {MediaFixtures::wav(), MediaFixtures::video(), MediaFixtures::png()};
    QList<MediaAsset> assets = *show.assets;
    for (int i = 0; i < assets.size(); ++i) {
        const QString path = folder.filePath(assets[i].url.fileName());
        QFile::copy(sources[i % 3], path);
        assets[i].url = QUrl::fromLocalFile(path);
    }
    show.assets = assets;
    return show;
}

QAbstractButton* buttonTitled(QWidget* parent, const QString& text)
{
    for (QAbstractButton* button : parent->findChildren<QAbstractButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    // Qt's own event dispatcher says it is about to wait only when no posted event is left, which is the idle
    // moment measured here; the GLib one says so before every round.
    qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    applyLumoStyle(app);
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 40;

    QTemporaryDir home;
    QDir folder(home.path());
    folder.mkpath(QStringLiteral("media"));
    std::printf("console at scale: generating media...\n");
    std::fflush(stdout);
    const Show large = showWithMedia(QDir(folder.filePath(QStringLiteral("media"))));

    LumoriaApp::Options options;
    options.recoveryDirectory = folder.filePath(QStringLiteral("recovery"));
    options.settingsFile = folder.filePath(QStringLiteral("settings.ini"));
    LumoriaApp lumoria(options);
    lumoria.show();
    BenchTools::runEventsUntil([&] { return lumoria.consoleWindow().windowHandle()->isExposed(); }, 5000);
    settle(500);

    Engine& engine = lumoria.engine();
    ConsoleView& view = *lumoria.consoleWindow().view();
    ConsoleState& state = view.state();
    auto* cueList = qobject_cast<CueList*>(view.cueList());
    QAbstractButton* checkButton = buttonTitled(view.header(), QStringLiteral("投放检查"));
    if (!cueList || !checkButton) {
        std::fprintf(stderr, "the console has no cue list or no \"投放检查\" button\n");
        return 1;
    }
    const QUrl project = QUrl::fromLocalFile(folder.filePath(QStringLiteral("大型演出.json")));
    const QUrl scratch = QUrl::fromLocalFile(folder.filePath(QStringLiteral("草稿.json")));
    // Project files are read and written aside; each step waits for its file.
    const auto untilFileDone = [&engine] {
        BenchTools::runEventsUntil([&engine] { return !engine.projectFiles().busy(); }, 600000);
    };
    engine.setShow(large);
    engine.saveProject(project);
    untilFileDone();
    engine.openProject(project);
    untilFileDone();
    settle(1000);
    qsizetype events = 0;
    for (const Cue& cue : engine.show().cues)
        events += cue.timeline.value_or(QList<TimelineEvent>{}).size();
    std::printf("console at scale: %lld cues, %lld timeline events, %lld assets, two mapped screens; %d rounds; "
                "load average %s\n",
                qlonglong(engine.show().cues.size()), qlonglong(events), qlonglong(engine.show().assets->size()),
                rounds, BenchTools::loadAverage().constData());
    std::printf("  resident memory after opening: %.0f MB\n", residentMegabytes());
    state.setProjectionMode(ProjectionMode::playlistOnce);

    // The closed sheet is deleted later, which the program's outermost loop does and the nested loops here do not.
    const auto closeSheet = [&] {
        state.setPreflightOpen(false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settle(20);
    };
    const auto selectedIndex = [&] { return state.selectedIndex().value_or(0); };
    const auto measure = [&](const QString& what, int count, double goalMs, const std::function<void(int)>& action,
                             const std::function<void()>& after = {}) {
        std::vector<Timing> samples;
        for (int i = 0; i < count; ++i) {
            samples.push_back(toIdle([&] { action(i); }));
            if (after)
                after();
        }
        report(what, samples, goalMs);
    };

    measure(
        QStringLiteral("open the check sheet (whole list)"), rounds, 16, [&](int) { checkButton->click(); },
        [&] { closeSheet(); });

    for (const bool sheetOpen : {false, true}) {
        std::printf(sheetOpen ? "with the check sheet open:\n" : "with the check sheet closed:\n");
        state.setLaunchAfterCheck(false);
        state.setPreflightOpen(sheetOpen);
        settle(300);
        measure(
            QStringLiteral("open the project"), std::max(3, rounds / 4), 300,
            [&](int) {
                engine.openProject(project);
                untilFileDone();
            },
            [&] { settle(200); });
        measure(QStringLiteral("select the next cue"), rounds, 16, [&](int) {
            const QList<Cue>& cues = engine.show().cues;
            engine.setSelected(cues.at((selectedIndex() + 1) % cues.size()).id);
        });
        measure(QStringLiteral("rename the selected cue"), rounds, 16, [&](int i) {
            Show show = engine.show();
            show.cues[selectedIndex()].name = QStringLiteral("改名 %1").arg(i);
            engine.setShow(show);
        });
        measure(QStringLiteral("add a cue"), rounds, 16, [&](int) { cueList->addCue(); });
        measure(QStringLiteral("move the selected cue"), rounds, 16, [&](int i) { cueList->moveCue(i % 2 ? 1 : -1); });
        measure(QStringLiteral("undo"), rounds, 16, [&](int) { lumoria.consoleWindow().undoAction()->trigger(); });
        measure(QStringLiteral("redo"), rounds, 16, [&](int) { lumoria.consoleWindow().redoAction()->trigger(); });
        measure(
            QStringLiteral("GO"), rounds, 16, [&](int) { engine.go(); },
            [&] {
                engine.stop(true);
                settle(30);
            });
        // Back to the saved show, so that the next open parks no unsaved work.
        engine.saveProject(scratch);
        untilFileDone();
        closeSheet();
    }
    return 0;
}
