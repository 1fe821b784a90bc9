#include "consoleprocess.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <gtest/gtest.h>

namespace {
// The console has painted once its background shows where the window sits.
bool painted(const QImage& shot)
{
    return !shot.isNull() && shot.pixelColor(shot.width() / 2, shot.height() - 4) != Qt::black;
}
} // namespace

TEST(Lumoria, StartsWithItsConsoleWindowOnAFreshHomeAndQuitsCleanly)
{
    ConsoleProcess console(LUMO_EXECUTABLE);
    ASSERT_TRUE(console.start());
    const std::optional<QRect> window = console.waitForWindow();
    ASSERT_TRUE(window) << console.process().readAllStandardError().toStdString();
    EXPECT_GE(window->width(), 1080);
    EXPECT_GE(window->height(), 720);

    QImage shot;
    for (int attempt = 0; attempt < 200 && !painted(shot); ++attempt) {
        QThread::msleep(50);
        shot = QGuiApplication::primaryScreen()
                   ->grabWindow(0, window->x(), window->y(), window->width(), window->height())
                   .toImage();
    }
    QDir().mkpath(LUMO_TEST_SHOTS);
    shot.save(QString(LUMO_TEST_SHOTS) + "/console-default.png");
    EXPECT_TRUE(painted(shot));

    ASSERT_TRUE(console.quit());
    EXPECT_EQ(console.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(console.process().exitCode(), 0);
    EXPECT_FALSE(console.errorOutput().contains("Sanitizer")) << console.errorOutput().toStdString();
    EXPECT_FALSE(console.errorOutput().contains("runtime error")) << console.errorOutput().toStdString();
    EXPECT_TRUE(QDir(console.home() + "/.local/share/Lumoria").exists()) << "the recovery folder is ready";
    EXPECT_FALSE(QFile::exists(console.home() + "/.local/share/Lumoria/Recovery.json")) << "nothing was unsaved";
}
