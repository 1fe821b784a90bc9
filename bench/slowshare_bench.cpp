// A cue of forty clips on a FUSE folder that answers every request late, as a busy network share does
// (stallablefs.py; left out without FUSE): for each lateness, the show is opened from a local file and GO pressed at
// once, then again after the show has been open for two seconds. Printed: the time from GO to the cue on air, and
// the longest time the main thread went without serving its event loop (a 5 ms timer) meanwhile. Then a library of
// two hundred files on the share, all asked as the show opens, and GO at once on a cue whose one clip uses the last
// of them: its own question goes ahead of the others.
//   slowshare_bench
#include "benchtools.h"
#include "clipsonshare.h"
#include "fakeplayer.h"
#include "heartbeat.h"
#include "mediafiles.h"
#include "projectfile.h"
#include "projectfilework.h"

#include <QApplication>
#include <QElapsedTimer>

static constexpr int kClips = 40;
static constexpr int kLibrary = 200;

int main(int argc, char** argv)
{
    BenchTools::runHeadless();
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    StallableMount share(scratch.filePath("backing"), scratch.filePath("share"), scratch.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty()) {
        std::printf("slow share: left out (%s)\n", qPrintable(why));
        return 0;
    }
    const QString showPath = scratch.filePath("slow.json");
    const ClipsOnShare clips = clipsOnShare(share, kClips);
    Show show = Show::makeDefault();
    show.assets = clips.assets;
    show.cues[0].timeline = clips.events;
    writeShowFile(show, showPath, JsonFormat::pretty);
    std::printf("a cue of %d clips on a share that answers every request late; GO right after the open, and 2 s "
                "after it\n",
                kClips);
    Heartbeat heartbeat;
    const auto goAndWait = [&](Engine& engine, const char* what, double late) {
        heartbeat.restart();
        QElapsedTimer took;
        took.start();
        engine.go();
        BenchTools::runEventsUntil([&] { return engine.current().has_value(); }, 60000);
        std::printf("  %4.0f ms a request, GO %-17s on air after %7.1f ms, longest main-thread gap %6.1f ms   "
                    "\"%s\"\n",
                    late * 1000, what, double(took.nsecsElapsed()) / 1e6, double(heartbeat.longestGapMs()),
                    qPrintable(engine.message()));
    };
    for (const double late : {0.0, 0.001, 0.003, 0.01}) {
        share.delay(late);
        Engine::Services services;
        services.players = fakePlayers();
        QTemporaryDir folder;
        std::unique_ptr<Engine> engine = BenchTools::makeEngine(folder, true, services);
        engine->openProject(QUrl::fromLocalFile(showPath));
        BenchTools::runEventsUntil([&] { return !engine->projectFiles().busy(); }, 60000);
        for (const bool settled : {false, true}) {
            if (settled)
                BenchTools::runEvents(2000);
            engine->stop(true);
            goAndWait(*engine, settled ? "2 s after the open" : "at once", late);
        }
    }

    const QString libraryPath = scratch.filePath("library.json");
    Show library = Show::makeDefault();
    library.assets = clipsOnShare(share, kLibrary).assets;
    TimelineEvent last;
    last.track = Track::main;
    last.assetID = library.assets->last().id;
    library.cues[0].timeline = QList<TimelineEvent>{last};
    writeShowFile(library, libraryPath, JsonFormat::pretty);
    std::printf("a library of %d files on the share, asked as the show opens; GO at once on a cue using the last\n",
                kLibrary);
    for (const double late : {0.001, 0.003, 0.01}) {
        share.delay(late);
        Engine::Services services;
        services.players = fakePlayers();
        QTemporaryDir folder;
        std::unique_ptr<Engine> engine = BenchTools::makeEngine(folder, true, services);
        engine->openProject(QUrl::fromLocalFile(libraryPath));
        BenchTools::runEventsUntil([&] { return !engine->projectFiles().busy(); }, 60000);
        goAndWait(*engine, "at once", late);
        // What was asked in the background is answered before the next lateness is set.
        BenchTools::runEventsUntil([&] { return engine->mediaFiles().questionsOnTheWay() == 0; }, 120000);
    }
    return 0;
}
