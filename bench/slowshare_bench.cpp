// A cue of forty clips on a FUSE folder that answers every request late, as a busy network share does
// (stallablefs.py; left out without FUSE): for each lateness, the show is opened from a local file and GO pressed at
// once, then again after the show has been open for two seconds. Printed: the time from GO to the cue on air, and
// the longest time the main thread went without serving its event loop (a 5 ms timer) meanwhile. Then a library of
// two hundred files on the share, all asked as the show opens, and GO at once on a cue whose one clip uses the last
// of them: its own question goes ahead of the others.
// Then the same cue at 20 to 600 ms a request beside a local copy of it: the time from GO right after the open to the
// cue on air, what the status line said on the way, and the requests a minute the share answers while the show stays
// open and idle at 150 ms a request (`slowshare_bench air` prints only these).
// Then, on real players, the share stops answering for 6 s: 6 s into a timeline of forty one-second clips (opened
// after another show played), and as a cue whose file has just answered is started. Printed: the longest gap of a
// 1 ms timer while the share is silent and after (with the part of it the thread waited for a processor), what the
// status line said, and when each clip went up against its time.
//   slowshare_bench [air]
#include "benchtools.h"
#include "clipsonshare.h"
#include "fakeplayer.h"
#include "heartbeat.h"
#include "mediafiles.h"
#include "picture.h"
#include "projectfile.h"
#include "projectfilework.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <map>

static constexpr int kClips = 40;
static constexpr int kLibrary = 200;
static constexpr int kStallMs = 6000;
// The clips seen out: those due in the six seconds after the share answers.
static constexpr int kClipsSeen = 18;

// What one run with a share that stops answering saw: the longest gaps, the status lines and when each clip went up.
struct StallRun
{
    Heartbeat::Gap gapWhileSilent;
    Heartbeat::Gap gapAfter;
    QStringList said;
    // Clip file to the timeline position it went up at.
    std::map<QString, double> shown;
};

static QString shownFile(const Engine& engine)
{
    const Picture* front = engine.program(kScreen1)->foreground();
    return front && front->url() ? front->url()->fileName() : QString();
}

// The show opens (after another played) and plays; `stallAt` seconds in, the share is silent for kStallMs.
static StallRun timelineWithAStall(StallableMount& share, const QString& showPath, const QString& otherPath,
                                   Heartbeat& probe)
{
    QTemporaryDir folder;
    std::unique_ptr<Engine> engine = BenchTools::makeEngine(folder, true);
    const auto open = [&](const QString& path) {
        engine->openProject(QUrl::fromLocalFile(path));
        BenchTools::runEventsUntil([&] { return !engine->projectFiles().busy(); }, 60000);
    };
    open(otherPath);
    engine->go();
    BenchTools::runEvents(2000);
    open(showPath);
    StallRun run;
    QObject::connect(engine.get(), &Engine::messageChanged, [&] { run.said.append(engine->message()); });
    QObject::connect(engine->program(kScreen1), &Picture::foregroundChanged, [&] {
        if (const QString file = shownFile(*engine); !file.isEmpty() && !run.shown.count(file))
            run.shown[file] = engine->timelinePosition();
    });
    engine->go();
    BenchTools::runEventsUntil([&] { return engine->timelinePosition() >= 6; }, 60000);
    share.stall();
    probe.restart();
    BenchTools::runEvents(kStallMs);
    run.gapWhileSilent = probe.longestGap();
    share.answer();
    probe.restart();
    BenchTools::runEventsUntil([&] { return engine->timelinePosition() >= kClipsSeen; }, 60000);
    run.gapAfter = probe.longestGap();
    engine->stop(true);
    return run;
}

struct DirectRun
{
    Heartbeat::Gap gapWhileSilent;
    Heartbeat::Gap gapAfter;
    double onAirAfter = 0;
    QStringList said;
};

static DirectRun cueWithAStall(StallableMount& share, Heartbeat& probe)
{
    QFile::copy(MediaFixtures::video({.seconds = 3, .pattern = "blue"}), share.backing() + "/blue.mp4");
    const QUrl file = QUrl::fromLocalFile(share.mount() + "/blue.mp4");
    QTemporaryDir folder;
    std::unique_ptr<Engine> engine = BenchTools::makeEngine(folder, true);
    Show show = engine->show();
    show.cues[0].main = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 20, .pattern = "red"}));
    show.cues[2].name = QStringLiteral("共享蓝");
    show.cues[2].main = file;
    engine->setShow(show);
    engine->take(engine->show().cues[0]);
    BenchTools::runEventsUntil(
        [&] { return engine->mediaFiles().state(file, FileDepth::header) == FileState::answered; }, 10000);
    BenchTools::runEvents(1000);
    DirectRun run;
    QObject::connect(engine.get(), &Engine::messageChanged, [&] { run.said.append(engine->message()); });
    share.stall();
    probe.restart();
    engine->take(engine->show().cues[2]);
    BenchTools::runEvents(kStallMs);
    run.gapWhileSilent = probe.longestGap();
    share.answer();
    probe.restart();
    QElapsedTimer answered;
    answered.start();
    BenchTools::runEventsUntil(
        [&] {
            const Picture* front = engine->program(kScreen1)->foreground();
            const std::optional<VideoFrame> frame = front ? front->player()->currentFrame() : std::nullopt;
            return front && front->url() == file && frame && frame->time() > 0;
        },
        30000);
    run.onAirAfter = double(answered.elapsed()) / 1000;
    run.gapAfter = probe.longestGap();
    // What the status line says once the cue is on air.
    BenchTools::runEvents(1000);
    return run;
}

// GO right after opening the cue of forty clips, locally and on the share at each lateness; then the share's requests
// a minute once the show has been open a while with nothing pressed.
static void timeToAir(StallableMount& share, const QString& showPath, const Show& show)
{
    const QString localPath = QFileInfo(showPath).dir().filePath("local.json");
    Show local = show;
    for (MediaAsset& asset : *local.assets)
        asset.url = QUrl::fromLocalFile(share.backing() + "/" + asset.url.fileName());
    writeShowFile(local, localPath, JsonFormat::pretty);
    std::printf("time to air of GO right after opening a cue of %d clips (load %s)\n", kClips,
                BenchTools::loadAverage().constData());
    const auto open = [](const QTemporaryDir& folder, const QString& path) {
        Engine::Services services;
        services.players = fakePlayers();
        std::unique_ptr<Engine> engine = BenchTools::makeEngine(folder, true, services);
        engine->openProject(QUrl::fromLocalFile(path));
        BenchTools::runEventsUntil([&] { return !engine->projectFiles().busy(); }, 60000);
        return engine;
    };
    for (const double late : {-1.0, 0.02, 0.05, 0.15, 0.3, 0.6}) {
        share.delay(std::max(late, 0.0));
        QTemporaryDir folder;
        std::unique_ptr<Engine> engine = open(folder, late < 0 ? localPath : showPath);
        QStringList said;
        QObject::connect(engine.get(), &Engine::messageChanged, [&] {
            if (said.isEmpty() || said.last() != engine->message())
                said.append(engine->message());
        });
        QElapsedTimer took;
        took.start();
        engine->go();
        BenchTools::runEventsUntil([&] { return engine->current().has_value(); }, 300000);
        const QString where = late < 0 ? QStringLiteral("local") : QStringLiteral("%1 ms a request").arg(late * 1000);
        std::printf("  %-18s on air after %6.1f s   \"%s\"\n", qPrintable(where), double(took.elapsed()) / 1000,
                    qPrintable(said.join(QStringLiteral("\" → \""))));
        engine->stop(true);
        // What is still on its way is answered before the next lateness is set.
        BenchTools::runEventsUntil([&] { return engine->mediaFiles().questionsOnTheWay() == 0; }, 120000);
    }
    share.delay(0.15);
    QTemporaryDir folder;
    std::unique_ptr<Engine> engine = open(folder, showPath);
    BenchTools::runEvents(20000);
    const qint64 before = share.requestsAnswered();
    int rests = 0;
    QTimer restWatch;
    QObject::connect(&restWatch, &QTimer::timeout, [&] { rests += engine->mediaFiles().questionsOnTheWay() == 0; });
    restWatch.start(100);
    BenchTools::runEvents(30000);
    std::printf("  idle show open at 150 ms a request: %lld requests a minute; no question on its way %d%% of the "
                "time\n",
                2 * (share.requestsAnswered() - before), rests * 100 / 300);
    share.delay(0);
}

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
    const Show show = showOfClipsOnShare(share, kClips);
    writeShowFile(show, showPath, JsonFormat::pretty);
    const bool airOnly = argc > 1 && QByteArray(argv[1]) == "air";
    if (airOnly)
        return timeToAir(share, showPath, show), 0;
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
    // An engine on stand-in players with the show at `path` opened, beside the folder of its recovery copy.
    struct OpenedShow
    {
        QTemporaryDir folder;
        std::unique_ptr<Engine> engine;
    };
    const auto openOnStandInPlayers = [](const QString& path) {
        auto opened = std::make_unique<OpenedShow>();
        Engine::Services services;
        services.players = fakePlayers();
        opened->engine = BenchTools::makeEngine(opened->folder, true, services);
        opened->engine->openProject(QUrl::fromLocalFile(path));
        BenchTools::runEventsUntil([&] { return !opened->engine->projectFiles().busy(); }, 60000);
        return opened;
    };
    for (const double late : {0.0, 0.001, 0.003, 0.01}) {
        share.delay(late);
        const auto opened = openOnStandInPlayers(showPath);
        Engine* engine = opened->engine.get();
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
        const auto opened = openOnStandInPlayers(libraryPath);
        Engine* engine = opened->engine.get();
        goAndWait(*engine, "at once", late);
        // What was asked in the background is answered before the next lateness is set.
        BenchTools::runEventsUntil([&] { return engine->mediaFiles().questionsOnTheWay() == 0; }, 120000);
    }
    share.delay(0);

    // Forty one-second clips, one a second, on real players; another show (a local clip) played before it opened.
    Show timed = show;
    for (int i = 0; i < kClips; ++i)
        (*timed.cues[0].timeline)[i].time = i;
    writeShowFile(timed, showPath, JsonFormat::pretty);
    const QString otherPath = scratch.filePath("other.json");
    Show other = Show::makeDefault();
    MediaAsset local;
    local.url = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 5, .pattern = "red"}));
    local.kind = AssetKind::video;
    TimelineEvent localClip;
    localClip.track = Track::main;
    localClip.assetID = local.id;
    other.assets = QList<MediaAsset>{local};
    other.cues[0].timeline = QList<TimelineEvent>{localClip};
    writeShowFile(other, otherPath, JsonFormat::pretty);
    std::printf("forty one-second clips on real players; 6 s in, the share is silent for %d s (load %s)\n",
                kStallMs / 1000, BenchTools::loadAverage().constData());
    Heartbeat probe(1);
    const StallRun run = timelineWithAStall(share, showPath, otherPath, probe);
    std::printf("  longest main-thread gap while silent %s, in the 6 s after it answered %s\n",
                qPrintable(run.gapWhileSilent.text()), qPrintable(run.gapAfter.text()));
    std::printf("  status line: \"%s\"\n", qPrintable(run.said.join(QStringLiteral("\" → \""))));
    QStringList late;
    QStringList never;
    for (int i = 0; i < kClipsSeen; ++i) {
        const QString file = QStringLiteral("clip%1.mp4").arg(i);
        const auto shown = run.shown.find(file);
        if (shown == run.shown.end())
            never.append(QString::number(i));
        else if (shown->second - i > 0.05)
            late.append(QStringLiteral("%1 (+%2 s)").arg(i).arg(shown->second - i, 0, 'f', 2));
    }
    std::printf("  clips up more than 50 ms late: %s; never up: %s\n",
                late.isEmpty() ? "none" : qPrintable(late.join(", ")),
                never.isEmpty() ? "none" : qPrintable(never.join(", ")));

    std::printf("a cue whose file has just answered, started as the share goes silent for %d s\n", kStallMs / 1000);
    const DirectRun direct = cueWithAStall(share, probe);
    std::printf("  longest main-thread gap while silent %s, until on air %s; on air %.1f s after the share answered\n",
                qPrintable(direct.gapWhileSilent.text()), qPrintable(direct.gapAfter.text()), direct.onAirAfter);
    std::printf("  status line: \"%s\"\n", qPrintable(direct.said.join(QStringLiteral("\" → \""))));
    timeToAir(share, showPath, show);
    return 0;
}
