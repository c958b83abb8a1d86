// Native rasters of the Direct3D 9 driver: format tables, raster create, destroy, lock and unlock, palettes, device loss.
#include <algorithm>
#include <cstring>

#include "gfx/core/memory.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/raster.h"
#include "gfx/d3d9/renderstate.h"

GxD3D9FormatInfoEntry GxD3D9FormatInfo[gxD3D9FORMATINFOSIZE];
GxD3D9RasterFormatInfoEntry GxD3D9RasterFormatInfo[gxD3D9RASTERFORMATINFOSIZE];
GxInt32 gxD3D9RasterExtOffset = -1;

namespace {

constexpr GxUInt32 kListHint = 0x30411;
constexpr GxUInt32 kPaletteStackHint = 0x1030411;
constexpr GxInt32 kListNodesPerBlock = 127;
constexpr GxInt32 kPaletteBlocksPerBlock = 64;
constexpr GxInt32 kPaletteStackGrowth = 512;
// Palette numbers are stored as 16-bit values on the free stack.
constexpr GxUInt32 kMaxPaletteNumber = 0xFFFF;
constexpr GxUInt8 kNoLockedLevel = 0xFF;

struct RasterDriverState {
    GxFreeList* listNodes;
    GxD3D9RasterListNode* head;
    GxFreeList* paletteBlocks;
    GxUInt16* freeNumbers;
    GxInt32 numFreeNumbers;
    GxInt32 freeNumbersCapacity;
    GxUInt32 nextPaletteNumber;
};

RasterDriverState rasterState = {};

// ---- small helpers ----

GxD3D9RasterExt* Ext(GxRaster* raster) { return GxD3D9RASTEREXTFromRaster(raster); }

GxRaster* TopRaster(GxRaster* raster) { return GxRasterGetParent(raster); }

GxInt32 PixelNibble(GxInt32 format) { return (format & gxRASTERFORMATPIXELFORMATMASK) >> 8; }

D3DFORMAT DisplayFormat() { return static_cast<D3DFORMAT>(gxD3D9State.currentMode.format); }

GxInt32 DisplayDepth() { return gxD3D9State.currentDepth; }

D3DFORMAT BackBufferFormat() { return gxD3D9State.present.BackBufferFormat; }

const GxD3D9FormatInfoEntry& FormatInfo(GxUInt32 format)
{
    static const GxD3D9FormatInfoEntry none = {0, 0, 0};
    return format < static_cast<GxUInt32>(gxD3D9FORMATINFOSIZE) ? GxD3D9FormatInfo[format] : none;
}

void RaiseDevice(const char* message)
{
    GxErrorRaise(gxPLUGINCORE, GxErrorMakeCode(gxERRDEVICEFAILURE, message));
}

HRESULT CheckFormat(DWORD usage, D3DRESOURCETYPE type, GxUInt32 format)
{
    IDirect3D9* d3d = GxD3D9Direct3D();
    if (d3d == nullptr) {
        return D3DERR_NOTAVAILABLE;
    }
    return d3d->CheckDeviceFormat(gxD3D9State.adapter, D3DDEVTYPE_HAL, DisplayFormat(), usage, type,
                                  static_cast<D3DFORMAT>(format));
}

GxBool DepthStencilMatch(GxUInt32 renderTarget, GxUInt32 depth)
{
    IDirect3D9* d3d = GxD3D9Direct3D();
    if (d3d == nullptr) {
        return 0;
    }
    // A device without a depth buffer has nothing a render target must match.
    if (depth == D3DFMT_UNKNOWN) {
        return 1;
    }
    return SUCCEEDED(d3d->CheckDepthStencilMatch(gxD3D9State.adapter, D3DDEVTYPE_HAL, DisplayFormat(),
                                                 static_cast<D3DFORMAT>(renderTarget),
                                                 static_cast<D3DFORMAT>(depth)));
}

GxBool CanAutoGenerate() { return (gxD3D9State.caps.Caps2 & D3DCAPS2_CANAUTOGENMIPMAP) != 0; }

// Automatic mipmaps count only for an exact D3D_OK: D3DOK_NOAUTOGEN is a success that generates nothing.
GxBool CheckAutoMipmap(DWORD usage, D3DRESOURCETYPE type, GxUInt32 format)
{
    return CanAutoGenerate() && CheckFormat(usage | D3DUSAGE_AUTOGENMIPMAP, type, format) == D3D_OK;
}

GxInt32 HighestBit(GxInt32 value)
{
    GxInt32 bit = 1;
    while (value >= 2) {
        value >>= 1;
        bit <<= 1;
    }
    return value > 0 ? bit : 0;
}

GxInt32 BitCount(GxInt32 value)
{
    GxInt32 bits = 0;
    while (value > 0) {
        value >>= 1;
        bits++;
    }
    return bits;
}

bool MainWindowClientSize(GxInt32* width, GxInt32* height)
{
    RECT client = {0, 0, 0, 0};
    if (gxD3D9State.window == nullptr || !GetClientRect(gxD3D9State.window, &client)) {
        return false;
    }
    *width = client.right - client.left;
    *height = client.bottom - client.top;
    return true;
}

void FillTables()
{
    std::memset(GxD3D9FormatInfo, 0, sizeof(GxD3D9FormatInfo));
    struct Row {
        GxUInt32 format;
        GxUInt8 alpha;
        GxUInt8 depth;
        GxUInt16 rasterFormat;
    };
    static const Row rows[] = {
        {D3DFMT_R8G8B8, 0, 24, 0},          {D3DFMT_A8R8G8B8, 1, 32, 0x500},   {D3DFMT_X8R8G8B8, 0, 32, 0x600},
        {D3DFMT_R5G6B5, 0, 16, 0x200},      {D3DFMT_X1R5G5B5, 0, 16, 0xA00},   {D3DFMT_A1R5G5B5, 1, 16, 0x100},
        {D3DFMT_A4R4G4B4, 1, 16, 0x300},    {D3DFMT_R3G3B2, 0, 8, 0},          {D3DFMT_A8, 1, 8, 0},
        {D3DFMT_A8R3G3B2, 1, 16, 0},        {D3DFMT_X4R4G4B4, 0, 16, 0},       {D3DFMT_A2B10G10R10, 1, 32, 0},
        {D3DFMT_A8B8G8R8, 1, 32, 0},        {D3DFMT_X8B8G8R8, 0, 32, 0},       {D3DFMT_G16R16, 0, 32, 0},
        {D3DFMT_A2R10G10B10, 1, 32, 0},     {D3DFMT_A16B16G16R16, 1, 64, 0},   {D3DFMT_A8P8, 1, 16, 0},
        {D3DFMT_P8, 0, 8, 0x2000},          {D3DFMT_L8, 0, 8, 0x400},          {D3DFMT_A8L8, 1, 16, 0},
        {D3DFMT_A4L4, 1, 8, 0},             {D3DFMT_V8U8, 0, 16, 0},           {D3DFMT_L6V5U5, 0, 16, 0},
        {D3DFMT_X8L8V8U8, 0, 32, 0},        {D3DFMT_Q8W8V8U8, 0, 32, 0},       {D3DFMT_V16U16, 0, 32, 0},
        {D3DFMT_A2W10V10U10, 1, 32, 0},     {D3DFMT_D16_LOCKABLE, 0, 16, 0x700}, {D3DFMT_D32, 0, 32, 0x900},
        {D3DFMT_D15S1, 0, 16, 0x700},       {D3DFMT_D24S8, 0, 32, 0x900},      {D3DFMT_D24X8, 0, 32, 0x900},
        {D3DFMT_D24X4S4, 0, 32, 0x900},     {D3DFMT_D16, 0, 16, 0x700},        {D3DFMT_L16, 0, 16, 0},
        {D3DFMT_D32F_LOCKABLE, 0, 32, 0x900}, {D3DFMT_D24FS8, 0, 32, 0x900},   {D3DFMT_Q16W16V16U16, 0, 64, 0},
        {D3DFMT_R16F, 0, 16, 0},            {D3DFMT_G16R16F, 0, 32, 0},        {D3DFMT_A16B16G16R16F, 1, 64, 0},
        {D3DFMT_R32F, 0, 32, 0},            {D3DFMT_G32R32F, 0, 64, 0},        {D3DFMT_A32B32G32R32F, 1, 128, 0},
        {D3DFMT_CxV8U8, 0, 16, 0},
    };
    for (const Row& row : rows) {
        GxD3D9FormatInfo[row.format] = {row.alpha, row.depth, row.rasterFormat};
    }
    std::memset(GxD3D9RasterFormatInfo, 0, sizeof(GxD3D9RasterFormatInfo));
    GxD3D9RasterFormatInfo[1] = {D3DFMT_A1R5G5B5, 16, 1};
    GxD3D9RasterFormatInfo[2] = {D3DFMT_R5G6B5, 16, 0};
    GxD3D9RasterFormatInfo[3] = {D3DFMT_A4R4G4B4, 16, 1};
    GxD3D9RasterFormatInfo[4] = {D3DFMT_L8, 8, 0};
    GxD3D9RasterFormatInfo[5] = {D3DFMT_A8R8G8B8, 32, 1};
    GxD3D9RasterFormatInfo[6] = {D3DFMT_X8R8G8B8, 32, 0};
    GxD3D9RasterFormatInfo[7] = {D3DFMT_D16, 16, 0};
    GxD3D9RasterFormatInfo[8] = {D3DFMT_D24X8, 32, 0};
    GxD3D9RasterFormatInfo[9] = {D3DFMT_D32, 32, 0};
    GxD3D9RasterFormatInfo[10] = {D3DFMT_X1R5G5B5, 16, 0};
}

// ---- extension callbacks ----

void* RasterExtConstructor(void* object, GxInt32 offset, GxInt32 /*size*/)
{
    auto* ext = reinterpret_cast<GxD3D9RasterExt*>(static_cast<char*>(object) + offset);
    ext->swapChain = nullptr;
    return object;
}

void* RasterExtDestructor(void* object, GxInt32 offset, GxInt32 /*size*/)
{
    auto* ext = reinterpret_cast<GxD3D9RasterExt*>(static_cast<char*>(object) + offset);
    if (ext->swapChain != nullptr) {
        ext->swapChain->Release();
        ext->swapChain = nullptr;
    }
    return object;
}

// ---- device-memory list ----

void ListAdd(GxRaster* raster)
{
    if (rasterState.listNodes == nullptr) {
        return;
    }
    for (GxD3D9RasterListNode* node = rasterState.head; node != nullptr; node = node->next) {
        if (node->raster == raster) {
            return;
        }
    }
    auto* node = static_cast<GxD3D9RasterListNode*>(GxFreeListAllocEntry(rasterState.listNodes, kListHint));
    if (node == nullptr) {
        return;
    }
    node->raster = raster;
    node->next = rasterState.head;
    rasterState.head = node;
}

void ListRemove(GxRaster* raster)
{
    GxD3D9RasterListNode** link = &rasterState.head;
    while (*link != nullptr) {
        GxD3D9RasterListNode* node = *link;
        if (node->raster == raster) {
            *link = node->next;
            GxFreeListFreeEntry(rasterState.listNodes, node);
            return;
        }
        link = &node->next;
    }
}

// ---- palette blocks ----

GxD3D9PaletteBlock* PaletteBlockTake()
{
    if (rasterState.paletteBlocks == nullptr) {
        rasterState.paletteBlocks = GxFreeListCreate(sizeof(GxD3D9PaletteBlock), kPaletteBlocksPerBlock, 4, kListHint);
        if (rasterState.paletteBlocks == nullptr) {
            return nullptr;
        }
    }
    GxUInt32 number = 0;
    if (rasterState.numFreeNumbers > 0) {
        number = rasterState.freeNumbers[--rasterState.numFreeNumbers];
    } else if (rasterState.nextPaletteNumber <= kMaxPaletteNumber) {
        number = rasterState.nextPaletteNumber++;
    } else {
        return nullptr;
    }
    auto* block = static_cast<GxD3D9PaletteBlock*>(GxFreeListAllocEntry(rasterState.paletteBlocks, kListHint));
    if (block == nullptr) {
        rasterState.freeNumbers[rasterState.numFreeNumbers++] = static_cast<GxUInt16>(number);
        return nullptr;
    }
    std::memset(block->entries, 0, sizeof(block->entries));
    block->paletteNumber = number;
    return block;
}

void PaletteBlockGiveBack(GxD3D9PaletteBlock* block)
{
    if (rasterState.numFreeNumbers >= rasterState.freeNumbersCapacity) {
        const GxInt32 capacity = rasterState.freeNumbersCapacity + kPaletteStackGrowth;
        const size_t bytes = static_cast<size_t>(capacity) * sizeof(GxUInt16);
        void* grown = rasterState.freeNumbers ? GxRealloc(rasterState.freeNumbers, bytes, kPaletteStackHint)
                                              : GxMalloc(bytes, kPaletteStackHint);
        if (grown != nullptr) {
            rasterState.freeNumbers = static_cast<GxUInt16*>(grown);
            rasterState.freeNumbersCapacity = capacity;
        }
    }
    // Without room the number is simply never reused.
    if (rasterState.numFreeNumbers < rasterState.freeNumbersCapacity) {
        rasterState.freeNumbers[rasterState.numFreeNumbers++] = static_cast<GxUInt16>(block->paletteNumber);
    }
    GxFreeListFreeEntry(rasterState.paletteBlocks, block);
}

// A palette block taken before the free stack exists must find room when it is given back.
bool EnsurePaletteStack()
{
    if (rasterState.freeNumbers != nullptr) {
        return true;
    }
    const size_t bytes = static_cast<size_t>(kPaletteStackGrowth) * sizeof(GxUInt16);
    rasterState.freeNumbers = static_cast<GxUInt16*>(GxMalloc(bytes, kPaletteStackHint));
    if (rasterState.freeNumbers == nullptr) {
        return false;
    }
    rasterState.freeNumbersCapacity = kPaletteStackGrowth;
    return true;
}

// ---- stages ----

// No texture stage may keep a destroyed raster's texture bound.
void UnbindFromStages(GxRaster* raster)
{
    GxD3D9TextureRasterForget(raster);
}

// ---- format resolution at create ----

bool ResolveTextureFormat(GxRaster* raster, GxD3D9RasterExt* ext, GxInt32* format)
{
    const GxInt32 nibble = PixelNibble(*format);
    if ((*format & gxRASTERFORMATPAL4) || nibble > 10) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return false;
    }
    const bool palettised = (*format & gxRASTERFORMATPAL8) != 0;
    const bool alphaPalettes = (gxD3D9State.caps.TextureCaps & D3DPTEXTURECAPS_ALPHAPALETTE) != 0;
    if (palettised) {
        if (!GxD3D9CheckTextureFormat(D3DFMT_P8)) {
            return false;
        }
        if (nibble == 0) {
            *format |= alphaPalettes ? gxRASTERFORMAT8888 : gxRASTERFORMAT888;
        } else if (nibble != PixelNibble(gxRASTERFORMAT888) && !(nibble == PixelNibble(gxRASTERFORMAT8888) && alphaPalettes)) {
            return false;
        }
        raster->depth = 8;
        return true;
    }
    if (nibble == 0) {
        GxInt32 chosen = gxRASTERFORMAT1555;
        if (DisplayDepth() > 16 && GxD3D9CheckTextureFormat(D3DFMT_A8R8G8B8)) {
            chosen = gxRASTERFORMAT8888;
        } else if (GxD3D9CheckTextureFormat(D3DFMT_A4R4G4B4)) {
            chosen = gxRASTERFORMAT4444;
        }
        *format |= chosen;
    } else {
        const GxUInt32 d3dFormat = GxD3D9RasterFormatInfo[nibble].d3dFormat;
        const GxBool supported = GxD3D9IsDepthFormat(d3dFormat) ? GxD3D9CheckDepthTextureFormat(d3dFormat)
                                                                : GxD3D9CheckTextureFormat(d3dFormat);
        if (!supported) {
            return false;
        }
    }
    const GxD3D9RasterFormatInfoEntry& info = GxD3D9RasterFormatInfo[PixelNibble(*format)];
    raster->depth = info.depth;
    if ((*format & gxRASTERFORMATMIPMAP) && (*format & gxRASTERFORMATAUTOMIPMAP) &&
        GxD3D9CheckAutoMipmapFormat(info.d3dFormat)) {
        ext->automipmap |= 0x01;
    }
    return true;
}

bool ResolveZBufferFormat(GxRaster* raster, GxInt32* format)
{
    const GxInt32 wanted = GxD3D9ZBufferDepth() == 16 ? gxRASTERFORMAT16 : gxRASTERFORMAT32;
    const GxInt32 given = *format & gxRASTERFORMATPIXELFORMATMASK;
    if (given != 0 && given != wanted) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return false;
    }
    *format |= wanted;
    raster->depth = GxD3D9ZBufferDepth();
    return true;
}

bool ResolveCameraFormat(GxRaster* raster, GxInt32* format)
{
    const GxInt32 wanted = FormatInfo(BackBufferFormat()).rasterFormat;
    const GxInt32 given = *format & gxRASTERFORMATPIXELFORMATMASK;
    if (given != 0 && given != wanted) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return false;
    }
    *format = (*format & ~gxRASTERFORMATPIXELFORMATMASK) | wanted;
    raster->depth = DisplayDepth();
    return true;
}

bool ResolveCameraTextureFormat(GxRaster* raster, GxD3D9RasterExt* ext, GxInt32* format)
{
    const GxInt32 nibble = PixelNibble(*format);
    if (nibble > 10) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return false;
    }
    if (nibble == 0) {
        GxInt32 chosen = gxRASTERFORMAT565;
        if (DisplayDepth() != 16 && GxD3D9CheckRenderTargetFormat(D3DFMT_X8R8G8B8)) {
            chosen = gxRASTERFORMAT888;
        }
        *format |= chosen;
    } else if (!GxD3D9CheckRenderTargetFormat(GxD3D9RasterFormatInfo[nibble].d3dFormat)) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return false;
    }
    const GxD3D9RasterFormatInfoEntry& info = GxD3D9RasterFormatInfo[PixelNibble(*format)];
    raster->depth = info.depth;
    if ((*format & gxRASTERFORMATMIPMAP) && (*format & gxRASTERFORMATAUTOMIPMAP) &&
        GxD3D9CheckAutoMipmapRenderTargetFormat(info.d3dFormat)) {
        ext->automipmap |= 0x01;
    }
    return true;
}

bool ResolveFormat(GxRaster* raster, GxD3D9RasterExt* ext, GxInt32* format)
{
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        return ResolveTextureFormat(raster, ext, format);
    case gxRASTERTYPEZBUFFER:
        return ResolveZBufferFormat(raster, format);
    case gxRASTERTYPECAMERA:
        return ResolveCameraFormat(raster, format);
    case gxRASTERTYPECAMERATEXTURE:
        return ResolveCameraTextureFormat(raster, ext, format);
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return false;
    }
}

// ---- device objects ----

GxUInt32 TextureLevels(const GxRaster* raster) { return (GxRasterGetFormat(raster) & gxRASTERFORMATMIPMAP) ? 0 : 1; }

DWORD AutoUsage(const GxD3D9RasterExt* ext) { return (ext->automipmap & 0x0F) ? D3DUSAGE_AUTOGENMIPMAP : 0; }

HRESULT MakeTexture(GxRaster* raster, GxD3D9RasterExt* ext, GxUInt32 levels, DWORD usage, GxUInt32 format,
                    D3DPOOL pool)
{
    IDirect3DDevice9* device = GxD3D9Device();
    if (device == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const UINT width = static_cast<UINT>(raster->width);
    const UINT height = static_cast<UINT>(raster->height);
    if (ext->cube & 0x0F) {
        IDirect3DCubeTexture9* cube = nullptr;
        const HRESULT hr = device->CreateCubeTexture(width, levels, usage, static_cast<D3DFORMAT>(format), pool,
                                                     &cube, nullptr);
        if (SUCCEEDED(hr)) {
            ext->texture = static_cast<IDirect3DBaseTexture9*>(cube);
        }
        return hr;
    }
    IDirect3DTexture9* texture = nullptr;
    const HRESULT hr = device->CreateTexture(width, height, levels, usage, static_cast<D3DFORMAT>(format), pool,
                                             &texture, nullptr);
    if (SUCCEEDED(hr)) {
        ext->texture = static_cast<IDirect3DBaseTexture9*>(texture);
    }
    return hr;
}

void ReleaseTexture(GxD3D9RasterExt* ext)
{
    if (ext->texture != nullptr) {
        static_cast<IDirect3DBaseTexture9*>(ext->texture)->Release();
        ext->texture = nullptr;
    }
}

GxBool CreateTexture(GxRaster* raster, GxD3D9RasterExt* ext)
{
    const GxInt32 format = GxRasterGetFormat(raster);
    const GxInt32 nibble = PixelNibble(format);
    GxUInt32 d3dFormat = GxD3D9RasterFormatInfo[nibble].d3dFormat;
    if (format & (gxRASTERFORMATPAL8 | gxRASTERFORMATPAL4)) {
        if (nibble != PixelNibble(gxRASTERFORMAT888) && nibble != PixelNibble(gxRASTERFORMAT8888)) {
            RaiseDevice("Palletized texture can only be gxRASTERFORMAT888 or gxRASTERFORMAT8888.");
            return 0;
        }
        if (!EnsurePaletteStack() || (ext->palette = PaletteBlockTake()) == nullptr) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return 0;
        }
        d3dFormat = D3DFMT_P8;
    }
    ext->alpha = GxD3D9RasterFormatInfo[nibble].alpha;
    ext->d3dFormat = d3dFormat;
    GxD3D9RasterClampSize(&raster->width, &raster->height, format | raster->type);
    HRESULT hr;
    const bool depth = GxD3D9IsDepthFormat(d3dFormat);
    if (depth && !(ext->cube & 0x0F)) {
        hr = MakeTexture(raster, ext, 1, D3DUSAGE_DEPTHSTENCIL, d3dFormat, D3DPOOL_DEFAULT);
    } else {
        hr = MakeTexture(raster, ext, TextureLevels(raster), AutoUsage(ext), d3dFormat, D3DPOOL_MANAGED);
    }
    if (FAILED(hr)) {
        if (ext->palette != nullptr) {
            PaletteBlockGiveBack(ext->palette);
            ext->palette = nullptr;
        }
        RaiseDevice("Failed to create texture.");
        return 0;
    }
    if (depth || ext->palette != nullptr) {
        ListAdd(raster);
    }
    return 1;
}

// Camera textures fall back to the back-buffer format once; sets `retried` when that format was used.
HRESULT MakeCameraTexture(GxRaster* raster, GxD3D9RasterExt* ext, GxUInt32 format, bool* retried)
{
    const DWORD usage = D3DUSAGE_RENDERTARGET | AutoUsage(ext);
    HRESULT hr = MakeTexture(raster, ext, TextureLevels(raster), usage, format, D3DPOOL_DEFAULT);
    *retried = false;
    if (SUCCEEDED(hr) || hr == D3DERR_OUTOFVIDEOMEMORY) {
        return hr;
    }
    *retried = true;
    return MakeTexture(raster, ext, TextureLevels(raster), usage, BackBufferFormat(), D3DPOOL_DEFAULT);
}

// At creation the depth is the display's; at a restore it is the format's own.
void TakeBackBufferFormat(GxRaster* raster, GxD3D9RasterExt* ext, bool displayDepth)
{
    const GxD3D9FormatInfoEntry& info = FormatInfo(BackBufferFormat());
    raster->format = static_cast<GxUInt8>(
        ((GxRasterGetFormat(raster) & ~gxRASTERFORMATPIXELFORMATMASK) | info.rasterFormat) >> 8);
    raster->depth = displayDepth ? DisplayDepth() : info.depth;
    ext->d3dFormat = BackBufferFormat();
    ext->alpha = info.alpha;
}

GxBool CreateCameraTexture(GxRaster* raster, GxD3D9RasterExt* ext)
{
    const GxInt32 format = GxRasterGetFormat(raster);
    if (format & (gxRASTERFORMATPAL8 | gxRASTERFORMATPAL4)) {
        RaiseDevice("gxRASTERTYPECAMERATEXTURE can not be palletized.");
        return 0;
    }
    const GxD3D9RasterFormatInfoEntry& info = GxD3D9RasterFormatInfo[PixelNibble(format)];
    ext->d3dFormat = info.d3dFormat;
    ext->alpha = info.alpha;
    GxD3D9RasterClampSize(&raster->width, &raster->height, format | raster->type);
    GxD3D9Device()->EvictManagedResources();
    bool retried = false;
    const HRESULT hr = MakeCameraTexture(raster, ext, info.d3dFormat, &retried);
    if (hr == D3DERR_OUTOFVIDEOMEMORY) {
        RaiseDevice("Out of video memory. Failed to create raster.");
        return 0;
    }
    if (FAILED(hr)) {
        RaiseDevice("Failed to create raster.");
        return 0;
    }
    if (retried) {
        TakeBackBufferFormat(raster, ext, true);
    }
    return 1;
}

GxBool DepthCandidate(GxUInt32 format)
{
    return SUCCEEDED(CheckFormat(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, format)) &&
           DepthStencilMatch(DisplayFormat(), format);
}

GxUInt32 ChooseDepthFormat()
{
    if (GxD3D9ZBufferDepth() == 16) {
        return DepthCandidate(D3DFMT_D15S1) ? D3DFMT_D15S1 : D3DFMT_D16;
    }
    static const GxUInt32 candidates[] = {D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32};
    for (GxUInt32 candidate : candidates) {
        if (DepthCandidate(candidate)) {
            return candidate;
        }
    }
    return D3DFMT_D24X8;
}

HRESULT MakeDepthSurface(GxRaster* raster, GxD3D9RasterExt* ext, GxUInt32 format)
{
    IDirect3DDevice9* device = GxD3D9Device();
    IDirect3DSurface9* surface = nullptr;
    device->EvictManagedResources();
    const HRESULT hr = device->CreateDepthStencilSurface(
        static_cast<UINT>(std::max(raster->width, 1)), static_cast<UINT>(std::max(raster->height, 1)),
        static_cast<D3DFORMAT>(format), gxD3D9State.present.MultiSampleType, gxD3D9State.present.MultiSampleQuality,
        FALSE, &surface, nullptr);
    if (SUCCEEDED(hr)) {
        ext->texture = surface;
        ext->d3dFormat = format;
    }
    return hr;
}

GxBool CreateZBuffer(GxRaster* raster, GxD3D9RasterExt* ext)
{
    const GxUInt32 format = ChooseDepthFormat();
    ext->alpha = 0;
    GxInt32 clientWidth = 0;
    GxInt32 clientHeight = 0;
    if (MainWindowClientSize(&clientWidth, &clientHeight) && raster->width == clientWidth &&
        raster->height == clientHeight && gxD3D9State.defaultDepthStencil != nullptr) {
        ext->texture = gxD3D9State.defaultDepthStencil;
        ext->d3dFormat = gxD3D9State.depthStencilFormat;
        return 1;
    }
    const HRESULT hr = MakeDepthSurface(raster, ext, format);
    if (hr == D3DERR_OUTOFVIDEOMEMORY) {
        RaiseDevice("Out of video memory. Failed to create raster.");
        return 0;
    }
    if (FAILED(hr)) {
        RaiseDevice("Failed to create raster.");
        return 0;
    }
    return 1;
}

GxBool CreateCamera(GxRaster* raster, GxD3D9RasterExt* ext)
{
    if (!(raster->flags & gxRASTERDONTALLOCATE)) {
        GxInt32 clientWidth = 0;
        GxInt32 clientHeight = 0;
        if (!MainWindowClientSize(&clientWidth, &clientHeight) || raster->width > clientWidth ||
            raster->height > clientHeight) {
            RaiseDevice("Camera raster is too big.");
            return 0;
        }
    }
    raster->depth = GxD3D9FormatDepth(BackBufferFormat());
    raster->stride = 0;
    raster->pixels = nullptr;
    raster->flags = gxRASTERDONTALLOCATE;
    raster->savedWidth = raster->width;
    raster->savedHeight = raster->height;
    ext->d3dFormat = BackBufferFormat();
    ListAdd(raster);
    return 1;
}

GxBool CreateDeviceObject(GxRaster* raster, GxD3D9RasterExt* ext)
{
    const bool dontAllocate = (raster->flags & gxRASTERDONTALLOCATE) != 0;
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        return dontAllocate ? 1 : CreateTexture(raster, ext);
    case gxRASTERTYPEZBUFFER:
        if (dontAllocate) {
            return 1;
        }
        if (!CreateZBuffer(raster, ext)) {
            return 0;
        }
        ListAdd(raster);
        return 1;
    case gxRASTERTYPECAMERA:
        return CreateCamera(raster, ext);
    case gxRASTERTYPECAMERATEXTURE:
        if (dontAllocate) {
            return 1;
        }
        if (!CreateCameraTexture(raster, ext)) {
            return 0;
        }
        ListAdd(raster);
        return 1;
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
}

// ---- lock helpers ----

// The locked rectangle of a sub-raster at a level, inside the level's surface; false when nothing is left.
bool SubRasterRect(const GxRaster* raster, GxUInt32 level, const D3DSURFACE_DESC& desc, RECT* rect)
{
    const LONG left = raster->offsetX >> level;
    const LONG top = raster->offsetY >> level;
    const LONG right = std::max<LONG>(left + 1, (raster->offsetX + raster->width) >> level);
    const LONG bottom = std::max<LONG>(top + 1, (raster->offsetY + raster->height) >> level);
    rect->left = left;
    rect->top = top;
    rect->right = std::min<LONG>(right, static_cast<LONG>(desc.Width));
    rect->bottom = std::min<LONG>(bottom, static_cast<LONG>(desc.Height));
    return rect->left < rect->right && rect->top < rect->bottom;
}

IDirect3DSurface9* LevelSurface(GxRaster* top, GxUInt32 level)
{
    GxD3D9RasterExt* ext = Ext(top);
    if (ext->texture == nullptr) {
        return nullptr;
    }
    IDirect3DSurface9* surface = nullptr;
    if (ext->cube & 0x0F) {
        const auto face = static_cast<D3DCUBEMAP_FACES>((ext->cube >> 4) % 6);
        if (FAILED(GxD3D9RasterGetCubeTexture(top)->GetCubeMapSurface(face, level, &surface))) {
            return nullptr;
        }
        return surface;
    }
    if (FAILED(GxD3D9RasterGetTexture(top)->GetSurfaceLevel(level, &surface))) {
        return nullptr;
    }
    return surface;
}

// The surface a camera raster shows: its own swap chain's back buffer, else the device's.
IDirect3DSurface9* CameraSurface(GxRaster* top)
{
    GxD3D9RasterExt* ext = Ext(top);
    if (ext->swapChain != nullptr) {
        return static_cast<IDirect3DSurface9*>(ext->texture);
    }
    return gxD3D9State.defaultRenderTarget;
}

// Locks `surface` for `raster` (the whole surface for a top-level raster, its rectangle for a sub-raster).
bool LockSurface(GxRaster* raster, IDirect3DSurface9* surface, GxUInt32 level, DWORD flags, D3DLOCKED_RECT* locked,
                 RECT* lockedRect)
{
    D3DSURFACE_DESC desc;
    if (FAILED(surface->GetDesc(&desc))) {
        return false;
    }
    const RECT* rect = nullptr;
    *lockedRect = {0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    if (raster->parent != raster) {
        if (!SubRasterRect(raster, level, desc, lockedRect)) {
            return false;
        }
        rect = lockedRect;
    }
    return SUCCEEDED(surface->LockRect(locked, rect, flags));
}

void FinishLock(GxRaster* raster, GxD3D9RasterExt* ext, GxUInt32 level, GxInt32 mode, const D3DLOCKED_RECT& locked,
                const RECT& lockedRect)
{
    if (mode & gxRASTERLOCKREAD) {
        raster->privateFlags |= gxRASTERPIXELLOCKEDREAD;
    }
    if (mode & gxRASTERLOCKWRITE) {
        raster->privateFlags |= gxRASTERPIXELLOCKEDWRITE;
    }
    ext->lockedPitch = locked.Pitch;
    ext->lockedBits = locked.pBits;
    ext->lockedMipLevel = static_cast<GxUInt8>(level);
    raster->pixels = static_cast<GxUInt8*>(locked.pBits);
    raster->savedWidth = raster->width;
    raster->savedHeight = raster->height;
    // The reported size never exceeds what was locked.
    const GxInt32 lockedWidth = lockedRect.right - lockedRect.left;
    const GxInt32 lockedHeight = lockedRect.bottom - lockedRect.top;
    raster->width = std::min(std::max(raster->width >> level, 1), lockedWidth);
    raster->height = std::min(std::max(raster->height >> level, 1), lockedHeight);
    raster->stride = locked.Pitch;
}

GxBool LockTexture(GxRaster* raster, GxUInt32 level, GxInt32 mode, DWORD flags)
{
    GxRaster* top = TopRaster(raster);
    GxD3D9RasterExt* ext = Ext(raster);
    IDirect3DSurface9* surface = LevelSurface(top, level);
    if (surface == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    D3DLOCKED_RECT locked;
    RECT lockedRect;
    if (!LockSurface(raster, surface, level, flags, &locked, &lockedRect)) {
        surface->Release();
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    ext->lockedSurface = surface;
    FinishLock(raster, ext, level, mode, locked, lockedRect);
    return 1;
}

GxBool LockCamera(GxRaster* raster, GxUInt32 level, GxInt32 mode, DWORD flags)
{
    GxRaster* top = TopRaster(raster);
    GxD3D9RasterExt* ext = Ext(raster);
    const bool cameraTexture = top->type == gxRASTERTYPECAMERATEXTURE;
    // A back buffer has one level only.
    IDirect3DSurface9* source = cameraTexture ? LevelSurface(top, level) : (level == 0 ? CameraSurface(top) : nullptr);
    D3DSURFACE_DESC desc;
    IDirect3DSurface9* copy = nullptr;
    bool ok = source != nullptr && SUCCEEDED(source->GetDesc(&desc)) &&
              SUCCEEDED(GxD3D9Device()->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                                    D3DPOOL_SYSTEMMEM, &copy, nullptr));
    if (ok && (mode & gxRASTERLOCKREAD)) {
        ok = SUCCEEDED(GxD3D9Device()->GetRenderTargetData(source, copy));
    }
    D3DLOCKED_RECT locked;
    RECT lockedRect;
    if (ok) {
        ok = LockSurface(raster, copy, level, flags, &locked, &lockedRect);
    }
    if (cameraTexture && source != nullptr) {
        source->Release();
    }
    if (!ok) {
        if (copy != nullptr) {
            copy->Release();
        }
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    ext->lockedSurface = copy;
    FinishLock(raster, ext, level, mode, locked, lockedRect);
    return 1;
}

void RestoreAfterUnlock(GxRaster* raster, GxD3D9RasterExt* ext)
{
    raster->width = raster->savedWidth;
    raster->height = raster->savedHeight;
    raster->stride = 0;
    raster->pixels = nullptr;
    ext->lockedBits = nullptr;
    ext->lockedPitch = 0;
}

// Level 0 of an automatic-mipmap raster was written and the device does not build the levels itself.
void GenerateMipmapsAfterWrite(GxRaster* raster, GxD3D9RasterExt* ext, bool written, GxUInt8 level)
{
    const GxInt32 format = GxRasterGetFormat(raster);
    if (written && (format & gxRASTERFORMATAUTOMIPMAP) && level == 0 && !(ext->automipmap & 0x0F)) {
        ext->lockedMipLevel = kNoLockedLevel;
        GxD3D9RasterGenerateMipmaps(TopRaster(raster));
    }
    ext->lockedMipLevel = kNoLockedLevel;
}

void UnlockTexture(GxRaster* raster, GxD3D9RasterExt* ext)
{
    const bool written = (raster->privateFlags & gxRASTERPIXELLOCKEDWRITE) != 0;
    const GxUInt8 level = ext->lockedMipLevel;
    if (ext->lockedSurface != nullptr) {
        ext->lockedSurface->UnlockRect();
        ext->lockedSurface->Release();
        ext->lockedSurface = nullptr;
    }
    RestoreAfterUnlock(raster, ext);
    raster->privateFlags &= static_cast<GxUInt8>(~gxRASTERPIXELLOCKED);
    GenerateMipmapsAfterWrite(raster, ext, written, level);
}

void UnlockCamera(GxRaster* raster, GxD3D9RasterExt* ext)
{
    const bool written = (raster->privateFlags & gxRASTERPIXELLOCKEDWRITE) != 0;
    const GxUInt8 level = ext->lockedMipLevel;
    GxRaster* top = TopRaster(raster);
    const bool cameraTexture = top->type == gxRASTERTYPECAMERATEXTURE;
    IDirect3DSurface9* copy = ext->lockedSurface;
    RestoreAfterUnlock(raster, ext);
    if (copy != nullptr) {
        copy->UnlockRect();
    }
    if (written && copy != nullptr) {
        IDirect3DSurface9* destination = cameraTexture ? LevelSurface(top, level) : CameraSurface(top);
        if (destination != nullptr) {
            D3DSURFACE_DESC desc;
            RECT rect;
            if (raster == top) {
                GxD3D9Device()->UpdateSurface(copy, nullptr, destination, nullptr);
            } else if (SUCCEEDED(copy->GetDesc(&desc)) && SubRasterRect(raster, level, desc, &rect)) {
                const POINT point = {rect.left, rect.top};
                GxD3D9Device()->UpdateSurface(copy, &rect, destination, &point);
            }
            if (cameraTexture) {
                destination->Release();
            }
        }
    }
    if (copy != nullptr) {
        copy->Release();
    }
    ext->lockedSurface = nullptr;
    raster->privateFlags &= static_cast<GxUInt8>(~gxRASTERPIXELLOCKED);
    if (cameraTexture) {
        GenerateMipmapsAfterWrite(raster, ext, written, level);
    } else {
        ext->lockedMipLevel = kNoLockedLevel;
    }
}

// ---- format choice ----

GxInt32 Fallback16()
{
    return GxD3D9CheckTextureFormat(D3DFMT_A4R4G4B4) ? gxRASTERFORMAT4444 : gxRASTERFORMAT1555;
}

GxBool AlphaPalettes() { return (gxD3D9State.caps.TextureCaps & D3DPTEXTURECAPS_ALPHAPALETTE) != 0; }

GxInt32 ChooseDefaultTextureFormat(GxInt32 format)
{
    if (format & gxRASTERFORMATPAL8) {
        if (GxD3D9CheckTextureFormat(D3DFMT_P8)) {
            return format | (AlphaPalettes() ? gxRASTERFORMAT8888 : gxRASTERFORMAT888);
        }
        format &= ~gxRASTERFORMATPAL8;
    }
    return format | (GxD3D9CheckTextureFormat(D3DFMT_A8R8G8B8) ? gxRASTERFORMAT8888 : Fallback16());
}

// A palettised request the device can not keep becomes the nearest plain format.
GxInt32 ChoosePaletteFallback(GxInt32 pixel)
{
    const bool deep = DisplayDepth() > 16;
    if (pixel == gxRASTERFORMAT888) {
        return (deep && GxD3D9CheckTextureFormat(D3DFMT_X8R8G8B8)) ? gxRASTERFORMAT888 : gxRASTERFORMAT565;
    }
    if (!deep) {
        return Fallback16();
    }
    return GxD3D9CheckTextureFormat(D3DFMT_A8R8G8B8) ? gxRASTERFORMAT8888 : Fallback16();
}

GxInt32 ChooseGivenTextureFormat(GxInt32 format)
{
    if (format & gxRASTERFORMATPAL4) {
        format = (format & ~gxRASTERFORMATPAL4) | gxRASTERFORMATPAL8;
    }
    const GxInt32 pixel = format & gxRASTERFORMATPIXELFORMATMASK;
    const GxInt32 others = format & ~gxRASTERFORMATPIXELFORMATMASK;
    if (format & gxRASTERFORMATPAL8) {
        if (GxD3D9CheckTextureFormat(D3DFMT_P8) && (pixel != gxRASTERFORMAT8888 || AlphaPalettes())) {
            return format;
        }
        return (others & ~gxRASTERFORMATPAL8) | ChoosePaletteFallback(pixel);
    }
    switch (pixel) {
    case gxRASTERFORMAT8888:
        return others | (GxD3D9CheckTextureFormat(D3DFMT_A8R8G8B8) ? gxRASTERFORMAT8888 : Fallback16());
    case gxRASTERFORMAT888:
        return others | (GxD3D9CheckTextureFormat(D3DFMT_X8R8G8B8) ? gxRASTERFORMAT888 : gxRASTERFORMAT565);
    case gxRASTERFORMAT4444:
        return others | Fallback16();
    case gxRASTERFORMATLUM8:
        if (GxD3D9CheckTextureFormat(D3DFMT_L8)) {
            return format;
        }
        return others | (GxD3D9CheckTextureFormat(D3DFMT_X8R8G8B8) ? gxRASTERFORMAT888 : gxRASTERFORMAT565);
    default:
        return format;
    }
}

// Camera textures follow the z-buffer's depth: 16-bit requests with a 16-bit one, 32-bit with a 32-bit one.
GxInt32 ChooseCameraTextureFormat(GxInt32 pixel)
{
    const bool shallow = GxD3D9ZBufferDepth() == 16;
    if (pixel == 0) {
        return (!shallow && GxD3D9CheckRenderTargetFormat(D3DFMT_X8R8G8B8)) ? gxRASTERFORMAT888 : gxRASTERFORMAT565;
    }
    GxInt32 chosen = pixel;
    if (shallow) {
        if (pixel == gxRASTERFORMAT8888) {
            chosen = gxRASTERFORMAT4444;
        } else if (pixel != gxRASTERFORMAT4444 && pixel != gxRASTERFORMAT1555) {
            chosen = gxRASTERFORMAT565;
        }
        if (chosen == gxRASTERFORMAT4444 && !GxD3D9CheckRenderTargetFormat(D3DFMT_A4R4G4B4)) {
            chosen = gxRASTERFORMAT1555;
        }
        if (chosen == gxRASTERFORMAT1555 && !GxD3D9CheckRenderTargetFormat(D3DFMT_A1R5G5B5)) {
            chosen = gxRASTERFORMAT565;
        }
        return chosen;
    }
    if (pixel == gxRASTERFORMAT4444 || pixel == gxRASTERFORMAT1555) {
        chosen = gxRASTERFORMAT8888;
    } else if (pixel != gxRASTERFORMAT8888) {
        chosen = gxRASTERFORMAT888;
    }
    if (chosen == gxRASTERFORMAT8888 && !GxD3D9CheckRenderTargetFormat(D3DFMT_A8R8G8B8)) {
        chosen = gxRASTERFORMAT888;
    }
    return chosen;
}

// ---- release and restore ----

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
        if (ext->texture != nullptr && ext->texture != gxD3D9State.defaultDepthStencil) {
            static_cast<IDirect3DSurface9*>(ext->texture)->Release();
            ext->texture = nullptr;
        }
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
    params.EnableAutoDepthStencil = FALSE;
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
    // A zero back-buffer size means "the client size" and gives no scale.
    if (displayWidth != 0 && backWidth != 0 && static_cast<GxUInt32>(raster->width) != backWidth) {
        raster->width = static_cast<GxInt32>(static_cast<GxUInt32>(raster->width) * backWidth / displayWidth);
    }
    if (displayHeight != 0 && backHeight != 0 && static_cast<GxUInt32>(raster->height) != backHeight) {
        raster->height = static_cast<GxInt32>(static_cast<GxUInt32>(raster->height) * backHeight / displayHeight);
    }
    const GxD3D9FormatInfoEntry& info = FormatInfo(BackBufferFormat());
    raster->depth = info.depth;
    raster->format = static_cast<GxUInt8>(
        ((GxRasterGetFormat(raster) & ~gxRASTERFORMATPIXELFORMATMASK) | info.rasterFormat) >> 8);
    ext->d3dFormat = BackBufferFormat();
    ext->alpha = info.alpha;
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

GxBool DestroyDeviceObject(GxRaster* raster, GxD3D9RasterExt* ext)
{
    const bool dontAllocate = (raster->flags & gxRASTERDONTALLOCATE) != 0;
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        if (dontAllocate && ext->texture == nullptr) {
            return 1;
        }
        if (ext->palette != nullptr) {
            ListRemove(raster);
            PaletteBlockGiveBack(ext->palette);
            ext->palette = nullptr;
        }
        ListRemove(raster);
        ReleaseTexture(ext);
        return 1;
    case gxRASTERTYPEZBUFFER:
        if (dontAllocate) {
            return 1;
        }
        ListRemove(raster);
        if (ext->texture != nullptr && ext->texture != gxD3D9State.defaultDepthStencil) {
            static_cast<IDirect3DSurface9*>(ext->texture)->Release();
        }
        ext->texture = nullptr;
        return 1;
    case gxRASTERTYPECAMERA:
        ListRemove(raster);
        return 1;
    case gxRASTERTYPECAMERATEXTURE:
        if (dontAllocate && ext->texture == nullptr) {
            return 1;
        }
        ListRemove(raster);
        ReleaseTexture(ext);
        return 1;
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
}

}  // namespace

// Lower mip levels of an automatic-mipmap raster come from the texture module's generation.
GxBool GxD3D9RasterGenerateMipmaps(GxRaster* raster)
{
    return GxTextureRasterGenerateMipmaps(raster, nullptr);
}

// ---- public ----

IDirect3DBaseTexture9* GxD3D9RasterGetBaseTexture(const GxRaster* raster)
{
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        return nullptr;
    }
    const GxInt32 type = raster->type;
    if (type != gxRASTERTYPENORMAL && type != gxRASTERTYPETEXTURE && type != gxRASTERTYPECAMERATEXTURE) {
        return nullptr;
    }
    return static_cast<IDirect3DBaseTexture9*>(GxD3D9RASTEREXTFromConstRaster(raster)->texture);
}

IDirect3DTexture9* GxD3D9RasterGetTexture(const GxRaster* raster)
{
    IDirect3DBaseTexture9* base = GxD3D9RasterGetBaseTexture(raster);
    if (base == nullptr || (GxD3D9RASTEREXTFromConstRaster(raster)->cube & 0x0F)) {
        return nullptr;
    }
    return static_cast<IDirect3DTexture9*>(base);
}

IDirect3DCubeTexture9* GxD3D9RasterGetCubeTexture(const GxRaster* raster)
{
    IDirect3DBaseTexture9* base = GxD3D9RasterGetBaseTexture(raster);
    if (base == nullptr || !(GxD3D9RASTEREXTFromConstRaster(raster)->cube & 0x0F)) {
        return nullptr;
    }
    return static_cast<IDirect3DCubeTexture9*>(base);
}

IDirect3DSurface9* GxD3D9RasterGetSurface(const GxRaster* raster)
{
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        return nullptr;
    }
    if (raster->type != gxRASTERTYPEZBUFFER && raster->type != gxRASTERTYPECAMERA) {
        return nullptr;
    }
    return static_cast<IDirect3DSurface9*>(GxD3D9RASTEREXTFromConstRaster(raster)->texture);
}

GxBool GxD3D9IsDepthFormat(GxUInt32 format) { return format >= 70 && format <= 80; }

GxBool GxD3D9IsDXTFormat(GxUInt32 format)
{
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
           format == D3DFMT_DXT5;
}

GxInt32 GxD3D9ZBufferDepth(void)
{
    switch (gxD3D9State.depthStencilFormat) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
        return 16;
    case D3DFMT_UNKNOWN:
        return gxD3D9State.backBufferDepth == 16 ? 16 : 32;
    default:
        return 32;
    }
}

GxBool GxD3D9CheckTextureFormat(GxUInt32 format) { return SUCCEEDED(CheckFormat(0, D3DRTYPE_TEXTURE, format)); }

GxBool GxD3D9CheckRenderTargetFormat(GxUInt32 format)
{
    return SUCCEEDED(CheckFormat(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, format)) &&
           DepthStencilMatch(format, gxD3D9State.depthStencilFormat);
}

GxBool GxD3D9CheckDepthTextureFormat(GxUInt32 format)
{
    return SUCCEEDED(CheckFormat(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_TEXTURE, format)) &&
           DepthStencilMatch(DisplayFormat(), format);
}

GxBool GxD3D9CheckCubeTextureFormat(GxUInt32 format) { return SUCCEEDED(CheckFormat(0, D3DRTYPE_CUBETEXTURE, format)); }

GxBool GxD3D9CheckRenderTargetCubeFormat(GxUInt32 format)
{
    return SUCCEEDED(CheckFormat(D3DUSAGE_RENDERTARGET, D3DRTYPE_CUBETEXTURE, format)) &&
           DepthStencilMatch(format, gxD3D9State.depthStencilFormat);
}

GxBool GxD3D9CheckAutoMipmapFormat(GxUInt32 format) { return CheckAutoMipmap(0, D3DRTYPE_TEXTURE, format); }

GxBool GxD3D9CheckAutoMipmapRenderTargetFormat(GxUInt32 format)
{
    return CheckAutoMipmap(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, format);
}

GxBool GxD3D9CheckAutoMipmapCubeFormat(GxUInt32 format) { return CheckAutoMipmap(0, D3DRTYPE_CUBETEXTURE, format); }

GxBool GxD3D9RasterPluginAttach(void)
{
    FillTables();
    gxD3D9RasterExtOffset = GxRasterRegisterPlugin(sizeof(GxD3D9RasterExt), gxPLUGIND3D9RASTER,
                                                   RasterExtConstructor, RasterExtDestructor, nullptr);
    return gxD3D9RasterExtOffset >= 0;
}

GxBool GxD3D9RasterListOpen(void)
{
    if (rasterState.listNodes != nullptr) {
        return 1;
    }
    rasterState.head = nullptr;
    rasterState.listNodes = GxFreeListCreate(sizeof(GxD3D9RasterListNode), kListNodesPerBlock,
                                             alignof(GxD3D9RasterListNode), kListHint);
    return rasterState.listNodes != nullptr;
}

void GxD3D9RasterListClose(void)
{
    if (rasterState.listNodes != nullptr) {
        GxFreeListDestroy(rasterState.listNodes);
    }
    if (rasterState.paletteBlocks != nullptr) {
        GxFreeListDestroy(rasterState.paletteBlocks);
    }
    if (rasterState.freeNumbers != nullptr) {
        GxFree(rasterState.freeNumbers);
    }
    rasterState = {};
}

const GxD3D9RasterListNode* GxD3D9RasterListFirst(void) { return rasterState.head; }

void GxD3D9RasterReleaseVideoMemory(void)
{
    for (GxD3D9RasterListNode* node = rasterState.head; node != nullptr; node = node->next) {
        if (node->raster->parent == node->raster) {
            ReleaseListed(node->raster);
        }
    }
}

GxBool GxD3D9RasterRestoreVideoMemory(void)
{
    GxBool result = 1;
    for (GxD3D9RasterListNode* node = rasterState.head; node != nullptr; node = node->next) {
        if (node->raster->parent == node->raster && !RestoreListed(node->raster)) {
            result = 0;
        }
    }
    return result;
}

GxBool GxD3D9RasterCreate(void* /*out*/, void* inOut, GxInt32 flags)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    GxD3D9RasterExt* ext = Ext(raster);
    raster->type = static_cast<GxUInt8>(flags & gxRASTERTYPEMASK);
    raster->flags = static_cast<GxUInt8>(flags & 0xF8);
    raster->pixels = nullptr;
    raster->palette = nullptr;
    std::memset(ext, 0, sizeof(*ext));
    ext->lockedMipLevel = kNoLockedLevel;
    GxInt32 format = flags & gxRASTERFORMATMASK;
    if (!ResolveFormat(raster, ext, &format)) {
        return 0;
    }
    raster->format = static_cast<GxUInt8>(format >> 8);
    if (raster->width == 0 || raster->height == 0) {
        raster->flags = gxRASTERDONTALLOCATE;
        raster->stride = 0;
        if (raster->depth == 0) {
            raster->depth = 16;
        }
        if (raster->type == gxRASTERTYPECAMERA) {
            ListAdd(raster);
        }
        return 1;
    }
    // Every device object needs a started device.
    if (GxD3D9Device() == nullptr && !(raster->flags & gxRASTERDONTALLOCATE)) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return 0;
    }
    return CreateDeviceObject(raster, ext);
}

GxBool GxD3D9RasterDestroy(void* /*out*/, void* inOut, GxInt32 /*in*/)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    GxD3D9RasterExt* ext = Ext(raster);
    UnbindFromStages(raster);
    if (raster->parent != raster) {
        if (raster->type == gxRASTERTYPECAMERA) {
            ListRemove(raster);
        }
        return 1;
    }
    return DestroyDeviceObject(raster, ext);
}

GxBool GxD3D9TextureSetRaster(void* out, void* inOut, GxInt32 /*in*/)
{
    // A texture record begins with its raster pointer.
    if (out != nullptr) {
        *static_cast<GxRaster**>(out) = static_cast<GxRaster*>(inOut);
    }
    return 1;
}

GxBool GxD3D9RasterSubRaster(void* out, void* inOut, GxInt32 /*in*/)
{
    auto* raster = static_cast<GxRaster*>(out);
    auto* parent = static_cast<GxRaster*>(inOut);
    if (raster == nullptr || parent == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    raster->stride = parent->stride;
    raster->depth = parent->depth;
    raster->type = parent->type;
    raster->format = parent->format;
    raster->pixels = nullptr;
    return 1;
}

GxBool GxD3D9RasterGetMipLevels(void* out, void* inOut, GxInt32 /*in*/)
{
    auto* count = static_cast<GxInt32*>(out);
    auto* raster = static_cast<GxRaster*>(inOut);
    if (count == nullptr || raster == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    GxRaster* top = TopRaster(raster);
    if (top->type != gxRASTERTYPENORMAL && top->type != gxRASTERTYPETEXTURE &&
        top->type != gxRASTERTYPECAMERATEXTURE) {
        *count = 1;
        return 1;
    }
    if (IDirect3DBaseTexture9* texture = GxD3D9RasterGetBaseTexture(top)) {
        *count = static_cast<GxInt32>(texture->GetLevelCount());
        return 1;
    }
    *count = std::max<GxInt32>(1, BitCount(std::max(top->width, top->height)));
    return 1;
}

GxBool GxD3D9RasterLock(void* out, void* inOut, GxInt32 in)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    if (raster->pixels != nullptr || GxD3D9Device() == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    const GxUInt32 level = static_cast<GxUInt32>(in >> 8) & 0xFF;
    const GxInt32 mode = in & 0xFF;
    const DWORD flags = (mode & gxRASTERLOCKWRITE) ? D3DLOCK_NOSYSLOCK
                                                   : D3DLOCK_NOSYSLOCK | D3DLOCK_READONLY | D3DLOCK_NO_DIRTY_UPDATE;
    GxBool locked = 0;
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        locked = LockTexture(raster, level, mode, flags);
        break;
    case gxRASTERTYPECAMERA:
    case gxRASTERTYPECAMERATEXTURE:
        locked = LockCamera(raster, level, mode, flags);
        break;
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    if (locked && out != nullptr) {
        *static_cast<GxUInt8**>(out) = raster->pixels;
    }
    return locked;
}

GxBool GxD3D9RasterUnlock(void* /*out*/, void* inOut, GxInt32 /*in*/)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    if (raster->pixels == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERNOTLOCKED);
        return 0;
    }
    GxD3D9RasterExt* ext = Ext(raster);
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        UnlockTexture(raster, ext);
        return 1;
    case gxRASTERTYPECAMERA:
    case gxRASTERTYPECAMERATEXTURE:
        UnlockCamera(raster, ext);
        return 1;
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERNOTLOCKED);
        return 0;
    }
}

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
    if ((type != gxRASTERTYPENORMAL && type != gxRASTERTYPETEXTURE && type != gxRASTERTYPECAMERATEXTURE) ||
        block == nullptr) {
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
    if (type != gxRASTERTYPENORMAL && type != gxRASTERTYPETEXTURE && type != gxRASTERTYPECAMERATEXTURE) {
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

void GxD3D9RasterClampSize(GxInt32* width, GxInt32* height, GxInt32 formatAndType)
{
    const D3DCAPS9& caps = gxD3D9State.caps;
    // Unknown limits (no device yet) do not shrink anything.
    if (caps.MaxTextureWidth != 0) {
        *width = std::min<GxInt32>(*width, static_cast<GxInt32>(caps.MaxTextureWidth));
    }
    if (caps.MaxTextureHeight != 0) {
        *height = std::min<GxInt32>(*height, static_cast<GxInt32>(caps.MaxTextureHeight));
    }
    const bool pow2 = (caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0;
    const bool conditional = (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0;
    const bool mipmapped = (formatAndType & gxRASTERFORMATMIPMAP) != 0;
    const bool normal = (formatAndType & gxRASTERTYPEMASK) == gxRASTERTYPENORMAL;
    const bool reduce = (normal || !mipmapped) ? (pow2 && !conditional) : pow2;
    if (reduce) {
        *width = HighestBit(*width);
        *height = HighestBit(*height);
    }
    if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) {
        const GxInt32 side = std::min(*width, *height);
        *width = side;
        *height = side;
    }
}

GxInt32 GxD3D9RasterChooseFormat(GxInt32 type, GxInt32 flags)
{
    const GxInt32 format = flags & gxRASTERFORMATMASK;
    const GxInt32 pixel = format & gxRASTERFORMATPIXELFORMATMASK;
    const GxInt32 rest = format & ~gxRASTERFORMATPIXELFORMATMASK;
    switch (type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        return pixel == 0 ? ChooseDefaultTextureFormat(format) : ChooseGivenTextureFormat(format);
    case gxRASTERTYPEZBUFFER:
        if (pixel != 0) {
            GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
            return format;
        }
        return rest | (GxD3D9ZBufferDepth() == 16 ? gxRASTERFORMAT16 : gxRASTERFORMAT32);
    case gxRASTERTYPECAMERA:
        if (pixel != 0) {
            GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
            return format;
        }
        return rest | FormatInfo(BackBufferFormat()).rasterFormat;
    case gxRASTERTYPECAMERATEXTURE:
        return rest | ChooseCameraTextureFormat(pixel);
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return format;
    }
}

GxBool GxD3D9RasterSetFormat(GxRaster* raster, GxInt32 flags)
{
    const GxInt32 chosen = GxD3D9RasterChooseFormat(flags & gxRASTERTYPEMASK, flags);
    raster->type = static_cast<GxUInt8>(flags & gxRASTERTYPEMASK);
    raster->flags = static_cast<GxUInt8>(flags & 0xF8);
    raster->format = static_cast<GxUInt8>(chosen >> 8);
    raster->depth = GxD3D9RasterFormatInfo[PixelNibble(chosen)].depth;
    return 1;
}

GxRaster* GxD3D9RasterCreateFromD3DFormat(GxInt32 width, GxInt32 height, GxUInt32 format, GxInt32 flags)
{
    const GxInt32 type = flags & gxRASTERTYPEMASK;
    if (type == gxRASTERTYPENORMAL || type == gxRASTERTYPEZBUFFER) {
        flags &= ~(gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP);
    }
    GxRaster* raster = GxRasterCreate(width, height, 0, flags | gxRASTERDONTALLOCATE);
    if (raster == nullptr) {
        return nullptr;
    }
    GxD3D9RasterExt* ext = Ext(raster);
    const bool mipmap = (flags & gxRASTERFORMATMIPMAP) != 0;
    if (mipmap && (flags & gxRASTERFORMATAUTOMIPMAP) && CheckAutoMipmap(0, D3DRTYPE_TEXTURE, format)) {
        ext->automipmap |= 0x01;
    }
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_MANAGED;
    GxBool supported = 0;
    if (type == gxRASTERTYPECAMERATEXTURE) {
        supported = GxD3D9CheckRenderTargetFormat(format);
        usage = D3DUSAGE_RENDERTARGET;
        pool = D3DPOOL_DEFAULT;
    } else if (GxD3D9IsDepthFormat(format)) {
        supported = GxD3D9CheckDepthTextureFormat(format);
        usage = D3DUSAGE_DEPTHSTENCIL;
        pool = D3DPOOL_DEFAULT;
    } else {
        supported = GxD3D9CheckTextureFormat(format);
    }
    const bool palettised = format == D3DFMT_P8;
    if (!supported || GxD3D9Device() == nullptr || (palettised && !EnsurePaletteStack())) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    if (FAILED(MakeTexture(raster, ext, mipmap ? 0 : 1, usage | AutoUsage(ext), format, pool))) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    raster->flags &= static_cast<GxUInt8>(~gxRASTERDONTALLOCATE);
    raster->format &= static_cast<GxUInt8>(~(gxRASTERFORMATPIXELFORMATMASK >> 8));
    ext->d3dFormat = format;
    if (GxD3D9IsDXTFormat(format)) {
        ext->automipmap |= 0x10;
        const bool dxt1 = format == D3DFMT_DXT1;
        ext->alpha = dxt1 ? 0 : 1;
        raster->format |= static_cast<GxUInt8>((dxt1 ? gxRASTERFORMAT565 : gxRASTERFORMAT4444) >> 8);
        raster->depth = 16;
    } else {
        ext->automipmap &= 0x0F;
        const GxD3D9FormatInfoEntry& info = FormatInfo(format);
        ext->alpha = info.alpha;
        raster->depth = info.depth;
        raster->format |= static_cast<GxUInt8>((info.rasterFormat & gxRASTERFORMATPIXELFORMATMASK) >> 8);
    }
    if (palettised) {
        ext->palette = PaletteBlockTake();
        if (ext->palette == nullptr) {
            GxRasterDestroy(raster);
            return nullptr;
        }
    }
    if (pool == D3DPOOL_DEFAULT || palettised) {
        ListAdd(raster);
    }
    return raster;
}

GxBool GxD3D9TextureHasAlpha(const GxTexture* texture)
{
    if (texture == nullptr) {
        return 0;
    }
    // A texture record begins with its raster pointer.
    const GxRaster* raster = *reinterpret_cast<GxRaster* const*>(texture);
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        return 0;
    }
    return GxD3D9RASTEREXTFromConstRaster(raster)->alpha;
}

GxBool GxD3D9RasterIsCubeTexture(const GxRaster* raster)
{
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        return 0;
    }
    return GxD3D9RASTEREXTFromConstRaster(raster)->cube & 0x0F;
}

GxRaster* GxD3D9RasterConvertToMipmapped(GxRaster* raster)
{
    // The Direct3D format stays the same, so the level-0 pixels are carried over byte for byte.
    if (raster == nullptr || raster->parent != raster || raster->pixels != nullptr ||
        (raster->type != gxRASTERTYPENORMAL && raster->type != gxRASTERTYPETEXTURE)) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return nullptr;
    }
    GxD3D9RasterExt* ext = Ext(raster);
    if (ext->palette != nullptr || (ext->automipmap & 0xF0) || (ext->cube & 0x0F) || ext->texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return nullptr;
    }
    GxUInt8* pixels = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
    if (pixels == nullptr) {
        return nullptr;
    }
    const GxInt32 rowBytes = raster->width * (raster->depth / 8);
    const GxInt32 rows = raster->height;
    const GxInt32 stride = raster->stride;
    auto* copy = static_cast<GxUInt8*>(GxMalloc(static_cast<size_t>(rowBytes) * static_cast<size_t>(rows),
                                                gxMEMHINTDURFUNCTION | 0x411));
    if (copy == nullptr) {
        GxRasterUnlock(raster);
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    for (GxInt32 y = 0; y < rows; y++) {
        std::memcpy(copy + static_cast<size_t>(y) * rowBytes, pixels + static_cast<size_t>(y) * stride,
                    static_cast<size_t>(rowBytes));
    }
    GxRasterUnlock(raster);
    UnbindFromStages(raster);
    ReleaseTexture(ext);
    raster->format |= static_cast<GxUInt8>((gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP) >> 8);
    if (GxD3D9CheckAutoMipmapFormat(ext->d3dFormat)) {
        ext->automipmap |= 0x01;
    }
    GxRaster* result = nullptr;
    if (SUCCEEDED(MakeTexture(raster, ext, 0, AutoUsage(ext), ext->d3dFormat, D3DPOOL_MANAGED))) {
        GxUInt8* target = GxRasterLock(raster, 0, gxRASTERLOCKWRITE | gxRASTERLOCKNOFETCH);
        if (target != nullptr) {
            const GxInt32 copyRows = std::min(rows, raster->height);
            const GxInt32 copyBytes = std::min(rowBytes, raster->stride);
            for (GxInt32 y = 0; y < copyRows; y++) {
                std::memcpy(target + static_cast<size_t>(y) * raster->stride, copy + static_cast<size_t>(y) * rowBytes,
                            static_cast<size_t>(copyBytes));
            }
            GxRasterUnlock(raster);
            result = raster;
        }
    } else {
        RaiseDevice("Failed to create texture.");
    }
    GxFree(copy);
    return result;
}
