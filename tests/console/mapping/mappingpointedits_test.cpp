#include "mappingpointedits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace MappingPointEdits;
using Handle = ProjectorMapping::Handle;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

ProjectorMapping withMaskPoints(int count)
{
    ProjectorMapping mapping;
    QList<QPointF> mask{{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.5, 0.5}};
    mapping.polygonMask = mask.mid(0, count);
    return mapping;
}

ProjectorMapping meshMapping()
{
    ProjectorMapping mapping;
    mapping.enabled = true;
    mapping.mesh = mapping.meshPoints();
    return mapping;
}

} // namespace

TEST(MappingPointEdits, CornerDragsAreRefusedWhereTheQuadWouldNotBeConvex)
{
    struct Case
    {
        const char* what;
        int index;
        QPointF to;
        bool accepted;
    };
    const Case cases[] = {
        {"folds", 0, {0.9, 0.9}, false},
        {"inside", 0, {0.2, 0.1}, true},
        {"onto the line of its neighbours", 0, {0.5, 0.5}, false},
        {"bottom-right outwards", 2, {0.95, 1.0}, true},
        {"past the opposite side", 1, {-0.1, 0.5}, false},
        {"not a number", 0, {kNaN, 0.1}, false},
        {"infinite", 3, {0, kInfinity}, false},
        {"index past the corners", 4, {0.5, 0.5}, false},
        {"negative index", -1, {0.1, 0.1}, false},
    };
    for (const Case& c : cases) {
        MappingSelection selection;
        selection.selectedNode = 2;
        const std::optional<ProjectorMapping> edited = updatePoint(ProjectorMapping{}, selection, c.index, c.to);
        EXPECT_EQ(edited.has_value(), c.accepted) << c.what;
        if (edited) {
            EXPECT_EQ(edited->corners[c.index], c.to) << c.what;
        }
        EXPECT_EQ(selection, (MappingSelection{false, 0, 2})) << c.what << ": a corner drag selects nothing";
    }
}

TEST(MappingPointEdits, MaskAndNodeDragsSelectWhatTheyMoveAndIgnoreIndexesOutside)
{
    MappingSelection mask{true, 0, 0};
    const ProjectorMapping four = withMaskPoints(4);
    const std::optional<ProjectorMapping> moved = updatePoint(four, mask, 2, {0.8, 0.7});
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->polygonMask->at(2), QPointF(0.8, 0.7));
    EXPECT_EQ(mask.selectedMaskPoint, 2);
    EXPECT_FALSE(updatePoint(four, mask, 4, {0.1, 0.1}));
    EXPECT_FALSE(updatePoint(ProjectorMapping{}, mask, 0, {0.1, 0.1})) << "no mask";
    EXPECT_EQ(mask.selectedMaskPoint, 2);

    MappingSelection nodes;
    const std::optional<ProjectorMapping> node = updatePoint(meshMapping(), nodes, 4, {0.6, 0.4});
    ASSERT_TRUE(node);
    EXPECT_EQ(node->mesh->at(4), QPointF(0.6, 0.4));
    EXPECT_EQ(nodes.selectedNode, 4);
    EXPECT_FALSE(updatePoint(meshMapping(), nodes, 9, {0.6, 0.4}));
    EXPECT_EQ(nodes.selectedNode, 4);

    // A stored mesh of the wrong length gives way to the full derived grid with the one node moved.
    ProjectorMapping short8 = meshMapping();
    short8.mesh->removeLast();
    const std::optional<ProjectorMapping> replaced = updatePoint(short8, nodes, 0, {0.05, 0.05});
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->mesh->size(), 9);
    EXPECT_EQ(replaced->mesh->at(8), QPointF(1, 1));
}

TEST(MappingPointEdits, CanvasCoordinatesAreHeldToTheOutput)
{
    struct Case
    {
        QPointF location;
        QSizeF size;
        QPointF expected;
    };
    const Case cases[] = {
        {{50, 25}, {100, 100}, {0.5, 0.25}},
        {{-5, 130}, {100, 100}, {0, 1}},
        {{10, 10}, {0, 0}, {1, 1}},
        {{0, -3}, {0, 0}, {0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(normalised(c.location, c.size), c.expected);
}

TEST(MappingPointEdits, MaskPointsAreInsertedAndRemovedWithTheirSelection)
{
    struct Case
    {
        const char* what;
        int points;
        int selected;
        bool insert;
        int expectedCount; // 0: refused
        int expectedSelection;
    };
    const Case cases[] = {
        {"insert after the last", 4, 3, true, 5, 4}, {"remove the last of four", 4, 3, false, 3, 2},
        {"remove the first", 4, 0, false, 3, 0},     {"remove from three", 3, 1, false, 0, 1},
        {"insert past the end", 5, 7, true, 0, 7},   {"remove past the end", 5, 7, false, 0, 7},
        {"insert without a mask", 0, 0, true, 0, 0},
    };
    for (const Case& c : cases) {
        const ProjectorMapping mapping = c.points ? withMaskPoints(c.points) : ProjectorMapping{};
        MappingSelection selection{true, c.selected, 0};
        const std::optional<ProjectorMapping> edited =
            c.insert ? insertMaskPoint(mapping, selection) : removeMaskPoint(mapping, selection);
        EXPECT_EQ(edited ? int(edited->polygonMask->size()) : 0, c.expectedCount) << c.what;
        EXPECT_EQ(selection.selectedMaskPoint, c.expectedSelection) << c.what;
    }

    // Inserting after the last point halves the closing side; removing it again gives the mask back.
    MappingSelection selection{true, 3, 0};
    const ProjectorMapping inserted = *insertMaskPoint(withMaskPoints(4), selection);
    EXPECT_EQ(inserted.polygonMask->at(4), QPointF(0, 0.5));
    EXPECT_EQ(*removeMaskPoint(inserted, selection), withMaskPoints(4));
    EXPECT_EQ(selection.selectedMaskPoint, 3);
    EXPECT_FALSE(canRemoveMaskPoint(withMaskPoints(3)));
    EXPECT_TRUE(canRemoveMaskPoint(withMaskPoints(4)));
}

TEST(MappingPointEdits, HandlesMirrorTheirOppositeAndExistOnlyInsideTheGrid)
{
    const ProjectorMapping mapping = meshMapping();
    struct Case
    {
        int node;
        Handle handle;
        bool exists;
    };
    const Case cases[] = {
        {0, Handle::right, true}, {0, Handle::down, true}, {0, Handle::left, false},  {0, Handle::up, false},
        {4, Handle::left, true},  {4, Handle::up, true},   {8, Handle::right, false}, {9, Handle::left, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(moveHandle(mapping, c.node, c.handle, {0.5, 0.5}).has_value(), c.exists) << c.node;

    const std::optional<ProjectorMapping> pulled = moveHandle(mapping, 4, Handle::right, {0.7, 0.45});
    ASSERT_TRUE(pulled);
    EXPECT_NEAR(pulled->handle(Handle::left, 4)->x(), 0.3, 1e-12);
    EXPECT_NEAR(pulled->handle(Handle::left, 4)->y(), 0.55, 1e-12);
    // Handles may leave the output; only numbers that are not finite are refused.
    EXPECT_TRUE(moveHandle(mapping, 4, Handle::up, {0.5, -0.4}));
    EXPECT_FALSE(moveHandle(mapping, 4, Handle::up, {kInfinity, 0.2}));
    EXPECT_EQ(withoutNodeHandles(*pulled, 4).meshHandles->size(), 0);
    EXPECT_EQ(withoutNodeHandles(mapping, 4), mapping);
}

TEST(MappingPointEdits, ResizingKeepsTheSurfaceAndSelectsTheFirstNode)
{
    ProjectorMapping bent = meshMapping();
    bent.corners = {{0.1, 0.05}, {0.9, 0.1}, {0.95, 0.9}, {0.05, 0.95}};
    (*bent.mesh)[4] = {0.55, 0.45};
    MappingSelection selection{false, 0, 5};
    const ProjectorMapping four = resized(bent, selection, true, 4);
    EXPECT_EQ(selection.selectedNode, 0);
    EXPECT_EQ(four.meshPoints().size(), 12);
    EXPECT_EQ(dimension(four, true), 4);
    EXPECT_EQ(dimension(four, false), 3);
    EXPECT_EQ(four.meshHandles->size(), 12) << "derived handles replace the hand-set ones";
    for (int row = 0; row <= 3; ++row)
        for (int column = 0; column <= 4; ++column) {
            const QPointF now = four.surface(column / 4.0, row / 3.0);
            const QPointF before = bent.surface(column / 4.0, row / 3.0);
            EXPECT_NEAR(now.x(), before.x(), 1e-3);
            EXPECT_NEAR(now.y(), before.y(), 1e-3);
        }

    ProjectorMapping sizes;
    EXPECT_EQ(dimension(sizes, true), 3);
    sizes.meshRows = 40;
    EXPECT_EQ(dimension(sizes, true), 17);
}

TEST(MappingPointEdits, SwitchesSetTheSelectionAndKeepTheMeshSettings)
{
    MappingSelection selection{true, 2, 5};
    ProjectorMapping sized;
    sized.meshRows = 4;
    sized.meshHandles = QMap<QString, CurveHandles>{{"1", CurveHandles{}}};
    const ProjectorMapping on = withMesh(sized, selection, true);
    EXPECT_EQ(on.mesh->size(), 12);
    EXPECT_EQ(selection, (MappingSelection{false, 2, 0}));
    const ProjectorMapping off = withMesh(on, selection, false);
    EXPECT_FALSE(off.mesh);
    EXPECT_EQ(off.meshRows, 4);
    EXPECT_EQ(off.meshHandles, sized.meshHandles);

    const ProjectorMapping masked = withMask(ProjectorMapping{}, selection, true);
    EXPECT_EQ(masked.polygonMask->size(), 4);
    EXPECT_EQ(selection, (MappingSelection{true, 0, 0}));
    EXPECT_FALSE(withMask(masked, selection, false).polygonMask);
    EXPECT_FALSE(selection.editingMask);

    ProjectorMapping expected;
    expected.enabled = true;
    EXPECT_EQ(resetMapping(), expected);
}

TEST(MappingPointEdits, FieldsAreHeldToTheUnitRangeAndRefuseWhatIsNotFinite)
{
    struct Case
    {
        double typed;
        std::optional<double> stored;
    };
    const Case cases[] = {{1.5, 1.0}, {-2, 0.0}, {0.25, 0.25}, {kNaN, std::nullopt}, {-kInfinity, std::nullopt}};
    for (const Case& c : cases) {
        EXPECT_EQ(fieldValue(c.typed), c.stored) << c.typed;
        const std::optional<ProjectorMapping> edited = withCrop(ProjectorMapping{}, CropPart::y, c.typed);
        EXPECT_EQ(edited ? std::optional(edited->crop.y()) : std::nullopt, c.stored) << c.typed;
    }
    // Moving the origin keeps the size; changing the size keeps the origin.
    const ProjectorMapping moved = *withCrop(ProjectorMapping{}, CropPart::x, 0.5);
    EXPECT_EQ(moved.crop, QRectF(0.5, 0, 1, 1));
    EXPECT_EQ(withCrop(moved, CropPart::width, 0.3)->crop, QRectF(0.5, 0, 0.3, 1));
    EXPECT_FALSE(withGamma(ProjectorMapping{}, kNaN));
    EXPECT_FALSE(withBlackLevel(ProjectorMapping{}, kInfinity));
    EXPECT_EQ(withBlackLevel(ProjectorMapping{}, 0.05)->blackLevel, 0.05);
}

TEST(MappingPointEdits, ShortEdgeListsReadAsZeroAndAreWrittenWhole)
{
    ProjectorMapping handEdited;
    handEdited.edges = {0.2};
    EXPECT_EQ(edge(handEdited, 0), 0.2);
    EXPECT_EQ(edge(handEdited, 3), 0);
    EXPECT_EQ(withEdge(handEdited, 2, 0.1)->edges, (QList<double>{0.2, 0, 0.1, 0}));
    EXPECT_FALSE(withEdge(handEdited, 4, 0.1));
    EXPECT_FALSE(withEdge(handEdited, 1, kNaN));
}
