#include "consolewindow.h"
#include "engine.h"
#include "eventwait.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "mappingpointedits.h"
#include "curvedprojectionview.h"
#include "projectfile.h"

#include <QApplication>
#include <QCheckBox>
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
    expectWindowsKeptAcross([&] { app->engine().openProject(QUrl::fromLocalFile(file)); });
}
