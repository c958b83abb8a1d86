// Tests of the raster module: creation and its refusals, sub-rasters, the context stack and the device routing.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/raster.h"
#include "gfx/testsupport/engine_gtest.h"

namespace {

// A device whose raster functions record their calls and can be told to refuse.
struct FakeRasterDevice {
    std::vector<GxInt32> createFlags;
    std::vector<GxRaster*> contexts;
    std::vector<GxInt32> lockArgs;
    GxInt32 destroys = 0;
    GxInt32 levelQueries = 0;
    bool refuseCreate = false;
    bool refuseSubRaster = false;
    bool refuseContext = false;
    bool refuseLevels = false;
    bool refuseUnlock = false;
    GxUInt8 pixels[64] = {};
};
FakeRasterDevice fake;
GxInt32 constructed = 0;
GxInt32 destructed = 0;

GxBool FakeCreate(void*, void* inOut, GxInt32 flags)
{
    fake.createFlags.push_back(flags);
    if (fake.refuseCreate) {
        return 0;
    }
    auto* raster = static_cast<GxRaster*>(inOut);
    raster->type = static_cast<GxUInt8>(flags & 7);
    raster->flags = static_cast<GxUInt8>(flags & 0xF8);
    raster->format = static_cast<GxUInt8>(flags >> 8);
    return 1;
}
GxBool FakeDestroy(void*, void*, GxInt32) { return ++fake.destroys, 1; }
GxBool FakeSubRaster(void* out, void* inOut, GxInt32)
{
    if (fake.refuseSubRaster) {
        return 0;
    }
    static_cast<GxRaster*>(out)->type = static_cast<GxRaster*>(inOut)->type;
    return 1;
}
GxBool FakeLock(void* out, void* inOut, GxInt32 in)
{
    fake.lockArgs.push_back(in);
    static_cast<GxRaster*>(inOut)->pixels = fake.pixels;
    *static_cast<GxUInt8**>(out) = fake.pixels;
    return 1;
}
GxBool FakeUnlock(void*, void* inOut, GxInt32)
{
    static_cast<GxRaster*>(inOut)->pixels = nullptr;
    return fake.refuseUnlock ? 0 : 1;
}
GxBool FakeRefuse(void*, void*, GxInt32) { return 0; }
GxBool FakeLevels(void* out, void*, GxInt32)
{
    fake.levelQueries++;
    *static_cast<GxInt32*>(out) = 7;
    return fake.refuseLevels ? 0 : 1;
}
GxBool FakeContext(void*, void* inOut, GxInt32)
{
    if (fake.refuseContext) {
        return 0;
    }
    fake.contexts.push_back(static_cast<GxRaster*>(inOut));
    return 1;
}

void* CountConstruct(void* object, GxInt32, GxInt32) { return ++constructed, object; }
void* CountDestruct(void* object, GxInt32, GxInt32) { return ++destructed, object; }

class RasterModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = FakeRasterDevice();
        constructed = destructed = 0;
        engine.emplace(GxTestRecordingSetup([this] {
            extOffset = GxRasterRegisterPlugin(8, 0xF0F0, CountConstruct, CountDestruct, nullptr);
            return extOffset >= 0;
        }));
        GX_ASSERT_ENGINE_STARTED(*engine);
        ASSERT_GE(extOffset, static_cast<GxInt32>(sizeof(GxRaster)));
        GxStandardFunc* table = GxEngineInstance->stdFunc;
        table[gxSTANDARDRASTERCREATE] = FakeCreate;
        table[gxSTANDARDRASTERDESTROY] = FakeDestroy;
        table[gxSTANDARDRASTERSUBRASTER] = FakeSubRaster;
        table[gxSTANDARDRASTERLOCK] = FakeLock;
        table[gxSTANDARDRASTERUNLOCK] = FakeUnlock;
        table[gxSTANDARDRASTERGETMIPLEVELS] = FakeLevels;
        table[gxSTANDARDSETRASTERCONTEXT] = FakeContext;
        GxTestTakeErrorCode();
    }
    void TearDown() override { engine.reset(); }

    GxInt32 extOffset = -1;
    std::optional<GxTestEngine> engine;
};

}  // namespace

TEST_F(RasterModule, CreateHandsTheFlagsToTheDeviceAndRunsTheExtensions)
{
    GxRaster* raster = GxRasterCreate(64, 32, 0, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888 | gxRASTERFORMATMIPMAP);
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(raster->parent, raster);
    EXPECT_EQ(raster->width, 64);
    EXPECT_EQ(raster->height, 32);
    ASSERT_EQ(fake.createFlags.size(), 1u);
    EXPECT_EQ(fake.createFlags[0], 0x8504);
    EXPECT_EQ(GxRasterGetFormat(raster), 0x8500);
    EXPECT_EQ(constructed, 1);

    EXPECT_TRUE(GxRasterDestroy(raster));
    EXPECT_EQ(destructed, 1);
    EXPECT_EQ(fake.destroys, 1);
}

TEST_F(RasterModule, RefusedAndInvalidCreatesLeaveNothingBehind)
{
    fake.refuseCreate = true;
    EXPECT_EQ(GxRasterCreate(16, 16, 0, gxRASTERTYPETEXTURE), nullptr);
    EXPECT_EQ(constructed, 0);  // no extension of a refused raster ever ran

    // Bad sizes, depths and types never reach the device.
    fake.refuseCreate = false;
    fake.createFlags.clear();
    EXPECT_EQ(GxRasterCreate(-1, 16, 0, gxRASTERTYPETEXTURE), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDRASTER);
    EXPECT_EQ(GxRasterCreate(16, 0x8000, 0, gxRASTERTYPETEXTURE), nullptr);
    EXPECT_EQ(GxRasterCreate(16, 16, -8, gxRASTERTYPETEXTURE), nullptr);
    EXPECT_EQ(GxRasterCreate(16, 16, 0, 3), nullptr);
    EXPECT_EQ(GxRasterCreate(16, 16, 0, 6), nullptr);
    EXPECT_TRUE(fake.createFlags.empty());
}

TEST_F(RasterModule, SubRastersChainToTheOwnerAndStayInsideIt)
{
    GxRaster* owner = GxRasterCreate(100, 80, 0, gxRASTERTYPECAMERA);
    GxRaster* middle = GxRasterCreate(0, 0, 0, gxRASTERTYPECAMERA | gxRASTERDONTALLOCATE);
    GxRaster* inner = GxRasterCreate(0, 0, 0, gxRASTERTYPECAMERA | gxRASTERDONTALLOCATE);
    GxRaster* allocated = GxRasterCreate(0, 0, 0, gxRASTERTYPECAMERA);
    ASSERT_TRUE(owner && middle && inner && allocated);

    const GxRect outer = {10, 20, 50, 40};
    ASSERT_EQ(GxRasterSubRaster(middle, owner, &outer), middle);
    EXPECT_EQ(middle->parent, owner);
    const GxRect nested = {5, 6, 20, 10};
    ASSERT_EQ(GxRasterSubRaster(inner, middle, &nested), inner);
    EXPECT_EQ(inner->parent, owner);
    EXPECT_EQ(inner->offsetX, 15);
    EXPECT_EQ(inner->offsetY, 26);
    EXPECT_EQ(inner->width, 20);
    EXPECT_EQ(GxRasterGetParent(inner), owner);

    // Only a raster made without pixels can show another's.
    EXPECT_EQ(GxRasterSubRaster(allocated, owner, &outer), nullptr);
    EXPECT_EQ(allocated->parent, allocated);

    // Rectangles reaching past the parent are refused and change nothing.
    const GxRect tooWide = {40, 0, 20, 10};
    const GxRect negative = {-1, 0, 5, 5};
    EXPECT_EQ(GxRasterSubRaster(inner, middle, &tooWide), nullptr);
    EXPECT_EQ(GxRasterSubRaster(inner, middle, &negative), nullptr);
    EXPECT_EQ(GxRasterSubRaster(inner, inner, &nested), nullptr);
    EXPECT_EQ(inner->offsetX, 15);
    EXPECT_EQ(inner->width, 20);

    // A device refusal restores the raster as it was.
    fake.refuseSubRaster = true;
    const GxRect other = {0, 0, 5, 5};
    EXPECT_EQ(GxRasterSubRaster(inner, owner, &other), nullptr);
    EXPECT_EQ(inner->offsetX, 15);
    EXPECT_EQ(inner->width, 20);
    EXPECT_EQ(inner->parent, owner);
}

TEST_F(RasterModule, ContextStackKeepsItsDummyAndItsBound)
{
    GxRaster* bottom = GxRasterGetCurrentContext();
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(bottom->parent, nullptr);
    EXPECT_EQ(GxRasterGetParent(bottom), bottom);
    EXPECT_EQ(bottom->width, 0);
    EXPECT_TRUE(bottom->flags & gxRASTERDONTALLOCATE);

    std::vector<GxRaster*> rasters;
    for (int i = 0; i < gxRASTERCONTEXTSTACKSIZE; i++) {
        rasters.push_back(GxRasterCreate(8, 8, 0, gxRASTERTYPECAMERA));
    }
    for (int i = 0; i < gxRASTERCONTEXTSTACKSIZE - 1; i++) {
        ASSERT_EQ(GxRasterPushContext(rasters[i]), rasters[i]) << i;
    }
    EXPECT_EQ(GxRasterPushContext(rasters.back()), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRRASTERSTACK);
    EXPECT_EQ(GxRasterGetCurrentContext(), rasters[8]);

    // The removed entry comes back and the device is set to the new top.
    EXPECT_EQ(GxRasterPopContext(), rasters[8]);
    EXPECT_EQ(fake.contexts.back(), rasters[7]);

    // A refused push leaves the stack as it was; a refused pop still removes its entry.
    fake.refuseContext = true;
    EXPECT_EQ(GxRasterPushContext(rasters[9]), nullptr);
    EXPECT_EQ(GxRasterGetCurrentContext(), rasters[7]);
    EXPECT_EQ(GxRasterPopContext(), nullptr);
    EXPECT_EQ(GxRasterGetCurrentContext(), rasters[6]);

    // Destroying a raster that is a context leaves no dangling entry.
    GxRasterDestroy(rasters[6]);
    EXPECT_EQ(GxRasterGetCurrentContext(), bottom);
}

TEST_F(RasterModule, LocksRouteLevelAndModeAndLevelsAskOnlyForMipmaps)
{
    GxRaster* plain = GxRasterCreate(64, 64, 0, gxRASTERTYPETEXTURE);
    GxRaster* mipmapped = GxRasterCreate(64, 64, 0, gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP);
    ASSERT_TRUE(plain && mipmapped);

    EXPECT_EQ(GxRasterLock(plain, 3, gxRASTERLOCKWRITE | gxRASTERLOCKNOFETCH), fake.pixels);
    ASSERT_EQ(fake.lockArgs.size(), 1u);
    EXPECT_EQ(fake.lockArgs[0], 0x305);
    EXPECT_EQ(GxRasterUnlock(plain), plain);

    EXPECT_EQ(GxRasterGetNumLevels(plain), 1);
    EXPECT_EQ(fake.levelQueries, 0);
    EXPECT_EQ(GxRasterGetNumLevels(mipmapped), 7);
    fake.refuseLevels = true;
    EXPECT_EQ(GxRasterGetNumLevels(mipmapped), -1);
}

// What the device refuses is told as a failure, not as the raster.
TEST_F(RasterModule, RefusedUnlocksAndDrawsFail)
{
    GxRaster* raster = GxRasterCreate(8, 8, 0, gxRASTERTYPETEXTURE);
    ASSERT_NE(raster, nullptr);
    fake.refuseUnlock = true;
    EXPECT_EQ(GxRasterUnlock(raster), nullptr);
    GxStandardFunc* table = GxEngineInstance->stdFunc;
    table[gxSTANDARDRASTERUNLOCKPALETTE] = FakeRefuse;
    table[gxSTANDARDRASTERRENDERSCALED] = FakeRefuse;
    raster->privateFlags |= gxRASTERPALETTELOCKED;
    EXPECT_EQ(GxRasterUnlockPalette(raster), nullptr);
    EXPECT_EQ(raster->privateFlags & gxRASTERPALETTELOCKED, 0);
    const GxRect rect = {0, 0, 4, 4};
    EXPECT_EQ(GxRasterRenderScaled(raster, &rect), nullptr);
    EXPECT_TRUE(GxRasterDestroy(raster));
}
