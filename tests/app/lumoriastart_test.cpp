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

Outcome startWithDisplay(const QString& display)
{
    QTemporaryDir home;
    QProcess lumoria;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"})
        environment.remove(name);
    if (!display.isEmpty())
        environment.insert("DISPLAY", display);
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
