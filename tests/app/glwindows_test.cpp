#include "consolewindow.h"
#include "curvedprojectionview.h"
#include "engine.h"
#include "eventwait.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "mappingpointedits.h"
#include "picture.h"
#include "projectfile.h"
#include "projectfilewait.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The console with the projection monitor and the mapping editor open, as an operator has them while aligning.
class GLWindows : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        applyLumoStyle(*qApp);
        LumoriaApp::Options options;
        options.recoveryDirectory = folder.filePath("recovery");
        options.settingsFile = folder.filePath("settings.ini");
        app = std::make_unique<LumoriaApp>(options);
        app->show();
        app->openWindow("projection-monitor");
        app->openWindow("projector-mapping");
        for (QWidget* window : windows())
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        runEvents(200);
    }

    QList<QWidget*> windows() const
    {
        return {&app->consoleWindow(), app->singleWindows().window("projection-monitor"),
                app->singleWindows().window("projector-mapping")};
    }
    // Each window's native window before and after the change, which must bring curved views into every window.
    void expectWindowsKeptAcross(const std::function<void()>& change)
    {
        QList<WId> before;
        for (QWidget* window : windows())
            before << window->winId();
        change();
        runEvents(300);
        for (int i = 0; i < windows().size(); ++i) {
            SCOPED_TRACE(windows()[i]->windowTitle().toStdString());
            EXPECT_TRUE(windows()[i]->findChild<CurvedProjectionView*>()) << "a curved view is shown";
            EXPECT_EQ(windows()[i]->winId(), before[i]);
        }
    }

    QTemporaryDir folder;
    std::unique_ptr<LumoriaApp> app;
};

} // namespace

TEST_F(GLWindows, SwitchingTheMeshOnKeepsEveryWindow)
{
    const ScreenRole screen = app->engine().show().screens().first();
    ProjectorMapping mapping = app->engine().mapping(screen);
    mapping.enabled = true;
    app->engine().setMapping(mapping, screen);
    expectWindowsKeptAcross([&] {
        for (auto* box : app->singleWindows().window("projector-mapping")->findChildren<QCheckBox*>())
            if (box->text() == "启用曲面网格")
                box->click();
    });
}

// Opening a file and recovering unsaved work both replace the show whole.
TEST_F(GLWindows, ReplacingTheShowWithOneWithAMeshKeepsEveryWindow)
{
    Show show = app->engine().show();
    const ScreenRole screen = show.screens().first();
    MappingSelection selection;
    ProjectorMapping mapping = MappingPointEdits::withMesh(app->engine().mapping(screen), selection, true);
    mapping.enabled = true;
    QMap<QString, ProjectorMapping> mappings = show.projectorMappings.value_or(QMap<QString, ProjectorMapping>{});
    mappings[screen.rawValue] = mapping;
    show.projectorMappings = mappings;
    const QString file = folder.filePath("curved.json");
    writeShowFile(show, file, JsonFormat::pretty);
    expectWindowsKeptAcross([&] { ProjectFileWait::open(app->engine(), QUrl::fromLocalFile(file)); });
}

// The console and its windows stay plain raster windows while their monitors show a curved mapping: the mesh is
// drawn off screen and painted as an image, so no repaint of the console goes through OpenGL. What the X server
// shows of the console's monitor is that image.
TEST_F(GLWindows, MonitorsOfACurvedMappingLeaveEveryWindowARasterWindow)
{
    const ScreenRole screen = app->engine().show().screens().first();
    QImage picture(640, 360, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 160));
    QPainter(&picture).fillRect(QRect(0, 0, 320, 180), QColor(220, 120, 40));
    app->engine().program(screen)->setImage(picture);
    MappingSelection selection;
    ProjectorMapping mapping = MappingPointEdits::withMesh(app->engine().mapping(screen), selection, true);
    mapping.enabled = true;
    mapping.edges = {0.1, 0.1, 0, 0};
    app->engine().setMapping(mapping, screen);

    QWidget& console = app->consoleWindow();
    auto* monitor = console.findChild<CurvedProjectionView*>();
    ASSERT_TRUE(monitor);
    ASSERT_TRUE(waitUntil([&] { return monitor->isVisible() && !monitor->shownImage().isNull(); }));
    for (QWidget* window : windows()) {
        SCOPED_TRACE(window->windowTitle().toStdString());
        EXPECT_EQ(window->windowHandle()->surfaceType(), QSurface::RasterSurface);
        for (const QWidget* child : window->findChildren<QWidget*>())
            EXPECT_FALSE(child->inherits("QOpenGLWidget")) << child->objectName().toStdString();
        auto* view = window->findChild<CurvedProjectionView*>();
        ASSERT_TRUE(view);
        EXPECT_TRUE(waitUntil([&] { return !view->shownImage().isNull(); }))
            << view->isVisible() << " " << view->drawings() << " " << view->errorText().toStdString() << " "
            << view->width() << "x" << view->height();
    }

    // Read back from the X server, with the console above the other windows.
    console.raise();
    const QRect area(monitor->mapToGlobal(QPoint(0, 0)), monitor->size());
    QImage shown;
    QImage onScreen;
    EXPECT_TRUE(waitUntil([&] {
        shown = monitor->shownImage().convertToFormat(QImage::Format_RGB32);
        onScreen = console.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
        return onScreen.convertToFormat(QImage::Format_RGB32) == shown;
    }));
    const QColor centre = shown.pixelColor(shown.width() / 2, shown.height() / 2);
    EXPECT_NE(centre, QColor(Qt::black)) << "the monitor shows the mapped picture";
    QDir().mkpath(LUMO_TEST_SHOTS);
    onScreen.save(QStringLiteral(LUMO_TEST_SHOTS "/console-curved-monitor-read-back.png"));
    console.grab().save(QStringLiteral(LUMO_TEST_SHOTS "/console-curved-monitor.png"));
    for (const QString id : {"projection-monitor", "projector-mapping"})
        app->singleWindows().window(id)->grab().save(QStringLiteral(LUMO_TEST_SHOTS "/console-curved-%1.png").arg(id));
}
