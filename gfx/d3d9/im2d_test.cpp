// Tests of Im2D on the software device: draw calls, vertex data, index checks, buffer wrap and untouched render states.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "gfx/core/camera.h"
#include "gfx/core/raster.h"
#include "gfx/d3d9/im2d.h"
#include "gfx/d3d9/im2d_testing.h"
#include "gfx/d3d9/im3d.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/testsupport/software_fixture.h"
#include "platform/testsupport/softdevice.h"

namespace {

// Im2D on a device whose dynamic buffers it shares, or with a buffer of its own.
class Im2DTest : public GxD3D9SoftwareTest {
protected:
    Im2DTest() : GxD3D9SoftwareTest(320, 240) {}
    virtual bool OwnBuffer() const = 0;
    void SetUp() override
    {
        // The minimal profile has no hardware transform, so the module makes its own buffer.
        if (OwnBuffer()) {
            setenv("MALL_D3D9_PROFILE", "minimal", 1);
        }
        GxD3D9SoftwareTest::SetUp();
        unsetenv("MALL_D3D9_PROFILE");
        if (HasFatalFailure()) {
            return;
        }
        device = GxD3D9Device();
        ASSERT_TRUE(SUCCEEDED(device->BeginScene()));
        for (GxInt32 i = 0; i < 64; i++) {
            vertices.push_back(GxIm2DVertex{10.0f * i, 20.0f + i, 0.5f, 1.0f, 0xFF000000u | i, 0.0f, 1.0f});
        }
        record = GxEngineInstance->dOpenDevice;
    }
    void TearDown() override
    {
        gxD3D9State.currentCamera = nullptr;
        if (device != nullptr) {
            device->EndScene();
        }
        GxD3D9SoftwareTest::TearDown();
    }
    const D3D9SoftEvent* LastDraw() { return D3D9SoftLast(device, D3D9SOFT_DRAW); }
    size_t Draws() { return D3D9SoftCount(device, D3D9SOFT_DRAW); }
    GxIm2DVertex Drawn(const D3D9SoftEvent* draw, GxUInt32 i)
    {
        GxIm2DVertex v;
        memcpy(&v, draw->stream0->bits.data() + (draw->draw.startVertex + i) * 28, sizeof(v));
        return v;
    }

    IDirect3DDevice9* device = nullptr;
    GxDevice record = {};
    std::vector<GxIm2DVertex> vertices;
};

class Im2D : public Im2DTest, public ::testing::WithParamInterface<bool> {
protected:
    bool OwnBuffer() const override { return GetParam(); }
};

class Im2DOwnBuffer : public Im2DTest {
protected:
    bool OwnBuffer() const override { return true; }
};

}  // namespace

TEST_P(Im2D, RenderersDrawThroughTheDeviceRecord)
{
    EXPECT_EQ(GxD3D9Im2DHasOwnBuffer(), GetParam() ? 1 : 0);
    ASSERT_TRUE(record.fpIm2DRenderLine(vertices.data(), 64, 5, 9));
    const D3D9SoftEvent* draw = LastDraw();
    EXPECT_EQ(draw->draw.type, D3DPT_LINELIST);
    EXPECT_EQ(draw->draw.primitiveCount, 1u);
    EXPECT_EQ(draw->stride0, 28u);
    EXPECT_EQ(Drawn(draw, 0).x, 50.0f);
    EXPECT_EQ(Drawn(draw, 1).emissiveColor, vertices[9].emissiveColor);

    ASSERT_TRUE(record.fpIm2DRenderTriangle(vertices.data(), 64, 1, 2, 3));
    EXPECT_EQ(LastDraw()->draw.type, D3DPT_TRIANGLELIST);
    const UINT triangleStart = LastDraw()->draw.startVertex;

    // A point list, a polyline of one vertex and a strip of two make no primitive: nothing is drawn, the device's
    // answer is returned, and their vertices still take their room in the buffer.
    const size_t draws = Draws();
    EXPECT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPEPOINTLIST, vertices.data(), 7));
    EXPECT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPEPOLYLINE, vertices.data(), 1));
    EXPECT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRISTRIP, vertices.data(), 2));
    EXPECT_EQ(Draws(), draws);
    ASSERT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRIFAN, vertices.data(), 6));
    EXPECT_EQ(LastDraw()->draw.primitiveCount, 4u);
    if (GetParam()) {
        EXPECT_EQ(LastDraw()->draw.startVertex, triangleStart + 3 + 7 + 1 + 2);
    }

    // As many indices as vertices: copied in index order, no index buffer.
    GxUInt16 quad[6] = {0, 1, 2, 2, 1, 3};
    ASSERT_TRUE(record.fpIm2DRenderIndexedPrimitive(gxPRIMTYPETRILIST, vertices.data(), 6, quad, 6));
    draw = LastDraw();
    EXPECT_FALSE(draw->draw.indexed);
    EXPECT_EQ(Drawn(draw, 4).x, vertices[1].x);
    // More indices than vertices: the index buffer.
    ASSERT_TRUE(record.fpIm2DRenderIndexedPrimitive(gxPRIMTYPETRILIST, vertices.data(), 4, quad, 6));
    draw = LastDraw();
    ASSERT_TRUE(draw->draw.indexed);
    EXPECT_EQ(draw->draw.primitiveCount, 2u);
    EXPECT_EQ(draw->draw.numVertices, 4u);
}

// The line and triangle renderers pick their vertices whatever count they are given.
TEST_P(Im2D, LinesAndTrianglesIgnoreTheVertexCount)
{
    ASSERT_TRUE(record.fpIm2DRenderLine(vertices.data(), 2, 5, 9));
    EXPECT_EQ(Drawn(LastDraw(), 1).x, vertices[9].x);
    ASSERT_TRUE(record.fpIm2DRenderTriangle(vertices.data(), 0, 7, 8, 40));
    EXPECT_EQ(Drawn(LastDraw(), 2).x, vertices[40].x);
}

// An unknown primitive type is drawn as nothing: its vertices take their room and the device's answer is returned.
TEST_P(Im2D, UnknownTypesPlaceTheirVerticesAndDrawNothing)
{
    ASSERT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, vertices.data(), 3));
    const UINT start = LastDraw()->draw.startVertex;
    const size_t draws = Draws();
    EXPECT_TRUE(record.fpIm2DRenderPrimitive(9, vertices.data(), 4));
    GxUInt16 quad[6] = {0, 1, 2, 2, 1, 3};
    EXPECT_TRUE(record.fpIm2DRenderIndexedPrimitive(9, vertices.data(), 6, quad, 6));
    EXPECT_EQ(Draws(), draws);
    ASSERT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, vertices.data(), 3));
    if (GetParam()) {
        EXPECT_EQ(LastDraw()->draw.startVertex, start + 3 + 4 + 6);
        // An empty batch locks like any other in the own buffer and makes no primitive.
        EXPECT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, vertices.data(), 0));
        EXPECT_EQ(Draws(), draws + 1);
    }
}

TEST_P(Im2D, SubRasterTargetsShiftTheVertices)
{
    GxRaster sub = {};
    sub.offsetX = 16;
    sub.offsetY = 8;
    GxCamera camera = {};
    camera.frameBuffer = &sub;
    gxD3D9State.currentCamera = &camera;
    ASSERT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPELINELIST, vertices.data(), 2));
    EXPECT_EQ(Drawn(LastDraw(), 1).x, vertices[1].x + 16.0f);
    EXPECT_EQ(Drawn(LastDraw(), 1).y, vertices[1].y + 8.0f);
    EXPECT_EQ(vertices[1].x, 10.0f);  // the caller's array is left alone
}

// The set-up turns clipping and lighting off and leaves them so; the caller's engine render states stay untouched.
TEST_P(Im2D, SetUpChangesClippingAndLightingOnly)
{
    GxD3D9RenderStateSet(gxRENDERSTATESRCBLEND, reinterpret_cast<void*>(static_cast<intptr_t>(5)));
    GxD3D9RenderStateSet(gxRENDERSTATEZTESTENABLE, reinterpret_cast<void*>(static_cast<intptr_t>(0)));
    GxD3D9SetRenderState(D3DRS_LIGHTING, TRUE);
    GxD3D9SetRenderState(D3DRS_CLIPPING, TRUE);
    ASSERT_TRUE(record.fpIm2DRenderTriangle(vertices.data(), 64, 0, 1, 2));
    GxUInt32 value = TRUE;
    GxD3D9GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, static_cast<GxUInt32>(FALSE));
    value = TRUE;
    GxD3D9GetRenderState(D3DRS_CLIPPING, &value);
    EXPECT_EQ(value, static_cast<GxUInt32>(FALSE));
    GxInt32 engineValue = -1;
    GxD3D9RenderStateGet(gxRENDERSTATESRCBLEND, &engineValue);
    EXPECT_EQ(engineValue, 5);
    GxD3D9RenderStateGet(gxRENDERSTATEZTESTENABLE, &engineValue);
    EXPECT_EQ(engineValue, 0);
    DWORD lighting = TRUE;
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, static_cast<DWORD>(FALSE));
    // The next batch finds every state in place: nothing more reaches the device.
    D3D9SoftClearLog(device);
    ASSERT_TRUE(record.fpIm2DRenderTriangle(vertices.data(), 64, 0, 1, 2));
    for (const D3D9SoftEvent& e : D3D9SoftLog(device)) {
        EXPECT_FALSE(e.type == D3D9SOFT_STATE && e.kind == D3D9_STATE_RENDER) << "render state " << e.a;
    }
}

// More than 10000 indices for a truly indexed draw are refused after the vertices were written, and the next
// vertex index stays where it was; 10000 are drawn through the index buffer.
TEST_P(Im2D, MoreIndicesThanTheIndexBufferHoldsAreRefused)
{
    std::vector<GxUInt16> indices(gxIM2DMAXINDICES + 1);
    for (size_t i = 0; i < indices.size(); i++) {
        indices[i] = static_cast<GxUInt16>(i % 64);
    }
    ASSERT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, vertices.data(), 3));
    const UINT next = LastDraw()->draw.startVertex + 3;
    const size_t draws = Draws();
    const size_t uploads = D3D9SoftCount(device, D3D9SOFT_UPLOAD);
    EXPECT_FALSE(record.fpIm2DRenderIndexedPrimitive(gxPRIMTYPETRILIST, vertices.data(), 64, indices.data(),
                                                     gxIM2DMAXINDICES + 1));
    EXPECT_EQ(Draws(), draws);
    EXPECT_GT(D3D9SoftCount(device, D3D9SOFT_UPLOAD), uploads) << "the vertices were written";
    ASSERT_TRUE(
        record.fpIm2DRenderIndexedPrimitive(gxPRIMTYPETRILIST, vertices.data(), 64, indices.data(), gxIM2DMAXINDICES));
    ASSERT_TRUE(LastDraw()->draw.indexed);
    EXPECT_EQ(LastDraw()->draw.primitiveCount, static_cast<UINT>(gxIM2DMAXINDICES / 3));
    if (GetParam()) {
        EXPECT_EQ(LastDraw()->draw.baseVertexIndex, static_cast<INT>(next));
    }
}

TEST_F(Im2DOwnBuffer, WrapsWithADiscard)
{
    ASSERT_TRUE(GxD3D9Im2DHasOwnBuffer());
    std::vector<GxIm2DVertex> batch(gxIM2DMAXVERTICES - 3, vertices[0]);
    ASSERT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, vertices.data(), 3));
    ASSERT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, batch.data(), static_cast<GxInt32>(batch.size())));
    EXPECT_EQ(LastDraw()->draw.startVertex, 3u);  // ends exactly at the last vertex
    ASSERT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPEPOINTLIST, vertices.data(), 1));
    const D3D9SoftEvent* upload = D3D9SoftLast(device, D3D9SOFT_UPLOAD);
    ASSERT_NE(upload, nullptr);
    EXPECT_EQ(upload->a, 0u);
    EXPECT_TRUE(upload->value & D3DLOCK_DISCARD);
    // A batch larger than the buffer fails at its lock, which starts the buffer over.
    std::vector<GxIm2DVertex> tooMany(gxIM2DMAXVERTICES + 1, vertices[0]);
    EXPECT_FALSE(record.fpIm2DRenderPrimitive(gxPRIMTYPEPOINTLIST, tooMany.data(), gxIM2DMAXVERTICES + 1));
    ASSERT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, vertices.data(), 3));
    EXPECT_EQ(LastDraw()->draw.startVertex, 0u);
}

INSTANTIATE_TEST_SUITE_P(Buffers, Im2D, ::testing::Values(false, true));

TEST_P(Im2D, ImmediateModesComeBackAfterADeviceReset)
{
    device->EndScene();
    D3D9SoftLoseDevice(device, 1);
    EXPECT_FALSE(GxD3D9BeginSceneWithRecovery());
    // The reset is refused while any default-pool buffer is alive, so this also checks the release.
    ASSERT_TRUE(GxD3D9BeginSceneWithRecovery());
    EXPECT_EQ(D3D9SoftCount(device, D3D9SOFT_RESET), 1u);
    EXPECT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, vertices.data(), 3));
    std::vector<GxIm3DVertex> points(40);
    ASSERT_TRUE(GxIm3DTransform(points.data(), 40, nullptr, 0));
    std::vector<GxImVertexIndex> indices(30, 1);
    EXPECT_TRUE(GxIm3DRenderIndexedPrimitive(gxPRIMTYPETRILIST, indices.data(), 30));
    EXPECT_TRUE(LastDraw()->draw.indexed || GetParam());
    GxIm3DEnd();
}

TEST_F(Im2DOwnBuffer, OpenFailsWhenTheVertexDeclarationCannotBeMade)
{
    GxD3D9Im2DClose();
    const size_t destroyed = D3D9SoftCount(device, D3D9SOFT_DESTROY);
    D3D9SoftFailCreates(device, 1, D3D9SOFT_FAIL_DECLARATIONS);
    EXPECT_FALSE(GxD3D9Im2DOpen());
    // The buffers made before the refusal are released again.
    EXPECT_EQ(D3D9SoftCount(device, D3D9SOFT_DESTROY), destroyed + 2);
    EXPECT_FALSE(GxD3D9Im2DHasOwnBuffer());
    EXPECT_FALSE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, vertices.data(), 3));
    ASSERT_TRUE(GxD3D9Im2DOpen());
    EXPECT_TRUE(record.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, vertices.data(), 3));
}
