// Figures for shows whose media library holds thousands of files, with the library panel shown as the timeline
// editor shows it: for each size, the time until each step has ended and the longest time the main thread went
// without serving a 1 ms timer meanwhile.
//   open    the project file opened, until every library file has been asked ahead and answered
//   check   the check before a playlist run, until it refuses on the show's one broken clip
//   import  as many new files again imported in one go, until the library lists them
//   relink  the library's folder moved away, every reference relinked to it
// Goal: every stop under 20 ms, and twice the files at most 2.2 times as long.
//   largelibrary_bench [FILES...]     (2000 10000 20000 unless given; LUMO_BENCH_CAP_S caps each step, 180 s)
#include "benchtools.h"
#include "engine.h"
#include "heartbeat.h"
#include "largeshow.h"
#include "linkedfiles.h"
#include "lumostyle.h"
#include "mediafiles.h"
#include "medialibrarypanel.h"
#include "projectfile.h"
#include "projectfilework.h"
#include "steptiming.h"
#include "timelineeditormodel.h"
#include "timelineviewstate.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListView>
#include <cstdio>
#include <unistd.h>

namespace {

using StepTiming::capMs;
using StepTiming::measure;
using StepTiming::Step;

QList<Step> runSize(int count, const QString& root)
{
    const QString library = root + QStringLiteral("/library");
    const QList<QUrl> files = makeLinkedFiles(library, QStringLiteral("clip"), count);
    const QList<QUrl> more = makeLinkedFiles(root + QStringLiteral("/more"), QStringLiteral("new"), count);
    const QString projectPath = root + QStringLiteral("/show.json");
    writeShowFile(libraryShow(files), projectPath, JsonFormat::pretty);

    QTemporaryDir recovery;
    std::unique_ptr<Engine> engine = BenchTools::makeEngine(recovery, true);
    TimelineEditorModel editor(engine.get());
    MediaLibraryPanel panel(editor);
    panel.resize(300, 700);
    panel.show();
    BenchTools::runEventsUntil([&] { return panel.isVisible(); }, 5000);
    const auto libraryRows = [&] { return panel.list()->model()->rowCount(); };

    // Every library file answered: looked at from the first one not yet, so that the looking costs next to nothing.
    qsizetype answeredUpTo = 0;
    const auto allAnswered = [&] {
        MediaFiles& disk = engine->mediaFiles();
        while (answeredUpTo < files.size() && disk.state(files[answeredUpTo], FileDepth::header) == FileState::answered)
            ++answeredUpTo;
        return answeredUpTo == files.size();
    };
    QList<Step> steps;
    steps.append(measure(
        "open", [&] { engine->openProject(QUrl::fromLocalFile(projectPath)); },
        [&] {
            return !engine->projectFiles().busy() && engine->show().assets && engine->show().assets->size() == count &&
                   allAnswered();
        },
        [&] { return QStringLiteral("%1 rows").arg(libraryRows()); }));

    const QString lastCue = engine->show().cues.last().name + QStringLiteral(" · ");
    steps.append(measure(
        "check", [&] { engine->beginProjection(ProjectionMode::playlistOnce, std::nullopt); },
        [&] { return engine->message().startsWith(lastCue); }, [&] { return engine->message(); }));

    steps.append(measure(
        "import", [&] { editor.library().addAssets(more); },
        [&] { return !editor.library().importing() && libraryRows() == 2 * count; },
        [&] { return editor.view().note(); }));

    const QString moved = root + QStringLiteral("/moved");
    QDir().rename(library, moved);
    steps.append(measure(
        "relink", [&] { engine->relinkMissingAssets(QUrl::fromLocalFile(moved)); },
        [&] { return engine->message().startsWith(QStringLiteral("已重新定位")); }, [&] { return engine->message(); }));
    return steps;
}

} // namespace

int main(int argc, char** argv)
{
    BenchTools::runHeadless();
    QApplication app(argc, argv);
    applyLumoStyle(app);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QByteArray(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = {2000, 10000, 20000};

    std::printf("%-7s %-7s %14s %16s %12s   %s\n", "files", "step", "to the end", "longest stop", "(queued)",
                "outcome");
    for (const int count : std::as_const(sizes)) {
        QTemporaryDir root;
        for (const Step& step : runSize(count, root.path())) {
            std::printf("%-7d %-7s %11.0f ms%s %13.1f ms %9.1f ms   %s\n", count, step.name, step.ms,
                        step.ended ? "  " : "+ ", step.stopMs, step.queuedMs, qPrintable(step.outcome));
            std::fflush(stdout);
        }
    }
    std::printf("(queued: of the longest stop, the time spent waiting for a processor; +: not ended within the cap; "
                "goal: every stop < 20 ms, twice the files <= 2.2x the time; load %s)\n",
                BenchTools::loadAverage().constData());
    return 0;
}
