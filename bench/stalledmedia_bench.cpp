// Figures for a show whose media lies in a folder that stops answering (a network share; a FUSE mount whose daemon
// is stopped): the longest time the main thread went without serving its event loop (the longest gap between ticks
// of a 1 ms timer) while the projection check runs, as the engine and the check sheet run it, and while GO is
// pressed on a cue whose file lies there, and on a cue with local media meanwhile; an import of the share's files;
// GO on a still whose own folder stops answering after its check, and the time until it shows once that folder
// answers; the file panels (shown by the panel program beside the console) opened on that folder, then given up on.
// Then project files on a FUSE folder that stops answering for 3 s (stallablefs.py; left out without FUSE): a save and
// an open there, each with the longest gap and the time until its outcome; an open there given up; an open whose
// folder stalls only while it is listed; and the time to open a show of about 387 MB that the program saved, from a
// local folder, with the longest gap meanwhile.
//   stalledmedia_bench [FOLDER PID]
// With FOLDER and PID, the cues play the files found in FOLDER, and PID (the folder's file system daemon) is stopped
// with SIGSTOP once the show has been checked, and continued at the end. Without them a stand-in for the disk hangs
// on a folder of its own.
#include "benchtools.h"
#include "dialogprojectchooser.h"
#include "filepanelprocess.h"
#include "heartbeat.h"
#include "largeshow.h"
#include "mediafile.h"
#include "mediafilechooser.h"
#include "mediafiles.h"
#include "medialibraryedits.h"
#include "picture.h"
#include "preflightfindings.h"
#include "projectfile.h"
#include "projectfilework.h"
#include "stallablemount.h"
#include "stilldecoder.h"
#include "timelineeditormodel.h"
#include "timelineviewstate.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QWidget>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <unistd.h>

namespace {

double milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The longest gap between ticks of a 1 ms timer while the work given to run() goes on.
class GapRun
{
  public:
    // Runs each step from the event loop, spaced by `spacingMs`, then 50 ms more; the longest gap meanwhile.
    Heartbeat::Gap run(const std::vector<std::function<void()>>& steps, int spacingMs)
    {
        BenchTools::runEvents(20);
        m_beat.restart();
        size_t next = 0;
        QTimer hand;
        QObject::connect(&hand, &QTimer::timeout, [&] {
            if (next < steps.size())
                steps[next++]();
        });
        hand.start(spacingMs);
        BenchTools::runEventsUntil([&] { return next >= steps.size(); }, 600000);
        hand.stop();
        BenchTools::runEvents(50);
        return m_beat.longestGap();
    }
    // Runs one step from the event loop and serves events until `done`; the longest gap meanwhile.
    Heartbeat::Gap runUntil(const std::function<void()>& step, const std::function<bool()>& done)
    {
        BenchTools::runEvents(20);
        m_beat.restart();
        step();
        BenchTools::runEventsUntil(done, 600000);
        return m_beat.longestGap();
    }

  private:
    Heartbeat m_beat{1};
};

// Hangs every question about a folder once told to, as a stat on a stopped share does, until released.
struct StandInShare
{
    QString folder;
    std::mutex lock;
    std::condition_variable released;
    bool stalled = false;

    void hangIfStalled(const QUrl& url)
    {
        if (!url.toLocalFile().startsWith(folder + QLatin1Char('/')))
            return;
        std::unique_lock guard(lock);
        released.wait(guard, [this] { return !stalled; });
    }
    void setStalled(bool on)
    {
        std::lock_guard guard(lock);
        stalled = on;
        released.notify_all();
    }
};

// The panel programs on this process's behalf that still run.
int panelPrograms()
{
    int count = 0;
    const QString self = QString::number(::getpid());
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString line = QString::fromLocal8Bit(stat.readAll());
        const QStringList fields = line.mid(line.lastIndexOf(u')') + 2).split(u' ');
        count += line.contains(QStringLiteral("(lumoria-choose")) && fields.value(1) == self;
    }
    return count;
}

// The panels on a FUSE folder that stops answering (left out without FUSE): "另存为…" opened with the show's file
// there, which holds the panel program; how soon the console takes input again; a newer panel asked, which ends the
// held one; the window closed with a panel held; and whether any panel program is left once the folder answers.
void panelsOnAStalledMount(const QTemporaryDir& scratch, GapRun& heartbeat)
{
    StallableMount mount(scratch.filePath("panels-backing"), scratch.filePath("panels"),
                         scratch.filePath("panels-stall"));
    if (const QString why = mount.mountOrSayWhy(); !why.isEmpty()) {
        std::printf("file panels on a stalled FUSE folder: left out (%s)\n", qPrintable(why));
        return;
    }
    auto console = std::make_unique<QWidget>();
    console->show();
    BenchTools::runEvents(200);
    DialogProjectChooser projectPanels;
    FilePanelProcess& panels = FilePanelProcess::of(console.get());
    mount.stall();
    // When each panel's program stopped giving signs of life (and the console took input again), from its asking.
    QElapsedTimer asked;
    QString asking;
    QStringList silences;
    QObject::connect(&panels, &FilePanelProcess::stoppedAnswering, [&] {
        silences.append(QStringLiteral("%1 %2 ms").arg(asking).arg(milliseconds(asked), 0, 'f', 0));
    });
    const auto ask = [&](const QString& name, const std::function<void()>& panel) {
        asking = name;
        asked.start();
        panel();
    };
    qint64 held = 0;
    bool heldEnded = false;
    const auto saveAs = [&] {
        ask(QStringLiteral("另存为…"),
            [&] { projectPanels.saveLocation(console.get(), mount.mount() + "/show.json", [](const QUrl&) {}); });
    };
    // A step each quarter of a second: "另存为…" at 0 s, "导入" at 2 s, "另存为…" at 2.75 s, the window closed at 4.5
    // s.
    std::vector<std::function<void()>> steps(19, [] {});
    steps[0] = saveAs;
    steps[8] = [&] {
        held = panels.processId();
        ask(QStringLiteral("导入"),
            [&] { chooseMediaFiles(console.get(), {AssetKind::image}, [](const QList<QUrl>&) {}); });
    };
    steps[11] = [&] {
        heldEnded = held > 0 && !QFile::exists(QStringLiteral("/proc/%1").arg(held));
        saveAs();
    };
    steps[18] = [&] { console.reset(); };
    const Heartbeat::Gap gap = heartbeat.run(steps, 250);
    const int leftWhileStalled = panelPrograms();
    QElapsedTimer answered;
    answered.start();
    mount.answer();
    BenchTools::runEventsUntil([] { return panelPrograms() == 0; }, 30000);
    std::printf("file panels on a stalled FUSE folder (4.5 s):     longest main-thread gap %s   held, the "
                "console takes input again: %s\n",
                qPrintable(gap.text()),
                qPrintable(silences.isEmpty() ? QStringLiteral("never") : silences.join(QStringLiteral(", "))));
    std::printf("  a newer panel asked: the held one %s; window closed with a panel held: %d panel programs wait for "
                "the folder, %d left %.0f ms after it answers\n",
                heldEnded ? "ended at once" : "is killed, and ends when the folder answers", leftWhileStalled,
                panelPrograms(), milliseconds(answered));
}

} // namespace

int main(int argc, char** argv)
{
    BenchTools::runHeadless();
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    const bool realShare = argc == 3;
    const pid_t daemon = realShare ? pid_t(std::atol(argv[2])) : 0;
    auto standIn = std::make_shared<StandInShare>();
    standIn->folder = realShare ? QDir(QString::fromLocal8Bit(argv[1])).absolutePath() : scratch.filePath("share");

    QList<QUrl> shared;
    if (realShare) {
        for (const QString& name : QDir(standIn->folder).entryList(QDir::Files, QDir::Name))
            shared.append(QUrl::fromLocalFile(standIn->folder + QLatin1Char('/') + name));
    } else {
        QDir().mkpath(standIn->folder);
        for (int i = 0; i < 8; ++i) {
            const QString path = standIn->folder + QStringLiteral("/still%1.png").arg(i);
            QImage(64, 36, QImage::Format_RGB32).save(path);
            shared.append(QUrl::fromLocalFile(path));
        }
    }
    if (shared.isEmpty()) {
        std::fprintf(stderr, "no files in %s\n", qPrintable(standIn->folder));
        return 2;
    }
    const QString localPath = scratch.filePath("local.png");
    QImage(64, 36, QImage::Format_RGB32).save(localPath);

    Engine::Services services;
    services.isReadableFile = [standIn](const QUrl& url) {
        standIn->hangIfStalled(url);
        return ::isReadableFile(url);
    };
    std::unique_ptr<Engine> engine = BenchTools::makeEngine(scratch, true, services);
    Show show = engine->show();
    show.cues.clear();
    for (const QUrl& url : std::as_const(shared)) {
        Cue cue;
        cue.name = url.fileName();
        cue.main = url;
        show.cues.append(cue);
    }
    Cue local;
    local.name = QStringLiteral("local");
    local.main = QUrl::fromLocalFile(localPath);
    show.cues.append(local);
    engine->setShow(show);
    PreflightFindings sheet(*engine);
    sheet.update(engine->show().cues);
    // The disk's answers about the show's files, as they would have come long before the operator acts.
    BenchTools::runEventsUntil([&] { return engine->mediaFiles().questionsOnTheWay() == 0; }, 10000);
    std::printf("%lld cues on %s, one on a local disk; checked once while the share answers\n",
                qlonglong(shared.size()), realShare ? "the share" : "the stand-in share");

    // The share stops answering; the sheet opened now asks about every file again.
    if (realShare)
        ::kill(daemon, SIGSTOP);
    else
        standIn->setStalled(true);
    engine->mediaFiles().refresh(shared, FileDepth::header);

    GapRun heartbeat;
    const QList<Cue> cues = engine->show().cues;
    std::vector<std::function<void()>> checks;
    for (int i = 0; i < 5; ++i)
        checks.push_back([&] {
            const QList<Engine::PlaybackIssue> issues = engine->playbackIssues(cues, {}, true);
            sheet.forget();
            sheet.update(cues);
            if (!issues.isEmpty())
                std::printf("  check: %lld findings, first \"%s\"\n", qlonglong(issues.size()),
                            qPrintable(issues.first().text));
        });
    const Heartbeat::Gap checkGap = heartbeat.run(checks, 400);
    std::printf("projection check x5 (engine + sheet), share stalled: longest main-thread gap %s\n",
                qPrintable(checkGap.text()));

    std::vector<std::function<void()>> presses;
    for (int i = 0; i < 10; ++i)
        presses.push_back([&, i] { engine->take(cues.at(i % (cues.size() - 1)), false, std::nullopt); });
    const Heartbeat::Gap goGap = heartbeat.run(presses, 100);
    std::printf("GO x10 on cues whose file is on the share:        longest main-thread gap %s   status \"%s\"\n",
                qPrintable(goGap.text()), qPrintable(engine->message()));

    const Heartbeat::Gap localGap = heartbeat.run({[&] { engine->take(cues.last(), false, std::nullopt); }}, 10);
    std::printf("GO on the local cue meanwhile:                     longest main-thread gap %s   on air: %s\n",
                qPrintable(localGap.text()), engine->current() ? qPrintable(engine->current()->name) : "nothing");

    // The share's files imported into the media library, as the timeline editor's import does.
    TimelineEditorModel editor(engine.get());
    const Heartbeat::Gap importGap =
        heartbeat.runUntil([&] { editor.library().addAssets(shared); }, [&] { return !editor.library().importing(); });
    std::printf("import of the share's files:                       longest main-thread gap %s   \"%s\"\n",
                qPrintable(importGap.text()), qPrintable(editor.view().note()));

    // A still whose folder (a stand-in of its own) stops answering once the check has passed: put on air, held 1 s,
    // then the folder answers and the still shows.
    auto stills = std::make_shared<StandInShare>();
    stills->folder = scratch.filePath("stills");
    QDir().mkpath(stills->folder);
    const QUrl onAir = QUrl::fromLocalFile(stills->folder + "/onair.png");
    QImage(1920, 1080, QImage::Format_RGB32).save(onAir.toLocalFile());
    Cue stillCue;
    stillCue.name = QStringLiteral("still");
    stillCue.main = onAir;
    Show withStill = engine->show();
    withStill.cues.append(stillCue);
    engine->setShow(withStill);
    BenchTools::runEventsUntil(
        [&] { return engine->mediaFiles().state(onAir, FileDepth::header) == FileState::answered; }, 10000);
    StillDecoder::shared().setBeforeLook(
        [stills](const QString& path) { stills->hangIfStalled(QUrl::fromLocalFile(path)); });
    stills->setStalled(true);
    Picture* screen = engine->program(engine->show().screens().first());
    const auto stillShown = [&] { return screen && screen->image() && screen->image()->width() == 1920; };
    QElapsedTimer stalledFor;
    const Heartbeat::Gap stillGap = heartbeat.runUntil(
        [&] {
            stalledFor.start();
            engine->take(engine->show().cues.last(), false, std::nullopt);
        },
        [&] { return stalledFor.hasExpired(1000); });
    const bool shownWhileStalled = stillShown();
    QElapsedTimer answered;
    const Heartbeat::Gap shownGap = heartbeat.runUntil(
        [&] {
            answered.start();
            stills->setStalled(false);
        },
        stillShown);
    std::printf("GO on a still whose folder stalls, held 1 s:      longest main-thread gap %s   shown meanwhile: "
                "%s\n",
                qPrintable(stillGap.text()), shownWhileStalled ? "yes" : "no");
    std::printf("  the folder answers:                             longest main-thread gap %s   shown after %.1f ms\n",
                qPrintable(shownGap.text()), milliseconds(answered));
    StillDecoder::shared().setBeforeLook({});

    // "另存为…" with the show's file in the stalled folder, held open 2 s; then the media panel, which ends it; then
    // that one given up on. With the stand-in the panel program sees a folder that answers: its start and end alone.
    QWidget console;
    console.show();
    BenchTools::runEvents(200);
    DialogProjectChooser projectPanels;
    FilePanelProcess& panels = FilePanelProcess::of(&console);
    const auto wait = [] {};
    int heldPanels = 0;
    const Heartbeat::Gap panelGap = heartbeat.run(
        {[&] { projectPanels.saveLocation(&console, standIn->folder + "/show.json", [](const QUrl&) {}); }, wait, wait,
         wait,
         [&] {
             heldPanels += panels.isAsking();
             chooseMediaFiles(&console, {AssetKind::image, AssetKind::video, AssetKind::audio},
                              [](const QList<QUrl>&) {});
         },
         wait, wait, wait,
         [&] {
             heldPanels += panels.isAsking();
             panels.giveUp();
         }},
        500);
    std::printf("file panels on the stalled folder, given up on:    longest main-thread gap %s   %d of 2 "
                "panels open until given up\n",
                qPrintable(panelGap.text()), heldPanels);

    if (realShare)
        ::kill(daemon, SIGCONT);
    else
        standIn->setStalled(false);
    BenchTools::runEvents(200);

    panelsOnAStalledMount(scratch, heartbeat);

    const auto fileDone = [&] { return !engine->projectFiles().busy(); };
    StallableMount projects(scratch.filePath("projects-backing"), scratch.filePath("projects"),
                            scratch.filePath("projects-stall"));
    if (const QString why = projects.mountOrSayWhy(); !why.isEmpty()) {
        std::printf("project files on a stalled folder: left out (%s)\n", qPrintable(why));
    } else {
        const QUrl file = QUrl::fromLocalFile(projects.mount() + "/show.json");
        heartbeat.runUntil([&] { engine->saveProject(file); }, fileDone);
        for (const bool opening : {false, true}) {
            Show edited = engine->show();
            edited.cues.first().name = opening ? QStringLiteral("打开前") : QStringLiteral("保存前");
            engine->setShow(edited);
            projects.stall();
            QString waiting;
            QElapsedTimer took;
            took.start();
            QTimer::singleShot(3000, [&] {
                waiting = engine->message();
                projects.answer();
            });
            const Heartbeat::Gap gap =
                heartbeat.runUntil([&] { opening ? engine->openProject(file) : engine->saveProject(file); },
                                   [&] { return fileDone() && took.elapsed() > 3000; });
            std::printf("%-9s a folder stalled for 3 s:           longest main-thread gap %s   "
                        "after 3 s \"%s\", then \"%s\" at %.1f s\n",
                        opening ? "open from" : "save into", qPrintable(gap.text()), qPrintable(waiting),
                        qPrintable(engine->message()), double(took.elapsed()) / 1000);
        }

        // An open from the stalled folder given up ("取消") after 1.5 s; the folder answers 1 s later.
        projects.stall();
        const Heartbeat::Gap givenUpGap = heartbeat.runUntil(
            [&] {
                engine->openProject(file);
                QTimer::singleShot(1500, [&] { engine->cancelProjectFileWork(); });
                QTimer::singleShot(2500, [&] { projects.answer(); });
            },
            [&] { return fileDone() && engine->projectFiles().givenUpOnTheWay() == 0; });
        std::printf("open given up on a stalled folder after 1.5 s:   longest main-thread gap %s   \"%s\"\n",
                    qPrintable(givenUpGap.text()), qPrintable(engine->message()));

        // An open whose folder stops answering only while it is listed for what killed saves left, for 3 s.
        projects.stallOnly({QStringLiteral("opendir"), QStringLiteral("readdir")});
        QString listing;
        QElapsedTimer listed;
        listed.start();
        QTimer::singleShot(2500, [&] { listing = engine->message(); });
        QTimer::singleShot(3000, [&] { projects.answer(); });
        const Heartbeat::Gap listingGap = heartbeat.runUntil([&] { engine->openProject(file); },
                                                             [&] { return fileDone() && listed.elapsed() > 3000; });
        std::printf("open, its folder's listing stalled for 3 s:      longest main-thread gap %s   "
                    "after 2.5 s \"%s\", then \"%s\"\n",
                    qPrintable(listingGap.text()), qPrintable(listing), qPrintable(engine->message()));
    }

    std::printf("building a show of about 387 MB...\n");
    std::fflush(stdout);
    const QUrl large = QUrl::fromLocalFile(scratch.filePath("large.json"));
    engine->setShow(makeLargeShow(15000, 722000, 2000));
    QElapsedTimer took;
    took.start();
    const Heartbeat::Gap saveLargeGap = heartbeat.runUntil([&] { engine->saveProject(large); }, fileDone);
    std::printf("save the large show (%.0f MB):               longest main-thread gap %s   %.2f s   \"%s\"\n",
                double(QFileInfo(large.toLocalFile()).size()) / (1 << 20), qPrintable(saveLargeGap.text()),
                double(took.elapsed()) / 1000, qPrintable(engine->message()));
    engine->setShow(Show::makeDefault());
    took.restart();
    double openedAfter = 0;
    QObject::connect(engine.get(), &Engine::messageChanged, [&] {
        if (engine->message() == QStringLiteral("工程已打开"))
            openedAfter = double(took.elapsed()) / 1000;
    });
    const Heartbeat::Gap openLargeGap = heartbeat.runUntil([&] { engine->openProject(large); }, fileDone);
    std::printf("open the large show:                             longest main-thread gap %s   %.2f s   \"%s\"\n",
                qPrintable(openLargeGap.text()), openedAfter, qPrintable(engine->message()));
    took.restart();
    openedAfter = 0;
    const Heartbeat::Gap reopenLargeGap = heartbeat.runUntil([&] { engine->openProject(large); }, fileDone);
    std::printf("open it again over itself:                       longest main-thread gap %s   %.2f s   \"%s\"\n",
                qPrintable(reopenLargeGap.text()), openedAfter, qPrintable(engine->message()));
    return 0;
}
