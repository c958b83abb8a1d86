// Native rasters, device loss: the rasters with default-pool objects, released before a Reset and made again after.
#include "gfx/core/assert.h"
#include "gfx/core/memory.h"
#include "gfx/d3d9/raster_local.h"

using namespace d3d9raster;

GxD3D9RasterList gxD3D9RasterList = {};

namespace {

constexpr GxInt32 kListNodesPerBlock = 127;

GxD3D9RasterList& rasterList = gxD3D9RasterList;

void ReleaseListed(GxRaster* raster)
{
    GxD3D9RasterExt* ext = Ext(raster);
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        if (GxD3D9IsDepthFormat(ext->d3dFormat)) {
            ReleaseTexture(ext);
        }
        break;
    case gxRASTERTYPEZBUFFER:
        ReleaseOwnDepthSurface(ext);
        break;
    case gxRASTERTYPECAMERA:
        // The back buffer goes with its swap chain; the window left in the extension tells the
        // restore to build a new one, and nothing is left for the destructor to release twice.
        if (ext->swapChain != nullptr) {
            ext->swapChain->Release();
            ext->swapChain = nullptr;
            ext->texture = nullptr;
        }
        break;
    case gxRASTERTYPECAMERATEXTURE:
        ReleaseTexture(ext);
        break;
    default:
        break;
    }
}

bool RestoreTexture(GxRaster* raster, GxD3D9RasterExt* ext)
{
    if (ext->palette != nullptr) {
        GxD3D9Device()->SetPaletteEntries(ext->palette->paletteNumber, ext->palette->entries);
    }
    if (GxD3D9IsDepthFormat(ext->d3dFormat) && ext->texture == nullptr) {
        return SUCCEEDED(MakeTexture(raster, ext, 1, D3DUSAGE_DEPTHSTENCIL, ext->d3dFormat, D3DPOOL_DEFAULT));
    }
    return true;
}

bool RestoreZBuffer(GxRaster* raster, GxD3D9RasterExt* ext)
{
    if (ext->texture == nullptr) {
        return SUCCEEDED(MakeDepthSurface(raster, ext, ChooseDepthFormat()));
    }
    GxInt32 clientWidth = 0;
    GxInt32 clientHeight = 0;
    if (MainWindowClientSize(&clientWidth, &clientHeight)) {
        raster->width = clientWidth;
        raster->height = clientHeight;
    }
    ext->texture = gxD3D9State.defaultDepthStencil;
    ext->d3dFormat = gxD3D9State.depthStencilFormat;
    return true;
}

bool RestoreSwapChain(GxD3D9RasterExt* ext)
{
    RECT client = {0, 0, 0, 0};
    GetClientRect(ext->window, &client);
    D3DPRESENT_PARAMETERS params = gxD3D9State.present;
    params.hDeviceWindow = ext->window;
    params.BackBufferWidth = (client.right - client.left) == 0 ? 1 : 0;
    params.BackBufferHeight = (client.bottom - client.top) == 0 ? 1 : 0;
    IDirect3DSwapChain9* chain = nullptr;
    ext->swapChain = nullptr;
    if (FAILED(GxD3D9Device()->CreateAdditionalSwapChain(&params, &chain))) {
        ext->texture = nullptr;
        return false;
    }
    ext->swapChain = chain;
    IDirect3DSurface9* back = nullptr;
    if (FAILED(chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back))) {
        ext->texture = nullptr;
        return false;
    }
    // The swap chain keeps the back buffer alive.
    ext->texture = back;
    back->Release();
    D3DSURFACE_DESC desc;
    if (SUCCEEDED(back->GetDesc(&desc))) {
        ext->d3dFormat = desc.Format;
    }
    return true;
}

bool RestoreCamera(GxRaster* raster, GxD3D9RasterExt* ext)
{
    if (ext->window != nullptr) {
        return ext->swapChain != nullptr || RestoreSwapChain(ext);
    }
    const GxUInt32 displayWidth = gxD3D9State.currentMode.width;
    const GxUInt32 displayHeight = gxD3D9State.currentMode.height;
    const GxUInt32 backWidth = gxD3D9State.present.BackBufferWidth;
    const GxUInt32 backHeight = gxD3D9State.present.BackBufferHeight;
    if (displayWidth != 0 && static_cast<GxUInt32>(raster->width) != backWidth) {
        raster->width = static_cast<GxInt32>(static_cast<GxUInt32>(raster->width) * backWidth / displayWidth);
    }
    if (displayHeight != 0 && static_cast<GxUInt32>(raster->height) != backHeight) {
        raster->height = static_cast<GxInt32>(static_cast<GxUInt32>(raster->height) * backHeight / displayHeight);
    }
    TakeBackBufferFormat(raster, ext, false);
    return true;
}

bool RestoreCameraTexture(GxRaster* raster, GxD3D9RasterExt* ext)
{
    if (ext->texture != nullptr) {
        return true;
    }
    bool retried = false;
    const GxUInt32 format = GxD3D9RasterFormatInfo[PixelNibble(GxRasterGetFormat(raster))].d3dFormat;
    if (FAILED(MakeCameraTexture(raster, ext, format, &retried))) {
        return false;
    }
    if (retried) {
        TakeBackBufferFormat(raster, ext, false);
    }
    return true;
}

bool RestoreListed(GxRaster* raster)
{
    GxD3D9RasterExt* ext = Ext(raster);
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        return RestoreTexture(raster, ext);
    case gxRASTERTYPEZBUFFER:
        return RestoreZBuffer(raster, ext);
    case gxRASTERTYPECAMERA:
        return RestoreCamera(raster, ext);
    case gxRASTERTYPECAMERATEXTURE:
        return RestoreCameraTexture(raster, ext);
    default:
        return true;
    }
}

}  // namespace

namespace d3d9raster {

// False when the raster could not be listed: a raster missing from the list would keep its default-pool
// object through a device loss, and the Reset that follows would fail.
bool ListAdd(GxRaster* raster)
{
    if (rasterList.nodes == nullptr) {
        // Before the device starts there is nothing a loss could take.
        return GxD3D9Device() == nullptr;
    }
    auto* node = static_cast<GxD3D9RasterListNode*>(GxFreeListAllocEntry(rasterList.nodes, gxD3D9RASTERLISTHINT));
    if (node == nullptr) {
        return false;
    }
    node->raster = raster;
    node->next = rasterList.head;
    rasterList.head = node;
    return true;
}

void ListRemove(GxRaster* raster)
{
    GxD3D9RasterListNode** link = &rasterList.head;
    while (*link != nullptr) {
        GxD3D9RasterListNode* node = *link;
        if (node->raster == raster) {
            *link = node->next;
            GxFreeListFreeEntry(rasterList.nodes, node);
            return;
        }
        link = &node->next;
    }
}

}  // namespace d3d9raster

GxBool GxD3D9RasterListOpen(void)
{
    GX_ASSERT(rasterList.nodes == nullptr, "the device-memory list opens once per device open");
    rasterList.head = nullptr;
    rasterList.nodes = GxFreeListCreate(sizeof(GxD3D9RasterListNode), kListNodesPerBlock, alignof(GxD3D9RasterListNode),
                                        gxD3D9RASTERLISTHINT);
    return rasterList.nodes != nullptr;
}

void GxD3D9RasterListClose(void)
{
    if (rasterList.nodes != nullptr) {
        GxFreeListDestroy(rasterList.nodes);
    }
    rasterList = {};
    PaletteBlocksClose();
}

void GxD3D9RasterReleaseVideoMemory(void)
{
    for (GxD3D9RasterListNode* node = rasterList.head; node != nullptr; node = node->next) {
        if (node->raster->parent == node->raster) {
            ReleaseListed(node->raster);
        }
    }
}

GxBool GxD3D9RasterRestoreVideoMemory(void)
{
    GxBool result = 1;
    for (GxD3D9RasterListNode* node = rasterList.head; node != nullptr; node = node->next) {
        if (node->raster->parent == node->raster && !RestoreListed(node->raster)) {
            result = 0;
        }
    }
    return result;
}
