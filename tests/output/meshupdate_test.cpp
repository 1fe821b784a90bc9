#include "curvedmesh.h"
#include "meshrenderer.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(MeshTessellation, CellCountsFollowTheGrid)
{
    ProjectorMapping mapping;
    EXPECT_EQ(CurvedMesh::cells(mapping), QSize(32, 32));
    EXPECT_EQ(CurvedMesh::tessellate(mapping).size(), 6144u);
    mapping.meshColumns = 17;
    mapping.meshRows = 2;
    EXPECT_EQ(CurvedMesh::cells(mapping), QSize(96, 6));
    mapping.meshRows = 40;
    EXPECT_EQ(CurvedMesh::cells(mapping), QSize(96, 96));
    mapping.meshRows = 1;
    mapping.meshColumns = 1;
    EXPECT_EQ(CurvedMesh::cells(mapping), QSize(16, 16));
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
    EXPECT_EQ(MeshRenderer::drawableCrop(QRectF(0.2, 0.3, 0, 0.5)), QRectF(0.2, 0.3, 0.01, 0.5));
    EXPECT_EQ(MeshRenderer::drawableCrop(QRectF(0.995, 0, 0.01, 1)), QRectF(0.99, 0, 0.01, 1));
    EXPECT_EQ(MeshRenderer::drawableCrop(QRectF(-0.5, 0.5, 3, 0.8)), QRectF(0, 0.2, 1, 0.8));
    const double nan = std::nan("");
    EXPECT_EQ(MeshRenderer::drawableCrop(QRectF(nan, 0, nan, 1)), QRectF(0, 0, 0.01, 1));
}

TEST(MeshCrop, MediaFillsTheCroppedArea)
{
    EXPECT_EQ(MeshRenderer::fillScale(QSizeF(200, 200), QRectF(0, 0, 1, 1), 4.0), QSizeF(0.25, 1));
    EXPECT_EQ(MeshRenderer::fillScale(QSizeF(1920, 1080), QRectF(0, 0, 1, 1), 16.0 / 9), QSizeF(1, 1));
    EXPECT_EQ(MeshRenderer::fillScale(QSizeF(100, 100), QRectF(0, 0, 0.5, 1), 0.5), QSizeF(1, 0.25));
}

class MeshUpdates : public ::testing::Test
{
  protected:
    MeshInputs inputs()
    {
        MeshInputs values;
        values.mapping = mapping;
        values.image = still;
        return values;
    }

    MeshRenderer renderer;
    ProjectorMapping mapping;
    QImage still{8, 8, QImage::Format_RGBA8888};
};

TEST_F(MeshUpdates, SameValuesChangeNothing)
{
    EXPECT_TRUE(renderer.update(inputs()));
    EXPECT_FALSE(renderer.update(inputs()));
    EXPECT_EQ(renderer.work().meshes, 1);
    EXPECT_EQ(renderer.work().blends, 1);
    EXPECT_EQ(renderer.work().polygons, 1);
}

TEST_F(MeshUpdates, CropAloneRebuildsNothing)
{
    renderer.update(inputs());
    mapping.crop = QRectF(0.1, 0.1, 0.5, 0.5);
    EXPECT_TRUE(renderer.update(inputs()));
    EXPECT_EQ(renderer.work().meshes, 1);
    EXPECT_EQ(renderer.work().blends, 1);
    EXPECT_EQ(renderer.work().polygons, 1);
}

TEST_F(MeshUpdates, GammaRemakesTheBlendsOnly)
{
    renderer.update(inputs());
    mapping.gamma = 2.2;
    EXPECT_TRUE(renderer.update(inputs()));
    EXPECT_EQ(renderer.work().meshes, 1);
    EXPECT_EQ(renderer.work().blends, 2);
    EXPECT_EQ(renderer.work().polygons, 1);
}

TEST_F(MeshUpdates, MaskAndNodesRemakeTheirOwnParts)
{
    renderer.update(inputs());
    mapping.polygonMask = QList<QPointF>{{0, 0}, {1, 0}, {0, 1}};
    renderer.update(inputs());
    EXPECT_EQ(renderer.work().polygons, 2);
    EXPECT_EQ(renderer.work().meshes, 1);
    mapping.setHandle(ProjectorMapping::Handle::right, 4, {0.7, 0.5});
    renderer.update(inputs());
    EXPECT_EQ(renderer.work().meshes, 2);
    EXPECT_EQ(renderer.work().polygons, 2);
    EXPECT_EQ(renderer.work().blends, 1);
    EXPECT_EQ(renderer.vertexCount(), 6144);
}

TEST_F(MeshUpdates, SwitchesAndStillsCountAsChanges)
{
    renderer.update(inputs());
    MeshInputs values = inputs();
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
