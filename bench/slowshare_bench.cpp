// A cue of forty clips on a FUSE folder that answers every request late, as a busy network share does
// (stallablefs.py; left out without FUSE): for each lateness, the show is opened from a local file and GO pressed at
// once, then again after the show has been open for two seconds. Printed: the time from GO to the cue on air, and
// the longest time the main thread went without serving its event loop (a 5 ms timer) meanwhile.
//   slowshare_bench
#include "benchtools.h"
#include "clipsonshare.h"
#include "fakeplayer.h"
#include "heartbeat.h"
#include "projectfile.h"
#include "projectfilework.h"

#include <QApplication>
#include <QElapsedTimer>

static constexpr int kClips = 40;

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
            heartbeat.restart();
            QElapsedTimer took;
            took.start();
            engine->go();
            BenchTools::runEventsUntil([&] { return engine->current().has_value(); }, 60000);
            std::printf("  %4.0f ms a request, GO %-17s on air after %7.1f ms, longest main-thread gap %6.1f ms   "
                        "\"%s\"\n",
                        late * 1000, settled ? "2 s after the open" : "at once", double(took.nsecsElapsed()) / 1e6,
                        double(heartbeat.longestGapMs()), qPrintable(engine->message()));
        }
    }
    return 0;
}
