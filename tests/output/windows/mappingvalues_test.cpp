#include "engine.h"
#include "eventwait.h"
#include "mediafixtures.h"
#include "projectfilewait.h"
#include "screendisplayprovider.h"
#include "screenoutputwindows.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
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
