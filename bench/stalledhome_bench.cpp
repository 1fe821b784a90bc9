// Figures for a console whose home folder lies on a share that stops answering (a FUSE folder, stallablefs.py;
// nothing is measured without FUSE or python3-fusepy):
// - the longest time the main thread went without serving its 5 ms timer while "吸附" is switched 20 times, 100 ms
//   apart, with the settings' folder stalled, and the time the file took to hold the last value once it answered;
// - the longest gap while the console's window is closed with the recovery copy's folder stalled, and the time until
//   the close asks (the write counts as failed after a few seconds);
// - the longest gap while the console quits as a signal ends it (SIGINT, SIGHUP, a second SIGTERM: what the
//   application runs once it is about to quit) with the recovery copy's folder stalled, and how long the quit took;
// - starts of the program with the whole home folder stopped (its daemon held with SIGSTOP): the time until the
//   program ended, and what it said.
//   stalledhome_bench [starts, 3 by default]
#include "benchtools.h"
#include "consoleview.h"
#include "consolewindow.h"
#include "heartbeat.h"
#include "lumoriaapp.h"
#include "lumosettings.h"
#include "stallablemount.h"
#include "timelineeditor.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>

namespace {
double milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

std::unique_ptr<LumoriaApp> makeConsole(const QString& settingsFile, const QString& recoveryFolder)
{
    LumoriaApp::Options options;
    options.settingsFile = settingsFile;
    options.recoveryDirectory = recoveryFolder;
    return std::make_unique<LumoriaApp>(options);
}

QPushButton* snapButton(LumoriaApp& app)
{
    for (QPushButton* button : app.consoleWindow().view()->timelineEditor()->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("吸附"))
            return button;
    return nullptr;
}

void switchSnapOnAStalledShare(StallableMount& share, const QString& recoveryFolder)
{
    const QString settings = share.mount() + "/.config/Lumoria/Lumoria.conf";
    QDir().mkpath(share.mount() + "/.config/Lumoria");
    const std::unique_ptr<LumoriaApp> app = makeConsole(settings, recoveryFolder);
    QPushButton* snap = snapButton(*app);
    Heartbeat gap;
    const auto switchTwentyTimes = [&] {
        BenchTools::runEvents(50);
        gap.restart();
        double longestClick = 0;
        for (int i = 0; i < 20; ++i) {
            QElapsedTimer click;
            click.start();
            snap->click();
            longestClick = std::max(longestClick, milliseconds(click));
            BenchTools::runEvents(100);
        }
        BenchTools::runEvents(500);
        return std::pair(double(gap.longestGapMs()), longestClick);
    };
    const auto [answering, answeringClick] = switchTwentyTimes();
    BenchTools::runEventsUntil([&] { return app->settings().written(); }, 30000);
    share.stall();
    const auto [held, heldClick] = switchTwentyTimes();
    QElapsedTimer landed;
    landed.start();
    share.answer();
    BenchTools::runEventsUntil([&] { return app->settings().written(); }, 30000);
    const bool stored = QSettings(share.backing() + "/.config/Lumoria/Lumoria.conf", QSettings::IniFormat)
                            .value("timelineSnapEnabled")
                            .toBool();
    std::printf("%-62s %8.1f ms   (longest click %.1f ms)\n",
                "\"吸附\" switched 20 times, share answering: longest gap", answering, answeringClick);
    std::printf("%-62s %8.1f ms   (longest click %.1f ms; goal < 20 ms)\n",
                "\"吸附\" switched 20 times, settings' folder stalled: longest gap", held, heldClick);
    std::printf("%-62s %8.1f ms   (file holds %s, shown %s)\n", "  share answered to the last value in the file",
                milliseconds(landed), stored ? "on" : "off", snap->isChecked() ? "on" : "off");
}

// A console whose recovery copy was written, then edited again once the share holding it stopped answering.
std::unique_ptr<LumoriaApp> consoleEditedAfterItsRecoveryFolderStalled(StallableMount& share,
                                                                       const QString& settingsFile)
{
    std::unique_ptr<LumoriaApp> app = makeConsole(settingsFile, share.mount() + "/recovery");
    app->consoleWindow().show();
    Show show = app->engine().show();
    show.cues[0].name = "停顿前的修改";
    app->engine().setShow(show);
    BenchTools::runEventsUntil([&] { return QFile::exists(share.backing() + "/recovery/Recovery.json"); }, 10000);
    share.stall();
    show.cues[0].name = "停顿后的修改";
    app->engine().setShow(show);
    return app;
}

void closeOverAStalledRecoveryFolder(StallableMount& share, const QString& settingsFile)
{
    const std::unique_ptr<LumoriaApp> app = consoleEditedAfterItsRecoveryFolderStalled(share, settingsFile);
    Heartbeat gap;
    QElapsedTimer closing;
    double toQuestion = -1;
    QString asked;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->objectName() != "unsavedQuit")
            return;
        toQuestion = milliseconds(closing);
        asked = box->informativeText();
        box->button(QMessageBox::Cancel)->click();
    });
    answer.start(1);
    BenchTools::runEvents(50);
    gap.restart();
    closing.start();
    const bool closed = app->consoleWindow().close();
    std::printf("%-62s %8.1f ms\n", "window closed, recovery folder stalled: longest gap", double(gap.longestGapMs()));
    std::printf("%-62s %8.1f ms   (%s)\n", "  close to the question", toQuestion,
                closed ? "closed without asking" : asked.toUtf8().constData());
    share.answer();
}

void quitOverAStalledRecoveryFolder(StallableMount& share, const QString& settingsFile)
{
    const std::unique_ptr<LumoriaApp> app = consoleEditedAfterItsRecoveryFolderStalled(share, settingsFile);
    BenchTools::runEvents(50);
    Heartbeat gap;
    QElapsedTimer quitting;
    quitting.start();
    app->consoleWindow().view()->applicationWillTerminate();
    const Heartbeat::Gap longest = gap.longestGap();
    std::printf("%-62s %8.1f ms   (%s; goal < 20 ms)\n", "quit by signal, recovery folder stalled: longest gap",
                longest.ms, longest.text().toUtf8().constData());
    std::printf("%-62s %8.1f ms\n", "  the quit's wait", milliseconds(quitting));
    share.answer();
}

void startOverAStoppedHome(StallableMount& share, const QString& runtimeFolder, int starts)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", share.mount());
    for (const char* elsewhere : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XAUTHORITY"})
        environment.remove(elsewhere);
    environment.insert("XDG_RUNTIME_DIR", runtimeFolder);
    share.freeze();
    for (int i = 0; i < starts; ++i) {
        QProcess lumoria;
        lumoria.setProcessEnvironment(environment);
        QElapsedTimer start;
        start.start();
        lumoria.start(LUMO_EXECUTABLE, {});
        const bool ended = lumoria.waitForFinished(60000);
        const double took = milliseconds(start);
        std::printf("%-62s %8.1f ms   (status %d) %s", "start, home folder stopped: to its end", took,
                    ended ? lumoria.exitCode() : -1, lumoria.readAllStandardError().constData());
        if (!ended)
            lumoria.kill();
    }
    share.thaw();
}
} // namespace

int main(int argc, char** argv)
{
    BenchTools::runHeadless();
    QApplication app(argc, argv);
    const int starts = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir folder;
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty()) {
        std::printf("nothing measured: %s\n", why.toUtf8().constData());
        return 0;
    }
    std::printf("load average %s\n", BenchTools::loadAverage().constData());
    switchSnapOnAStalledShare(share, folder.filePath("recovery"));
    closeOverAStalledRecoveryFolder(share, folder.filePath("settings.ini"));
    quitOverAStalledRecoveryFolder(share, folder.filePath("settings.ini"));
    startOverAStoppedHome(share, folder.path(), starts);
    std::printf("load average %s\n", BenchTools::loadAverage().constData());
    return 0;
}
