#include "curvedprojectionview.h"
#include "displayprovider.h"
#include "engine.h"
#include "eventwait.h"
#include "fakeplayer.h"
#include "mappedoutput.h"
#include "meshfixtures.h"
#include "meshview.h"
#include "picture.h"
#include "projectorinput.h"
#include "warpedoutput.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

class NoDisplays : public DisplayProvider
{
  public:
    QList<DisplayScreen> displays() const override { return {}; }
};

const ScreenRole kFirst{QStringLiteral("屏幕 1")};
const ScreenRole kSecond{QStringLiteral("屏幕 2")};
const QList<QColor> kBands{Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::magenta};

} // namespace

class MappedOutputs : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        Engine::Services services;
        services.displays = std::make_shared<NoDisplays>();
        services.players = fakePlayers();
        engine = std::make_unique<Engine>(false, nullptr, folder.path(), services);
        Show show = engine->show();
        show.outputScreens = QList<ScreenRole>{kFirst, kSecond};
        engine->setShow(show);
        engine->program(kFirst)->setImage(bands({160, 90}, kBands));
        engine->program(kSecond)->setImage(bands({160, 90}, {Qt::white}));
    }
    static ProjectorMapping enabled()
    {
        ProjectorMapping mapping;
        mapping.enabled = true;
        return mapping;
    }
    static ProjectorMapping curved()
    {
        ProjectorMapping mapping = enabled();
        QList<QPointF> nodes = mapping.meshPoints();
        nodes[4] += QPointF(0.1, 0.05);
        mapping.mesh = nodes;
        mapping.edges = {0.2, 0.2, 0, 0};
        return mapping;
    }

    QTemporaryDir folder;
    std::unique_ptr<Engine> engine;
};

TEST_F(MappedOutputs, ChoosesHowToDraw)
{
    ProjectorMapping fromSecond = enabled();
    fromSecond.source = kSecond;
    struct Case
    {
        const char* what;
        ProjectorMapping mapping;
        bool editingMask;
        MappedOutput::Kind kind;
    };
    const Case cases[] = {
        {"off", ProjectorMapping(), false, MappedOutput::Kind::plain},
        {"corner pin", enabled(), false, MappedOutput::Kind::warped},
        {"mesh", curved(), false, MappedOutput::Kind::curved},
        {"mesh while a mask is drawn", curved(), true, MappedOutput::Kind::warped},
        {"another screen's picture", fromSecond, false, MappedOutput::Kind::warped},
    };
    MappedOutput output(engine.get(), kFirst, false, false, false);
    for (const Case& c : cases) {
        engine->setMapping(c.mapping, kFirst);
        output.setEditingMask(c.editingMask);
        EXPECT_EQ(output.kind(), c.kind) << c.what;
    }
    // Updates in place while the kind stays.
    QWidget* inner = output.content();
    ProjectorMapping moved = fromSecond;
    moved.corners[0] = {0.1, 0.1};
    engine->setMapping(moved, kFirst);
    EXPECT_EQ(output.content(), inner);

    // A source screen that left the show falls back to the screen's own picture, uncorrected.
    ProjectorMapping gone = enabled();
    gone.source = ScreenRole{QStringLiteral("屏幕 9")};
    engine->setMapping(gone, kSecond);
    MappedOutput second(engine.get(), kSecond, false, false, false);
    EXPECT_EQ(second.kind(), MappedOutput::Kind::warped);
    MappedOutput missing(engine.get(), ScreenRole{QStringLiteral("屏幕 9")}, false, false, false);
    EXPECT_EQ(missing.kind(), MappedOutput::Kind::none);
}

TEST_F(MappedOutputs, TestPatternReachesRealOutputsOnly)
{
    engine->setMapping(enabled(), kFirst);
    MappedOutput window(engine.get(), kFirst, true, false, false);
    MappedOutput monitor(engine.get(), kFirst, false, false, false);
    MappedOutput editor(engine.get(), kFirst, false, true, false);
    const auto pattern = [](MappedOutput& output) {
        return static_cast<WarpedOutput*>(output.content())->content()->testPattern();
    };
    EXPECT_FALSE(pattern(window));
    EXPECT_TRUE(pattern(editor));
    engine->setProjectionTestPattern(true);
    EXPECT_TRUE(pattern(window));
    EXPECT_FALSE(pattern(monitor));
    engine->setMapping(ProjectorMapping(), kFirst);
    EXPECT_EQ(window.kind(), MappedOutput::Kind::plain);
}

TEST_F(MappedOutputs, CropFillsTheOutput)
{
    struct Case
    {
        QRectF crop;
        QColor left;
        QColor right;
    };
    const Case cases[] = {
        {{0, 0, 1, 1}, Qt::red, Qt::magenta},
        {{0.5, 0.5, 0.8, 0.8}, Qt::green, Qt::magenta}, // held at 0.2: the region never leaves the picture
        {{0.4, 0, 0.2, 1}, Qt::blue, Qt::blue},
    };
    MappedOutput output(engine.get(), kFirst, false, false, false);
    showOnScreen(output);
    for (const Case& c : cases) {
        ProjectorMapping mapping = enabled();
        mapping.crop = c.crop;
        engine->setMapping(mapping, kFirst);
        const QImage image = grabbed(output);
        EXPECT_TRUE(near(image.pixelColor(2, 45), c.left, 8)) << c.crop.x();
        EXPECT_TRUE(near(image.pixelColor(157, 45), c.right, 8)) << c.crop.x();
    }
    EXPECT_EQ(ProjectorInput::pictureArea({0, 0, 0, 0}, {100, 50}).size(), QSizeF(10000, 5000));
}

TEST_F(MappedOutputs, CornerPinAndMasks)
{
    ProjectorMapping mapping = enabled();
    mapping.corners = {{0, 0}, {0.5, 0.1}, {0.5, 0.9}, {0, 1}};
    mapping.edges = {0, 0.3, 0, 0};
    mapping.blackLevel = 0.1;
    engine->setMapping(mapping, kFirst);
    MappedOutput output(engine.get(), kFirst, true, false, false);
    showOnScreen(output);
    const QImage image = grabbed(output, "mapped-warped");
    auto* warped = static_cast<WarpedOutput*>(output.content());
    EXPECT_TRUE(near(image.pixelColor(4, 45), QColor(255, 26, 26), 10)); // red, lifted
    EXPECT_EQ(image.pixelColor(120, 45), QColor(Qt::black));             // beyond the pinned quad
    EXPECT_EQ(image.pixelColor(75, 3), QColor(Qt::black));               // above its slanted top edge
    EXPECT_LT(image.pixelColor(78, 45).value(), 60);                     // faded at the right edge
    EXPECT_TRUE(warped->hasFade() && warped->hasLift());

    const int builds = warped->maskBuilds();
    mapping.corners[1] = {0.6, 0.1};
    engine->setMapping(mapping, kFirst);
    EXPECT_EQ(warped->maskBuilds(), builds);
    mapping.gamma = 2;
    engine->setMapping(mapping, kFirst);
    EXPECT_EQ(warped->maskBuilds(), builds + 1);
    warped->setTile({0, 0, 0.5, 1});
    EXPECT_EQ(warped->maskBuilds(), builds + 2);

    // Corners that cross show the content uncorrected, still masked.
    std::swap(mapping.corners[0], mapping.corners[1]);
    mapping.edges = {0, 0, 0, 0};
    mapping.blackLevel.reset();
    engine->setMapping(mapping, kFirst);
    warped->setTile({0, 0, 1, 1});
    const QImage uncorrected = grabbed(output, "mapped-warped-nonconvex");
    EXPECT_EQ(uncorrected.pixelColor(157, 45), QColor(Qt::magenta));
    EXPECT_FALSE(warped->hasFade() || warped->hasLift());
}

TEST_F(MappedOutputs, MeshDrawsThroughTheRenderer)
{
    engine->setMapping(curved(), kFirst);
    MappedOutput output(engine.get(), kFirst, false, false, false);
    showOnScreen(output);
    auto* view = static_cast<CurvedProjectionView*>(output.content());
    QImage image;
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        image = view->meshView()->grabFramebuffer();
        return near(image.pixelColor(image.width() / 2, image.height() / 2), Qt::blue, 40);
    }));
    saveShot(image, "mapped-curved");
    EXPECT_LT(image.pixelColor(1, image.height() / 2).value(), 40); // blended to black at the left edge
}
