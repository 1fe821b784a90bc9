#include "consoleprocess.h"
#include "projectfile.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {
std::string contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

QColor screenColourAt(const QPoint& point)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, point.x(), point.y(), 1, 1).toImage().pixelColor(0, 0);
}

// Starts the real program with no way to a display (or one that is not there) and returns what it printed.
struct Outcome
{
    QProcess::ExitStatus status;
    int code;
    QString errors;
};

Outcome startWithDisplay(const QString& display, const QList<std::pair<QString, QString>>& settings = {})
{
    QTemporaryDir home;
    QProcess lumoria;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "XAUTHORITY"})
        environment.remove(name);
    if (!display.isEmpty())
        environment.insert("DISPLAY", display);
    for (const auto& [name, value] : settings)
        environment.insert(name, value);
    environment.insert("HOME", home.path());
    environment.insert("XDG_DATA_HOME", home.filePath(".local/share"));
    environment.insert("XDG_RUNTIME_DIR", home.path());
    lumoria.setProcessEnvironment(environment);
    lumoria.start(LUMO_EXECUTABLE, {});
    if (!lumoria.waitForFinished(30000))
        return {QProcess::CrashExit, -1, "still running"};
    return {lumoria.exitStatus(), lumoria.exitCode(), QString::fromLocal8Bit(lumoria.readAllStandardError())};
}
} // namespace

TEST(LumoriaStart, WithoutADisplayItSaysInChineseWhichOneAndEndsWithoutACoreDump)
{
    const Outcome unset = startWithDisplay({});
    ASSERT_EQ(unset.status, QProcess::NormalExit) << "ended by a signal: " << unset.errors.toStdString();
    EXPECT_NE(unset.code, 0);
    EXPECT_TRUE(unset.errors.contains("没有设置要连接的显示器")) << unset.errors.toStdString();
    EXPECT_FALSE(unset.errors.contains("Reinstalling")) << unset.errors.toStdString();

    const Outcome absent = startWithDisplay(":917");
    ASSERT_EQ(absent.status, QProcess::NormalExit) << "ended by a signal: " << absent.errors.toStdString();
    EXPECT_NE(absent.code, 0);
    EXPECT_TRUE(absent.errors.contains("连接不上显示器 :917")) << absent.errors.toStdString();
    EXPECT_FALSE(absent.errors.contains("Reinstalling")) << absent.errors.toStdString();
}

// A display that is there and answers is never called unreachable: one that refuses the connection (an X server that
// asks for an authorisation the fresh home folder does not hold) says so, and a failure that is not the display's
// (a platform plugin that does not exist) gives Qt's own reason.
TEST(LumoriaStart, AStartThatFailsForAnotherReasonThanAnAbsentDisplayNamesThatReason)
{
    QTemporaryDir keys;
    const QString authority = keys.filePath("authority");
    QProcess cookie;
    cookie.start("xauth", {"-f", authority, "add", ":0", ".", "0123456789abcdef0123456789abcdef"});
    ASSERT_TRUE(cookie.waitForFinished(30000) && cookie.exitCode() == 0) << cookie.readAllStandardError().toStdString();
    QProcess server;
    server.start("Xvfb", {"-displayfd", "1", "-auth", authority, "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    ASSERT_TRUE(server.waitForStarted(30000));
    while (!server.canReadLine())
        ASSERT_TRUE(server.waitForReadyRead(30000)) << "Xvfb gave no display number";
    const QString guarded = ":" + QString::fromLatin1(server.readLine().trimmed());

    const Outcome refused = startWithDisplay(guarded);
    ASSERT_EQ(refused.status, QProcess::NormalExit) << "ended by a signal: " << refused.errors.toStdString();
    EXPECT_NE(refused.code, 0);
    EXPECT_TRUE(refused.errors.contains("显示器 " + guarded + " 已开启，但拒绝了连接")) << refused.errors.toStdString();
    EXPECT_TRUE(refused.errors.contains("Authorization required")) << refused.errors.toStdString();
    EXPECT_FALSE(refused.errors.contains("连接不上")) << refused.errors.toStdString();
    server.kill();
    server.waitForFinished(30000);

    const QString display = qEnvironmentVariable("DISPLAY");
    ASSERT_FALSE(display.isEmpty()) << "the tests run on a display";
    const Outcome noPlugin = startWithDisplay(display, {{"QT_QPA_PLATFORM", "lumo-no-such-platform"}});
    ASSERT_EQ(noPlugin.status, QProcess::NormalExit) << "ended by a signal: " << noPlugin.errors.toStdString();
    EXPECT_NE(noPlugin.code, 0);
    EXPECT_TRUE(noPlugin.errors.contains("Lumoria 无法启动。Qt 给出的原因：")) << noPlugin.errors.toStdString();
    EXPECT_TRUE(noPlugin.errors.contains("Could not find the Qt platform plugin \"lumo-no-such-platform\""))
        << noPlugin.errors.toStdString();
    EXPECT_FALSE(noPlugin.errors.contains("显示器")) << noPlugin.errors.toStdString();
}

TEST(LumoriaStart, ASecondStartBringsTheRunningConsoleForwardAndLeavesItsRecoveryCopiesAlone)
{
    // Work lost in a crash before this run: the first copy puts it on offer at start.
    ConsoleProcess first(LUMO_EXECUTABLE);
    const QString parked = first.recoveryFolder() + "/Parked.json";
    const QString rolling = first.recoveryFolder() + "/Recovery.json";
    Show lost = Show::makeDefault();
    lost.cues.first().name = "崩溃前的修改";
    writeShowFile(lost, rolling, JsonFormat::compact);
    ASSERT_TRUE(first.start());
    const std::optional<QRect> window = first.waitForWindow();
    ASSERT_TRUE(window) << first.process().readAllStandardError().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(parked); }, 10000));
    const std::string offered = contents(parked);

    // The first copy's rolling copy of what the operator edits now.
    Show edited = Show::makeDefault();
    edited.cues.first().name = "正在编辑的修改";
    writeShowFile(edited, rolling, JsonFormat::compact);
    const std::string unsaved = contents(rolling);

    // Another window covers the console, as a browser would.
    QWidget cover;
    cover.setWindowFlags(Qt::FramelessWindowHint);
    cover.setStyleSheet("background: #ff00ff");
    cover.setGeometry(*window);
    cover.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
    const QPoint middle = window->center();
    // Tests beside this one draw on the same display; one of their windows may lie over the console's middle.
    const bool coverSeen = QTest::qWaitFor([&] { return screenColourAt(middle) == QColor(255, 0, 255); }, 10000);

    ConsoleProcess second(LUMO_EXECUTABLE, first.home());
    ASSERT_TRUE(second.start());
    EXPECT_TRUE(second.process().waitForFinished(15000)) << "the second copy keeps running";
    const QString said = QString::fromLocal8Bit(second.process().readAllStandardError());
    EXPECT_EQ(second.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process().exitCode(), 0) << said.toStdString();
    EXPECT_TRUE(said.contains("已在运行")) << said.toStdString();
    EXPECT_EQ(contents(parked), offered) << "the offered work was replaced";
    EXPECT_EQ(contents(rolling), unsaved) << "the running copy's recovery copy was moved or replaced";

    if (coverSeen) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return screenColourAt(middle) != QColor(255, 0, 255); }, 10000))
            << "the running console did not come forward";
        QDir().mkpath(LUMO_TEST_SHOTS);
        QGuiApplication::primaryScreen()
            ->grabWindow(0, window->x(), window->y(), window->width(), window->height())
            .save(QString(LUMO_TEST_SHOTS) + "/console-brought-forward.png");
    }

    EXPECT_EQ(first.process().state(), QProcess::Running);
    ASSERT_TRUE(first.quit());
    EXPECT_EQ(first.process().exitCode(), 0) << first.process().readAllStandardError().toStdString();
    if (!coverSeen)
        GTEST_SKIP() << "another test's window lay over the console: its coming forward was not judged";
}
