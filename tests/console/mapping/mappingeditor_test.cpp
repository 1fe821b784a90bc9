#include "consolecolors.h"
#include "displaybindings.h"
#include "mappedoutput.h"
#include "mappingeditorstate.h"
#include "mappingoverlay.h"
#include "numberfield.h"
#include "picture.h"
#include "projectionmappingeditor.h"
#include "realoutputs.h"
#include "screenrolepicker.h"
#include "screensfixture.h"
#include "stepper.h"

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QTest>

using Handle = ProjectorMapping::Handle;

// The mapping editor over an engine with displays the test connects, shown at its default size.
class MappingEditorTest : public ScreensTest
{
  protected:
    MappingEditorTest()
    {
        QImage picture(640, 360, QImage::Format_RGB32);
        QPainter painter(&picture);
        painter.fillRect(picture.rect(), QColor(40, 90, 160));
        painter.fillRect(QRect(0, 0, 320, 180), QColor(220, 120, 40));
        painter.end();
        engine->program(first())->setImage(picture);
        editor = std::make_unique<ProjectionMappingEditor>(*engine);
        editor->resize(980, 570);
        editor->show();
        QApplication::processEvents();
    }

    ScreenRole first() const { return engine->show().screens().first(); }
    ProjectorMapping mapping() const { return editor->state().mapping(); }
    MappingOverlay& overlay() const { return *editor->overlay(); }
    QAbstractButton& control(const QString& name) const
    {
        QAbstractButton* found = button(*editor, name);
        if (!found)
            throw std::runtime_error(name.toStdString());
        return *found;
    }
    template <typename Widget> Widget& named(const QString& name) const
    {
        Widget* found = editor->findChild<Widget*>(name);
        if (!found)
            throw std::runtime_error(name.toStdString());
        return *found;
    }
    QSlider& slider(const QString& name) const { return *editor->findChild<QSlider*>(name); }
    QPointF at(double x, double y) const
    {
        const QRectF canvas = overlay().canvas();
        return canvas.topLeft() + QPointF(x * canvas.width(), y * canvas.height());
    }
    void mouse(QEvent::Type type, QPointF position)
    {
        QMouseEvent event(type, position, overlay().mapToGlobal(position), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&overlay(), &event);
    }
    // Presses at from, moves through each of to and lets go at the last.
    void drag(QPointF from, const QList<QPointF>& to)
    {
        mouse(QEvent::MouseButtonPress, from);
        for (QPointF position : to)
            mouse(QEvent::MouseMove, position);
        mouse(QEvent::MouseButtonRelease, to.isEmpty() ? from : to.last());
    }
    int edits() const { return engine->editHistory()->count(); }
    void shot(const QString& name)
    {
        QApplication::processEvents();
        saveShot(*editor, name);
    }

    std::unique_ptr<ProjectionMappingEditor> editor;
};

TEST_F(MappingEditorTest, ADefaultMappingShowsNoHandlesUntilResetThenCornersStickWhereTheyWouldFold)
{
    EXPECT_FALSE(control("启用投影校正").isChecked());
    drag(at(0, 0), {at(0.3, 0.3)});
    EXPECT_FALSE(engine->show().projectorMappings) << "nothing to drag while the correction is off";

    control("重置本路").click();
    EXPECT_TRUE(mapping().enabled);
    EXPECT_TRUE(control("启用投影校正").isChecked());
    EXPECT_EQ(overlay().pointPosition(2), at(1, 1));
    shot("mapping-editor-corners");

    const int before = edits();
    drag(at(0, 0), {at(0.9, 0.9), at(0.5, 0.5), at(0.2, 0.1), at(0.95, 0.95)});
    EXPECT_EQ(mapping().corners[0], QPointF(0.2, 0.1)) << "the corner stays where the quad was last convex";
    EXPECT_EQ(edits(), before + 1) << "one drag is one undo step";
    drag(at(1, 1), {at(0.9, 0.8)});
    EXPECT_EQ(mapping().corners[2], QPointF(0.9, 0.8));
    EXPECT_EQ(editor->state().selection().selectedNode, 0) << "a corner drag selects nothing";

    // Undo and redo while the editor has the focus.
    editor->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return editor->isActiveWindow(); }));
    QTest::keyClick(editor.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(mapping().corners[2], QPointF(1, 1));
    QTest::keyClick(editor.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(mapping().corners[2], QPointF(0.9, 0.8));
}

TEST_F(MappingEditorTest, TheMeshShowsItsNodesAndTheSelectedNodesBezierHandles)
{
    control("重置本路").click();
    control("启用曲面网格").click();
    ASSERT_TRUE(mapping().mesh);
    ASSERT_EQ(editor->preview()->kind(), MappedOutput::Kind::curved);
    EXPECT_EQ(mapping().mesh->size(), 9);
    EXPECT_EQ(named<Stepper>("rows").labelText(), "行 3");
    EXPECT_EQ(named<Stepper>("columns").labelText(), "列 3");
    EXPECT_FALSE(overlay().handlePosition(Handle::left)) << "the top-left node has no left handle";
    EXPECT_TRUE(overlay().handlePosition(Handle::down));

    drag(at(0.5, 0.5), {at(0.55, 0.45)});
    EXPECT_EQ(editor->state().selection().selectedNode, 4);
    for (Handle handle : {Handle::left, Handle::right, Handle::up, Handle::down})
        EXPECT_TRUE(overlay().handlePosition(handle));
    const QPointF right = *overlay().handlePosition(Handle::right);
    drag(right, {right + QPointF(20, 30)});
    const QPointF node = mapping().mesh->at(4);
    const QPointF mirrored = node * 2 - *mapping().handle(Handle::right, 4);
    EXPECT_NEAR(mapping().handle(Handle::left, 4)->x(), mirrored.x(), 1e-9);
    EXPECT_NEAR(mapping().handle(Handle::left, 4)->y(), mirrored.y(), 1e-9);
    shot("mapping-editor-mesh");

    named<Stepper>("rows").findChild<QAbstractButton*>("stepUp")->click();
    EXPECT_EQ(mapping().meshPoints().size(), 12);
    EXPECT_EQ(editor->state().selection().selectedNode, 0);
    control("启用曲面网格").click();
    EXPECT_FALSE(mapping().mesh);
    EXPECT_EQ(mapping().meshRows, 4) << "the sizes stay for the next time";
    EXPECT_EQ(overlay().pointPosition(1), at(1, 0));
}

TEST_F(MappingEditorTest, TheMaskIsEditedPointByPoint)
{
    control("重置本路").click();
    control("启用多边形遮罩").click();
    EXPECT_TRUE(editor->state().selection().editingMask);
    EXPECT_TRUE(control("编辑遮罩").isChecked());
    EXPECT_TRUE(control("删点").isEnabled());
    drag(at(1, 1), {at(0.8, 0.9)});
    EXPECT_EQ(editor->state().selection().selectedMaskPoint, 2);
    control("加点").click();
    EXPECT_EQ(mapping().polygonMask->size(), 5);
    EXPECT_EQ(editor->state().selection().selectedMaskPoint, 3);
    shot("mapping-editor-mask");
    control("删点").click();
    control("删点").click();
    EXPECT_EQ(mapping().polygonMask->size(), 3);
    EXPECT_FALSE(control("删点").isEnabled());
    control("启用多边形遮罩").click();
    EXPECT_FALSE(mapping().polygonMask);
    EXPECT_FALSE(editor->state().selection().editingMask);
    EXPECT_FALSE(control("加点").isVisible());
}

// A traced mask of thousands of points: its handles are drawn off the main thread and show once drawn, each point
// still takes a drag, and the dragged point shows where it is dropped before the next drawing is ready.
TEST_F(MappingEditorTest, AMaskOfManyPointsShowsItsHandlesAndEachPointStillDrags)
{
    ProjectorMapping traced = MappingPointEdits::resetMapping();
    QList<QPointF> points;
    for (int k = 0; k < 5000; ++k) {
        const double angle = 2 * M_PI * k / 5000;
        points.append({0.5 + 0.3 * std::cos(angle), 0.5 + 0.3 * std::sin(angle)});
    }
    traced.polygonMask = points;
    engine->setMapping(traced, first());
    control("编辑遮罩").click();
    ASSERT_TRUE(waitUntil([&] { return overlay().showsAllHandles(); }));
    QApplication::processEvents();
    QImage shown = overlay().grab().toImage();
    const auto colourAt = [&](QPointF at) { return shown.pixelColor(at.toPoint()); };
    EXPECT_EQ(colourAt(overlay().pointPosition(2500)), ConsoleColors::cyan());
    EXPECT_EQ(colourAt(overlay().pointPosition(0)), ConsoleColors::yellow()) << "the selected point";
    EXPECT_EQ(colourAt(at(0.5, 0.5)).alpha(), 0) << "nothing inside the outline";
    shot("mapping-editor-traced-mask");

    const QPointF from = overlay().pointPosition(1250);
    drag(from, {at(0.5, 0.6)});
    const int dragged = editor->state().selection().selectedMaskPoint;
    EXPECT_NEAR(dragged, 1250, 50) << "the point on top under the pointer";
    EXPECT_EQ(mapping().polygonMask->at(dragged), QPointF(0.5, 0.6));
    EXPECT_LE(QLineF(overlay().pointPosition(dragged), at(0.5, 0.6)).length(), 1);
    shown = overlay().grab().toImage();
    EXPECT_EQ(colourAt(at(0.5, 0.6)), ConsoleColors::yellow()) << "the dragged point shows at once where it lies";
    ASSERT_TRUE(waitUntil([&] { return overlay().showsAllHandles(); }));
}

TEST_F(MappingEditorTest, StitchingSplitsThePictureOverTheBoundScreens)
{
    giveScreens(2);
    connectDisplays({display(1), display(2)});
    auto& stitch = control("横向拼接已绑定屏幕");
    EXPECT_EQ(editor->findChild<QLabel*>("overlapText")->text(), "12%");
    engine->bind(first(), 1);
    EXPECT_FALSE(stitch.isEnabled());
    const ScreenRole second = engine->show().screens()[1];
    engine->bind(second, 2);
    EXPECT_TRUE(stitch.isEnabled());
    stitch.click();
    EXPECT_NEAR(engine->mapping(first()).crop.width(), 0.5319, 1e-4);
    EXPECT_NEAR(engine->mapping(second).crop.x(), 0.4680, 1e-4);
    EXPECT_EQ(engine->mapping(second).source, first());
}

TEST_F(MappingEditorTest, ChangingScreenOrAirOrShowingTheWindowResetsWhatItShould)
{
    giveScreens(2);
    const ScreenRole second = engine->show().screens()[1];
    control("重置本路").click();
    control("启用多边形遮罩").click();
    named<ScreenRolePicker>("投影输出").pick(second);
    EXPECT_FALSE(editor->state().selection().editingMask);
    EXPECT_EQ(editor->preview()->role(), second);
    control("重置本路").click();
    EXPECT_TRUE(engine->mapping(second).enabled);
    engine->removeScreen(second);
    EXPECT_EQ(editor->state().screen(), first());

    EXPECT_TRUE(control("预览校准网格").isChecked());
    engine->take(stillCue("一", Qt::red));
    EXPECT_FALSE(control("预览校准网格").isChecked());
    control("预览校准网格").click();
    engine->stop(true);
    EXPECT_TRUE(control("预览校准网格").isChecked()) << "going off air changes nothing";

    engine->setProjectionTestPattern(true);
    editor->hide();
    editor->show();
    EXPECT_FALSE(engine->projectionTestPattern());
}

TEST_F(MappingEditorTest, SlidersAndFieldsWriteTheWholeRecordAndADragIsOneStep)
{
    ProjectorMapping handEdited = MappingPointEdits::resetMapping();
    handEdited.edges = {0.2};
    engine->setMapping(handEdited, first());
    EXPECT_EQ(slider("下").value(), 0) << "a missing blend width reads as 0";
    EXPECT_EQ(editor->findChild<QLabel*>("blackLevelText")->text(), "0%");

    const int before = edits();
    QSlider& top = slider("上");
    top.setSliderDown(true);
    for (int value : {50, 80, 120})
        top.setValue(value);
    top.setSliderDown(false);
    EXPECT_EQ(mapping().edges, (QList<double>{0.2, 0, 0.12, 0}));
    EXPECT_EQ(edits(), before + 1);
    // Closing the window with a slider held down still ends its drag: the next edit is a step of its own.
    top.setSliderDown(true);
    top.setValue(150);
    editor->hide();
    engine->setMapping(handEdited, first());
    EXPECT_EQ(edits(), before + 3);
    editor->show();

    slider("黑位补偿").setValue(50);
    EXPECT_EQ(mapping().blackLevel, 0.05);
    EXPECT_EQ(editor->findChild<QLabel*>("blackLevelText")->text(), "5%");

    auto* width = editor->findChild<NumberField*>("宽");
    width->setText("1.5");
    width->setModified(true);
    emit width->returnPressed();
    EXPECT_EQ(mapping().crop.width(), 1);
    EXPECT_EQ(width->text(), "1");
}

// A real output window on the X server's display follows a corner dragged in the editor.
TEST(MappingEditorOutput, TheOutputWindowFollowsACornerDrag)
{
    QTemporaryDir folder;
    Engine engine(true, nullptr, folder.path(), realOutputServices());
    const ScreenRole screen = engine.show().screens().first();
    QImage picture(1920, 1080, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 160));
    engine.program(screen)->setImage(picture);
    // Bound before the editor is shown: a display that holds the focused window is not given to an output.
    engine.bind(screen, engine.displays().first().number);
    ASSERT_TRUE(engine.displayBindings().hasWindow(screen));

    ProjectionMappingEditor editor(engine);
    editor.resize(980, 570);
    editor.show();
    ASSERT_TRUE(waitUntil([&] { return editor.windowHandle() && editor.windowHandle()->isExposed(); }));
    button(editor, "重置本路")->click();
    MappingOverlay& overlay = *editor.overlay();
    const QRectF canvas = overlay.canvas();
    for (auto [type, at] :
         {std::pair{QEvent::MouseButtonPress, QPointF(0, 0)}, std::pair{QEvent::MouseMove, QPointF(0.3, 0.25)},
          std::pair{QEvent::MouseButtonRelease, QPointF(0.3, 0.25)}}) {
        const QPointF position = canvas.topLeft() + QPointF(at.x() * canvas.width(), at.y() * canvas.height());
        QMouseEvent event(type, position, overlay.mapToGlobal(position), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&overlay, &event);
    }
    ASSERT_EQ(engine.mapping(screen).corners[0], QPointF(0.3, 0.25));

    // Left of the quad's new left side the display is black; its middle still shows the picture. (With no window
    // manager the editor stays above the output window, over the display's top-left.)
    QImage capture;
    EXPECT_TRUE(waitUntil([&] {
        capture = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        return capture.pixelColor(150, 800) == QColor(Qt::black) &&
               capture.pixelColor(1200, 700) == QColor(40, 90, 160);
    }));
    QImage shot(capture.width() / 2 + 980, std::max(capture.height() / 2, 570), QImage::Format_RGB32);
    shot.fill(Qt::darkGray);
    QPainter painter(&shot);
    painter.drawImage(QRect(0, 0, capture.width() / 2, capture.height() / 2), capture);
    painter.drawImage(capture.width() / 2, 0, editor.grab().toImage());
    painter.end();
    QDir().mkpath(LUMO_TEST_SHOTS);
    shot.save(QStringLiteral(LUMO_TEST_SHOTS "/mapping-editor-output-follows.png"));
}
