// Tests of the driver's native rasters on the software device: creation by type, formats, locks, palettes, device loss.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/image.h"
#include "gfx/d3d9/raster_testing.h"
#include "gfx/testsupport/software_fixture.h"
#include "platform/testsupport/softdevice.h"

namespace {

class D3D9Raster : public GxD3D9SoftwareTest {
protected:
    D3D9Raster() : GxD3D9SoftwareTest(320, 240) {}
    void SetUp() override
    {
        memoryFunctions = GxTestMemoryReset();
        GxD3D9SoftwareTest::SetUp();
        savedCaps = gxD3D9State.caps;
    }
    void TearDown() override
    {
        gxD3D9State.caps = savedCaps;
        if (gxD3D9State.d3d != nullptr) {
            D3D9SoftRefuseFormat(gxD3D9State.d3d, D3DFMT_L8, false);
            D3D9SoftRefuseFormat(gxD3D9State.d3d, D3DFMT_A8R8G8B8, false);
        }
        GxD3D9SoftwareTest::TearDown();
    }
    GxRaster* Make(GxInt32 width, GxInt32 height, GxInt32 flags)
    {
        return Keep(GxRasterCreate(width, height, 0, flags));
    }
    bool Listed(const GxRaster* raster)
    {
        for (const GxD3D9RasterListNode* node = GxD3D9RasterListFirst(); node; node = node->next) {
            if (node->raster == raster) {
                return true;
            }
        }
        return false;
    }
    D3DPOOL TexturePool(const GxRaster* raster)
    {
        D3DSURFACE_DESC desc = {};
        GxD3D9RasterGetTexture(raster)->GetLevelDesc(0, &desc);
        return desc.Pool;
    }

    D3DCAPS9 savedCaps = {};
};

// The free-list allocation the engine ran with; the device-memory list's nodes are refused.
GxFreeListAllocFunc realAlloc = nullptr;
void* RefuseListNodes(GxFreeList* list, GxUInt32 hint)
{
    return hint == gxD3D9RASTERLISTHINT ? nullptr : realAlloc(list, hint);
}

}  // namespace

TEST_F(D3D9Raster, ARasterTheLossListCanNotHoldIsNotCreated)
{
    realAlloc = GxEngineInstance->memoryAlloc;
    GxEngineInstance->memoryAlloc = RefuseListNodes;
    GxTestTakeErrorCode();
    GxRaster* target = Make(64, 64, gxRASTERTYPECAMERATEXTURE);
    const GxInt32 targetError = GxTestTakeErrorCode();
    GxRaster* ownZ = Make(64, 64, gxRASTERTYPEZBUFFER);
    const GxInt32 zError = GxTestTakeErrorCode();
    GxRaster* depth = Keep(GxD3D9RasterCreateFromD3DFormat(32, 32, D3DFMT_D24X8, gxRASTERTYPETEXTURE));
    const GxInt32 depthError = GxTestTakeErrorCode();
    GxEngineInstance->memoryAlloc = realAlloc;
    EXPECT_EQ(target, nullptr);
    EXPECT_EQ(targetError, gxERRNOMEMORY);
    EXPECT_EQ(ownZ, nullptr);
    EXPECT_EQ(zError, gxERRNOMEMORY);
    EXPECT_EQ(depth, nullptr);
    EXPECT_EQ(depthError, gxERRNOMEMORY);
    // No default-pool object was left behind, so the device still resets.
    ASSERT_TRUE(GxD3D9ReleaseVideoMemory());
    EXPECT_EQ(gxD3D9State.device->Reset(&gxD3D9State.present), D3D_OK);
    EXPECT_TRUE(GxD3D9RestoreVideoMemory());
}

TEST_F(D3D9Raster, ExtensionAndFormatTables)
{
    EXPECT_GE(gxD3D9RasterExtOffset, static_cast<GxInt32>(sizeof(GxRaster)));
    EXPECT_EQ(gxD3D9RasterExtOffset % static_cast<GxInt32>(alignof(GxD3D9RasterExt)), 0);

    // The whole extension belongs to its raster: filling it leaves the next raster intact.
    GxRaster* first = Make(0, 0, gxRASTERTYPETEXTURE);
    GxRaster* second = Make(0, 0, gxRASTERTYPETEXTURE);
    ASSERT_TRUE(first && second);
    std::memset(GxD3D9RASTEREXTFromRaster(first), 0, sizeof(GxD3D9RasterExt));
    std::memset(GxD3D9RASTEREXTFromRaster(second), 0, sizeof(GxD3D9RasterExt));
    EXPECT_EQ(second->parent, second);
    EXPECT_EQ(first->parent, first);

    // Every colour format code in the Direct3D table leads back to that Direct3D format.
    for (GxUInt32 format = 0; format < static_cast<GxUInt32>(gxD3D9FORMATINFOSIZE); format++) {
        const GxInt32 nibble = (GxD3D9FormatInfo[format].rasterFormat >> 8) & 0xF;
        if (nibble != 0 && (nibble < 7 || nibble > 9)) {
            EXPECT_EQ(GxD3D9RasterFormatInfo[nibble].d3dFormat, format);
            EXPECT_EQ(GxD3D9RasterFormatInfo[nibble].alpha, GxD3D9FormatInfo[format].alpha);
        }
    }

    // Exactly the five DXT codes; YUY2 and UYVY sort between them but are not compressed formats.
    EXPECT_TRUE(GxD3D9IsDXTFormat(D3DFMT_DXT1));
    EXPECT_TRUE(GxD3D9IsDXTFormat(D3DFMT_DXT5));
    EXPECT_FALSE(GxD3D9IsDXTFormat(D3DFMT_YUY2));
    EXPECT_FALSE(GxD3D9IsDXTFormat(D3DFMT_UYVY));
    EXPECT_FALSE(GxD3D9IsDXTFormat(D3DFMT_DXT1 - 1));
}

TEST_F(D3D9Raster, EachTypeGetsItsDeviceObject)
{
    GxRaster* texture = Make(64, 32, gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(GxRasterGetFormat(texture), gxRASTERFORMAT8888 | gxRASTERFORMATMIPMAP);
    EXPECT_EQ(texture->depth, 32);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(texture)->alpha, 1);
    ASSERT_NE(GxD3D9RasterGetTexture(texture), nullptr);
    EXPECT_EQ(GxD3D9RasterGetTexture(texture)->GetLevelCount(), 7u);
    EXPECT_EQ(TexturePool(texture), D3DPOOL_MANAGED);
    EXPECT_FALSE(Listed(texture));

    GxRaster* normal = Make(16, 16, gxRASTERTYPENORMAL | gxRASTERFORMAT565);
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(normal->depth, 16);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(normal)->d3dFormat, static_cast<GxUInt32>(D3DFMT_R5G6B5));

    // A z-buffer of the window's size shares the device's own surface; another size has its own.
    GxRaster* sharedZ = Make(320, 240, gxRASTERTYPEZBUFFER);
    ASSERT_NE(sharedZ, nullptr);
    EXPECT_EQ(GxD3D9RasterGetSurface(sharedZ), gxD3D9State.defaultDepthStencil);
    EXPECT_TRUE(Listed(sharedZ));
    GxRaster* ownZ = Make(64, 64, gxRASTERTYPEZBUFFER);
    ASSERT_NE(ownZ, nullptr);
    EXPECT_NE(GxD3D9RasterGetSurface(ownZ), gxD3D9State.defaultDepthStencil);
    EXPECT_EQ(GxRasterGetFormat(ownZ), GxD3D9ZBufferDepth() == 16 ? gxRASTERFORMAT16 : gxRASTERFORMAT32);
    // Without a device surface to share, the window-sized z-buffer makes its own.
    IDirect3DSurface9* deviceDepth = gxD3D9State.defaultDepthStencil;
    gxD3D9State.defaultDepthStencil = nullptr;
    GxRaster* unsharedZ = Make(320, 240, gxRASTERTYPEZBUFFER);
    gxD3D9State.defaultDepthStencil = deviceDepth;
    ASSERT_NE(unsharedZ, nullptr);
    EXPECT_NE(GxD3D9RasterGetSurface(unsharedZ), nullptr);
    GxRasterDestroy(unsharedZ);
    rasters.pop_back();

    GxRaster* camera = Make(320, 240, gxRASTERTYPECAMERA);
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->depth, 32);
    EXPECT_TRUE(Listed(camera));

    GxRaster* target = Make(128, 128, gxRASTERTYPECAMERATEXTURE);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(TexturePool(target), D3DPOOL_DEFAULT);
    EXPECT_TRUE(Listed(target));
    EXPECT_EQ(GxRasterGetFormat(target), GxD3D9ZBufferDepth() == 16 ? gxRASTERFORMAT565 : gxRASTERFORMAT888);

    // Destroying the shared z-buffer leaves the device's surface alone.
    GxRasterDestroy(sharedZ);
    rasters.erase(rasters.begin() + 2);
    EXPECT_FALSE(Listed(sharedZ));
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(gxD3D9State.device->GetDepthStencilSurface(&depth), D3D_OK);
    D3DSURFACE_DESC desc = {};
    EXPECT_EQ(depth->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 320u);
    depth->Release();
}

// The creators by type, on rasters made without a device object: each gives the raster its own object, refuses what
// its type can not hold, and leaves the listing of what a device loss takes to its caller.
TEST_F(D3D9Raster, CreatorsMakeTheObjectOfTheirType)
{
    const auto unallocated = [this](GxInt32 width, GxInt32 flags) {
        GxRaster* raster = Make(width, width, flags | gxRASTERDONTALLOCATE);
        // Destroy releases the object only of a raster that was allocated.
        if (raster) {
            raster->flags &= ~gxRASTERDONTALLOCATE;
        }
        return raster;
    };
    GxRaster* texture = unallocated(32, gxRASTERTYPETEXTURE | gxRASTERFORMAT565 | gxRASTERFORMATMIPMAP);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(GxD3D9RasterGetTexture(texture), nullptr);
    ASSERT_TRUE(GxD3D9RasterCreateTexture(texture));
    ASSERT_NE(GxD3D9RasterGetTexture(texture), nullptr);
    EXPECT_EQ(GxD3D9RasterGetTexture(texture)->GetLevelCount(), 6u);
    EXPECT_EQ(TexturePool(texture), D3DPOOL_MANAGED);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(texture)->d3dFormat, static_cast<GxUInt32>(D3DFMT_R5G6B5));

    GxRaster* target = unallocated(64, gxRASTERTYPECAMERATEXTURE);
    ASSERT_NE(target, nullptr);
    ASSERT_TRUE(GxD3D9RasterCreateCameraTexture(target));
    EXPECT_EQ(TexturePool(target), D3DPOOL_DEFAULT);
    EXPECT_FALSE(Listed(target));

    GxRaster* depth = unallocated(64, gxRASTERTYPEZBUFFER);
    ASSERT_NE(depth, nullptr);
    ASSERT_TRUE(GxD3D9RasterCreateZBuffer(depth));
    ASSERT_NE(GxD3D9RasterGetSurface(depth), nullptr);
    EXPECT_NE(GxD3D9RasterGetSurface(depth), gxD3D9State.defaultDepthStencil);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(depth)->alpha, 0);

    // A palettised texture of a base other than 888 or 8888, and a palettised camera texture.
    GxRaster* palettised = unallocated(16, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888 | gxRASTERFORMATPAL8);
    ASSERT_NE(palettised, nullptr);
    palettised->format = static_cast<GxUInt8>((gxRASTERFORMAT565 | gxRASTERFORMATPAL8) >> 8);
    GxTestTakeErrorCode();
    EXPECT_FALSE(GxD3D9RasterCreateTexture(palettised));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRDEVICEFAILURE);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(palettised)->palette, nullptr) << "the palette block went back";
    palettised->format = static_cast<GxUInt8>((gxRASTERFORMAT888 | gxRASTERFORMATPAL8) >> 8);
    EXPECT_FALSE(GxD3D9RasterCreateCameraTexture(palettised));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRDEVICEFAILURE);
    palettised->format = static_cast<GxUInt8>(gxRASTERFORMAT8888 >> 8);
}

TEST_F(D3D9Raster, RefusedRequests)
{
    for (GxInt32 pixel : {0, static_cast<GxInt32>(gxRASTERFORMAT888)}) {
        EXPECT_EQ(Make(16, 16, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL4 | pixel), nullptr) << pixel;
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDRASTER) << pixel;
    }
    EXPECT_EQ(Make(16, 16, gxRASTERTYPECAMERATEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRDEVICEFAILURE);
    EXPECT_EQ(Make(400, 240, gxRASTERTYPECAMERA), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRDEVICEFAILURE);
    EXPECT_EQ(Make(16, 16, gxRASTERTYPEZBUFFER | gxRASTERFORMAT565), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDRASTER);
    // A pixel format beyond the table names no format the device holds: refused like any the device lacks.
    EXPECT_EQ(Make(16, 16, gxRASTERTYPETEXTURE | 0x0B00), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);
    EXPECT_EQ(Make(16, 16, gxRASTERTYPECAMERATEXTURE | 0x0B00), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDRASTER);

    // Before the device is started nothing that needs a device object is made.
    IDirect3DDevice9* device = gxD3D9State.device;
    gxD3D9State.device = nullptr;
    GxRaster* early = Make(16, 16, gxRASTERTYPETEXTURE);
    const GxInt32 earlyError = GxTestTakeErrorCode();
    GxRaster* earlyNative = Keep(GxD3D9RasterCreateFromD3DFormat(16, 16, D3DFMT_A8R8G8B8, gxRASTERTYPETEXTURE));
    gxD3D9State.device = device;
    EXPECT_EQ(early, nullptr);
    EXPECT_EQ(earlyError, gxERRENGINESTATE);
    EXPECT_EQ(earlyNative, nullptr);

    // A device that can not make the texture: the creation fails with its message.
    D3D9SoftFailCreates(gxD3D9State.device, 1, D3D9SOFT_FAIL_TEXTURES);
    EXPECT_EQ(Make(16, 16, gxRASTERTYPETEXTURE), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRDEVICEFAILURE);

    // Zero sizes give a record without pixels.
    GxRaster* empty = Make(0, 16, gxRASTERTYPETEXTURE);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->flags, gxRASTERDONTALLOCATE);
    EXPECT_EQ(GxD3D9RasterGetTexture(empty), nullptr);
    EXPECT_EQ(GxRasterLock(empty, 0, gxRASTERLOCKREAD), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRRASTERLOCK);
}

TEST_F(D3D9Raster, FormatChoiceFollowsTheDevice)
{
    EXPECT_EQ(GxD3D9RasterChooseFormat(gxRASTERTYPETEXTURE, gxRASTERFORMATLUM8), gxRASTERFORMATLUM8);
    D3D9SoftRefuseFormat(gxD3D9State.d3d, D3DFMT_L8, true);
    EXPECT_EQ(GxD3D9RasterChooseFormat(gxRASTERTYPETEXTURE, gxRASTERFORMATLUM8 | gxRASTERFORMATMIPMAP),
              gxRASTERFORMAT888 | gxRASTERFORMATMIPMAP);
    // A direct create of the refused format fails without an error.
    EXPECT_EQ(Make(16, 16, gxRASTERTYPETEXTURE | gxRASTERFORMATLUM8), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);

    EXPECT_EQ(GxD3D9RasterChooseFormat(gxRASTERTYPETEXTURE, gxRASTERFORMATPAL4 | gxRASTERFORMAT888),
              gxRASTERFORMATPAL8 | gxRASTERFORMAT888);
    EXPECT_EQ(GxD3D9RasterChooseFormat(gxRASTERTYPEZBUFFER, 0), GxD3D9ZBufferDepth() == 16 ? 0x700 : 0x900);
    EXPECT_EQ(GxD3D9RasterChooseFormat(gxRASTERTYPECAMERA, 0), gxRASTERFORMAT8888);
    EXPECT_EQ(GxD3D9RasterChooseFormat(gxRASTERTYPECAMERATEXTURE, gxRASTERFORMAT4444),
              GxD3D9ZBufferDepth() == 16 ? gxRASTERFORMAT4444 : gxRASTERFORMAT8888);
    // Camera textures follow the z-buffer: a 16-bit one narrows only 32-bit requests, a 32-bit one widens 16-bit
    // requests.
    const D3DFORMAT zFormat = gxD3D9State.depthStencilFormat;
    gxD3D9State.depthStencilFormat = D3DFMT_D16;
    const GxInt32 with16[] = {
        GxD3D9RasterChooseFormat(gxRASTERTYPECAMERATEXTURE, gxRASTERFORMAT555),
        GxD3D9RasterChooseFormat(gxRASTERTYPECAMERATEXTURE, gxRASTERFORMAT1555),
        GxD3D9RasterChooseFormat(gxRASTERTYPECAMERATEXTURE, gxRASTERFORMAT888),
        GxD3D9RasterChooseFormat(gxRASTERTYPECAMERATEXTURE, gxRASTERFORMAT8888),
    };
    gxD3D9State.depthStencilFormat = D3DFMT_D24S8;
    const GxInt32 widened = GxD3D9RasterChooseFormat(gxRASTERTYPECAMERATEXTURE, gxRASTERFORMAT555);
    const GxInt32 with32[] = {
        GxD3D9RasterChooseFormat(gxRASTERTYPECAMERATEXTURE, gxRASTERFORMATLUM8),
        GxD3D9RasterChooseFormat(gxRASTERTYPECAMERATEXTURE, gxRASTERFORMAT32),
    };
    gxD3D9State.depthStencilFormat = zFormat;
    EXPECT_EQ(with32[0], gxRASTERFORMATLUM8);
    EXPECT_EQ(with32[1], gxRASTERFORMAT32);
    EXPECT_EQ(with16[0], gxRASTERFORMAT555);
    EXPECT_EQ(with16[1], gxRASTERFORMAT1555);
    EXPECT_EQ(with16[2], gxRASTERFORMAT565);
    EXPECT_EQ(with16[3], gxRASTERFORMAT4444);
    EXPECT_EQ(widened, gxRASTERFORMAT888);
    GxD3D9RasterChooseFormat(3, 0);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDRASTER);

    // A cube render target takes a format the device renders to and holds in cubes.
    EXPECT_TRUE(GxD3D9CheckRenderTargetCubeFormat(D3DFMT_A8R8G8B8));
    EXPECT_FALSE(GxD3D9CheckRenderTargetCubeFormat(D3DFMT_DXT1));
    D3D9SoftRefuseFormat(gxD3D9State.d3d, D3DFMT_A8R8G8B8, true);
    EXPECT_FALSE(GxD3D9CheckRenderTargetCubeFormat(D3DFMT_A8R8G8B8));
    GxRaster* fallback = Make(16, 16, gxRASTERTYPETEXTURE);
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(GxRasterGetFormat(fallback), gxRASTERFORMAT4444);
    EXPECT_EQ(fallback->depth, 16);
}

TEST_F(D3D9Raster, SizeClampNeverGrows)
{
    GxInt32 w = 300, h = 200;
    gxD3D9State.caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
    gxD3D9State.caps.TextureCaps &= ~(D3DPTEXTURECAPS_NONPOW2CONDITIONAL | D3DPTEXTURECAPS_SQUAREONLY);
    GxD3D9RasterClampSize(&w, &h, gxRASTERFORMATMIPMAP | gxRASTERTYPETEXTURE);
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 128);

    w = 300, h = 200;
    gxD3D9State.caps.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    GxD3D9RasterClampSize(&w, &h, gxRASTERFORMATMIPMAP | gxRASTERTYPETEXTURE);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 128);

    // The conditional exemption spares plain textures but not mipmapped ones.
    w = 300, h = 200;
    gxD3D9State.caps.TextureCaps &= ~D3DPTEXTURECAPS_SQUAREONLY;
    gxD3D9State.caps.TextureCaps |= D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
    GxD3D9RasterClampSize(&w, &h, gxRASTERTYPETEXTURE);
    EXPECT_EQ(w, 300);
    GxD3D9RasterClampSize(&w, &h, gxRASTERFORMATMIPMAP | gxRASTERTYPETEXTURE);
    EXPECT_EQ(w, 256);

    w = 9000, h = 0;
    GxD3D9RasterClampSize(&w, &h, gxRASTERTYPETEXTURE);
    EXPECT_EQ(w, static_cast<GxInt32>(gxD3D9State.caps.MaxTextureWidth));
    EXPECT_EQ(h, 0);
}

TEST_F(D3D9Raster, LockUnlockLevelsAndPitch)
{
    GxRaster* raster = Make(64, 16, gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP | gxRASTERFORMAT8888);
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(GxRasterGetNumLevels(raster), 7);

    GxUInt8* pixels = GxRasterLock(raster, 3, gxRASTERLOCKREAD);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(raster->width, 8);
    EXPECT_EQ(raster->height, 2);
    EXPECT_GE(raster->stride, 8 * 4);
    EXPECT_EQ(raster->privateFlags & gxRASTERPIXELLOCKED, gxRASTERPIXELLOCKEDREAD);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(raster)->lockedMipLevel, 3);

    // A second lock fails and leaves the first intact.
    EXPECT_EQ(GxRasterLock(raster, 0, gxRASTERLOCKWRITE), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRRASTERLOCK);
    EXPECT_EQ(raster->pixels, pixels);
    EXPECT_EQ(raster->width, 8);
    ASSERT_EQ(GxRasterUnlock(raster), raster);
    EXPECT_EQ(raster->width, 64);
    EXPECT_EQ(raster->height, 16);
    EXPECT_EQ(raster->pixels, nullptr);
    EXPECT_EQ(raster->privateFlags & gxRASTERPIXELLOCKED, 0);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(raster)->lockedMipLevel, 0xFF);

    ASSERT_NE(GxRasterLock(raster, 5, gxRASTERLOCKREAD), nullptr);
    EXPECT_EQ(raster->width, 2);
    EXPECT_EQ(raster->height, 1);
    GxRasterUnlock(raster);
    EXPECT_EQ(GxRasterUnlock(raster), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRRASTERNOTLOCKED);
    EXPECT_EQ(GxRasterLock(raster, 7, gxRASTERLOCKREAD), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRRASTERLOCK);

    // What is written through a lock is read back through the next one.
    pixels = GxRasterLock(raster, 0, gxRASTERLOCKWRITE);
    ASSERT_NE(pixels, nullptr);
    const GxInt32 stride = raster->stride;
    for (GxInt32 y = 0; y < 16; y++) {
        std::memset(pixels + y * stride, y + 1, 64 * 4);
    }
    GxRasterUnlock(raster);
    pixels = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 1);
    EXPECT_EQ(pixels[15 * stride + 255], 16);
    GxRasterUnlock(raster);

    GxRaster* z = Make(32, 32, gxRASTERTYPEZBUFFER);
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(GxRasterLock(z, 0, gxRASTERLOCKREAD), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRRASTERLOCK);
}

// A raster converted for mipmapping carries its level 0 over through a 32-bit image into a raster re-created with
// device-built levels, in the format the display depth and the device allow for its kind. Palettised, camera-texture
// and cube rasters are converted too.
TEST_F(D3D9Raster, ConversionToMipmapsKeepsTheFirstLevel)
{
    constexpr GxInt32 kMipmapBits = gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP;
    // Level 0 as R, G, B, A bytes.
    const auto level0 = [](GxRaster* raster) {
        std::vector<GxUInt8> bytes;
        GxImage* image = GxImageCreate(raster->width, raster->height, 32);
        if (image && GxImageAllocatePixels(image) && GxD3D9ImageGetFromRaster(image, raster, 0)) {
            for (GxInt32 y = 0; y < image->height; y++) {
                const GxUInt8* row = image->pixels + static_cast<size_t>(y) * image->stride;
                bytes.insert(bytes.end(), row, row + image->width * 4);
            }
        }
        GxImageDestroy(image);
        return bytes;
    };
    const auto fill = [](GxRaster* raster, GxInt32 bytesPerTexel) {
        GxUInt8* pixels = GxRasterLock(raster, 0, gxRASTERLOCKWRITE);
        ASSERT_NE(pixels, nullptr);
        for (GxInt32 y = 0; y < raster->height; y++) {
            for (GxInt32 x = 0; x < raster->width * bytesPerTexel; x++) {
                pixels[y * raster->stride + x] = static_cast<GxUInt8>(37 * y + 11 * x + 5);
            }
        }
        GxRasterUnlock(raster);
    };

    // An opaque 16-bit texture on a 32-bit display comes back 888.
    GxRaster* plain = Make(16, 8, gxRASTERTYPETEXTURE | gxRASTERFORMAT565);
    ASSERT_NE(plain, nullptr);
    fill(plain, 2);
    const std::vector<GxUInt8> plainBefore = level0(plain);
    ASSERT_EQ(GxD3D9RasterConvertToMipmapped(plain), plain);
    EXPECT_EQ(GxRasterGetFormat(plain), gxRASTERFORMAT888 | kMipmapBits);
    EXPECT_EQ(plain->depth, 32);
    D3DSURFACE_DESC desc = {};
    GxD3D9RasterGetTexture(plain)->GetLevelDesc(0, &desc);
    EXPECT_NE(desc.Usage & D3DUSAGE_AUTOGENMIPMAP, 0u) << "the device builds the levels below";
    EXPECT_EQ(level0(plain), plainBefore);

    // On a 16-bit display a texture with alpha comes back 4444.
    GxRaster* shallow = Make(8, 8, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    ASSERT_NE(shallow, nullptr);
    const GxInt32 displayDepth = gxD3D9State.currentDepth;
    gxD3D9State.currentDepth = 16;
    GxRaster* converted = GxD3D9RasterConvertToMipmapped(shallow);
    gxD3D9State.currentDepth = displayDepth;
    ASSERT_EQ(converted, shallow);
    EXPECT_EQ(GxRasterGetFormat(shallow), gxRASTERFORMAT4444 | kMipmapBits);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(shallow)->d3dFormat, static_cast<GxUInt32>(D3DFMT_A4R4G4B4));

    // A palettised texture leaves its palette and the device-memory list.
    GxRaster* palettised = Make(8, 4, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888);
    ASSERT_NE(palettised, nullptr);
    GxUInt8* palette = GxRasterLockPalette(palettised, gxRASTERLOCKWRITE);
    ASSERT_NE(palette, nullptr);
    for (GxInt32 i = 0; i < 256 * 4; i++) {
        palette[i] = i % 4 == 3 ? 255 : static_cast<GxUInt8>(i * 7);  // an opaque palette
    }
    GxRasterUnlockPalette(palettised);
    fill(palettised, 1);
    const std::vector<GxUInt8> palettisedBefore = level0(palettised);
    ASSERT_EQ(GxD3D9RasterConvertToMipmapped(palettised), palettised);
    EXPECT_EQ(GxRasterGetFormat(palettised), gxRASTERFORMAT888 | kMipmapBits);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(palettised)->palette, nullptr);
    EXPECT_FALSE(Listed(palettised));
    EXPECT_EQ(level0(palettised), palettisedBefore);

    // A camera texture stays a render target in default memory, listed for a device loss.
    GxRaster* target = Make(16, 16, gxRASTERTYPECAMERATEXTURE | gxRASTERFORMAT565);
    ASSERT_NE(target, nullptr);
    fill(target, 2);
    const std::vector<GxUInt8> targetBefore = level0(target);
    ASSERT_EQ(GxD3D9RasterConvertToMipmapped(target), target);
    EXPECT_EQ(target->type, gxRASTERTYPECAMERATEXTURE);
    EXPECT_EQ(GxRasterGetFormat(target) & kMipmapBits, kMipmapBits);
    EXPECT_EQ(TexturePool(target), D3DPOOL_DEFAULT);
    EXPECT_TRUE(Listed(target));
    EXPECT_EQ(level0(target), targetBefore);

    // A cube texture stays a cube.
    GxRaster* cube = Make(8, 8, gxRASTERTYPETEXTURE | gxRASTERDONTALLOCATE | gxRASTERFORMAT8888);
    ASSERT_NE(cube, nullptr);
    GxD3D9RasterExt* cubeExt = GxD3D9RASTEREXTFromRaster(cube);
    cubeExt->cube = gxD3D9RASTERCUBE;
    ASSERT_TRUE(SUCCEEDED(GxD3D9RasterMakeTexture(cube, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)));
    cube->flags &= static_cast<GxUInt8>(~gxRASTERDONTALLOCATE);
    cubeExt->d3dFormat = D3DFMT_A8R8G8B8;
    cubeExt->alpha = 1;
    ASSERT_EQ(GxD3D9RasterConvertToMipmapped(cube), cube);
    EXPECT_TRUE(GxD3D9RasterIsCubeTexture(cube));
    EXPECT_NE(GxD3D9RasterGetCubeTexture(cube), nullptr);
    EXPECT_EQ(GxRasterGetFormat(cube), gxRASTERFORMAT8888 | kMipmapBits);
}

// A palettised texture expanded to true colour: every level through its palette, opaque for an 888 palette and with
// the palette's alpha for an 8888 one, its palette number freed and the raster off the device-memory list. Rasters
// that are not unlocked palettised textures, and a device without the format, leave the raster as it was.
TEST_F(D3D9Raster, PaletteConversionExpandsEveryLevel)
{
    GxRaster* raster = Make(8, 4, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888 | gxRASTERFORMATMIPMAP);
    ASSERT_NE(raster, nullptr);
    GxUInt8* palette = GxRasterLockPalette(raster, gxRASTERLOCKWRITE);
    ASSERT_NE(palette, nullptr);
    for (GxInt32 i = 0; i < 256; i++) {
        GxUInt8* entry = palette + i * 4;  // red, green, blue, alpha
        entry[0] = static_cast<GxUInt8>(i);
        entry[1] = static_cast<GxUInt8>(255 - i);
        entry[2] = static_cast<GxUInt8>(i / 2);
        entry[3] = 7;
    }
    GxRasterUnlockPalette(raster);
    const GxInt32 levels = GxRasterGetNumLevels(raster);
    ASSERT_EQ(levels, 4);
    for (GxInt32 level = 0; level < 2; level++) {
        GxUInt8* pixels = GxRasterLock(raster, static_cast<GxUInt8>(level), gxRASTERLOCKWRITE);
        ASSERT_NE(pixels, nullptr);
        for (GxInt32 y = 0; y < raster->height; y++) {
            for (GxInt32 x = 0; x < raster->width; x++) {
                pixels[y * raster->stride + x] = static_cast<GxUInt8>(level * 100 + y * 8 + x);
            }
        }
        GxRasterUnlock(raster);
    }
    const GxUInt32 number = GxD3D9RASTEREXTFromRaster(raster)->palette->paletteNumber;

    D3D9SoftRefuseFormat(gxD3D9State.d3d, D3DFMT_X8R8G8B8, true);
    EXPECT_EQ(GxD3D9RasterConvertFromPalette(raster), nullptr) << "a device without the format";
    D3D9SoftRefuseFormat(gxD3D9State.d3d, D3DFMT_X8R8G8B8, false);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR) << "the conversion just fails";
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(raster)->d3dFormat, static_cast<GxUInt32>(D3DFMT_P8));
    ASSERT_NE(GxD3D9RASTEREXTFromRaster(raster)->palette, nullptr);

    ASSERT_EQ(GxD3D9RasterConvertFromPalette(raster), raster);
    GxD3D9RasterExt* ext = GxD3D9RASTEREXTFromRaster(raster);
    EXPECT_EQ(ext->palette, nullptr);
    EXPECT_EQ(ext->d3dFormat, static_cast<GxUInt32>(D3DFMT_X8R8G8B8));
    EXPECT_EQ(ext->alpha, 0);
    EXPECT_EQ(GxRasterGetFormat(raster) & (gxRASTERFORMATPAL8 | gxRASTERFORMATPIXELFORMATMASK), gxRASTERFORMAT888);
    EXPECT_EQ(raster->depth, 32);
    EXPECT_FALSE(Listed(raster));
    EXPECT_EQ(GxRasterGetNumLevels(raster), levels);
    const GxUInt8* pixels = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
    ASSERT_NE(pixels, nullptr);
    const GxUInt8* p = pixels + 1 * raster->stride + 3 * 4;  // index 11: blue, green, red, alpha
    EXPECT_EQ(p[0], 5);
    EXPECT_EQ(p[1], 244);
    EXPECT_EQ(p[2], 11);
    EXPECT_EQ(p[3], 255);
    GxRasterUnlock(raster);
    pixels = GxRasterLock(raster, 1, gxRASTERLOCKREAD);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[1 * raster->stride + 2 * 4 + 2], 110);  // level 1, index 110
    GxRasterUnlock(raster);

    GxRaster* alpha = Make(2, 2, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT8888);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(alpha)->palette->paletteNumber, number) << "the freed number comes back";
    palette = GxRasterLockPalette(alpha, gxRASTERLOCKWRITE);
    ASSERT_NE(palette, nullptr);
    palette[3] = 7;
    GxRasterUnlockPalette(alpha);
    GxUInt8* indexes = GxRasterLock(alpha, 0, gxRASTERLOCKWRITE);
    ASSERT_NE(indexes, nullptr);
    std::memset(indexes, 0, static_cast<size_t>(alpha->stride) * 2);
    GxRasterUnlock(alpha);
    ASSERT_EQ(GxD3D9RasterConvertFromPalette(alpha), alpha);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(alpha)->d3dFormat, static_cast<GxUInt32>(D3DFMT_A8R8G8B8));
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(alpha)->alpha, 1);
    pixels = GxRasterLock(alpha, 0, gxRASTERLOCKREAD);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[3], 7);
    GxRasterUnlock(alpha);
}

TEST_F(D3D9Raster, SubRasterLocksItsRectangleOnly)
{
    GxRaster* owner = Make(64, 64, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888 | gxRASTERFORMATMIPMAP);
    GxRaster* sub = Make(0, 0, gxRASTERTYPETEXTURE | gxRASTERDONTALLOCATE);
    ASSERT_TRUE(owner && sub);
    const GxRect rect = {16, 8, 8, 4};
    ASSERT_EQ(GxRasterSubRaster(sub, owner, &rect), sub);
    EXPECT_EQ(sub->depth, 32);
    EXPECT_EQ(GxRasterGetFormat(sub), GxRasterGetFormat(owner));

    GxUInt8* pixels = GxRasterLock(sub, 0, gxRASTERLOCKWRITE);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(sub->width, 8);
    EXPECT_EQ(sub->height, 4);
    for (GxInt32 y = 0; y < sub->height; y++) {
        std::memset(pixels + y * sub->stride, 0x5A, static_cast<size_t>(sub->width) * 4);
    }
    GxRasterUnlock(sub);

    pixels = GxRasterLock(owner, 0, gxRASTERLOCKREAD);
    ASSERT_NE(pixels, nullptr);
    const GxInt32 stride = owner->stride;
    EXPECT_EQ(pixels[8 * stride + 16 * 4], 0x5A);
    EXPECT_EQ(pixels[11 * stride + 23 * 4 + 3], 0x5A);
    EXPECT_EQ(pixels[8 * stride + 15 * 4 + 3], 0);
    EXPECT_EQ(pixels[12 * stride + 16 * 4], 0);
    EXPECT_EQ(pixels[8 * stride + 24 * 4], 0);
    GxRasterUnlock(owner);

    // At a lower level the rectangle shrinks with the level and stays inside it.
    ASSERT_NE(GxRasterLock(sub, 3, gxRASTERLOCKREAD), nullptr);
    EXPECT_EQ(sub->width, 1);
    EXPECT_EQ(sub->height, 1);
    GxRasterUnlock(sub);
    EXPECT_EQ(sub->width, 8);

    // The level count comes from the owner; without a device object from its size.
    EXPECT_EQ(GxRasterGetNumLevels(owner), 7);
    GxRaster* bare = Make(256, 64, gxRASTERTYPETEXTURE | gxRASTERDONTALLOCATE | gxRASTERFORMATMIPMAP);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(GxRasterGetNumLevels(bare), 9);
    GxRaster* empty = Make(0, 0, gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GxRasterGetNumLevels(empty), 0);
}

TEST_F(D3D9Raster, PalettesAndTheirNumbers)
{
    GxRaster* raster = Make(16, 16, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888);
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(raster->depth, 8);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(raster)->d3dFormat, static_cast<GxUInt32>(D3DFMT_P8));
    EXPECT_TRUE(Listed(raster));
    const GxUInt32 number = GxD3D9RASTEREXTFromRaster(raster)->palette->paletteNumber;

    GxUInt8* palette = GxRasterLockPalette(raster, gxRASTERLOCKWRITE);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(raster->privateFlags & gxRASTERPALETTELOCKED, gxRASTERPALETTELOCKED);
    std::memset(palette, 0x7F, 256 * 4);
    D3D9SoftClearLog(gxD3D9State.device);
    GxRasterUnlockPalette(raster);
    EXPECT_EQ(raster->palette, nullptr);
    const D3D9SoftEvent* sent = D3D9SoftLast(gxD3D9State.device, D3D9SOFT_STATE);
    ASSERT_NE(sent, nullptr);
    EXPECT_EQ(sent->kind, static_cast<DWORD>(D3D9_STATE_PALETTE));
    EXPECT_EQ(sent->a, number);

    GxRaster* plain = Make(16, 16, gxRASTERTYPETEXTURE);
    ASSERT_NE(plain, nullptr);
    GxTestTakeErrorCode();
    EXPECT_EQ(GxRasterLockPalette(plain, gxRASTERLOCKREAD), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR) << "a raster without a palette hands out none";
    GxRasterUnlockPalette(plain);
    EXPECT_EQ(GxRasterLockPalette(plain, gxRASTERLOCKWRITE), nullptr);
    EXPECT_NE(GxRasterUnlockPalette(plain), nullptr) << "nor sends one";

    // A free-number stack that can not grow loses the number given back, and nothing else.
    GxRaster* lost = Make(8, 8, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888);
    ASSERT_NE(lost, nullptr);
    const GxUInt32 lostNumber = GxD3D9RASTEREXTFromRaster(lost)->palette->paletteNumber;
    gxTestMemory.mallocFailAfter = 0;
    GxRasterDestroy(lost);
    gxTestMemory.mallocFailAfter = -1;
    rasters.pop_back();
    GxRaster* fresh = Make(8, 8, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888);
    ASSERT_NE(fresh, nullptr);
    EXPECT_GT(GxD3D9RASTEREXTFromRaster(fresh)->palette->paletteNumber, lostNumber);

    // A freed palette number is the next one handed out.
    GxRasterDestroy(raster);
    rasters.erase(rasters.begin());
    GxRaster* again = Make(8, 8, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(again)->palette->paletteNumber, number);
}

TEST_F(D3D9Raster, NativeCreationFromDirect3DFormats)
{
    GxRaster* dxt1 = GxD3D9RasterCreateFromD3DFormat(64, 64, D3DFMT_DXT1, gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP);
    ASSERT_NE(Keep(dxt1), nullptr);
    GxD3D9RasterExt* ext = GxD3D9RASTEREXTFromRaster(dxt1);
    EXPECT_EQ(ext->automipmap & 0xF0, 0x10);
    EXPECT_EQ(GxD3D9RasterIsCompressed(dxt1), 1);
    EXPECT_EQ(ext->alpha, 0);
    EXPECT_EQ(GxRasterGetFormat(dxt1) & gxRASTERFORMATPIXELFORMATMASK, gxRASTERFORMAT565);
    EXPECT_EQ(dxt1->depth, 16);
    EXPECT_EQ(GxRasterGetNumLevels(dxt1), 7);

    GxRaster* dxt5 = GxD3D9RasterCreateFromD3DFormat(16, 16, D3DFMT_DXT5, gxRASTERTYPETEXTURE);
    ASSERT_NE(Keep(dxt5), nullptr);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(dxt5)->alpha, 1);
    EXPECT_EQ(GxRasterGetFormat(dxt5) & gxRASTERFORMATPIXELFORMATMASK, gxRASTERFORMAT4444);

    GxRaster* l8 = GxD3D9RasterCreateFromD3DFormat(16, 16, D3DFMT_L8, gxRASTERTYPETEXTURE);
    ASSERT_NE(Keep(l8), nullptr);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(l8)->automipmap & 0xF0, 0);
    EXPECT_EQ(GxD3D9RasterIsCompressed(l8), 0);
    EXPECT_EQ(GxRasterGetFormat(l8) & gxRASTERFORMATPIXELFORMATMASK, gxRASTERFORMATLUM8);

    // Formats the device does not take leave nothing behind.
    EXPECT_EQ(GxD3D9RasterCreateFromD3DFormat(16, 16, D3DFMT_YUY2, gxRASTERTYPETEXTURE), nullptr);
    EXPECT_EQ(GxD3D9RasterCreateFromD3DFormat(16, 16, static_cast<GxUInt32>(0x7FFFFFFF), gxRASTERTYPETEXTURE), nullptr);
}

TEST_F(D3D9Raster, DeviceLossReleasesAndRestoresDefaultPoolRasters)
{
    GxRaster* ownZ = Make(64, 64, gxRASTERTYPEZBUFFER);
    GxRaster* sharedZ = Make(320, 240, gxRASTERTYPEZBUFFER);
    GxRaster* target = Make(64, 64, gxRASTERTYPECAMERATEXTURE);
    GxRaster* depthTexture = Make(32, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT24);
    GxRaster* camera = Make(320, 240, gxRASTERTYPECAMERA);
    GxRaster* managed = Make(32, 32, gxRASTERTYPETEXTURE);
    ASSERT_TRUE(ownZ && sharedZ && target && depthTexture && camera && managed);
    EXPECT_TRUE(Listed(depthTexture));
    EXPECT_FALSE(Listed(managed));
    IDirect3DBaseTexture9* managedTexture = GxD3D9RasterGetBaseTexture(managed);

    ASSERT_TRUE(GxD3D9ReleaseVideoMemory());
    EXPECT_EQ(GxD3D9RasterGetSurface(ownZ), nullptr);
    EXPECT_EQ(GxD3D9RasterGetBaseTexture(target), nullptr);
    EXPECT_EQ(GxD3D9RasterGetBaseTexture(depthTexture), nullptr);
    EXPECT_EQ(GxD3D9RasterGetBaseTexture(managed), managedTexture);

    // The device resets only when no default-pool object is held any more.
    ASSERT_EQ(gxD3D9State.device->Reset(&gxD3D9State.present), D3D_OK);
    ASSERT_TRUE(GxD3D9RestoreVideoMemory());
    EXPECT_NE(GxD3D9RasterGetSurface(ownZ), nullptr);
    EXPECT_EQ(GxD3D9RasterGetSurface(sharedZ), gxD3D9State.defaultDepthStencil);
    EXPECT_NE(GxD3D9RasterGetBaseTexture(target), nullptr);
    EXPECT_NE(GxD3D9RasterGetBaseTexture(depthTexture), nullptr);
    EXPECT_EQ(camera->width, 320);
    EXPECT_EQ(TexturePool(target), D3DPOOL_DEFAULT);

    // The restored objects work, and the next loss releases them again.
    ASSERT_NE(GxRasterLock(target, 0, gxRASTERLOCKREAD), nullptr);
    GxRasterUnlock(target);
    ASSERT_TRUE(GxD3D9ReleaseVideoMemory());
    ASSERT_EQ(gxD3D9State.device->Reset(&gxD3D9State.present), D3D_OK);
    ASSERT_TRUE(GxD3D9RestoreVideoMemory());
}

TEST_F(D3D9Raster, SwapChainCameraSurvivesALossAndIsReleasedOnce)
{
    HWND second = GxD3D9TestWindow(160, 120);
    GxCamera* camera = GxTestCameraCreate(320, 240);
    ASSERT_TRUE(second && camera);
    ASSERT_TRUE(GxD3D9CameraAttachWindow(camera, second));
    GxD3D9RasterExt* ext = GxD3D9RASTEREXTFromRaster(camera->frameBuffer);
    ASSERT_NE(ext->swapChain, nullptr);
    EXPECT_TRUE(Listed(camera->frameBuffer));

    ASSERT_TRUE(GxD3D9ReleaseVideoMemory());
    EXPECT_EQ(ext->swapChain, nullptr);
    ASSERT_EQ(gxD3D9State.device->Reset(&gxD3D9State.present), D3D_OK);
    ASSERT_TRUE(GxD3D9RestoreVideoMemory());
    ASSERT_NE(ext->swapChain, nullptr);
    EXPECT_NE(ext->texture, nullptr);

    // A loss, then the camera goes before the restore: nothing is released twice.
    ASSERT_TRUE(GxD3D9ReleaseVideoMemory());
    GxTestCameraDestroy(camera);
    ASSERT_EQ(gxD3D9State.device->Reset(&gxD3D9State.present), D3D_OK);
    EXPECT_TRUE(GxD3D9RestoreVideoMemory());
    DestroyWindow(second);
}

TEST_F(D3D9Raster, CameraFrameThroughTheStandardFunctions)
{
    GxCamera* camera = GxTestCameraCreate(320, 240);
    ASSERT_NE(camera, nullptr);
    GxRGBA colour = {10, 20, 30, 255};
    EXPECT_EQ(GxCameraClear(camera, &colour, gxCAMERACLEARIMAGE | gxCAMERACLEARZ), camera);
    ASSERT_EQ(GxCameraBeginUpdate(camera), camera);
    EXPECT_EQ(GxEngineInstance->curCamera, camera);
    EXPECT_EQ(GxCameraEndUpdate(camera), camera);
    EXPECT_EQ(GxEngineInstance->curCamera, nullptr);
    EXPECT_EQ(GxCameraShowRaster(camera, window, 0), camera);

    // The projection the device receives follows the camera's settings.
    const GxV2d viewWindow = {2.0f, 0.5f};
    const GxV2d offset = {0.2f, 0.1f};
    GxCameraSetViewWindow(camera, &viewWindow);
    GxCameraSetViewOffset(camera, &offset);
    GxCameraSetNearClipPlane(camera, 1.0f);
    GxCameraSetFarClipPlane(camera, 11.0f);
    const D3DMATRIX& projection = gxD3D9State.projectionMatrix;
    for (GxInt32 type : {gxPARALLEL, gxPERSPECTIVE}) {
        GxCameraSetProjection(camera, type);
        ASSERT_EQ(GxCameraBeginUpdate(camera), camera);
        EXPECT_FLOAT_EQ(projection._11, 0.5f);
        EXPECT_FLOAT_EQ(projection._22, 2.0f);
        EXPECT_FLOAT_EQ(projection._31, 0.1f);
        EXPECT_FLOAT_EQ(projection._41, -0.1f);
        EXPECT_FLOAT_EQ(projection._33, type == gxPARALLEL ? 0.1f : 1.1f);
        EXPECT_FLOAT_EQ(projection._43, type == gxPARALLEL ? -0.1f : -1.1f);
        GxCameraEndUpdate(camera);
    }

    // The camera raster reads back what the clear left in the back buffer.
    GxUInt8* pixels = GxRasterLock(camera->frameBuffer, 0, gxRASTERLOCKREAD);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(camera->frameBuffer->width, 320);
    EXPECT_EQ(pixels[0], 30);  // blue byte of A8R8G8B8
    EXPECT_EQ(pixels[2], 10);
    GxRasterUnlock(camera->frameBuffer);
    GxTestCameraDestroy(camera);
}
