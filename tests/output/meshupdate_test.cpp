#include "cropregion.h"
#include "curvedmesh.h"
#include "eventwait.h"
#include "meshrenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

TEST(MeshTessellation, CellCountsFollowTheGrid)
{
    ProjectorMapping mapping;
    EXPECT_EQ(CurvedMesh::tessellate(mapping).size(), 6144u);
    const std::tuple<qint64, qint64, QSize> cases[] = {
        {3, 3, QSize(32, 32)}, {2, 17, QSize(96, 6)}, {40, 17, QSize(96, 96)}, {1, 1, QSize(16, 16)}};
    for (const auto& [rows, columns, cells] : cases) {
        mapping.meshRows = rows;
        mapping.meshColumns = columns;
        EXPECT_EQ(CurvedMesh::cells(mapping), cells) << rows << " x " << columns;
    }
}

TEST(MeshTessellation, VerticesLieOnTheSurfaceInClipSpace)
{
    ProjectorMapping mapping;
    mapping.corners = {{0.1, 0.2}, {0.9, 0.2}, {0.9, 0.8}, {0.1, 0.8}};
    const std::vector<MeshVertex> vertices = CurvedMesh::tessellate(mapping);
    EXPECT_FLOAT_EQ(vertices[0].x, -0.8f);
    EXPECT_FLOAT_EQ(vertices[0].y, 0.6f);
    EXPECT_FLOAT_EQ(vertices[0].u, 0);
    EXPECT_FLOAT_EQ(vertices[2].v, 1.0f / 32);
    EXPECT_FLOAT_EQ(vertices.back().u, 31.0f / 32);
    EXPECT_FLOAT_EQ(vertices.back().y, -0.6f);
}

TEST(MeshCrop, IsHeldInsideThePicture)
{
    EXPECT_EQ(shownCropRegion(QRectF(0.2, 0.3, 0, 0.5)), QRectF(0.2, 0.3, 0.01, 0.5));
    EXPECT_EQ(shownCropRegion(QRectF(0.995, 0, 0.01, 1)), QRectF(0.99, 0, 0.01, 1));
    EXPECT_EQ(shownCropRegion(QRectF(-0.5, 0.5, 3, 0.8)), QRectF(0, 0.2, 1, 0.8));
    EXPECT_EQ(shownCropRegion(QRectF(0.2, 0, -0.5, 1)), QRectF(0.2, 0, 0.01, 1)); // not turned round
    const double nan = std::nan("");
    EXPECT_EQ(shownCropRegion(QRectF(nan, 0, nan, 1)), QRectF(0, 0, 0.01, 1));
}

TEST(MeshCrop, MediaFillsTheCroppedArea)
{
    EXPECT_EQ(MeshRenderer::fillScale(QSizeF(200, 200), QRectF(0, 0, 1, 1), 4.0), QSizeF(0.25, 1));
    EXPECT_EQ(MeshRenderer::fillScale(QSizeF(1920, 1080), QRectF(0, 0, 1, 1), 16.0 / 9), QSizeF(1, 1));
    EXPECT_EQ(MeshRenderer::fillScale(QSizeF(100, 100), QRectF(0, 0, 0.5, 1), 0.5), QSizeF(1, 0.25));
}

TEST(MeshUpdates, EachInputRemakesOnlyItsOwnPart)
{
    const QImage still(8, 8, QImage::Format_RGBA8888);
    const auto inputs = [&](const ProjectorMapping& mapping) { return MeshInputs{mapping, {}, {}, still}; };
    const struct
    {
        const char* change;
        std::function<void(ProjectorMapping&)> apply;
        int meshes;
        int blends;
        int polygons;
    } cases[] = {
        {"nothing", [](ProjectorMapping&) {}, 1, 1, 1},
        {"crop", [](ProjectorMapping& m) { m.crop = QRectF(0.1, 0.1, 0.5, 0.5); }, 1, 1, 1},
        {"gamma", [](ProjectorMapping& m) { m.gamma = 2.2; }, 1, 2, 1},
        {"mask",
         [](ProjectorMapping& m) {
             m.polygonMask = QList<QPointF>{{0, 0}, {1, 0}, {0, 1}};
         },
         1, 1, 2},
        {"node",
         [](ProjectorMapping& m) {
             m.setHandle(ProjectorMapping::Handle::right, 4, {0.7, 0.5});
         },
         2, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        MeshRenderer renderer;
        ProjectorMapping mapping;
        EXPECT_TRUE(renderer.update(inputs(mapping)));
        c.apply(mapping);
        EXPECT_EQ(renderer.update(inputs(mapping)), std::string(c.change) != "nothing");
        // A mask's field comes from a pool thread and is taken in by a later update.
        EXPECT_TRUE(waitUntil([&] {
            renderer.update(inputs(mapping));
            return !renderer.waitsForMask();
        }));
        EXPECT_EQ(renderer.work().meshes, c.meshes);
        EXPECT_EQ(renderer.work().blends, c.blends);
        EXPECT_EQ(renderer.work().polygons, c.polygons);
        EXPECT_EQ(renderer.vertexCount(), 6144);
    }
}

TEST(MeshUpdates, SwitchesAndStillsCountAsChanges)
{
    MeshRenderer renderer;
    MeshInputs values{ProjectorMapping(), {}, {}, QImage(8, 8, QImage::Format_RGBA8888)};
    renderer.update(values);
    values.pattern = true;
    EXPECT_TRUE(renderer.update(values));
    EXPECT_FALSE(renderer.update(values));
    values.black = true;
    EXPECT_TRUE(renderer.update(values));
    values.image = QImage(4, 4, QImage::Format_RGBA8888);
    EXPECT_TRUE(renderer.update(values));
    values.item = 3;
    EXPECT_TRUE(renderer.update(values));
    EXPECT_FALSE(renderer.update(values));
}
