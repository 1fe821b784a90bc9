#include "eventwait.h"
#include "meshfixtures.h"
#include "offscreenmeshrenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

static QImage filled(QColor colour, QSize size = {64, 64})
{
    QImage image(size, QImage::Format_RGBA8888);
    image.fill(colour);
    return image;
}

static MeshInputs stillInputs(const ProjectorMapping& mapping, const QImage& image = filled(Qt::white))
{
    MeshInputs inputs;
    inputs.mapping = mapping;
    inputs.image = image;
    return inputs;
}

// The inputs taken in, with the mask's field once it is made.
static void takeIn(MeshRenderer& renderer, const MeshInputs& inputs)
{
    renderer.update(inputs);
    EXPECT_TRUE(waitUntil([&] {
        renderer.update(inputs);
        return !renderer.waitsForMask();
    }));
}

class MeshRendering : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(gl.isValid()) << gl.errorText().toStdString(); }

    // A renderer showing a video item; a new item drops whatever frame was held before it, so frames come after.
    MeshInputs videoInputs(const QImage& still = filled(Qt::white))
    {
        MeshInputs inputs = stillInputs(ProjectorMapping(), still);
        inputs.frames = frames;
        inputs.item = 1;
        gl.renderer().update(inputs);
        return inputs;
    }

    QImage render(const MeshInputs& inputs, QSize size, const QString& shot)
    {
        takeIn(gl.renderer(), inputs);
        const QImage image = gl.render(size);
        saveShot(image, shot);
        return image;
    }

    OffscreenMeshRenderer gl;
    std::shared_ptr<MeshFrames> frames = std::make_shared<MeshFrames>();
};

static bool allBlack(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0)
                return false;
    return true;
}

TEST_F(MeshRendering, BlackSwitchAndMissingMappingDrawBlack)
{
    const QImage before = gl.render(QSize(64, 64));
    ASSERT_FALSE(before.isNull());
    EXPECT_TRUE(allBlack(before));

    MeshInputs inputs = stillInputs(ProjectorMapping());
    inputs.black = true;
    EXPECT_TRUE(allBlack(render(inputs, QSize(96, 54), "mesh-black")));
    inputs.black = false;
    EXPECT_EQ(render(inputs, QSize(96, 54), "mesh-white").pixelColor(48, 27), QColor(Qt::white));
}

// Frames that arrive while the output is black or shows the grid are not uploaded; the newest shows afterwards.
TEST_F(MeshRendering, FramesGoUpOnlyWhenTheyAreShown)
{
    MeshInputs inputs = videoInputs();
    for (const bool grid : {false, true}) {
        inputs.black = !grid;
        inputs.pattern = grid;
        gl.renderer().update(inputs);
        const int before = gl.renderer().work().frameUploads;
        for (std::uint64_t serial = 1; serial <= 3; ++serial) {
            frames->receive(rgbaFrame(filled(serial == 3 ? Qt::green : Qt::red, {16, 16}), serial + (grid ? 10 : 0)),
                            1);
            gl.render(QSize(32, 32));
        }
        EXPECT_EQ(gl.renderer().work().frameUploads, before);
        inputs.black = inputs.pattern = false;
        EXPECT_EQ(render(inputs, QSize(32, 32), "mesh-after-black").pixelColor(16, 16), QColor(Qt::green));
        EXPECT_EQ(gl.renderer().work().frameUploads, before + 1);
    }
}

TEST_F(MeshRendering, CalibrationGridDrawsCyanLinesOnBlack)
{
    MeshInputs inputs = stillInputs(ProjectorMapping());
    inputs.pattern = true;
    const QImage image = render(inputs, QSize(600, 600), "mesh-grid");
    const QColor cyan(0, 217, 230);
    EXPECT_TRUE(near(image.pixelColor(30, 15), cyan)) << image.pixelColor(30, 15).name().toStdString();
    EXPECT_TRUE(near(image.pixelColor(15, 300), cyan));
    EXPECT_TRUE(near(image.pixelColor(300, 299), cyan));
    EXPECT_EQ(image.pixelColor(15, 15), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(345, 405), QColor(Qt::black));
}

TEST_F(MeshRendering, EdgeBlendsRampUpAcrossTheirWidthFromTheirOwnSide)
{
    ProjectorMapping mapping;
    mapping.edges = {0.5, 0, 0, 0};
    const QImage image = render(stillInputs(mapping), QSize(256, 64), "mesh-blend-left");
    int previous = -1;
    for (int x = 0; x < 256; x += 8) {
        const int level = image.pixelColor(x, 32).red();
        const double expected = 255 * std::min((x + 0.5) / 256 / 0.5, 1.0);
        EXPECT_NEAR(level, expected, 3) << "column " << x;
        EXPECT_GE(level, previous);
        previous = level;
    }
    EXPECT_EQ(image.pixelColor(250, 10), QColor(Qt::white));

    mapping.edges = {0, 0, 0.25, 0};
    const QImage top = render(stillInputs(mapping), QSize(64, 256), "mesh-blend-top");
    EXPECT_LT(top.pixelColor(32, 1).red(), 5);
    EXPECT_NEAR(top.pixelColor(32, 32).red(), 128, 4);
    EXPECT_EQ(top.pixelColor(32, 254), QColor(Qt::white));
}

TEST_F(MeshRendering, PolygonMaskKeepsInsideWithAOnePixelEdge)
{
    ProjectorMapping mapping;
    mapping.polygonMask = QList<QPointF>{{0.2, 0.2}, {0.8, 0.3}, {0.5, 0.85}};
    const QImage image = render(stillInputs(mapping), QSize(256, 256), "mesh-polygon");
    EXPECT_EQ(image.pixelColor(128, 120), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(240, 240), QColor(Qt::black));
    for (int y : {100, 128, 160}) {
        int partial = 0;
        for (int x = 0; x < 256; ++x) {
            const int level = image.pixelColor(x, y).red();
            partial += level > 8 && level < 247;
        }
        EXPECT_LE(partial, 4) << "row " << y;
    }
}

// A mask of many points is measured on a pool thread: until its field is made the renderer draws the mask it had
// (a renderer with none yet draws nothing), and an update after that draws the new one.
TEST_F(MeshRendering, AMaskOfManyPointsKeepsTheMaskShownBeforeUntilItsFieldIsMade)
{
    ProjectorMapping mapping;
    mapping.polygonMask = QList<QPointF>{{0, 0}, {0.45, 0}, {0.45, 1}, {0, 1}};
    const QSize size(128, 64);
    const QImage left = render(stillInputs(mapping), size, "mesh-mask-before-many-points");
    mapping.polygonMask = manyPointCircle(200000, {0.75, 0.5}, 0.2);
    const MeshInputs inputs = stillInputs(mapping);

    OffscreenMeshRenderer fresh;
    fresh.renderer().update(inputs);
    gl.renderer().update(inputs);
    EXPECT_TRUE(gl.renderer().waitsForMask());
    EXPECT_EQ(gl.render(size), left);
    EXPECT_TRUE(allBlack(fresh.render(size)));

    const QImage right = render(inputs, size, "mesh-mask-many-points");
    EXPECT_EQ(right.pixelColor(96, 32), QColor(Qt::white));
    EXPECT_EQ(right.pixelColor(20, 32), QColor(Qt::black));
    takeIn(fresh.renderer(), inputs);
    EXPECT_EQ(fresh.render(size), right);
}

TEST_F(MeshRendering, BlackLevelLiftRaisesTheDarkParts)
{
    ProjectorMapping mapping;
    mapping.blackLevel = 0.2;
    const QImage image = render(stillInputs(mapping, filled(Qt::black)), QSize(64, 64), "mesh-lift");
    EXPECT_TRUE(near(image.pixelColor(32, 32), QColor(51, 51, 51), 2));
}

TEST_F(MeshRendering, StillOfAnotherAspectFillsTheCroppedAreaCutOnOneAxis)
{
    ProjectorMapping mapping;
    const QImage still = bands(QSize(400, 100), {Qt::red, Qt::green, Qt::blue, Qt::yellow});
    const QImage image = render(stillInputs(mapping, still), QSize(200, 200), "mesh-still-fill");
    for (int y : {1, 100, 198}) {
        EXPECT_EQ(image.pixelColor(2, y), QColor(Qt::green));
        EXPECT_EQ(image.pixelColor(90, y), QColor(Qt::green));
        EXPECT_EQ(image.pixelColor(110, y), QColor(Qt::blue));
        EXPECT_EQ(image.pixelColor(197, y), QColor(Qt::blue));
    }

    mapping.crop = QRectF(0.5, 0, 0.5, 1);
    const QImage cropped = render(stillInputs(mapping, still.scaled(200, 100)), QSize(100, 100), "mesh-crop");
    EXPECT_EQ(cropped.pixelColor(10, 50), QColor(Qt::blue));
    EXPECT_EQ(cropped.pixelColor(90, 50), QColor(Qt::yellow));
}

TEST_F(MeshRendering, CornerPinnedQuadFollowsTheCorners)
{
    ProjectorMapping mapping;
    mapping.corners = {{0.2, 0.1}, {0.8, 0.1}, {0.95, 0.9}, {0.05, 0.9}};
    const QImage image = render(stillInputs(mapping), QSize(200, 200), "mesh-corner-pin");
    EXPECT_EQ(image.pixelColor(100, 100), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(20, 170), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(20, 30), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(185, 30), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(100, 10), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(100, 190), QColor(Qt::black));
}

TEST_F(MeshRendering, VideoFrameReplacesTheStillAndOutlivesAnItemChange)
{
    MeshInputs inputs = videoInputs(filled(Qt::blue, {16, 16}));
    EXPECT_EQ(render(inputs, QSize(32, 32), "mesh-video-before").pixelColor(16, 16), QColor(Qt::blue));
    frames->receive(rgbaFrame(filled(Qt::red, {16, 16}), 1), 1);
    EXPECT_EQ(render(inputs, QSize(32, 32), "mesh-video-frame").pixelColor(16, 16), QColor(Qt::red));

    // The next item keeps the last frame up until a frame of its own comes; a late frame of the old one never shows.
    inputs.item = 2;
    EXPECT_TRUE(gl.renderer().update(inputs));
    frames->receive(rgbaFrame(filled(Qt::green, {16, 16}), 2), 1);
    EXPECT_EQ(gl.render(QSize(32, 32)).pixelColor(16, 16), QColor(Qt::red));
    frames->receive(rgbaFrame(filled(Qt::cyan, {16, 16}), 3), 2);
    EXPECT_EQ(gl.render(QSize(32, 32)).pixelColor(16, 16), QColor(Qt::cyan));

    inputs.item.reset();
    EXPECT_EQ(render(inputs, QSize(32, 32), "mesh-video-gone").pixelColor(16, 16), QColor(Qt::blue));
}

TEST_F(MeshRendering, PlanarYuvIsConvertedToRgbAndRotatedVideoIsDrawnUpright)
{
    const MeshInputs inputs = videoInputs();
    frames->receive(i420Frame(QSize(64, 48), 81, 90, 240, 3), 1);
    const QImage yuv = render(inputs, QSize(64, 48), "mesh-video-i420");
    EXPECT_TRUE(near(yuv.pixelColor(32, 24), QColor(255, 0, 0), 4)) << yuv.pixelColor(32, 24).name().toStdString();

    // Stored landscape, shown portrait: a quarter turn clockwise puts the left half on top.
    frames->receive(rgbaFrame(bands(QSize(200, 100), {Qt::red, Qt::green}), 4, QTransform(0, 1, -1, 0, 100, 0)), 1);
    const QImage image = render(inputs, QSize(100, 200), "mesh-video-rotated");
    EXPECT_EQ(image.pixelColor(50, 5), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(5, 95), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(95, 105), QColor(Qt::green));
    EXPECT_EQ(image.pixelColor(50, 195), QColor(Qt::green));
}

TEST_F(MeshRendering, ShaderThatFailsToCompileShowsBlackAndSaysWhy)
{
    MeshShaderSource broken = MeshShaderSource::builtIn();
    broken.pictureFragment.replace(QStringLiteral("colourOut = vec4(colour"),
                                   QStringLiteral("colourOut = vec4(undefinedThing"));
    OffscreenMeshRenderer failing(broken);
    ASSERT_TRUE(failing.isValid());
    failing.renderer().update(stillInputs(ProjectorMapping()));
    const QImage image = failing.render(QSize(32, 32));
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(allBlack(image));
    EXPECT_TRUE(failing.errorText().contains(QStringLiteral("着色器"))) << failing.errorText().toStdString();
    EXPECT_TRUE(allBlack(failing.render(QSize(32, 32))));
    EXPECT_TRUE(gl.errorText().isEmpty());
}

TEST_F(MeshRendering, CurvedMeshBendsTheGrid)
{
    ProjectorMapping mapping;
    QList<QPointF> nodes = mapping.meshPoints();
    nodes[4] = {0.6, 0.35};
    mapping.mesh = nodes;
    mapping.edges = {0.1, 0.1, 0.1, 0.1};
    mapping.polygonMask = QList<QPointF>{{0.05, 0.05}, {0.95, 0.05}, {0.95, 0.95}, {0.05, 0.95}};
    MeshInputs inputs = stillInputs(mapping);
    inputs.pattern = true;
    const QImage image = render(inputs, QSize(640, 640), "mesh-curved-grid");
    // The picture's centre lines now cross at the moved node.
    EXPECT_TRUE(near(image.pixelColor(384, 224), QColor(0, 217, 230), 6));
    EXPECT_EQ(image.pixelColor(320, 320), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(3, 3), QColor(Qt::black));
}

static bool isGridPixel(const QImage& image, int x, int y)
{
    const QColor colour = image.pixelColor(x, y);
    return colour.green() > 100 && colour.red() < 60;
}

// Drawn far smaller than the output, the grid's lines are thinner than a pixel; slanted, they must still show
// unbroken.
TEST_F(MeshRendering, GridLinesStayContinuousWhenDrawnSmall)
{
    // Every node squeezed and sheared alike: the horizontal lines become straight lines that climb to the right.
    const auto place = [](QPointF node) { return QPointF(node.x(), 0.05 + 0.9 * node.y() - 0.04 * (node.x() - 0.5)); };
    ProjectorMapping mapping;
    QList<QPointF> nodes = mapping.meshPoints();
    std::transform(nodes.begin(), nodes.end(), nodes.begin(), place);
    mapping.mesh = nodes;
    MeshInputs inputs = stillInputs(mapping);
    inputs.pattern = true;
    for (const QSize size : {QSize(320, 180), QSize(213, 120)}) {
        SCOPED_TRACE(size.width());
        const QImage image = render(inputs, size, QStringLiteral("mesh-grid-small-%1").arg(size.width()));
        for (int line = 0; line <= 20; ++line) {
            int gaps = 0;
            for (int x = 0; x < size.width(); ++x) {
                const int y = int(place(QPointF((x + 0.5) / size.width(), line / 20.0)).y() * size.height());
                gaps += !isGridPixel(image, x, y - 1) && !isGridPixel(image, x, y) && !isGridPixel(image, x, y + 1);
            }
            EXPECT_EQ(gaps, 0) << "line " << line;
        }
    }
}

// The default mapping at the picture's own size passes every pixel through unchanged, however fine the detail.
TEST_F(MeshRendering, OnePixelCheckerboardPassesExactlyAtOneToOne)
{
    for (const QSize size : {QSize(1920, 1080), QSize(3840, 2160)}) {
        SCOPED_TRACE(size.height());
        QImage board(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(board.scanLine(y));
            for (int x = 0; x < size.width(); ++x)
                line[x] = (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        }
        gl.renderer().update(stillInputs(ProjectorMapping(), board));
        const QImage shown = gl.render(size).convertToFormat(QImage::Format_RGB32);
        int worst = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                worst = std::max(worst, std::abs(qRed(shown.pixel(x, y)) - qRed(board.pixel(x, y))));
        EXPECT_EQ(worst, 0);
    }
}

// Dragging a node redraws only the part of the warp map around it; the picture is the same as drawn afresh.
TEST_F(MeshRendering, ADraggedNodeRedrawsTheSamePictureAsAFreshRenderer)
{
    ProjectorMapping mapping;
    mapping.meshRows = 5;
    mapping.meshColumns = 5;
    mapping.mesh = mapping.meshPoints();
    mapping.edges = {0.1, 0.1, 0.1, 0.1};
    MeshInputs inputs = stillInputs(mapping, bands(QSize(160, 90), {Qt::red, Qt::green, Qt::blue, Qt::yellow}));
    render(inputs, QSize(320, 180), "mesh-drag-before");
    for (const QPointF step : {QPointF(0.04, 0.03), QPointF(-0.02, 0.05)}) {
        (*inputs.mapping.mesh)[12] += step;
        const QImage dragged = render(inputs, QSize(320, 180), "mesh-drag-after");
        OffscreenMeshRenderer fresh;
        takeIn(fresh.renderer(), inputs);
        EXPECT_EQ(dragged, fresh.render(QSize(320, 180)));
    }
}

// Blend, gamma, lift and polygon edits redraw only the masks; each picture, and a node dragged after them, is the
// same as drawn afresh.
TEST_F(MeshRendering, MaskEditsRedrawTheSamePictureAsAFreshRenderer)
{
    ProjectorMapping mapping;
    mapping.meshRows = 5;
    mapping.meshColumns = 5;
    mapping.mesh = mapping.meshPoints();
    (*mapping.mesh)[12] += QPointF(0.05, -0.04);
    MeshInputs inputs = stillInputs(mapping, bands(QSize(160, 90), {Qt::red, Qt::green, Qt::blue, Qt::yellow}));
    render(inputs, QSize(320, 180), "mesh-mask-edit-before");
    const std::vector<std::function<void(ProjectorMapping&)>> edits = {
        [](ProjectorMapping& m) {
            m.edges = {0.15, 0.05, 0.1, 0.2};
        },
        [](ProjectorMapping& m) { m.gamma = 2.2; },
        [](ProjectorMapping& m) { m.blackLevel = 0.1; },
        [](ProjectorMapping& m) {
            m.polygonMask = QList<QPointF>{{0.1, 0.1}, {0.9, 0.2}, {0.6, 0.9}};
        },
        [](ProjectorMapping& m) { (*m.polygonMask)[0] += QPointF(0.05, 0.03); },
        [](ProjectorMapping& m) { (*m.mesh)[6] += QPointF(-0.03, 0.02); },
    };
    for (size_t i = 0; i < edits.size(); ++i) {
        edits[i](inputs.mapping);
        const QImage edited = render(inputs, QSize(320, 180), "mesh-mask-edit-after");
        OffscreenMeshRenderer fresh;
        takeIn(fresh.renderer(), inputs);
        EXPECT_EQ(edited, fresh.render(QSize(320, 180))) << "edit " << i;
    }
}

// Whatever a mapping holds, the mapping after it draws the same picture as a renderer that never saw it.
TEST_F(MeshRendering, NoMappingLeavesItsMarkOnTheNext)
{
    const double huge = 1e308;
    const std::vector<std::pair<const char*, std::function<void(ProjectorMapping&)>>> hostile = {
        {"edges",
         [=](ProjectorMapping& m) {
             m.edges = {huge, -huge, huge, 5e-324};
         }},
        {"gamma 0", [](ProjectorMapping& m) { m.gamma = 0; }},
        {"gamma huge", [=](ProjectorMapping& m) { m.gamma = huge; }},
        {"corners far",
         [=](ProjectorMapping& m) {
             m.corners = {{huge, huge}, {1, 0}, {1, 1}, {0, 1}};
         }},
        {"corners round everything",
         [=](ProjectorMapping& m) {
             m.corners = {{-huge, -huge}, {huge, -huge}, {huge, huge}, {-huge, huge}};
         }},
        {"mesh node far",
         [=](ProjectorMapping& m) {
             m.mesh = m.meshPoints();
             (*m.mesh)[4] = {huge, -huge};
         }},
        {"polygon far",
         [=](ProjectorMapping& m) {
             m.polygonMask = QList<QPointF>{{-huge, -huge}, {huge, 0}, {0, huge}};
         }},
        {"black level huge", [=](ProjectorMapping& m) { m.blackLevel = huge; }},
        {"crop huge", [=](ProjectorMapping& m) { m.crop = QRectF(huge, -huge, huge, huge); }},
    };
    ProjectorMapping ordinary;
    ordinary.enabled = true;
    ordinary.edges = {0.1, 0, 0, 0.1};
    const MeshInputs after = stillInputs(ordinary, bands(QSize(160, 90), {Qt::red, Qt::green, Qt::blue, Qt::yellow}));
    OffscreenMeshRenderer fresh;
    takeIn(fresh.renderer(), after);
    const QImage expected = fresh.render(QSize(192, 108));
    for (const auto& [name, change] : hostile) {
        SCOPED_TRACE(name);
        MeshInputs before = after;
        change(before.mapping);
        render(before, QSize(192, 108), "mesh-hostile-mapping");
        EXPECT_EQ(render(after, QSize(192, 108), "mesh-after-hostile-mapping"), expected);
    }
}
