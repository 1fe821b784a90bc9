// The whole console over shows of thousands of clips, with the check sheet open and the timeline editor showing the
// first cue: for each size, the time until each step has ended and the longest time the main thread went without
// serving a 1 ms timer meanwhile.
//   open     the project file opened, until the library lists every file and each has been asked and answered
//   lengths  until every sound file (one in fifty) has had its length measured
//   idle     five seconds with the show open
//   check    the check before a playlist run, until it refuses on a missing file (one in ten is gone)
//   import   half as many new files again imported in one go, until the library lists them
// Goal: every stop under 20 ms, and twice the clips at most 2.2 times as long.
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/largeconsole_bench [CLIPS...]
//   (2000 5000 20000 40000 unless given; LUMO_BENCH_CAP_S caps each step, 180 s)
#include "benchtools.h"
#include "consolestate.h"
#include "consoleview.h"
#include "consolewindow.h"
#include "engine.h"
#include "heartbeat.h"
#include "largeshow.h"
#include "linkedfiles.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "mediafiles.h"
#include "mediafixtures.h"
#include "medialibrarypanel.h"
#include "projectfile.h"
#include "projectfilework.h"
#include "steptiming.h"
#include "timelineeditor.h"
#include "timelineeditormodel.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListView>
#include <QTemporaryDir>
#include <QWindow>
#include <cstdio>
#include <unistd.h>

namespace {

using StepTiming::capMs;
using StepTiming::measure;
using StepTiming::Step;

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    applyLumoStyle(app);
    BenchTools::useSilentAudio();
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QByteArray(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = {2000, 5000, 20000, 40000};

    QTemporaryDir home;
    LumoriaApp::Options options;
    options.recoveryDirectory = home.filePath(QStringLiteral("recovery"));
    options.settingsFile = home.filePath(QStringLiteral("settings.ini"));
    LumoriaApp lumoria(options);
    lumoria.show();
    BenchTools::runEventsUntil([&] { return lumoria.consoleWindow().windowHandle()->isExposed(); }, 5000);
    Engine& engine = lumoria.engine();
    ConsoleView& view = *lumoria.consoleWindow().view();
    ConsoleState& state = view.state();
    TimelineEditorModel& editor = view.timelineEditor()->model();
    auto* library = view.findChild<MediaLibraryPanel*>();
    if (!library) {
        std::fprintf(stderr, "the console shows no media library\n");
        return 1;
    }
    state.setPreflightOpen(true);
    BenchTools::runEvents(500);
    const auto libraryRows = [&] { return library->list()->model()->rowCount(); };

    std::printf("%-7s %-8s %14s %16s %12s %13s   %s\n", "clips", "step", "to the end", "longest stop", "(queued)",
                "main CPU", "outcome");
    for (const int count : std::as_const(sizes)) {
        QTemporaryDir root;
        const QList<QUrl> files =
            makeLinkedFiles(root.filePath(QStringLiteral("library")), QStringLiteral("clip"), count, 50);
        const QList<QUrl> more =
            makeLinkedFiles(root.filePath(QStringLiteral("more")), QStringLiteral("new"), count / 2, 50);
        const QString projectPath = root.filePath(QStringLiteral("show.json"));
        writeShowFile(libraryShow(files), projectPath, JsonFormat::pretty);
        // One file in ten gone, so that the sheet lists thousands of findings.
        for (qsizetype i = 5; i < files.size(); i += 10)
            QFile::remove(files[i].toLocalFile());
        BenchTools::runEvents(200);

        qsizetype answeredUpTo = 0;
        const auto allAnswered = [&] {
            MediaFiles& disk = engine.mediaFiles();
            while (answeredUpTo < files.size() &&
                   disk.state(files[answeredUpTo], FileDepth::header) == FileState::answered)
                ++answeredUpTo;
            return answeredUpTo == files.size();
        };
        qsizetype measuredUpTo = 0;
        const auto allMeasured = [&] {
            const QList<MediaAsset>& assets = *engine.show().assets;
            while (measuredUpTo < assets.size() &&
                   (assets[measuredUpTo].kind == AssetKind::image || assets[measuredUpTo].duration))
                ++measuredUpTo;
            return measuredUpTo == assets.size();
        };
        QList<Step> steps;
        steps.append(measure(
            "open",
            [&] {
                engine.openProject(QUrl::fromLocalFile(projectPath));
                engine.setSelected(std::nullopt);
            },
            [&] {
                if (engine.projectFiles().busy() || !engine.show().assets || engine.show().assets->size() != count)
                    return false;
                if (!engine.selected())
                    engine.setSelected(engine.show().cues.first().id);
                return libraryRows() == count && allAnswered();
            },
            [&] { return QStringLiteral("%1 rows").arg(libraryRows()); }));
        steps.append(measure(
            "lengths", [] {}, allMeasured, [&] { return QStringLiteral("%1 of %2").arg(measuredUpTo).arg(count); }));
        QElapsedTimer idle;
        steps.append(measure(
            "idle", [&] { idle.start(); }, [&] { return idle.elapsed() >= 5000; }, [] { return QString(); }));

        steps.append(measure(
            "check", [&] { engine.beginProjection(ProjectionMode::playlistOnce, std::nullopt); },
            [&] { return engine.message().contains(QStringLiteral("素材缺失")); }, [&] { return engine.message(); }));

        steps.append(measure(
            "import", [&] { editor.library().addAssets(more); },
            [&] { return !editor.library().importing() && libraryRows() == count + more.size(); },
            [&] { return editor.view().note(); }));

        for (const Step& step : std::as_const(steps)) {
            std::printf("%-7d %-8s %11.0f ms%s %13.1f ms %9.1f ms %10.0f ms   %s\n", count, step.name, step.ms,
                        step.ended ? "  " : "+ ", step.stopMs, step.queuedMs, step.cpuMs, qPrintable(step.outcome));
            std::fflush(stdout);
        }
        // The next show replaces this one as saved.
        engine.saveProject(QUrl::fromLocalFile(projectPath));
        BenchTools::runEventsUntil([&] { return !engine.projectFiles().busy(); }, capMs());
    }
    std::printf("(queued: of the longest stop, the time spent waiting for a processor; +: not ended within the cap; "
                "goal: every stop < 20 ms, twice the clips <= 2.2x the time; load %s)\n",
                BenchTools::loadAverage().constData());
    return 0;
}
