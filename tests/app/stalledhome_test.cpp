#include "consolewindow.h"
#include "eventwait.h"
#include "heartbeat.h"
#include "lumoriaapp.h"
#include "lumosettings.h"
#include "settingswriter.h"
#include "stallablemount.h"
#include "timelineeditor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>

namespace {
// The console in this process, its settings in the home folder on the share and its recovery copy beside it.
class ConsoleOverHome
{
  public:
    ConsoleOverHome(const QString& settingsFile, const QString& recoveryFolder)
    {
        LumoriaApp::Options options;
        options.settingsFile = settingsFile;
        options.recoveryDirectory = recoveryFolder;
        app = std::make_unique<LumoriaApp>(options);
        for (QPushButton* button : app->consoleWindow().view()->timelineEditor()->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("吸附"))
                snap = button;
    }
    std::unique_ptr<LumoriaApp> app;
    QPushButton* snap = nullptr;
};

std::optional<bool> storedSnap(const QString& file)
{
    const QVariant value = QSettings(file, QSettings::IniFormat).value("timelineSnapEnabled");
    return value.isValid() ? std::optional(value.toBool()) : std::nullopt;
}
} // namespace

// The home folder on a share that stops answering. A switch turned meanwhile shows its new state at once and the
// console goes on; the file takes the newest value once the share answers. A quit waits a few seconds at most for a
// setting on its way. A start over that home says in Chinese that the folder does not answer, and ends.
TEST(StalledHome, SettingsWaitForTheShareAsideAndAStartSaysTheHomeDoesNotAnswer)
{
    QTemporaryDir folder;
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString settings = share.mount() + "/.config/Lumoria/Lumoria.conf";
    const QString stored = share.backing() + "/.config/Lumoria/Lumoria.conf";
    ASSERT_TRUE(QDir().mkpath(share.mount() + "/.config/Lumoria"));
    auto console = std::make_unique<ConsoleOverHome>(settings, folder.filePath("recovery"));
    ASSERT_TRUE(console->snap);
    ASSERT_TRUE(console->snap->isChecked());

    Heartbeat heartbeat;
    share.stall();
    heartbeat.restart();
    for (const bool on : {false, true, false}) {
        console->snap->click();
        EXPECT_EQ(console->snap->isChecked(), on);
        EXPECT_EQ(console->app->settings().timelineSnapEnabled(), on);
    }
    const int ticks = heartbeat.ticks();
    EXPECT_TRUE(waitUntil([&] { return heartbeat.ticks() >= ticks + 200; }));
    EXPECT_LT(heartbeat.longestGapMs(), 500) << "the switch waited on the share";
    EXPECT_FALSE(console->app->settings().written());
    share.answer();
    EXPECT_TRUE(waitUntil([&] { return console->app->settings().written(); }));
    EXPECT_EQ(storedSnap(stored), false) << "the newest value wins";

    // The quit lets a share that answers late take the setting, and gives up on one that does not answer.
    share.stall();
    console->snap->click();
    std::thread answersLate([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        share.answer();
    });
    console.reset();
    answersLate.join();
    EXPECT_EQ(storedSnap(stored), true);
    console = std::make_unique<ConsoleOverHome>(settings, folder.filePath("recovery"));
    share.stall();
    console->snap->click();
    QElapsedTimer quit;
    quit.start();
    console.reset();
    EXPECT_LT(quit.elapsed(), 10000) << "the quit waited on the share";
    share.answer();
    // The thread given up on ends before the start below: a file it held open on the share would hold the start's
    // exec (its descriptors are closed there) once the share stops.
    ASSERT_TRUE(SettingsWriter::waitForAll(10000));
    EXPECT_EQ(storedSnap(stored), false) << "the setting given up on was dropped";

    QProcess lumoria;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", share.mount());
    for (const char* elsewhere : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XAUTHORITY"})
        environment.remove(elsewhere);
    environment.insert("XDG_RUNTIME_DIR", folder.path());
    lumoria.setProcessEnvironment(environment);
    share.freeze();
    QElapsedTimer start;
    start.start();
    lumoria.start(LUMO_EXECUTABLE, {});
    ASSERT_TRUE(lumoria.waitForFinished(30000)) << "the start hangs on its home folder";
    const qint64 startedFor = start.elapsed();
    share.thaw();
    EXPECT_EQ(lumoria.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(lumoria.exitCode(), 1);
    const QString said = QString::fromUtf8(lumoria.readAllStandardError());
    EXPECT_TRUE(said.contains("Lumoria 无法启动：主文件夹 " + share.mount() + " 没有响应")) << said.toStdString();
    std::cout << "start over a stalled home ended after " << startedFor << " ms: " << said.toStdString();
}
