#include "cropregion.h"
#include "curvedprojectionview.h"
#include "eventwait.h"
#include "fakeplayer.h"
#include "mappedoutput.h"
#include "meshfixtures.h"
#include "picture.h"
#include "projectorinput.h"
#include "screenoutputsource.h"
#include "warpedoutput.h"

#include <QCoreApplication>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

const ScreenRole kFirst{QStringLiteral("屏幕 1")};
const ScreenRole kSecond{QStringLiteral("屏幕 2")};

// Two screens with pictures of their own; mappings and the test pattern set at will.
class TwoScreens : public ScreenOutputSource
{
  public:
    TwoScreens()
    {
        for (const ScreenRole& role : {kFirst, kSecond})
            pictures.insert(role, new Picture(fakePlayers(), this));
    }
    Picture* program(const ScreenRole& role) const override { return pictures.value(role); }
    ProjectorMapping mapping(const ScreenRole& role) const override
    {
        ProjectorMapping mapping = mappings.value(role);
        if (mapping.source && !pictures.contains(*mapping.source))
            mapping.source.reset();
        return mapping;
    }
    bool testPattern() const override { return pattern; }
    void setMapping(const ProjectorMapping& mapping, const ScreenRole& role)
    {
        mappings.insert(role, mapping);
        emit changed();
    }
    void setTestPattern(bool on)
    {
        pattern = on;
        emit changed();
    }

  private:
    QHash<ScreenRole, Picture*> pictures;
    QHash<ScreenRole, ProjectorMapping> mappings;
    bool pattern = false;
};
const QList<QColor> kBands{Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::magenta};

} // namespace

class MappedOutputs : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        screens->program(kFirst)->setImage(bands({160, 90}, kBands));
        screens->program(kSecond)->setImage(bands({160, 90}, {Qt::white}));
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

    std::unique_ptr<TwoScreens> screens = std::make_unique<TwoScreens>();
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
    MappedOutput output(screens.get(), kFirst);
    for (const Case& c : cases) {
        screens->setMapping(c.mapping, kFirst);
        output.setEditingMask(c.editingMask);
        EXPECT_EQ(output.kind(), c.kind) << c.what;
    }
    // Updates in place while the kind stays.
    QWidget* inner = output.content();
    ProjectorMapping moved = fromSecond;
    moved.corners[0] = {0.1, 0.1};
    screens->setMapping(moved, kFirst);
    EXPECT_EQ(output.content(), inner);

    // A source screen that left the show falls back to the screen's own picture, uncorrected.
    ProjectorMapping gone = enabled();
    gone.source = ScreenRole{QStringLiteral("屏幕 9")};
    screens->setMapping(gone, kSecond);
    MappedOutput second(screens.get(), kSecond);
    EXPECT_EQ(second.kind(), MappedOutput::Kind::warped);
    MappedOutput missing(screens.get(), ScreenRole{QStringLiteral("屏幕 9")});
    EXPECT_EQ(missing.kind(), MappedOutput::Kind::none);
}

// The source's switch is for the output windows; a monitor shows the pattern only when its own flag says so.
TEST_F(MappedOutputs, TestPatternOnlyWhereTheViewAsksForIt)
{
    screens->setMapping(enabled(), kFirst);
    MappedOutput monitor(screens.get(), kFirst);
    MappedOutput editor(screens.get(), kFirst, {.testPattern = true});
    const auto pattern = [](MappedOutput& output) {
        return static_cast<WarpedOutput*>(output.content())->content()->testPattern();
    };
    screens->setTestPattern(true);
    EXPECT_FALSE(pattern(monitor));
    EXPECT_TRUE(pattern(editor));
    screens->setMapping(ProjectorMapping(), kFirst);
    EXPECT_EQ(editor.kind(), MappedOutput::Kind::plain);
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
    MappedOutput output(screens.get(), kFirst);
    showOnScreen(output);
    for (const Case& c : cases) {
        ProjectorMapping mapping = enabled();
        mapping.crop = c.crop;
        screens->setMapping(mapping, kFirst);
        const QImage image = grabbed(output);
        EXPECT_TRUE(near(image.pixelColor(2, 45), c.left, 8)) << c.crop.x();
        EXPECT_TRUE(near(image.pixelColor(157, 45), c.right, 8)) << c.crop.x();
    }
    EXPECT_EQ(croppedPictureArea({0, 0, 0, 0}, {100, 50}).size(), QSizeF(10000, 5000));
}

TEST_F(MappedOutputs, CornerPinAndMasks)
{
    ProjectorMapping mapping = enabled();
    mapping.corners = {{0, 0}, {0.5, 0.1}, {0.5, 0.9}, {0, 1}};
    mapping.edges = {0, 0.3, 0, 0};
    mapping.blackLevel = 0.1;
    screens->setMapping(mapping, kFirst);
    MappedOutput output(screens.get(), kFirst);
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
    screens->setMapping(mapping, kFirst);
    EXPECT_EQ(warped->maskBuilds(), builds);
    mapping.gamma = 2;
    screens->setMapping(mapping, kFirst);
    EXPECT_EQ(warped->maskBuilds(), builds + 1);

    // Corners that cross show the content uncorrected, still masked.
    std::swap(mapping.corners[0], mapping.corners[1]);
    mapping.edges = {0, 0, 0, 0};
    mapping.blackLevel.reset();
    screens->setMapping(mapping, kFirst);
    const QImage uncorrected = grabbed(output, "mapped-warped-nonconvex");
    EXPECT_EQ(uncorrected.pixelColor(157, 45), QColor(Qt::magenta));
    EXPECT_FALSE(warped->hasFade() || warped->hasLift());
}

// A mask of many points is measured on a pool thread: the output keeps its picture, masked as before, and shows
// the new mask once the field is made.
TEST_F(MappedOutputs, AMaskOfManyPointsKeepsTheFadeShownBeforeUntilItsFieldIsMade)
{
    ProjectorMapping mapping = enabled();
    mapping.polygonMask = QList<QPointF>{{0, 0}, {0.45, 0}, {0.45, 1}, {0, 1}};
    screens->setMapping(mapping, kFirst);
    MappedOutput output(screens.get(), kFirst);
    showOnScreen(output);
    auto* warped = static_cast<WarpedOutput*>(output.content());
    ASSERT_TRUE(waitUntil([&] { return !warped->waitsForMask(); }));
    const QImage before = warped->grab().toImage();

    mapping.polygonMask = manyPointCircle(200000, {0.75, 0.5}, 0.2);
    screens->setMapping(mapping, kFirst);
    EXPECT_TRUE(warped->waitsForMask());
    EXPECT_EQ(warped->grab().toImage(), before);

    ASSERT_TRUE(waitUntil([&] { return !warped->waitsForMask(); }));
    const QImage after = grabbed(output, "mapped-mask-many-points");
    EXPECT_TRUE(near(after.pixelColor(120, 45), Qt::yellow, 8));
    EXPECT_EQ(after.pixelColor(20, 45), QColor(Qt::black));
}

TEST_F(MappedOutputs, MeshDrawsThroughTheRenderer)
{
    screens->setMapping(curved(), kFirst);
    MappedOutput output(screens.get(), kFirst);
    showOnScreen(output);
    auto* view = static_cast<CurvedProjectionView*>(output.content());
    QImage image;
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        image = view->shownImage();
        return near(image.pixelColor(image.width() / 2, image.height() / 2), Qt::blue, 40);
    }));
    saveShot(image, "mapped-curved");
    EXPECT_LT(image.pixelColor(1, image.height() / 2).value(), 40); // blended to black at the left edge
}
