// Tests of raster drawing and clearing: fills by context type, clipping, surface copies and textured quads.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/d3d9/im2d.h"
#include "gfx/d3d9/pixelconv.h"
#include "gfx/d3d9/raster.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/testsupport/software_fixture.h"
#include "platform/testsupport/softdevice.h"

namespace {

// What the 2D renderer was handed for a quad, and the states in force at that moment.
struct QuadSpy {
    int calls = 0;
    GxInt32 primitive = 0;
    GxIm2DVertex vertices[4] = {};
    GxUInt32 vertexAlpha = 0, srcBlend = 0, destBlend = 0, filter = 0, fog = 0;
    GxRaster* texture = nullptr;
};
QuadSpy spy;

GxBool SpyRender(GxInt32 primitive, void* vertices, GxInt32 count)
{
    spy.calls++;
    spy.primitive = primitive;
    if (count == 4) {
        std::memcpy(spy.vertices, vertices, sizeof(spy.vertices));
    }
    GxD3D9RenderStateGet(gxRENDERSTATEVERTEXALPHAENABLE, &spy.vertexAlpha);
    GxD3D9RenderStateGet(gxRENDERSTATESRCBLEND, &spy.srcBlend);
    GxD3D9RenderStateGet(gxRENDERSTATEDESTBLEND, &spy.destBlend);
    GxD3D9RenderStateGet(gxRENDERSTATETEXTUREFILTER, &spy.filter);
    GxD3D9RenderStateGet(gxRENDERSTATEFOGENABLE, &spy.fog);
    spy.texture = GxD3D9GetTextureRaster(0);
    return 1;
}

class RasterDraw : public GxD3D9SoftwareTest {
protected:
    RasterDraw() : GxD3D9SoftwareTest(64, 48) {}
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        spy = QuadSpy();
    }
    void TearDown() override
    {
        GxD3D9SetRasterContext(nullptr, nullptr, 0);
        GxD3D9SoftwareTest::TearDown();
    }
    GxRaster* Raster(GxInt32 w, GxInt32 h, GxInt32 flags)
    {
        GxRaster* raster = Keep(GxRasterCreate(w, h, 0, flags));
        EXPECT_NE(raster, nullptr);
        return raster;
    }
    GxRaster* Sub(GxRaster* parent, GxRect rect)
    {
        GxRaster* sub = Raster(0, 0, parent->type | gxRASTERDONTALLOCATE);
        EXPECT_NE(GxRasterSubRaster(sub, parent, &rect), nullptr);
        return sub;
    }
    static IDirect3DDevice9* Device() { return gxD3D9State.device; }
    static void Context(GxRaster* raster) { ASSERT_TRUE(GxD3D9SetRasterContext(nullptr, raster, 0)); }
    static GxBool ClearRect(GxRect rect, GxUInt32 pixel)
    {
        return GxD3D9RasterClearRect(nullptr, &rect, static_cast<GxInt32>(pixel));
    }
    // Every pixel of a 32-bit raster's level 0.
    static std::vector<GxUInt32> Pixels32(GxRaster* raster)
    {
        std::vector<GxUInt32> out;
        GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        EXPECT_NE(bits, nullptr);
        if (!bits) {
            return out;
        }
        for (GxInt32 y = 0; y < raster->height; y++) {
            const auto* row = reinterpret_cast<const GxUInt32*>(bits + y * raster->stride);
            out.insert(out.end(), row, row + raster->width);
        }
        GxRasterUnlock(raster);
        return out;
    }
    static void Fill32(GxRaster* raster, GxUInt32 value)
    {
        GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKWRITE);
        ASSERT_NE(bits, nullptr);
        for (GxInt32 y = 0; y < raster->height; y++) {
            for (GxInt32 x = 0; x < raster->width; x++) {
                reinterpret_cast<GxUInt32*>(bits + y * raster->stride)[x] = value + static_cast<GxUInt32>(y * 16 + x);
            }
        }
        GxRasterUnlock(raster);
    }
    void UseSpy() { GxEngineInstance->dOpenDevice.fpIm2DRenderPrimitive = SpyRender; }
};

}  // namespace

TEST_F(RasterDraw, FillsOfManagedTexturesAreClippedToTheContext)
{
    GxRaster* parent = Raster(8, 8, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    ASSERT_NE(parent, nullptr);
    Fill32(parent, 0);
    GxRaster* sub = Sub(parent, {2, 3, 4, 2});
    Context(sub);
    // Far larger than the sub-raster, and starting left of it.
    ASSERT_TRUE(ClearRect({-5, -5, 100, 100}, 0xAABBCCDD));
    const std::vector<GxUInt32> pixels = Pixels32(parent);
    ASSERT_EQ(pixels.size(), 64u);
    for (GxInt32 y = 0; y < 8; y++) {
        for (GxInt32 x = 0; x < 8; x++) {
            const bool inside = x >= 2 && x < 6 && y >= 3 && y < 5;
            EXPECT_EQ(pixels[y * 8 + x], inside ? 0xAABBCCDDu : static_cast<GxUInt32>(y * 16 + x)) << x << "," << y;
        }
    }
    // Clear covers exactly the context; an empty rectangle writes nothing and succeeds.
    Context(parent);
    ASSERT_TRUE(ClearRect({8, 0, 3, 3}, 1));
    ASSERT_TRUE(GxD3D9RasterClear(nullptr, nullptr, 0x01020304));
    for (GxUInt32 p : Pixels32(parent)) {
        ASSERT_EQ(p, 0x01020304u);
    }
}

TEST_F(RasterDraw, SixteenAndEightBitFills)
{
    GxRaster* r16 = Raster(4, 4, gxRASTERTYPETEXTURE | gxRASTERFORMAT565);
    ASSERT_NE(r16, nullptr);
    Context(r16);
    ASSERT_TRUE(ClearRect({1, 1, 2, 2}, 0x1234F81F));
    GxUInt8* bits = GxRasterLock(r16, 0, gxRASTERLOCKREAD);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(reinterpret_cast<GxUInt16*>(bits + r16->stride)[1], 0xF81F);
    EXPECT_EQ(reinterpret_cast<GxUInt16*>(bits + r16->stride)[3], 0);
    GxRasterUnlock(r16);

    GxRaster* pal = Raster(4, 4, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888);
    ASSERT_NE(pal, nullptr);
    GxUInt8* palette = GxRasterLockPalette(pal, gxRASTERLOCKWRITE);
    ASSERT_NE(palette, nullptr);
    for (int i = 0; i < 256; i++) {
        const GxUInt8 entry[4] = {200, 200, 200, 255};
        std::memcpy(palette + 4 * i, entry, 4);
    }
    const GxUInt8 seven[4] = {10, 20, 30, 255};
    const GxUInt8 three[4] = {100, 0, 0, 255};
    const GxUInt8 nine[4] = {120, 0, 0, 255};
    std::memcpy(palette + 4 * 7, seven, 4);
    std::memcpy(palette + 4 * 3, three, 4);
    std::memcpy(palette + 4 * 9, nine, 4);
    GxRasterUnlockPalette(pal);
    Context(pal);
    // Pixel values are R, G, B, A from the low byte up.
    ASSERT_TRUE(ClearRect({0, 0, 4, 1}, 0xFF1E140A));
    ASSERT_TRUE(ClearRect({0, 1, 4, 1}, 0xFF00006E));  // red 110: as near to 3 as to 9
    bits = GxRasterLock(pal, 0, gxRASTERLOCKREAD);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(bits[0], 7);
    EXPECT_EQ(bits[pal->stride + 2], 3);
    GxRasterUnlock(pal);
}

TEST_F(RasterDraw, CameraZBufferAndCameraTextureClears)
{
    GxRaster* camera = Raster(64, 48, gxRASTERTYPECAMERA);
    ASSERT_NE(camera, nullptr);
    Context(camera);
    D3D9SoftClearLog(Device());
    ASSERT_TRUE(ClearRect({60, 40, 10, 10}, 0x80FF0000));
    const D3D9SoftEvent* clear = D3D9SoftLast(Device(), D3D9SOFT_CLEAR);
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(clear->a, 1u);
    EXPECT_EQ(clear->b, static_cast<DWORD>(D3DCLEAR_TARGET));
    EXPECT_EQ(clear->value, 0x80FF0000u);

    GxRaster* depth = Raster(64, 48, gxRASTERTYPEZBUFFER);
    ASSERT_NE(depth, nullptr);
    Context(depth);
    ASSERT_TRUE(GxD3D9RasterClear(nullptr, nullptr, 0));
    clear = D3D9SoftLast(Device(), D3D9SOFT_CLEAR);
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(clear->b, static_cast<DWORD>(D3DCLEAR_ZBUFFER));
    EXPECT_FLOAT_EQ(clear->z, 1.0f);
    // A z-buffer made without its surface has nothing to clear; the clear still succeeds.
    Context(Raster(64, 48, gxRASTERTYPEZBUFFER | gxRASTERDONTALLOCATE));
    GxTestTakeErrorCode();
    EXPECT_TRUE(GxD3D9RasterClear(nullptr, nullptr, 0));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);

    // A 16-bit camera texture gets its 16-bit value as the 32-bit fill colour.
    GxRaster* target = Raster(16, 16, gxRASTERTYPECAMERATEXTURE | gxRASTERFORMAT565);
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(target->depth, 16);
    Context(target);
    ASSERT_TRUE(ClearRect({0, 0, 16, 16}, 0xF800));
    const D3D9SoftEvent* fill = D3D9SoftLast(Device(), D3D9SOFT_COLORFILL);
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(fill->value, 0xFFF80000u);
}

TEST_F(RasterDraw, UnsupportedContextsAndCombinations)
{
    GxRect rect = {0, 0, 4, 4};
    GxRaster* texture = Raster(4, 4, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    GxRaster* depth = Raster(4, 4, gxRASTERTYPEZBUFFER);
    ASSERT_TRUE(texture && depth);
    Context(texture);
    // A z-buffer is drawn nowhere.
    EXPECT_FALSE(GxD3D9RasterRender(depth, &rect, 0));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRDEVICEFAILURE);
    // A null raster fails quietly.
    EXPECT_FALSE(GxD3D9RasterRender(nullptr, &rect, 0));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);
    // Nothing draws into a z-buffer context.
    Context(depth);
    EXPECT_FALSE(GxD3D9RasterRenderFast(texture, &rect, 0));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRDEVICEFAILURE);
}

TEST_F(RasterDraw, TextureCopiesAreClippedToTheContext)
{
    GxRaster* source = Raster(8, 8, gxRASTERTYPETEXTURE | gxRASTERFORMAT888);
    GxRaster* target = Raster(8, 8, gxRASTERTYPETEXTURE | gxRASTERFORMAT888);
    ASSERT_TRUE(source && target);
    Fill32(source, 0xFF000000);
    Fill32(target, 0xFF800000);
    Context(target);
    GxRect at = {5, 6, 0, 0};
    ASSERT_TRUE(GxD3D9RasterRender(source, &at, 0)) << GxTestTakeErrorCode();
    const std::vector<GxUInt32> pixels = Pixels32(target);
    for (GxInt32 y = 0; y < 8; y++) {
        for (GxInt32 x = 0; x < 8; x++) {
            const bool copied = x >= 5 && y >= 6;
            const GxUInt32 want = copied ? 0xFF000000u + (y - 6) * 16 + (x - 5) : 0xFF800000u + y * 16 + x;
            EXPECT_EQ(pixels[y * 8 + x], want) << x << "," << y;
        }
    }
    // Wholly outside: nothing to do.
    GxRect away = {-20, 0, 0, 0};
    EXPECT_TRUE(GxD3D9RasterRender(source, &away, 0));
}

TEST_F(RasterDraw, CameraIntoTextureCopiesOnlyTheAskedRectangle)
{
    GxRaster* camera = Raster(64, 48, gxRASTERTYPECAMERA);
    ASSERT_NE(camera, nullptr);
    GxRaster* window = Sub(camera, {10, 12, 4, 3});
    // Paint the back buffer: everything blue, the sub-rectangle green.
    const D3DRECT all = {0, 0, 64, 48};
    const D3DRECT part = {10, 12, 14, 15};
    Device()->SetRenderTarget(0, gxD3D9State.defaultRenderTarget);
    ASSERT_EQ(Device()->Clear(1, &all, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
    ASSERT_EQ(Device()->Clear(1, &part, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);

    GxRaster* texture = Raster(8, 8, gxRASTERTYPETEXTURE | gxRASTERFORMAT888);
    ASSERT_NE(texture, nullptr);
    Fill32(texture, 0xFF000000);
    Context(texture);
    GxRect at = {1, 2, 0, 0};
    ASSERT_TRUE(GxD3D9RasterRender(window, &at, 0)) << GxTestTakeErrorCode();
    const std::vector<GxUInt32> pixels = Pixels32(texture);
    for (GxInt32 y = 0; y < 8; y++) {
        for (GxInt32 x = 0; x < 8; x++) {
            const bool copied = x >= 1 && x < 5 && y >= 2 && y < 5;
            const GxUInt32 want = copied ? 0xFF00FF00u : 0xFF000000u + y * 16 + x;
            EXPECT_EQ(pixels[y * 8 + x] | 0xFF000000u, want) << x << "," << y;
        }
    }
}

TEST_F(RasterDraw, QuadsBlendOnlyWhenAskedAndRestoreStates)
{
    UseSpy();
    GxRaster* camera = Raster(64, 48, gxRASTERTYPECAMERA);
    GxRaster* texture = Raster(16, 8, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    ASSERT_TRUE(camera && texture);
    ASSERT_TRUE(GxD3D9RASTEREXTFromRaster(texture)->alpha);
    Context(camera);
    GxD3D9SetDepthStencilSurface(gxD3D9State.defaultDepthStencil);
    GxUInt32 before[5];
    const GxInt32 states[5] = {gxRENDERSTATESRCBLEND, gxRENDERSTATEDESTBLEND, gxRENDERSTATEVERTEXALPHAENABLE,
                               gxRENDERSTATEFOGENABLE, gxRENDERSTATETEXTUREFILTER};
    GxD3D9RenderStateSet(gxRENDERSTATEFOGENABLE, reinterpret_cast<void*>(1));
    for (int i = 0; i < 5; i++) {
        GxD3D9RenderStateGet(states[i], &before[i]);
    }
    GxRaster* boundBefore = GxD3D9GetTextureRaster(0);

    GxRect at = {3, 4, 0, 0};
    ASSERT_TRUE(GxD3D9RasterRender(texture, &at, 0));
    EXPECT_EQ(spy.calls, 1);
    EXPECT_EQ(spy.primitive, 4);
    EXPECT_EQ(spy.vertexAlpha, 1u);
    EXPECT_EQ(spy.srcBlend, 5u);
    EXPECT_EQ(spy.destBlend, 6u);
    EXPECT_EQ(spy.fog, 0u);
    EXPECT_EQ(spy.filter, 1u);
    EXPECT_EQ(spy.texture, texture);
    for (int i = 0; i < 5; i++) {
        GxUInt32 after = 0;
        GxD3D9RenderStateGet(states[i], &after);
        EXPECT_EQ(after, before[i]) << "state " << states[i];
    }
    EXPECT_EQ(GxD3D9GetTextureRaster(0), boundBefore);
    // The camera keeps its depth buffer for what it draws next.
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(Device()->GetDepthStencilSurface(&depth), D3D_OK);
    EXPECT_EQ(depth, gxD3D9State.defaultDepthStencil);
    depth->Release();

    ASSERT_TRUE(GxD3D9RasterRenderFast(texture, &at, 0));
    EXPECT_EQ(spy.vertexAlpha, 0u);
    GxRect box = {0, 0, 32, 16};
    ASSERT_TRUE(GxD3D9RasterRenderScaled(texture, &box, 0));
    EXPECT_EQ(spy.filter, 2u);
    EXPECT_FLOAT_EQ(spy.vertices[3].x, 32.0f);
    EXPECT_FLOAT_EQ(spy.vertices[3].y, 16.0f);
}

TEST_F(RasterDraw, SubRasterQuadSamplesItsOwnRectangle)
{
    UseSpy();
    GxRaster* camera = Raster(64, 48, gxRASTERTYPECAMERA);
    GxRaster* texture = Raster(16, 8, gxRASTERTYPETEXTURE | gxRASTERFORMAT888);
    ASSERT_TRUE(camera && texture);
    GxRaster* sub = Sub(texture, {4, 2, 8, 4});
    GxRaster* corner = Sub(camera, {20, 10, 30, 30});
    Context(corner);
    GxRect at = {1, 1, 0, 0};
    ASSERT_TRUE(GxD3D9RasterRender(sub, &at, 0));
    ASSERT_EQ(spy.calls, 1);
    // Order: top-left, bottom-left, top-right, bottom-right.
    const GxIm2DVertex* v = spy.vertices;
    EXPECT_FLOAT_EQ(v[0].u, 4.0f / 16);
    EXPECT_FLOAT_EQ(v[0].v, 2.0f / 8);
    EXPECT_FLOAT_EQ(v[3].u, 12.0f / 16);
    EXPECT_FLOAT_EQ(v[3].v, 6.0f / 8);
    EXPECT_FLOAT_EQ(v[1].u, 4.0f / 16);
    EXPECT_FLOAT_EQ(v[1].v, 6.0f / 8);
    // Positions are inside the context's own rectangle of the target.
    EXPECT_FLOAT_EQ(v[0].x, 21.0f);
    EXPECT_FLOAT_EQ(v[0].y, 11.0f);
    EXPECT_FLOAT_EQ(v[3].x, 29.0f);
    EXPECT_FLOAT_EQ(v[3].y, 15.0f);
    EXPECT_EQ(v[2].emissiveColor, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(v[2].rhw, 1.0f);
}

// The fill, the surface copy and the quad on their own, into the current context.
TEST_F(RasterDraw, FillCopyAndQuadDrawIntoTheContext)
{
    GxRaster* target = Raster(4, 4, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    GxRaster* source = Raster(2, 2, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    ASSERT_TRUE(target && source);
    Fill32(target, 0);
    Fill32(source, 0x55000000);
    Context(target);
    const GxRect fill = {1, 0, 3, 1};
    ASSERT_TRUE(GxD3D9RasterFillRect(&fill, static_cast<GxInt32>(0x11223344)));
    const GxRect at = {2, 2, 0, 0};
    ASSERT_TRUE(GxD3D9RasterCopySurface(source, &at, 0));
    const std::vector<GxUInt32> pixels = Pixels32(target);
    ASSERT_EQ(pixels.size(), 16u);
    for (GxInt32 y = 0; y < 4; y++) {
        for (GxInt32 x = 0; x < 4; x++) {
            GxUInt32 want = static_cast<GxUInt32>(y * 16 + x);
            if (y == 0 && x >= 1) {
                want = 0x11223344u;
            } else if (x >= 2 && y >= 2) {
                want = 0x55000000u + static_cast<GxUInt32>((y - 2) * 16 + (x - 2));
            }
            EXPECT_EQ(pixels[y * 4 + x], want) << x << "," << y;
        }
    }

    UseSpy();
    GxRaster* camera = Raster(64, 48, gxRASTERTYPECAMERA);
    ASSERT_NE(camera, nullptr);
    Context(camera);
    const GxRect corner = {3, 4, 0, 0};
    ASSERT_TRUE(GxD3D9RasterRenderQuad(target, &corner, 0, 0));
    EXPECT_EQ(spy.calls, 1);
    EXPECT_EQ(spy.vertexAlpha, 0u) << "no blending asked";
    EXPECT_EQ(spy.texture, target);
    // Top-left, bottom-left, top-right, bottom-right.
    EXPECT_FLOAT_EQ(spy.vertices[0].x, 3.0f);
    EXPECT_FLOAT_EQ(spy.vertices[1].y, 8.0f);
    EXPECT_FLOAT_EQ(spy.vertices[2].x, 7.0f);
    EXPECT_FLOAT_EQ(spy.vertices[3].u, 1.0f);
}
