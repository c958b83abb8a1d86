// Raster module: the raster free list, the context stack, the raster registry and the operations routed to the device.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/core/raster.h"

namespace {

// The word a lock hands the device: the lock mode in the low byte, the mip level above it.
constexpr GxInt32 kLockModeMask = 0xFF;
constexpr GxInt32 kLockLevelShift = 8;

constexpr GxUInt32 kRasterHint = 0x30407;
constexpr GxUInt32 kRasterModuleHint = 0x40407;
constexpr GxInt32 kRastersPerBlock = 128;
// Sizes beyond this can not be addressed by the 16-bit sub-raster offsets.
constexpr GxInt32 kMaxRasterSize = 0x7FFF;
constexpr GxInt32 kMaxRasterDepth = 128;
// A parent chain never legitimately runs this deep; the bound only stops a corrupt cycle.
constexpr GxInt32 kMaxParentWalk = 64;

struct GxRasterModuleBlock {
    GxRaster* contextStack[gxRASTERCONTEXTSTACKSIZE];
    GxInt32 stackTop;
    GxRaster* dummyRaster;
    GxFreeList* rasterFreeList;
};

GxPluginRegistry rasterTKList = GxPluginRegistryInitializer(sizeof(GxRaster), 0);
GxInt32 rasterModuleOffset = -1;
GxInt32 rasterModuleInstances = 0;
GxFreeList rasterFreeListRecord;

GxRasterModuleBlock* RasterBlock()
{
    return static_cast<GxRasterModuleBlock*>(GxCoreModuleBlock(rasterModuleOffset, rasterModuleInstances));
}

bool ValidCreateArguments(GxInt32 width, GxInt32 height, GxInt32 depth, GxInt32 flags)
{
    if (width < 0 || height < 0 || width > kMaxRasterSize || height > kMaxRasterSize) {
        return false;
    }
    if (depth < 0 || depth > kMaxRasterDepth) {
        return false;
    }
    const GxInt32 type = flags & gxRASTERTYPEMASK;
    return type != 3 && type <= gxRASTERTYPECAMERATEXTURE;
}

// The rectangle must lie inside the parent so no lock of the sub-raster reaches past its owner's pixels.
bool RectInsideParent(const GxRect* rect, const GxRaster* parent)
{
    if (rect->x < 0 || rect->y < 0 || rect->w < 0 || rect->h < 0) {
        return false;
    }
    const int64_t right = static_cast<int64_t>(rect->x) + rect->w;
    const int64_t bottom = static_cast<int64_t>(rect->y) + rect->h;
    if (right > parent->width || bottom > parent->height) {
        return false;
    }
    return static_cast<int64_t>(parent->offsetX) + right <= kMaxRasterSize &&
           static_cast<int64_t>(parent->offsetY) + bottom <= kMaxRasterSize;
}

}  // namespace

void* GxRasterOpen(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    auto* block = reinterpret_cast<GxRasterModuleBlock*>(static_cast<char*>(instance) + offset);
    std::memset(block, 0, sizeof(*block));
    // The dummy gets the full registry size: a device reading its extension stays inside the record.
    block->dummyRaster = static_cast<GxRaster*>(
        GxEngineInstance->memoryFuncs.gxCalloc(1, static_cast<size_t>(rasterTKList.sizeOfStruct), kRasterModuleHint));
    if (block->dummyRaster == nullptr) {
        GxErrorRaise(0, gxERRNOMEMORY);
        return nullptr;
    }
    block->dummyRaster->flags = gxRASTERDONTALLOCATE;
    block->contextStack[0] = block->dummyRaster;
    block->stackTop = 0;
    block->rasterFreeList = GxFreeListCreateAndPreallocate(
        rasterTKList.sizeOfStruct, kRastersPerBlock, alignof(GxRaster), 1, &rasterFreeListRecord, kRasterModuleHint);
    if (block->rasterFreeList == nullptr) {
        GxEngineInstance->memoryFuncs.gxFree(block->dummyRaster);
        block->dummyRaster = nullptr;
        GxErrorRaise(0, gxERRNOMEMORY);
        return nullptr;
    }
    rasterModuleOffset = offset;
    rasterModuleInstances++;
    return instance;
}

void* GxRasterClose(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    auto* block = reinterpret_cast<GxRasterModuleBlock*>(static_cast<char*>(instance) + offset);
    if (block->rasterFreeList != nullptr) {
        GxFreeListDestroy(block->rasterFreeList);
        block->rasterFreeList = nullptr;
    }
    if (block->dummyRaster != nullptr) {
        GxEngineInstance->memoryFuncs.gxFree(block->dummyRaster);
        block->dummyRaster = nullptr;
    }
    block->stackTop = 0;
    rasterModuleInstances--;
    return instance;
}

const GxCoreModule gxRasterModule = {0x407, sizeof(GxRasterModuleBlock), GxRasterOpen, GxRasterClose};

GxRaster* GxRasterCreate(GxInt32 width, GxInt32 height, GxInt32 depth, GxInt32 flags)
{
    GxRasterModuleBlock* block = RasterBlock();
    if (block == nullptr) {
        GxErrorRaise(0, gxERRENGINESTATE);
        return nullptr;
    }
    if (!ValidCreateArguments(width, height, depth, flags)) {
        GxErrorRaise(0, gxERRINVALIDRASTER);
        return nullptr;
    }
    auto* raster = static_cast<GxRaster*>(GxFreeListAllocEntry(block->rasterFreeList, kRasterHint));
    if (raster == nullptr) {
        GxErrorRaise(0, gxERRNOMEMORY);
        return nullptr;
    }
    std::memset(raster, 0, static_cast<size_t>(rasterTKList.sizeOfStruct));
    raster->parent = raster;
    raster->width = width;
    raster->height = height;
    raster->depth = depth;
    if (!GxEngineStandardCall(gxSTANDARDRASTERCREATE, nullptr, raster, flags)) {
        GxFreeListFreeEntry(block->rasterFreeList, raster);
        return nullptr;
    }
    if (GxPluginRegistryInitObject(&rasterTKList, raster) == nullptr) {
        GxEngineStandardCall(gxSTANDARDRASTERDESTROY, nullptr, raster, 0);
        GxFreeListFreeEntry(block->rasterFreeList, raster);
        return nullptr;
    }
    return raster;
}

GxBool GxRasterDestroy(GxRaster* raster)
{
    GxRasterModuleBlock* block = RasterBlock();
    GX_ASSERT(raster != nullptr, "a raster to destroy");
    GX_ASSERT(raster->pixels == nullptr && !(raster->privateFlags & gxRASTERPALETTELOCKED),
              "a raster is unlocked before it is destroyed");
    if (block == nullptr) {
        GxErrorRaise(0, gxERRENGINESTATE);
        return 0;
    }
    // No context entry may keep pointing at it.
    for (GxInt32 i = 1; i <= block->stackTop; i++) {
        if (block->contextStack[i] == raster) {
            block->contextStack[i] = block->dummyRaster;
        }
    }
    GxPluginRegistryDeInitObject(&rasterTKList, raster);
    GxEngineStandardCall(gxSTANDARDRASTERDESTROY, nullptr, raster, 0);
    GxFreeListFreeEntry(block->rasterFreeList, raster);
    return 1;
}

GxRaster* GxRasterGetParent(const GxRaster* raster)
{
    if (raster == nullptr) {
        return nullptr;
    }
    const GxRaster* top = raster;
    for (GxInt32 i = 0; i < kMaxParentWalk && top->parent != nullptr && top->parent != top; i++) {
        top = top->parent;
    }
    return const_cast<GxRaster*>(top);
}

GxRaster* GxRasterSubRaster(GxRaster* raster, GxRaster* parent, const GxRect* rect)
{
    GX_ASSERT(raster != nullptr && parent != nullptr && rect != nullptr, "a raster, a parent and a rectangle");
    if (!(raster->flags & gxRASTERDONTALLOCATE) || raster == parent || !RectInsideParent(rect, parent)) {
        return nullptr;
    }
    const GxRaster saved = *raster;
    raster->width = rect->w;
    raster->height = rect->h;
    raster->offsetX = static_cast<GxInt16>(parent->offsetX + rect->x);
    raster->offsetY = static_cast<GxInt16>(parent->offsetY + rect->y);
    if (!GxEngineStandardCall(gxSTANDARDRASTERSUBRASTER, raster, parent, 0)) {
        *raster = saved;
        return nullptr;
    }
    raster->parent = parent->parent;
    return raster;
}

GxUInt8* GxRasterLock(GxRaster* raster, GxUInt8 level, GxInt32 lockMode)
{
    GX_ASSERT(raster != nullptr, "a raster to work on");
    GxUInt8* pixels = nullptr;
    const GxInt32 in = (static_cast<GxInt32>(level) << kLockLevelShift) + (lockMode & kLockModeMask);
    if (!GxEngineStandardCall(gxSTANDARDRASTERLOCK, &pixels, raster, in)) {
        return nullptr;
    }
    return pixels;
}

GxRaster* GxRasterUnlock(GxRaster* raster)
{
    GX_ASSERT(raster != nullptr, "a raster to work on");
    return GxEngineStandardCall(gxSTANDARDRASTERUNLOCK, nullptr, raster, 0) ? raster : nullptr;
}

GxUInt8* GxRasterLockPalette(GxRaster* raster, GxInt32 lockMode)
{
    GX_ASSERT(raster != nullptr, "a raster to work on");
    GxUInt8* palette = nullptr;
    if (!GxEngineStandardCall(gxSTANDARDRASTERLOCKPALETTE, &palette, raster, lockMode & kLockModeMask)) {
        return nullptr;
    }
    return palette;
}

GxRaster* GxRasterUnlockPalette(GxRaster* raster)
{
    GX_ASSERT(raster != nullptr, "a raster to work on");
    const GxBool unlocked = GxEngineStandardCall(gxSTANDARDRASTERUNLOCKPALETTE, nullptr, raster, 0);
    raster->privateFlags &= static_cast<GxUInt8>(~gxRASTERPALETTELOCKED);
    return unlocked ? raster : nullptr;
}

GxInt32 GxRasterGetNumLevels(GxRaster* raster)
{
    GX_ASSERT(raster != nullptr, "a raster to ask");
    if (!(GxRasterGetFormat(raster) & gxRASTERFORMATMIPMAP)) {
        return 1;
    }
    GxInt32 count = 0;
    if (!GxEngineStandardCall(gxSTANDARDRASTERGETMIPLEVELS, &count, raster, 0)) {
        return -1;
    }
    return count;
}

GxRaster* GxRasterPushContext(GxRaster* raster)
{
    GxRasterModuleBlock* block = RasterBlock();
    GX_ASSERT(raster != nullptr, "a raster to push");
    if (block == nullptr) {
        GxErrorRaise(0, gxERRENGINESTATE);
        return nullptr;
    }
    if (block->stackTop >= gxRASTERCONTEXTSTACKSIZE - 1) {
        GxErrorRaise(0, gxERRRASTERSTACK);
        return nullptr;
    }
    if (!GxEngineStandardCall(gxSTANDARDSETRASTERCONTEXT, nullptr, raster, 0)) {
        return nullptr;
    }
    block->stackTop++;
    block->contextStack[block->stackTop] = raster;
    return raster;
}

GxRaster* GxRasterPopContext(void)
{
    GxRasterModuleBlock* block = RasterBlock();
    if (block == nullptr) {
        GxErrorRaise(0, gxERRENGINESTATE);
        return nullptr;
    }
    GX_ASSERT(block->stackTop > 0, "a pop matches a push: the dummy entry stays");
    GxRaster* removed = block->contextStack[block->stackTop];
    block->contextStack[block->stackTop] = nullptr;
    block->stackTop--;
    if (!GxEngineStandardCall(gxSTANDARDSETRASTERCONTEXT, nullptr, block->contextStack[block->stackTop], 0)) {
        return nullptr;
    }
    return removed;
}

GxRaster* GxRasterGetCurrentContext(void)
{
    GxRasterModuleBlock* block = RasterBlock();
    if (block == nullptr) {
        return nullptr;
    }
    return block->contextStack[block->stackTop];
}

GxRaster* GxRasterRenderScaled(GxRaster* raster, const GxRect* rect)
{
    GX_ASSERT(raster != nullptr && rect != nullptr, "a raster and a rectangle");
    return GxEngineStandardCall(gxSTANDARDRASTERRENDERSCALED, raster, const_cast<GxRect*>(rect), 0) ? raster : nullptr;
}

GxRaster* GxRasterShowRaster(GxRaster* raster, void* dev, GxUInt32 flags)
{
    GX_ASSERT(raster != nullptr, "a raster to work on");
    GxResourcesNewFrame();
    return GxEngineStandardCall(gxSTANDARDRASTERSHOWRASTER, raster, dev, static_cast<GxInt32>(flags)) ? raster
                                                                                                      : nullptr;
}

GxBool GxCharsetDestroy(GxCharset* charset)
{
    if (charset == nullptr) {
        GxErrorRaise(gxPLUGINCHARSET, gxERRNULLARG);
        return 0;
    }
    GxRasterDestroy(charset);
    return 1;
}

GxInt32 GxRasterRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                               GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&rasterTKList, size, pluginID, constructor, destructor, copy);
}
