#include "engine.h"
#include "engineoutputsource.h"
#include "eventwait.h"
#include "fakeplayer.h"
#include "mappedoutput.h"
#include "mediafixtures.h"
#include "picture.h"
#include "projectfilewait.h"
#include "realoutputs.h"
#include "screendisplayprovider.h"
#include "screenoutputwindows.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>

static const ScreenRole kFirst{QStringLiteral("屏幕 1")};

// Project files that differ only in screen 1's mapping, opened one after another in one run, each played with GO:
// the output window on the second display shows the video through each of them, the first one's blend included,
// and never goes black while the status line says it plays.
TEST(MappingValues, NoMappingLeavesTheOutputBlack)
{
    QTemporaryDir folder;
    Engine::Services services;
    services.displays = std::make_shared<ScreenDisplayProvider>();
    services.windows = std::make_shared<ScreenOutputWindows>();
    Engine engine(true, nullptr, folder.path(), services);
    Show show = engine.show();
    show.outputScreens = QList<ScreenRole>{kFirst};
    show.cues[0].main = QUrl::fromLocalFile(MediaFixtures::video({{320, 180}, 30, 30, VideoCodec::h264, false, "red"}));
    engine.setShow(show);
    const QList<DisplayScreen> displays = engine.displays();
    ASSERT_EQ(displays.size(), 2);
    engine.bind(kFirst, displays[1].number);

    const auto save = [&](const QString& name, const std::function<void(ProjectorMapping&)>& change) {
        ProjectorMapping mapping;
        mapping.enabled = true;
        change(mapping);
        engine.setMapping(mapping, kFirst);
        const QUrl url = QUrl::fromLocalFile(folder.filePath(name));
        ProjectFileWait::save(engine, url);
        return url;
    };
    // The huge widths fade in from the left and the top across the whole output: bright at the bottom right.
    const QList<std::pair<QUrl, QPoint>> files{
        {save("huge-edges.json",
              [](ProjectorMapping& m) {
                  m.edges = {1e308, -1e308, 1e308, 5e-324};
              }),
         {1800, 1000}},
        {save("gamma-0.json", [](ProjectorMapping& m) { m.gamma = 0; }), {960, 540}},
        // Corners far round the output: the picture's middle fills it.
        {save("corners-far.json",
              [](ProjectorMapping& m) {
                  m.corners = {{-1e308, -1e308}, {1e308, -1e308}, {1e308, 1e308}, {-1e308, 1e308}};
              }),
         {960, 540}},
        {save("ordinary.json", [](ProjectorMapping&) {}), {960, 540}},
    };
    QColor seen;
    const auto redAt = [&](QPoint probe) {
        seen = QGuiApplication::screens()[1]->grabWindow(0).toImage().pixelColor(probe);
        return seen.red() > 180 && seen.green() < 40 && seen.blue() < 40;
    };
    for (const auto& [url, probe] : files) {
        SCOPED_TRACE(url.fileName().toStdString());
        // Each file starts from an output without the picture, so that no frame of the file before can pass for it.
        engine.stop(true);
        EXPECT_TRUE(waitUntil([&] { return !redAt(probe); })) << seen.name().toStdString();
        ASSERT_EQ(ProjectFileWait::open(engine, url), std::nullopt);
        engine.setSelected(engine.show().cues[0].id);
        engine.go();
        EXPECT_TRUE(waitUntil([&] { return engine.message().startsWith(QStringLiteral("播出中")); }))
            << engine.message().toStdString();
        EXPECT_TRUE(waitUntil([&] { return redAt(probe); })) << seen.name().toStdString();
    }
    // Reading took the widths and corners within a drawable range and left the stored ones as they are.
    EXPECT_EQ(engine.mapping(kFirst).edges, (QList<double>{0, 0, 0, 0}));
    ProjectFileWait::open(engine, files[0].first);
    EXPECT_EQ(engine.mapping(kFirst).edges, (QList<double>{1e308, -1e308, 1e308, 5e-324}));
    ProjectFileWait::open(engine, files[2].first);
    EXPECT_EQ(engine.mapping(kFirst).corners,
              (QList<QPointF>{{-1e308, -1e308}, {1e308, -1e308}, {1e308, 1e308}, {-1e308, 1e308}}));
}

// A crop of negative width, as a hand-edited file may hold, counts as 1 % wide: the output window shows the sliver at
// 0.2 of the picture enlarged, as the console's monitor of that screen does, not the region 0–0.5 turned round.
TEST(MappingValues, OutputWindowCropsAsItsMonitorDoes)
{
    QTemporaryDir folder;
    Engine engine(true, nullptr, folder.path(), realOutputServices());
    Show show = engine.show();
    show.outputScreens = QList<ScreenRole>{kFirst};
    engine.setShow(show);
    // Blue up to 0.19 of the width, green to 0.3, red beyond.
    QImage picture(1920, 1080, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QPainter(&picture).fillRect(0, 0, 576, 1080, Qt::green);
    QPainter(&picture).fillRect(0, 0, 365, 1080, Qt::blue);
    engine.program(kFirst)->setImage(picture);
    ProjectorMapping mapping;
    mapping.enabled = true;
    mapping.crop = QRectF(0.2, 0, -0.5, 1);
    engine.setMapping(mapping, kFirst);

    MappedOutput monitor(EngineOutputSource::of(engine), kFirst);
    monitor.setScreen(QGuiApplication::screens()[0]);
    monitor.resize(384, 216);
    monitor.show();
    ASSERT_TRUE(waitUntil([&] { return monitor.windowHandle() && monitor.windowHandle()->isExposed(); }));
    const QList<DisplayScreen> displays = engine.displays();
    ASSERT_EQ(displays.size(), 2);
    engine.bind(kFirst, displays[1].number);

    const QList<double> across{0.05, 0.5, 0.95};
    const auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
               std::abs(a.blue() - b.blue()) < 24;
    };
    QImage output;
    QImage monitored;
    const auto sameAcross = [&] {
        output = QGuiApplication::screens()[1]->grabWindow(0).toImage();
        monitored = monitor.grab().toImage();
        for (double x : across) {
            const QColor shown = output.pixelColor(int(x * output.width()), output.height() / 2);
            const QColor watched = monitored.pixelColor(int(x * monitored.width()), monitored.height() / 2);
            if (!near(shown, watched) || !near(watched, Qt::green))
                return false;
        }
        return true;
    };
    const bool same = waitUntil(sameAcross);
    QDir().mkpath(QStringLiteral(LUMO_TEST_SHOTS));
    output.save(QStringLiteral(LUMO_TEST_SHOTS "/output-window-negative-crop.png"));
    monitored.save(QStringLiteral(LUMO_TEST_SHOTS "/monitor-negative-crop.png"));
    EXPECT_TRUE(same) << "output " << output.pixelColor(96, 540).name().toStdString() << " monitor "
                      << monitored.pixelColor(19, 108).name().toStdString();
}
