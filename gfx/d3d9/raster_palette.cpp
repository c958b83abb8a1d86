// Native rasters, palettes: the palette blocks of palettised textures, their device palette numbers, palette locks.
#include <cstring>

#include "gfx/core/memory.h"
#include "gfx/d3d9/raster_local.h"

using namespace d3d9raster;

namespace {

constexpr GxUInt32 kPaletteStackHint = gxMEMHINTFLAGRESIZEABLE | gxMEMHINTDUROBJECT | gxD3D9MEMHINTDRIVER;
constexpr GxInt32 kPaletteBlocksPerBlock = 64;
constexpr GxInt32 kPaletteStackGrowth = 512;
// Palette numbers are stored as 16-bit values on the free stack.
constexpr GxUInt32 kMaxPaletteNumber = 0xFFFF;

struct PaletteState {
    GxFreeList* blocks;
    GxUInt16* freeNumbers;
    GxInt32 numFreeNumbers;
    GxInt32 freeNumbersCapacity;
    GxUInt32 nextPaletteNumber;
};

PaletteState paletteState = {};

}  // namespace

namespace d3d9raster {

GxD3D9PaletteBlock* PaletteBlockTake()
{
    if (paletteState.blocks == nullptr) {
        paletteState.blocks = GxFreeListCreate(sizeof(GxD3D9PaletteBlock), kPaletteBlocksPerBlock,
                                               alignof(GxD3D9PaletteBlock), gxD3D9RASTERLISTHINT);
        if (paletteState.blocks == nullptr) {
            return nullptr;
        }
    }
    GxUInt32 number = 0;
    if (paletteState.numFreeNumbers > 0) {
        number = paletteState.freeNumbers[--paletteState.numFreeNumbers];
    } else if (paletteState.nextPaletteNumber <= kMaxPaletteNumber) {
        number = paletteState.nextPaletteNumber++;
    } else {
        return nullptr;
    }
    auto* block = static_cast<GxD3D9PaletteBlock*>(GxFreeListAllocEntry(paletteState.blocks, gxD3D9RASTERLISTHINT));
    if (block == nullptr) {
        paletteState.freeNumbers[paletteState.numFreeNumbers++] = static_cast<GxUInt16>(number);
        return nullptr;
    }
    std::memset(block->entries, 0, sizeof(block->entries));
    block->paletteNumber = number;
    return block;
}

void PaletteBlockGiveBack(GxD3D9PaletteBlock* block)
{
    if (paletteState.numFreeNumbers >= paletteState.freeNumbersCapacity) {
        const GxInt32 capacity = paletteState.freeNumbersCapacity + kPaletteStackGrowth;
        const size_t bytes = static_cast<size_t>(capacity) * sizeof(GxUInt16);
        void* grown = paletteState.freeNumbers ? GxRealloc(paletteState.freeNumbers, bytes, kPaletteStackHint)
                                               : GxMalloc(bytes, kPaletteStackHint);
        if (grown != nullptr) {
            paletteState.freeNumbers = static_cast<GxUInt16*>(grown);
            paletteState.freeNumbersCapacity = capacity;
        }
    }
    // Without room the number is simply never reused.
    if (paletteState.numFreeNumbers < paletteState.freeNumbersCapacity) {
        paletteState.freeNumbers[paletteState.numFreeNumbers++] = static_cast<GxUInt16>(block->paletteNumber);
    }
    GxFreeListFreeEntry(paletteState.blocks, block);
}

// A palette block taken before the free stack exists must find room when it is given back.
bool EnsurePaletteStack()
{
    if (paletteState.freeNumbers != nullptr) {
        return true;
    }
    const size_t bytes = static_cast<size_t>(kPaletteStackGrowth) * sizeof(GxUInt16);
    paletteState.freeNumbers = static_cast<GxUInt16*>(GxMalloc(bytes, kPaletteStackHint));
    if (paletteState.freeNumbers == nullptr) {
        return false;
    }
    paletteState.freeNumbersCapacity = kPaletteStackGrowth;
    return true;
}

void PaletteBlocksClose()
{
    if (paletteState.blocks != nullptr) {
        GxFreeListDestroy(paletteState.blocks);
    }
    if (paletteState.freeNumbers != nullptr) {
        GxFree(paletteState.freeNumbers);
    }
    paletteState = {};
}

}  // namespace d3d9raster

GxBool GxD3D9RasterLockPalette(void* out, void* inOut, GxInt32 in)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    const GxInt32 type = raster->type;
    GxD3D9PaletteBlock* block = Ext(TopRaster(raster))->palette;
    // A raster without a palette has nothing to hand out.
    if (!TextureType(type) || block == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    raster->palette = reinterpret_cast<GxUInt8*>(block->entries);
    raster->privateFlags |= gxRASTERPALETTELOCKEDREAD;
    if (in & gxRASTERLOCKWRITE) {
        raster->privateFlags |= gxRASTERPALETTELOCKEDWRITE;
    }
    if (out != nullptr) {
        *static_cast<GxUInt8**>(out) = raster->palette;
    }
    return 1;
}

GxBool GxD3D9RasterUnlockPalette(void* /*out*/, void* inOut, GxInt32 /*in*/)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    const GxInt32 type = raster->type;
    if (!TextureType(type)) {
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERNOTLOCKED);
        return 0;
    }
    GxD3D9PaletteBlock* block = Ext(TopRaster(raster))->palette;
    if ((raster->privateFlags & gxRASTERPALETTELOCKEDWRITE) && block != nullptr && GxD3D9Device() != nullptr) {
        GxD3D9Device()->SetPaletteEntries(block->paletteNumber, block->entries);
    }
    raster->palette = nullptr;
    raster->privateFlags &= static_cast<GxUInt8>(~gxRASTERPALETTELOCKED);
    return 1;
}
