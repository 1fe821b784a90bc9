#include "projectormapping.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Handle = ProjectorMapping::Handle;

void expectNear(QPointF actual, QPointF expected, double tolerance = 1e-12)
{
    EXPECT_NEAR(actual.x(), expected.x(), tolerance);
    EXPECT_NEAR(actual.y(), expected.y(), tolerance);
}

ProjectorMapping rectangleMapping()
{
    ProjectorMapping mapping;
    mapping.corners = {{0.1, 0.2}, {0.7, 0.2}, {0.7, 0.9}, {0.1, 0.9}};
    return mapping;
}

// A 3 × 3 mesh whose centre node is pushed off the flat grid, so the surface is really curved.
ProjectorMapping bentMapping()
{
    ProjectorMapping mapping;
    QList<QPointF> nodes = mapping.meshPoints();
    nodes[4] = {0.6, 0.35};
    mapping.mesh = nodes;
    return mapping;
}

} // namespace

TEST(MeshGrid, DefaultGridSpansTheCornersAtTheClampedSize)
{
    EXPECT_EQ(ProjectorMapping().meshPoints(),
              (QList<QPointF>{{0, 0}, {0.5, 0}, {1, 0}, {0, 0.5}, {0.5, 0.5}, {1, 0.5}, {0, 1}, {0.5, 1}, {1, 1}}));

    ProjectorMapping mapping = rectangleMapping();
    mapping.mesh = QList<QPointF>(8, QPointF(0.3, 0.3));
    const QList<QPointF> points = mapping.meshPoints();
    ASSERT_EQ(points.size(), 9);
    expectNear(points[4], {0.4, 0.55});
    expectNear(points[8], {0.7, 0.9});
    mapping.mesh = QList<QPointF>(9, QPointF(0.3, 0.3));
    EXPECT_EQ(mapping.meshPoints(), *mapping.mesh);

    mapping.meshRows = 1;
    mapping.meshColumns = 40;
    EXPECT_EQ(mapping.meshPoints().size(), 34);
    EXPECT_EQ(mapping.meshRows, 1);
    EXPECT_EQ(mapping.meshColumns, 40);
}

TEST(MeshGrid, WithoutFourCornersEveryNodeIndexStaysReadable)
{
    ProjectorMapping triangle;
    triangle.corners = {{0, 0}, {1, 0}, {1, 1}};
    triangle.meshRows = 4;
    triangle.meshColumns = 5;
    ASSERT_EQ(triangle.meshPoints().size(), 20);
    expectNear(triangle.meshPoints()[19], {1, 1});
    expectNear(triangle.surface(0.25, 0.5), {0.25, 0.5});
    EXPECT_TRUE(triangle.handle(Handle::up, 19).has_value());
}

TEST(MeshSurface, PassesThroughEveryNodeAndIsLinearOverARectangle)
{
    const ProjectorMapping rectangle = rectangleMapping();
    for (double u : {0.0, 0.13, 0.5, 0.77, 1.0})
        for (double v : {0.0, 0.31, 0.5, 0.99, 1.0})
            expectNear(rectangle.surface(u, v), {0.1 + 0.6 * u, 0.2 + 0.7 * v});

    const ProjectorMapping bent = bentMapping();
    const QList<QPointF> nodes = bent.meshPoints();
    for (int i = 0; i < nodes.size(); ++i)
        expectNear(bent.surface((i % 3) / 2.0, (i / 3) / 2.0), nodes[i]);
    expectNear(bent.surface(std::nan(""), -3), nodes.first());
    expectNear(bent.surface(7, INFINITY), nodes.last());
}

TEST(MeshTangent, StoredHandlesDecideElseTheNeighboursAndOutsideIsZero)
{
    const ProjectorMapping bent = bentMapping();
    const QList<QPointF> nodes = bent.meshPoints();
    expectNear(bent.tangent(4, true, nodes), (nodes[5] - nodes[3]) * 0.5);
    expectNear(bent.tangent(3, true, nodes), nodes[4] - nodes[3]);
    expectNear(bent.tangent(5, true, nodes), nodes[5] - nodes[4]);
    expectNear(bent.tangent(4, false, nodes), (nodes[7] - nodes[1]) * 0.5);
    expectNear(bent.tangent(1, false, nodes), nodes[4] - nodes[1]);
    expectNear(bent.tangent(-1, true, nodes), {0, 0});
    expectNear(bent.tangent(9, false, nodes), {0, 0});
    expectNear(bent.tangent(4, true, nodes.mid(0, 5)), nodes[4] - nodes[3]);

    ProjectorMapping mapping;
    mapping.meshHandles = QMap<QString, CurveHandles>{
        {"4", CurveHandles{QPointF(-0.1, 0), QPointF(0.2, 0.05), std::nullopt, QPointF(0, 0.1)}}};
    expectNear(mapping.tangent(4, true, nodes), QPointF(0.3, 0.05) * 1.5);
    expectNear(mapping.tangent(4, false, nodes), QPointF(0, 0.3));
    mapping.meshHandles = QMap<QString, CurveHandles>{{"4", CurveHandles{QPointF(-0.1, 0), {}, {}, {}}}};
    expectNear(mapping.tangent(4, true, nodes), QPointF(0.3, 0));
}

TEST(MeshHandles, BorderAndOutsideNodesHaveNoneAndSettingMirrorsOnItsAxis)
{
    ProjectorMapping mapping;
    const std::pair<Handle, int> none[] = {{Handle::left, 3}, {Handle::up, 1},    {Handle::right, 5},
                                           {Handle::down, 7}, {Handle::right, 9}, {Handle::right, -1}};
    for (const auto& [handle, index] : none)
        EXPECT_FALSE(mapping.handle(handle, index).has_value()) << index;
    expectNear(*mapping.handle(Handle::right, 3), {0.5 / 3, 0.5});
    expectNear(*mapping.handle(Handle::up, 4), {0.5, 0.5 - 0.5 / 3});

    mapping.setHandle(Handle::right, 9, {0.6, 0.5});
    mapping.setHandle(Handle::left, -1, {0.6, 0.5});
    EXPECT_FALSE(mapping.meshHandles.has_value());

    mapping.setHandle(Handle::right, 4, {0.6, 0.52});
    mapping.setHandle(Handle::up, 4, {0.48, 0.4});
    const CurveHandles stored = mapping.meshHandles->value("4");
    expectNear(*stored.right, {0.1, 0.02});
    expectNear(*stored.left, {-0.1, -0.02});
    expectNear(*stored.up, {-0.02, -0.1});
    expectNear(*stored.down, {0.02, 0.1});
    expectNear(*mapping.handle(Handle::left, 4), {0.4, 0.48});
    expectNear(*mapping.handle(Handle::down, 4), {0.52, 0.6});
}

TEST(MeshResize, KeepsTheSurfaceWithExplicitHandles)
{
    ProjectorMapping same = rectangleMapping();
    const QList<QPointF> before = same.meshPoints();
    same.resizeMesh(3, 3);
    ASSERT_TRUE(same.mesh.has_value());
    for (int i = 0; i < 9; ++i)
        expectNear(same.mesh->at(i), before[i], 1e-9);
    ASSERT_EQ(same.meshHandles->size(), 9);
    for (const CurveHandles& handles : *same.meshHandles)
        EXPECT_TRUE(handles.left && handles.right && handles.up && handles.down);

    const ProjectorMapping old = bentMapping();
    ProjectorMapping mapping = old;
    mapping.resizeMesh(5, 4);
    ASSERT_EQ(mapping.meshPoints().size(), 20);
    for (int i = 0; i < 20; ++i)
        expectNear(mapping.surface((i % 4) / 3.0, (i / 4) / 4.0), old.surface((i % 4) / 3.0, (i / 4) / 4.0), 1e-9);
    // Between the nodes the finite-difference handles keep the shape close.
    expectNear(mapping.surface(0.5, 0.4), old.surface(0.5, 0.4), 0.01);
}

TEST(MeshResize, CountsAreClampedAndZeroEmptiesTheMesh)
{
    ProjectorMapping mapping = bentMapping();
    mapping.resizeMesh(1, 40);
    EXPECT_EQ(mapping.meshRows, 2);
    EXPECT_EQ(mapping.meshColumns, 17);
    ASSERT_EQ(mapping.meshPoints().size(), 34);
    EXPECT_EQ(mapping.meshPoints(), *mapping.mesh);
    for (const QPointF& node : *mapping.mesh)
        EXPECT_TRUE(std::isfinite(node.x()) && std::isfinite(node.y()));

    mapping.resizeMesh(0, 4);
    EXPECT_EQ(mapping.mesh, QList<QPointF>{});
    EXPECT_EQ(mapping.meshRows, 0);
    EXPECT_EQ(mapping.meshColumns, 4);
    EXPECT_FALSE(mapping.meshHandles.has_value());
    EXPECT_EQ(mapping.meshPoints().size(), 8);
}

TEST(CornerConvexity, HoldsOnlyForAClockwiseStrictlyConvexQuad)
{
    const std::pair<QList<QPointF>, bool> cases[] = {
        {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, true},    {{{0.1, 0.05}, {0.95, 0.1}, {0.9, 0.9}, {0.05, 0.95}}, true},
        {{{0, 0}, {0, 1}, {1, 1}, {1, 0}}, false},   {{{0, 0}, {1, 1}, {1, 0}, {0, 1}}, false},
        {{{0, 0}, {0.5, 0}, {1, 0}, {0, 1}}, false}, {{{0, 0}, {1, 0}, {1, 1}}, false},
    };
    ProjectorMapping mapping;
    for (const auto& [corners, convex] : cases) {
        mapping.corners = corners;
        EXPECT_EQ(mapping.convex(), convex) << corners.size();
    }
}
