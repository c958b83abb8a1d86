// Tests of the navigation drawing on the software device: the draw calls and vertices of debug lines, grids, splines,
// A* and floor strips.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/data/debugdraw.h"
#include "engine/navigation/astar.h"
#include "engine/navigation/blockgrid.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/spline.h"
#include "gfx/core/raster.h"
#include "gfx/core/renderstate.h"
#include "gfx/core/spline.h"
#include "gfx/testsupport/software_fixture.h"
#include "platform/testsupport/softdevice.h"

namespace {

struct DrawnVertex {
    GxV3d position;
    GxUInt32 color;
    GxReal u;
    GxReal v;
};

class NavDraw : public GxD3D9SoftwareTest {
protected:
    NavDraw() : GxD3D9SoftwareTest(320, 240) {}
    void AttachPlugins() override { ASSERT_TRUE(GxSplinePluginAttach()); }
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        device = GxD3D9Device();
        ASSERT_TRUE(SUCCEEDED(device->BeginScene()));
        D3D9SoftClearLog(device);
    }
    void TearDown() override
    {
        if (device != nullptr) {
            device->EndScene();
        }
        GxD3D9SoftwareTest::TearDown();
    }

    // The draws logged since the last call.
    std::vector<D3D9SoftEvent> TakeDraws()
    {
        std::vector<D3D9SoftEvent> draws;
        for (const D3D9SoftEvent& event : D3D9SoftLog(device)) {
            if (event.type == D3D9SOFT_DRAW) {
                draws.push_back(event);
            }
        }
        D3D9SoftClearLog(device);
        return draws;
    }

    // Vertex i of a non-indexed draw from its vertex buffer (16-byte plain or 24-byte textured layout).
    static DrawnVertex VertexOf(const D3D9SoftEvent& draw, UINT i)
    {
        DrawnVertex out = {};
        const BYTE* bytes = draw.stream0->bits.data() + (draw.draw.startVertex + i) * draw.stride0;
        memcpy(&out.position, bytes, 12);
        memcpy(&out.color, bytes + 12, 4);
        if (draw.stride0 == 24) {
            memcpy(&out.u, bytes + 16, 4);
            memcpy(&out.v, bytes + 20, 4);
        }
        return out;
    }

    GxRaster* MakeTexture() { return Keep(GxRasterCreate(8, 8, 0, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888)); }

    static GxInt32 RenderState(GxInt32 state)
    {
        GxUInt32 value = 0;
        GxD3D9RenderStateGet(state, &value);
        return static_cast<GxInt32>(value);
    }

    IDirect3DDevice9* device = nullptr;
};

TEST_F(NavDraw, DebugGridsAndLinesReachTheDeviceAsLineListsAndStrips)
{
    DrawDebugGrid({0, 1, 0}, 2, 3, 2.0f);
    std::vector<D3D9SoftEvent> draws = TakeDraws();
    ASSERT_EQ(1u, draws.size());
    // The vertices themselves: DebugDraw.GridAndLineVertices.
    const D3D9SoftEvent& grid = draws[0];
    EXPECT_EQ(D3DPT_LINELIST, grid.draw.type);
    EXPECT_EQ(7u, grid.draw.primitiveCount);  // 4 lines along x, 3 along z
    EXPECT_FALSE(grid.draw.indexed);
    EXPECT_EQ(16u, grid.stride0);  // untextured: position and colour
    EXPECT_EQ(nullptr, grid.texture0);
    // The usual blending and depth states are back afterwards.
    EXPECT_EQ(FERROX_BLEND_SRCALPHA, RenderState(gxRENDERSTATESRCBLEND));
    EXPECT_EQ(FERROX_BLEND_INVSRCALPHA, RenderState(gxRENDERSTATEDESTBLEND));
    EXPECT_EQ(1, RenderState(gxRENDERSTATEZWRITEENABLE));

    const GxV3d points[3] = {{0, 0, 0}, {1, 2, 0}, {2, 0, 1}};
    DrawDebugLines(points, 3, 0.1f);
    draws = TakeDraws();
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ(D3DPT_LINESTRIP, draws[0].draw.type);
    EXPECT_EQ(2u, draws[0].draw.primitiveCount);

    // Nothing to draw, or more lines than one batch holds: no draw and no stale batch left.
    DrawDebugLines(points, 1, 0.1f);
    DrawDebugGrid({0, 0, 0}, INT_MAX, INT_MAX, 1.0f);
    DrawDebugGrid({0, 0, 0}, 40000, 1, 1.0f);
    EXPECT_TRUE(TakeDraws().empty());
    EXPECT_FALSE(GxIm3DEnd());
}

TEST_F(NavDraw, GridSplineAndSearchDrawTheirGeometry)
{
    CFerroxBlockGrid grid;
    ASSERT_EQ(1, grid.Create(3, 3, {10, 2, 0}, 2, 0));
    grid.DrawDebugInfo();
    std::vector<D3D9SoftEvent> draws = TakeDraws();
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ(D3DPT_LINELIST, draws[0].draw.type);
    EXPECT_EQ(8u, draws[0].draw.primitiveCount);  // R + W + 2 lines
    const DrawnVertex corner = VertexOf(draws[0], 0);
    EXPECT_FLOAT_EQ(9.0f, corner.position.x);
    EXPECT_FLOAT_EQ(2.5f, corner.position.y);
    EXPECT_FLOAT_EQ(1.0f, corner.position.z);
    EXPECT_EQ(0xFF00C800u, corner.color);

    const GxV3d points[4] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 1}, {3, 1, 1}};
    CFerroxSpline spline;
    ASSERT_NE(0, spline.Create(points, 4, nullptr));
    spline.DrawDebugInfo();
    draws = TakeDraws();
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ(D3DPT_LINESTRIP, draws[0].draw.type);
    EXPECT_EQ(3u, draws[0].draw.primitiveCount);
    EXPECT_FLOAT_EQ(1.1f, VertexOf(draws[0], 3).position.y);
    spline.Release();

    CFerroxBlockGrid field;
    ASSERT_EQ(1, field.Create(5, 5, {0, 0, 0}, 2, 0));
    CFerroxAStar finder;
    finder.SetGrid(nullptr);
    ASSERT_EQ(FERROX_ASTAR_STARTED, finder.Start(6, 18, &field, 0));
    ASSERT_EQ(FERROX_ASTAR_SEARCHING, finder.Step());
    const size_t open = finder.GetOpenList().size();
    const size_t closed = finder.GetClosedList().size();
    ASSERT_GT(open, 0u);
    ASSERT_EQ(1u, closed);
    finder.DrawDebugInfo();
    draws = TakeDraws();
    ASSERT_EQ(open + closed, draws.size());
    size_t small = 0;
    for (const D3D9SoftEvent& draw : draws) {
        EXPECT_EQ(D3DPT_LINESTRIP, draw.draw.type);
        // Open cells: 4 points (3 segments); closed cells: 5 points (4 segments).
        small += draw.draw.primitiveCount == 3;
        EXPECT_TRUE(draw.draw.primitiveCount == 3 || draw.draw.primitiveCount == 4);
    }
    EXPECT_EQ(open, small);
    finder.Release();
}

TEST_F(NavDraw, FloorStripsPerRunOfEqualTilesOnTwoStoreys)
{
    CFerroxTileRecord tileA = {MakeTexture()};
    CFerroxTileRecord tileB = {MakeTexture()};
    ASSERT_NE(nullptr, tileA.raster);
    ASSERT_NE(nullptr, tileB.raster);

    CFerroxBlockMesh ground;
    ASSERT_EQ(1, ground.Create(4, 4, {0, 0, 0}, 2, 0));
    ground.Render();
    EXPECT_TRUE(TakeDraws().empty());  // no tiles, nothing drawn

    ground.SetRangeTileEx(&tileA, 0, 1, 1, 0, nullptr);
    ground.SetRangeTileEx(&tileB, 2, 2, 1, 0, nullptr);
    ground.SetRangeTileEx(&tileB, 9, 10, 1, 0, nullptr);
    ground.Render();
    std::vector<D3D9SoftEvent> draws = TakeDraws();
    ASSERT_EQ(3u, draws.size());
    const UINT triangles[3] = {4, 2, 4};
    for (size_t i = 0; i < draws.size(); i++) {
        EXPECT_EQ(D3DPT_TRIANGLESTRIP, draws[i].draw.type) << i;
        EXPECT_EQ(triangles[i], draws[i].draw.primitiveCount) << i;
        ASSERT_EQ(24u, draws[i].stride0) << i;  // textured layout
        EXPECT_NE(nullptr, draws[i].texture0) << i;
    }
    // Each strip is drawn with its own tile's texture.
    EXPECT_NE(draws[0].texture0, draws[1].texture0);
    EXPECT_EQ(draws[1].texture0, draws[2].texture0);
    // The third strip starts at the pair of row 2, column 1.
    const GxIm3DVertex& expected = ground.GetVertices()[(2 * 5 + 1) * 2];
    const DrawnVertex first = VertexOf(draws[2], 0);
    EXPECT_FLOAT_EQ(expected.objVertex.x, first.position.x);
    EXPECT_FLOAT_EQ(expected.objVertex.z, first.position.z);
    EXPECT_FLOAT_EQ(1.0f, first.u);
    EXPECT_FLOAT_EQ(2.0f, first.v);
    EXPECT_FLOAT_EQ(3.0f, VertexOf(draws[2], 5).v);
    EXPECT_EQ(FERROX_TEXTUREADDRESS_WRAP, RenderState(gxRENDERSTATETEXTUREADDRESSU));
    EXPECT_EQ(FERROX_SHADE_GOURAUD, RenderState(gxRENDERSTATESHADEMODE));

    // Whole ground tiled with A; the storey above takes B on every cell, with a hole in row 1.
    ground.SetRangeTileEx(&tileA, 0, 15, 1, 0, nullptr);
    ASSERT_EQ(0, ground.BuildStoreyAbove(4.0f, &tileB, nullptr));
    // The ground does not free the storey built above it.
    std::unique_ptr<CFerroxBlockMesh> upper(ground.GetUpper());
    ASSERT_NE(nullptr, upper);
    upper->SetRangeTile(5, 6, 1, nullptr);
    for (int n = 0; n < 2; n++) {
        ground.GetLinked(n)->Render();
    }
    draws = TakeDraws();
    ASSERT_EQ(4u + 5u, draws.size());
    for (size_t i = 0; i < 4; i++) {
        EXPECT_EQ(8u, draws[i].draw.primitiveCount) << i;  // a whole row of 4 cells
        EXPECT_FLOAT_EQ(0.0f, VertexOf(draws[i], 0).position.y);
    }
    const UINT upperTriangles[5] = {8, 2, 2, 8, 8};
    for (size_t i = 4; i < draws.size(); i++) {
        EXPECT_EQ(upperTriangles[i - 4], draws[i].draw.primitiveCount) << i;
        EXPECT_FLOAT_EQ(4.0f, VertexOf(draws[i], 0).position.y) << i;
        EXPECT_EQ(draws[4].texture0, draws[i].texture0) << i;
    }
    EXPECT_NE(draws[0].texture0, draws[4].texture0);
}

}  // namespace
