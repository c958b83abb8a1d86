// Internals shared by the native-raster files of the Direct3D 9 driver (raster*.cpp).
#pragma once

#include "gfx/core/memory.h"
#include "gfx/d3d9/raster.h"

// Memory hint of the device-memory list's nodes and the palette blocks.
constexpr GxUInt32 gxD3D9RASTERLISTHINT = gxMEMHINTDUROBJECT | gxD3D9MEMHINTDRIVER;

// Creation flags above the raster type (gxRASTERDONTALLOCATE among them) kept in GxRaster::flags.
constexpr GxInt32 gxD3D9RASTERFLAGSMASK = 0xF8;

// The device object of a raster being created (its format already resolved), by type: a texture or cube texture
// (types 0 and 4), a render-target texture (type 5) or a depth-stencil surface (type 1). Each raises its error and
// returns 0 when refused, giving back a palette block it took; the caller lists a created object that a device
// reset loses.
GxBool GxD3D9RasterCreateTexture(GxRaster* raster);
GxBool GxD3D9RasterCreateCameraTexture(GxRaster* raster);
GxBool GxD3D9RasterCreateZBuffer(GxRaster* raster);

// The rasters whose device objects live in default-pool memory, released before a Reset and made again after
// (raster_restore.cpp); the tests walk it through raster_testing.h.
struct GxD3D9RasterListNode {
    GxRaster* raster;
    GxD3D9RasterListNode* next;
};
struct GxD3D9RasterList {
    GxFreeList* nodes;
    GxD3D9RasterListNode* head;
};
extern GxD3D9RasterList gxD3D9RasterList;

namespace d3d9raster {

inline GxD3D9RasterExt* Ext(GxRaster* raster) { return GxD3D9RASTEREXTFromRaster(raster); }

inline GxRaster* TopRaster(GxRaster* raster) { return GxRasterGetParent(raster); }

// The raster types whose device object is a texture (and may have a palette).
inline bool TextureType(GxInt32 type)
{
    return type == gxRASTERTYPENORMAL || type == gxRASTERTYPETEXTURE || type == gxRASTERTYPECAMERATEXTURE;
}

// Index of a format word's pixel format in GxD3D9RasterFormatInfo.
constexpr GxInt32 PixelNibble(GxInt32 format) { return (format & gxRASTERFORMATPIXELFORMATMASK) >> 8; }

inline D3DFORMAT DisplayFormat() { return static_cast<D3DFORMAT>(gxD3D9State.currentMode.format); }

inline GxInt32 DisplayDepth() { return gxD3D9State.currentDepth; }

inline D3DFORMAT BackBufferFormat() { return gxD3D9State.present.BackBufferFormat; }

// ---- formats (raster_format.cpp) ----

void FillTables();
// The table row of a Direct3D format; a row of zeros for codes beyond the table.
const GxD3D9FormatInfoEntry& FormatInfo(GxUInt32 format);
GxBool CheckAutoMipmap(DWORD usage, D3DRESOURCETYPE type, GxUInt32 format);
// Completes the format word of a raster being created and sets its depth; false (error raised) when refused.
bool ResolveFormat(GxRaster* raster, GxD3D9RasterExt* ext, GxInt32* format);
// The depth-stencil format of z-buffer rasters: the z-buffer depth's best format the display can take.
GxUInt32 ChooseDepthFormat();

// ---- device objects (raster.cpp) ----

bool MainWindowClientSize(GxInt32* width, GxInt32* height);
HRESULT MakeTexture(GxRaster* raster, GxD3D9RasterExt* ext, GxUInt32 levels, DWORD usage, GxUInt32 format,
                    D3DPOOL pool);
void ReleaseTexture(GxD3D9RasterExt* ext);
HRESULT MakeCameraTexture(GxRaster* raster, GxD3D9RasterExt* ext, GxUInt32 format, bool* retried);
void TakeBackBufferFormat(GxRaster* raster, GxD3D9RasterExt* ext, bool displayDepth);
HRESULT MakeDepthSurface(GxRaster* raster, GxD3D9RasterExt* ext, GxUInt32 format);
// Releases a z-buffer raster's own depth surface; the device's shared one stays in the extension.
void ReleaseOwnDepthSurface(GxD3D9RasterExt* ext);

// ---- palette blocks (raster_palette.cpp) ----

GxD3D9PaletteBlock* PaletteBlockTake();
void PaletteBlockGiveBack(GxD3D9PaletteBlock* block);
void PaletteBlocksClose();

// ---- device-memory list (raster_restore.cpp) ----

// False when the raster could not be listed (see raster_restore.cpp).
bool ListAdd(GxRaster* raster);
void ListRemove(GxRaster* raster);

}  // namespace d3d9raster
