// Tests of the debug drawing: circles, grid and polyline vertices, and the render states set around them.
#include "engine/data/debugdraw.h"
#include "engine/data/debugdraw_local.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "gfx/core/engine.h"
#include "gfx/testsupport/software_fixture.h"

namespace {

std::vector<std::pair<GxInt32, intptr_t>> gStates;

GxBool RecordState(GxInt32 state, void* value)
{
    gStates.emplace_back(state, reinterpret_cast<intptr_t>(value));
    return 1;
}

TEST(DebugDraw, CircleClosesOnItsFirstPointAndNeedsOnePoint)
{
    std::unique_ptr<GxV3d[]> circle = MakeDebugCircle({1, 2, 3}, 2.0f, 5);
    ASSERT_NE(nullptr, circle);
    const float expected[5][2] = {{3, 3}, {1, 5}, {-1, 3}, {1, 1}, {3, 3}};
    for (int i = 0; i < 5; i++) {
        EXPECT_NEAR(expected[i][0], circle[i].x, 1e-5f) << i;
        EXPECT_NEAR(expected[i][1], circle[i].z, 1e-5f) << i;
        EXPECT_FLOAT_EQ(2.0f, circle[i].y);
    }
    circle = MakeDebugCircle({0, 0, 0}, 1.0f, 2);
    ASSERT_NE(nullptr, circle);
    EXPECT_FLOAT_EQ(circle[0].x, circle[1].x);
    EXPECT_NE(nullptr, MakeDebugCircle({0, 0, 0}, 1.0f, 1));
    EXPECT_EQ(nullptr, MakeDebugCircle({0, 0, 0}, 1.0f, 0));
    EXPECT_EQ(nullptr, MakeDebugCircle({0, 0, 0}, 1.0f, -3));
}

TEST(DebugDraw, GridAndLineVertices)
{
    const std::vector<GxIm3DVertex> grid = BuildDebugGridVertices({0, 1, 0}, 2, 3, 2.0f, GxRGBA{255, 0, 255, 255});
    ASSERT_EQ(14u, grid.size());
    int alongX = 0, alongZ = 0;
    for (size_t i = 0; i < grid.size(); i += 2) {
        const GxV3d& a = grid[i].objVertex;
        const GxV3d& b = grid[i + 1].objVertex;
        alongX += a.z == b.z && a.x != b.x;
        alongZ += a.x == b.x && a.z != b.z;
        EXPECT_FLOAT_EQ(1.0f, a.y);
    }
    EXPECT_EQ(4, alongX);
    EXPECT_EQ(3, alongZ);
    EXPECT_EQ(0xFFFF00FFu, grid[0].color);
    EXPECT_FLOAT_EQ(4.0f, grid[1].objVertex.x);
    EXPECT_FLOAT_EQ(-6.0f, grid[7].objVertex.z);
    EXPECT_TRUE(BuildDebugGridVertices({0, 0, 0}, -1, 3, 1.0f, GxRGBA{}).empty());

    const GxV3d points[3] = {{0, 0, 0}, {1, 2, 0}, {2, 0, 1}};
    const std::vector<GxIm3DVertex> line = BuildDebugLineVertices(points, 3, 0.1f);
    ASSERT_EQ(3u, line.size());
    EXPECT_FLOAT_EQ(2.1f, line[1].objVertex.y);
}

// The drawing itself needs the engine on a device; the states go through the engine's setter.
class DebugDrawOnDevice : public GxD3D9SoftwareTest {};

TEST_F(DebugDrawOnDevice, RenderStatesAroundTheDrawing)
{
    GxRenderStateSetFunction saved = GxEngineInstance->dOpenDevice.fpRenderStateSet;
    GxEngineInstance->dOpenDevice.fpRenderStateSet = RecordState;
    gStates.clear();
    BeginDebugDraw();
    EXPECT_EQ((std::vector<std::pair<GxInt32, intptr_t>>{{7, 2}, {1, 0}, {12, 0}, {6, 1}, {8, 1}}), gStates);
    gStates.clear();
    const GxV3d points[2] = {{0, 0, 0}, {1, 0, 0}};
    DrawDebugLines(points, 2, 0.1f);
    EXPECT_EQ(9u, gStates.size());
    gStates.clear();
    EndDebugDraw();
    EXPECT_EQ((std::vector<std::pair<GxInt32, intptr_t>>{{10, 5}, {11, 6}, {6, 1}, {8, 1}}), gStates);
    GxEngineInstance->dOpenDevice.fpRenderStateSet = saved;
}

}  // namespace
