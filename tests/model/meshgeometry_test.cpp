#include "projectormapping.h"

#include <gtest/gtest.h>

#include <cmath>

static void expectNear(QPointF actual, QPointF expected, double tolerance = 1e-12)
{
    EXPECT_NEAR(actual.x(), expected.x(), tolerance);
    EXPECT_NEAR(actual.y(), expected.y(), tolerance);
}

static ProjectorMapping rectangleMapping()
{
    ProjectorMapping mapping;
    mapping.corners = {{0.1, 0.2}, {0.7, 0.2}, {0.7, 0.9}, {0.1, 0.9}};
    return mapping;
}

// A 3 × 3 mesh whose centre node is pushed off the flat grid, so the surface is really curved.
static ProjectorMapping bentMapping()
{
    ProjectorMapping mapping;
    QList<QPointF> nodes = mapping.meshPoints();
    nodes[4] = {0.6, 0.35};
    mapping.mesh = nodes;
    return mapping;
}

TEST(MeshGrid, DefaultMappingHasNineNodesOverTheCornerQuad)
{
    const QList<QPointF> points = ProjectorMapping().meshPoints();
    const QList<QPointF> expected{{0, 0}, {0.5, 0}, {1, 0}, {0, 0.5}, {0.5, 0.5}, {1, 0.5}, {0, 1}, {0.5, 1}, {1, 1}};
    EXPECT_EQ(points, expected);
}

TEST(MeshGrid, CountsAreClampedWithoutChangingTheStoredValues)
{
    ProjectorMapping mapping;
    mapping.meshRows = 1;
    mapping.meshColumns = 40;
    EXPECT_EQ(mapping.rows(), 2);
    EXPECT_EQ(mapping.columns(), 17);
    EXPECT_EQ(mapping.meshPoints().size(), 34);
    EXPECT_EQ(mapping.meshRows, 1);
    EXPECT_EQ(mapping.meshColumns, 40);
}

TEST(MeshGrid, StoredMeshOfTheWrongLengthIsIgnored)
{
    ProjectorMapping mapping = rectangleMapping();
    mapping.mesh = QList<QPointF>(8, QPointF(0.3, 0.3));
    const QList<QPointF> points = mapping.meshPoints();
    ASSERT_EQ(points.size(), 9);
    expectNear(points[0], {0.1, 0.2});
    expectNear(points[4], {0.4, 0.55});
    expectNear(points[8], {0.7, 0.9});

    mapping.mesh = QList<QPointF>(9, QPointF(0.3, 0.3));
    EXPECT_EQ(mapping.meshPoints(), *mapping.mesh);
}

TEST(MeshGrid, WithoutFourCornersTheDefaultGridHasTheRealSize)
{
    ProjectorMapping mapping;
    mapping.corners = {{0, 0}, {1, 0}, {1, 1}};
    mapping.meshRows = 4;
    mapping.meshColumns = 5;
    const QList<QPointF> points = mapping.meshPoints();
    ASSERT_EQ(points.size(), 20);
    expectNear(points[19], {1, 1});
    expectNear(mapping.surface(1, 1), {1, 1});
    expectNear(mapping.surface(0.25, 0.5), {0.25, 0.5});
    EXPECT_TRUE(mapping.handle(ProjectorMapping::Handle::up, 19).has_value());
}

TEST(MeshSurface, IsTheLinearMapOfAnAxisAlignedRectangle)
{
    const ProjectorMapping mapping = rectangleMapping();
    for (double u : {0.0, 0.13, 0.5, 0.77, 1.0})
        for (double v : {0.0, 0.31, 0.5, 0.99, 1.0})
            expectNear(mapping.surface(u, v), {0.1 + 0.6 * u, 0.2 + 0.7 * v});
}

TEST(MeshSurface, PassesThroughEveryNode)
{
    const ProjectorMapping mapping = bentMapping();
    const QList<QPointF> nodes = mapping.meshPoints();
    for (int i = 0; i < nodes.size(); ++i)
        expectNear(mapping.surface((i % 3) / 2.0, (i / 3) / 2.0), nodes[i]);
    expectNear(mapping.surface(0, 0), nodes.first());
    expectNear(mapping.surface(1, 1), nodes.last());
}

TEST(MeshSurface, OutOfRangeParametersStayOnTheGrid)
{
    const ProjectorMapping mapping = bentMapping();
    expectNear(mapping.surface(std::nan(""), -3), mapping.surface(0, 0));
    expectNear(mapping.surface(7, INFINITY), mapping.surface(1, 1));
}

TEST(MeshTangent, ComesFromTheNeighboursWithoutHandles)
{
    const ProjectorMapping mapping = bentMapping();
    const QList<QPointF> nodes = mapping.meshPoints();
    expectNear(mapping.tangent(4, true, nodes), (nodes[5] - nodes[3]) * 0.5);
    expectNear(mapping.tangent(3, true, nodes), nodes[4] - nodes[3]);
    expectNear(mapping.tangent(5, true, nodes), nodes[5] - nodes[4]);
    expectNear(mapping.tangent(4, false, nodes), (nodes[7] - nodes[1]) * 0.5);
    expectNear(mapping.tangent(1, false, nodes), nodes[4] - nodes[1]);
}

TEST(MeshTangent, StoredHandlesDecideIt)
{
    ProjectorMapping mapping;
    const QList<QPointF> nodes = mapping.meshPoints();
    mapping.meshHandles = QMap<QString, CurveHandles>{
        {"4", CurveHandles{QPointF(-0.1, 0), QPointF(0.2, 0.05), std::nullopt, QPointF(0, 0.1)}}};
    expectNear(mapping.tangent(4, true, nodes), QPointF(0.3, 0.05) * 1.5);
    expectNear(mapping.tangent(4, false, nodes), QPointF(0, 0.3));
    mapping.meshHandles = QMap<QString, CurveHandles>{{"4", CurveHandles{QPointF(-0.1, 0), {}, {}, {}}}};
    expectNear(mapping.tangent(4, true, nodes), QPointF(0.3, 0));
}

TEST(MeshTangent, IndexesOutsideTheListGiveZero)
{
    const ProjectorMapping mapping;
    const QList<QPointF> nodes = mapping.meshPoints();
    expectNear(mapping.tangent(-1, true, nodes), {0, 0});
    expectNear(mapping.tangent(9, false, nodes), {0, 0});
    expectNear(mapping.tangent(4, true, nodes.mid(0, 5)), nodes[4] - nodes[3]);
}

TEST(MeshHandles, BorderNodesHaveNoOutwardHandles)
{
    const ProjectorMapping mapping;
    EXPECT_FALSE(mapping.handle(ProjectorMapping::Handle::left, 3).has_value());
    EXPECT_FALSE(mapping.handle(ProjectorMapping::Handle::up, 1).has_value());
    EXPECT_FALSE(mapping.handle(ProjectorMapping::Handle::right, 5).has_value());
    EXPECT_FALSE(mapping.handle(ProjectorMapping::Handle::down, 7).has_value());
    EXPECT_FALSE(mapping.handle(ProjectorMapping::Handle::right, 9).has_value());
    EXPECT_FALSE(mapping.handle(ProjectorMapping::Handle::right, -1).has_value());
    expectNear(*mapping.handle(ProjectorMapping::Handle::right, 3), {0.5 / 3, 0.5});
    expectNear(*mapping.handle(ProjectorMapping::Handle::up, 4), {0.5, 0.5 - 0.5 / 3});
}

TEST(MeshHandles, SetHandleMirrorsOnItsAxisOnly)
{
    ProjectorMapping mapping;
    mapping.setHandle(ProjectorMapping::Handle::right, 4, {0.6, 0.52});
    mapping.setHandle(ProjectorMapping::Handle::up, 4, {0.48, 0.4});
    const CurveHandles stored = mapping.meshHandles->value("4");
    expectNear(*stored.right, {0.1, 0.02});
    expectNear(*stored.left, {-0.1, -0.02});
    expectNear(*stored.up, {-0.02, -0.1});
    expectNear(*stored.down, {0.02, 0.1});
    expectNear(*mapping.handle(ProjectorMapping::Handle::right, 4), {0.6, 0.52});
    expectNear(*mapping.handle(ProjectorMapping::Handle::left, 4), {0.4, 0.48});
    expectNear(*mapping.handle(ProjectorMapping::Handle::down, 4), {0.52, 0.6});
}

TEST(MeshHandles, SetHandleOutsideTheGridChangesNothing)
{
    ProjectorMapping mapping;
    mapping.setHandle(ProjectorMapping::Handle::right, 9, {0.6, 0.5});
    mapping.setHandle(ProjectorMapping::Handle::left, -1, {0.6, 0.5});
    EXPECT_FALSE(mapping.meshHandles.has_value());
}

TEST(MeshResize, SameSizeKeepsNodesAndMakesHandlesExplicit)
{
    ProjectorMapping mapping = rectangleMapping();
    const QList<QPointF> before = mapping.meshPoints();
    mapping.resizeMesh(3, 3);
    ASSERT_TRUE(mapping.mesh.has_value());
    for (int i = 0; i < 9; ++i)
        expectNear(mapping.mesh->at(i), before[i], 1e-9);
    ASSERT_EQ(mapping.meshHandles->size(), 9);
    for (const CurveHandles& handles : *mapping.meshHandles)
        EXPECT_TRUE(handles.left && handles.right && handles.up && handles.down);
    EXPECT_EQ(mapping.meshRows, 3);
    EXPECT_EQ(mapping.meshColumns, 3);
}

TEST(MeshResize, NewNodesLieOnTheOldSurface)
{
    const ProjectorMapping old = bentMapping();
    ProjectorMapping mapping = old;
    mapping.resizeMesh(5, 4);
    ASSERT_EQ(mapping.meshPoints().size(), 20);
    for (int i = 0; i < 20; ++i) {
        const double u = (i % 4) / 3.0;
        const double v = (i / 4) / 4.0;
        expectNear(mapping.surface(u, v), old.surface(u, v), 1e-9);
    }
    // Between the nodes the finite-difference handles keep the shape close.
    expectNear(mapping.surface(0.5, 0.4), old.surface(0.5, 0.4), 0.01);
}

TEST(MeshResize, CountsOutsideTheGridRuleAreClamped)
{
    ProjectorMapping mapping = bentMapping();
    mapping.resizeMesh(1, 40);
    EXPECT_EQ(mapping.meshRows, 2);
    EXPECT_EQ(mapping.meshColumns, 17);
    ASSERT_EQ(mapping.meshPoints().size(), 34);
    EXPECT_EQ(mapping.meshPoints(), *mapping.mesh);
    for (const QPointF& node : *mapping.mesh)
        EXPECT_TRUE(std::isfinite(node.x()) && std::isfinite(node.y()));
}

TEST(MeshResize, ZeroCountEmptiesTheMesh)
{
    ProjectorMapping mapping = bentMapping();
    mapping.setHandle(ProjectorMapping::Handle::right, 0, {0.1, 0});
    mapping.resizeMesh(0, 4);
    EXPECT_EQ(mapping.mesh, QList<QPointF>{});
    EXPECT_EQ(mapping.meshRows, 0);
    EXPECT_EQ(mapping.meshColumns, 4);
    EXPECT_FALSE(mapping.meshHandles.has_value());
    EXPECT_EQ(mapping.meshPoints().size(), 8);
}

TEST(CornerConvexity, HoldsOnlyForAClockwiseStrictlyConvexQuad)
{
    ProjectorMapping mapping;
    EXPECT_TRUE(mapping.convex());
    mapping.corners = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    EXPECT_FALSE(mapping.convex());
    mapping.corners = {{0, 0}, {1, 1}, {1, 0}, {0, 1}};
    EXPECT_FALSE(mapping.convex());
    mapping.corners = {{0, 0}, {0.5, 0}, {1, 0}, {0, 1}};
    EXPECT_FALSE(mapping.convex());
    mapping.corners = {{0, 0}, {1, 0}, {1, 1}};
    EXPECT_FALSE(mapping.convex());
    mapping.corners = {{0.1, 0.05}, {0.95, 0.1}, {0.9, 0.9}, {0.05, 0.95}};
    EXPECT_TRUE(mapping.convex());
}
