// Raster drawing and clearing into the current raster context: surface copies, textured quads and fills.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/raster.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/im2d.h"
#include "gfx/d3d9/pixelconv.h"
#include "gfx/d3d9/raster.h"
#include "gfx/d3d9/renderstate.h"

namespace {

// The one value below gxRASTERTYPECAMERATEXTURE that names no raster type.
constexpr GxInt32 kUnusedRasterType = 3;

const char* const kCombinationMessage = "SRC, DST Raster render combination not supported";
constexpr DWORD kPointCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MAGFPOINT;
constexpr DWORD kLinearCaps = D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFLINEAR;

GxRaster* currentContext = nullptr;
GxIm2DVertex quad[4];

GxD3D9RasterExt* Ext(GxRaster* raster) { return GxD3D9RASTEREXTFromRaster(raster); }
GxRaster* Top(GxRaster* raster) { return GxRasterGetParent(raster); }
bool CameraLike(GxInt32 type) { return type == gxRASTERTYPECAMERA || type == gxRASTERTYPECAMERATEXTURE; }
bool TextureLike(GxInt32 type) { return type == gxRASTERTYPENORMAL || type == gxRASTERTYPETEXTURE; }

void RaiseCombination() { GxErrorRaise(gxPLUGINCORE, GxErrorMakeCode(gxERRDEVICEFAILURE, kCombinationMessage)); }

// Integer rectangle with exclusive right and bottom edges.
struct Box {
    int64_t left, top, right, bottom;
    bool Empty() const { return left >= right || top >= bottom; }
};

Box Intersect(const Box& a, const Box& b)
{
    return Box{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
}

// The raster's own rectangle inside its top-level parent.
Box OwnBox(const GxRaster* raster)
{
    return Box{raster->offsetX, raster->offsetY, static_cast<int64_t>(raster->offsetX) + raster->width,
               static_cast<int64_t>(raster->offsetY) + raster->height};
}

RECT ToRect(const Box& box)
{
    return RECT{static_cast<LONG>(box.left), static_cast<LONG>(box.top), static_cast<LONG>(box.right),
                static_cast<LONG>(box.bottom)};
}

Box SurfaceBox(IDirect3DSurface9* surface)
{
    D3DSURFACE_DESC desc;
    if (surface == nullptr || FAILED(surface->GetDesc(&desc))) {
        return Box{0, 0, 0, 0};
    }
    return Box{0, 0, static_cast<int64_t>(desc.Width), static_cast<int64_t>(desc.Height)};
}

// Level 0 (or the current cube face) of a top-level raster's texture; a new reference.
IDirect3DSurface9* TextureLevel0(GxRaster* top)
{
    IDirect3DSurface9* surface = nullptr;
    if (IDirect3DCubeTexture9* cube = GxD3D9RasterGetCubeTexture(top)) {
        const auto face = static_cast<D3DCUBEMAP_FACES>(GxD3D9RasterExtFace(Ext(top)));
        return SUCCEEDED(cube->GetCubeMapSurface(face, 0, &surface)) ? surface : nullptr;
    }
    if (IDirect3DTexture9* texture = GxD3D9RasterGetTexture(top)) {
        return SUCCEEDED(texture->GetSurfaceLevel(0, &surface)) ? surface : nullptr;
    }
    return nullptr;
}

// The surface a raster's pixels live in, as a new reference: a camera's back buffer, else texture level 0.
IDirect3DSurface9* RasterSurface(GxRaster* raster)
{
    GxRaster* top = Top(raster);
    if (top->type == gxRASTERTYPECAMERA) {
        IDirect3DSurface9* surface =
            Ext(top)->swapChain ? GxD3D9RasterGetSurface(top) : gxD3D9State.defaultRenderTarget;
        if (surface != nullptr) {
            surface->AddRef();
        }
        return surface;
    }
    return TextureLevel0(top);
}

D3DTEXTUREFILTERTYPE CopyFilter(bool scaled)
{
    const DWORD caps = gxD3D9State.caps.StretchRectFilterCaps;
    if (scaled) {
        return (caps & kLinearCaps) ? D3DTEXF_LINEAR : D3DTEXF_NONE;
    }
    return (caps & kPointCaps) ? D3DTEXF_POINT : D3DTEXF_NONE;
}

GxUInt32 FormatBytes(D3DFORMAT format)
{
    return static_cast<GxUInt32>(format) < static_cast<GxUInt32>(gxD3D9FORMATINFOSIZE)
               ? GxD3D9FormatInfo[format].depth / 8u
               : 0;
}

// Copies a rectangle between surfaces of different formats through the pixel rules of both.
HRESULT ConvertRect(IDirect3DSurface9* source, D3DFORMAT sourceFormat, const RECT& sourceRect,
                    IDirect3DSurface9* destination, D3DFORMAT destinationFormat, POINT at)
{
    const GxUInt32 inBytes = FormatBytes(sourceFormat);
    const GxUInt32 outBytes = FormatBytes(destinationFormat);
    GxRGBA probe = {0, 0, 0, 0};
    GxUInt32 packed = 0;
    if (inBytes == 0 || inBytes > 4 || outBytes == 0 || outBytes > 4 || !GxD3D9UnpackPixel(sourceFormat, 0, &probe) ||
        !GxD3D9PackPixel(destinationFormat, &probe, &packed)) {
        return D3DERR_INVALIDCALL;
    }
    const LONG width = sourceRect.right - sourceRect.left;
    const LONG height = sourceRect.bottom - sourceRect.top;
    const RECT destinationRect = {at.x, at.y, at.x + width, at.y + height};
    D3DLOCKED_RECT in, out;
    if (FAILED(source->LockRect(&in, &sourceRect, D3DLOCK_READONLY))) {
        return D3DERR_INVALIDCALL;
    }
    if (FAILED(destination->LockRect(&out, &destinationRect, 0))) {
        source->UnlockRect();
        return D3DERR_INVALIDCALL;
    }
    for (LONG y = 0; y < height; y++) {
        const auto* from = static_cast<const GxUInt8*>(in.pBits) + static_cast<size_t>(y) * in.Pitch;
        auto* to = static_cast<GxUInt8*>(out.pBits) + static_cast<size_t>(y) * out.Pitch;
        for (LONG x = 0; x < width; x++, from += inBytes, to += outBytes) {
            GxUInt32 pixel = 0;
            std::memcpy(&pixel, from, inBytes);
            GxRGBA colour;
            GxD3D9UnpackPixel(sourceFormat, pixel, &colour);
            GxD3D9PackPixel(destinationFormat, &colour, &pixel);
            std::memcpy(to, &pixel, outBytes);
        }
    }
    destination->UnlockRect();
    source->UnlockRect();
    return D3D_OK;
}

// A rectangle of a camera-like surface into a texture surface, through a system-memory copy,
// so that only the asked rectangle reaches the texture.
HRESULT CopyCameraToTexture(IDirect3DSurface9* source, const RECT& sourceRect, IDirect3DSurface9* destination, POINT at)
{
    D3DSURFACE_DESC desc;
    if (FAILED(source->GetDesc(&desc))) {
        return D3DERR_INVALIDCALL;
    }
    IDirect3DSurface9* copy = nullptr;
    HRESULT hr = GxD3D9Device()->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                             &copy, nullptr);
    if (FAILED(hr)) {
        return hr;
    }
    hr = GxD3D9Device()->GetRenderTargetData(source, copy);
    D3DSURFACE_DESC target;
    if (SUCCEEDED(hr)) {
        hr = destination->GetDesc(&target);
    }
    if (SUCCEEDED(hr)) {
        hr = target.Format == desc.Format ? GxD3D9Device()->UpdateSurface(copy, &sourceRect, destination, &at)
                                          : ConvertRect(copy, desc.Format, sourceRect, destination, target.Format, at);
    }
    copy->Release();
    return hr;
}

// Source and destination boxes of a copy, clipped to the context, the source and both surfaces.
bool ClipCopy(GxRaster* source, const GxRect* rect, bool scaled, const Box& sourceSurface,
              const Box& destinationSurface, Box* from, Box* to)
{
    GxRaster* context = currentContext;
    *from = OwnBox(source);
    const int64_t x = static_cast<int64_t>(context->offsetX) + rect->x;
    const int64_t y = static_cast<int64_t>(context->offsetY) + rect->y;
    const int64_t w = scaled ? rect->w : source->width;
    const int64_t h = scaled ? rect->h : source->height;
    *to = Box{x, y, x + w, y + h};
    if (from->Empty() || to->Empty()) {
        return false;
    }
    const Box limit = Intersect(OwnBox(context), destinationSurface);
    const Box clipped = Intersect(*to, limit);
    if (clipped.Empty()) {
        return false;
    }
    // Cut the source in the same proportion as the destination.
    const int64_t fw = from->right - from->left;
    const int64_t fh = from->bottom - from->top;
    const Box cut = {from->left + (clipped.left - to->left) * fw / w, from->top + (clipped.top - to->top) * fh / h,
                     from->left + (clipped.right - to->left) * fw / w, from->top + (clipped.bottom - to->top) * fh / h};
    *from = Intersect(cut, sourceSurface);
    *to = clipped;
    if (!scaled) {
        to->right = to->left + (from->right - from->left);
        to->bottom = to->top + (from->bottom - from->top);
    }
    return !from->Empty() && !to->Empty();
}

}  // namespace

GxBool GxD3D9RasterCopySurface(GxRaster* source, const GxRect* rect, GxBool scaled)
{
    if (GxD3D9Device() == nullptr) {
        return 0;
    }
    IDirect3DSurface9* from = RasterSurface(source);
    IDirect3DSurface9* to = RasterSurface(currentContext);
    HRESULT hr = D3DERR_INVALIDCALL;
    Box fromBox, toBox;
    if (from != nullptr && to != nullptr) {
        if (!ClipCopy(source, rect, scaled, SurfaceBox(from), SurfaceBox(to), &fromBox, &toBox)) {
            hr = D3D_OK;  // nothing of the copy lies inside the context
        } else {
            const RECT sourceRect = ToRect(fromBox);
            const RECT destinationRect = ToRect(toBox);
            const POINT at = {destinationRect.left, destinationRect.top};
            const bool cameraSource = CameraLike(Top(source)->type);
            if (CameraLike(Top(currentContext)->type)) {
                hr = cameraSource
                         ? GxD3D9Device()->StretchRect(from, &sourceRect, to, &destinationRect, CopyFilter(scaled))
                         : GxD3D9Device()->UpdateSurface(from, &sourceRect, to, &at);
            } else if (cameraSource) {
                hr = CopyCameraToTexture(from, sourceRect, to, at);
            } else {
                hr = GxD3D9Device()->UpdateSurface(from, &sourceRect, to, &at);
            }
        }
    }
    if (from != nullptr) {
        from->Release();
    }
    if (to != nullptr) {
        to->Release();
    }
    return SUCCEEDED(hr) ? 1 : 0;
}

namespace {

// ---- textured quad ----

struct SavedStates {
    GxUInt32 srcBlend, destBlend, vertexAlpha, fog, filter, addressU, addressV;
    GxRaster* texture;
    GxUInt32 zEnable, cullMode;
};

void SaveStates(SavedStates* saved)
{
    GxD3D9RenderStateGet(gxRENDERSTATESRCBLEND, &saved->srcBlend);
    GxD3D9RenderStateGet(gxRENDERSTATEDESTBLEND, &saved->destBlend);
    GxD3D9RenderStateGet(gxRENDERSTATEVERTEXALPHAENABLE, &saved->vertexAlpha);
    GxD3D9RenderStateGet(gxRENDERSTATEFOGENABLE, &saved->fog);
    GxD3D9RenderStateGet(gxRENDERSTATETEXTUREFILTER, &saved->filter);
    GxD3D9RenderStateGet(gxRENDERSTATETEXTUREADDRESSU, &saved->addressU);
    GxD3D9RenderStateGet(gxRENDERSTATETEXTUREADDRESSV, &saved->addressV);
    saved->texture = GxD3D9GetTextureRaster(0);
    GxD3D9GetRenderState(D3DRS_ZENABLE, &saved->zEnable);
    GxD3D9GetRenderState(D3DRS_CULLMODE, &saved->cullMode);
}

void* Value(GxUInt32 v) { return reinterpret_cast<void*>(static_cast<uintptr_t>(v)); }

void RestoreStates(const SavedStates& saved)
{
    GxD3D9SetRenderState(D3DRS_ZENABLE, saved.zEnable);
    GxD3D9SetRenderState(D3DRS_CULLMODE, saved.cullMode);
    GxD3D9RenderStateSet(gxRENDERSTATESRCBLEND, Value(saved.srcBlend));
    GxD3D9RenderStateSet(gxRENDERSTATEDESTBLEND, Value(saved.destBlend));
    GxD3D9RenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, Value(saved.vertexAlpha));
    GxD3D9RenderStateSet(gxRENDERSTATEFOGENABLE, Value(saved.fog));
    GxD3D9RenderStateSet(gxRENDERSTATETEXTUREFILTER, Value(saved.filter));
    GxD3D9RenderStateSet(gxRENDERSTATETEXTURERASTER, saved.texture);
    GxD3D9RenderStateSet(gxRENDERSTATETEXTUREADDRESSU, Value(saved.addressU));
    GxD3D9RenderStateSet(gxRENDERSTATETEXTUREADDRESSV, Value(saved.addressV));
}

void FillQuad(GxRaster* source, const GxRect* rect, bool scaled)
{
    GxRaster* top = Top(source);
    // Pre-transformed vertices are in render-target pixels, so the context's own offset is added.
    const GxReal x0 = static_cast<GxReal>(currentContext->offsetX) + static_cast<GxReal>(rect->x);
    const GxReal y0 = static_cast<GxReal>(currentContext->offsetY) + static_cast<GxReal>(rect->y);
    const GxReal x1 = x0 + static_cast<GxReal>(scaled ? rect->w : source->width);
    const GxReal y1 = y0 + static_cast<GxReal>(scaled ? rect->h : source->height);
    const GxReal pw = top->width > 0 ? static_cast<GxReal>(top->width) : 1.0f;
    const GxReal ph = top->height > 0 ? static_cast<GxReal>(top->height) : 1.0f;
    const GxReal u0 = source->offsetX / pw;
    const GxReal u1 = (source->offsetX + source->width) / pw;
    const GxReal v0 = source->offsetY / ph;
    const GxReal v1 = (source->offsetY + source->height) / ph;
    const GxReal xs[4] = {x0, x0, x1, x1};
    const GxReal ys[4] = {y0, y1, y0, y1};
    const GxReal us[4] = {u0, u0, u1, u1};
    const GxReal vs[4] = {v0, v1, v0, v1};
    for (int i = 0; i < 4; i++) {
        quad[i] = GxIm2DVertex{xs[i], ys[i], 0.0f, 1.0f, 0xFFFFFFFFu, us[i], vs[i]};
    }
}

// Render target 0 for a quad into the context; true when the context itself became the target.
bool TargetContext(void)
{
    GxRaster* top = Top(currentContext);
    bool own = false;
    if (top->type != gxRASTERTYPECAMERA) {
        own = GxD3D9SetRenderTarget(0, top) != 0;
    }
    if (!own) {
        GxD3D9SetRenderTargetSurface(0, gxD3D9State.defaultRenderTarget);
    }
    GxD3D9SetDepthStencilSurface(nullptr);
    D3DVIEWPORT9 viewport = {static_cast<DWORD>(std::max<GxInt32>(0, currentContext->offsetX)),
                             static_cast<DWORD>(std::max<GxInt32>(0, currentContext->offsetY)),
                             static_cast<DWORD>(std::max<GxInt32>(0, currentContext->width)),
                             static_cast<DWORD>(std::max<GxInt32>(0, currentContext->height)),
                             0.0f,
                             1.0f};
    GxD3D9Device()->SetViewport(&viewport);
    return own;
}

// A non-camera context that could not be the target got the quad in the back buffer: bring that rectangle
// over into the context's own texture.
void CopyBackBufferToContext(void)
{
    IDirect3DSurface9* to = TextureLevel0(Top(currentContext));
    if (to == nullptr) {
        return;
    }
    const Box box =
        Intersect(Intersect(OwnBox(currentContext), SurfaceBox(to)), SurfaceBox(gxD3D9State.defaultRenderTarget));
    if (!box.Empty()) {
        const RECT rect = ToRect(box);
        GxD3D9Device()->StretchRect(gxD3D9State.defaultRenderTarget, &rect, to, &rect, CopyFilter(false));
    }
    to->Release();
}

}  // namespace

GxBool GxD3D9RasterRenderQuad(GxRaster* source, const GxRect* rect, GxBool scaled, GxBool blend)
{
    if (GxD3D9Device() == nullptr) {
        return 0;
    }
    GxIm2DRenderPrimitiveFunction draw = GxEngineInstance->dOpenDevice.fpIm2DRenderPrimitive;
    // A camera keeps drawing after the quad, so its depth buffer and viewport are put back.
    const bool camera = Top(currentContext)->type == gxRASTERTYPECAMERA;
    IDirect3DSurface9* savedDepth = nullptr;
    D3DVIEWPORT9 savedViewport;
    const bool viewportSaved = camera && SUCCEEDED(GxD3D9Device()->GetViewport(&savedViewport));
    if (camera && FAILED(GxD3D9Device()->GetDepthStencilSurface(&savedDepth))) {
        savedDepth = nullptr;
    }
    const bool ownTarget = TargetContext();
    GxBool drawn = 0;
    if (draw != nullptr && GxD3D9BeginSceneWithRecovery()) {
        FillQuad(source, rect, scaled);
        SavedStates saved;
        SaveStates(&saved);
        GxRaster* top = Top(source);
        GxD3D9RenderStateSet(gxRENDERSTATETEXTURERASTER, top);
        if (blend && Ext(top)->alpha) {
            GxD3D9RenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, Value(1));
            GxD3D9RenderStateSet(gxRENDERSTATESRCBLEND, Value(D3DBLEND_SRCALPHA));
            GxD3D9RenderStateSet(gxRENDERSTATEDESTBLEND, Value(D3DBLEND_INVSRCALPHA));
        } else {
            GxD3D9RenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, Value(0));
        }
        GxD3D9RenderStateSet(gxRENDERSTATEFOGENABLE, Value(0));
        GxD3D9RenderStateSet(gxRENDERSTATETEXTUREFILTER, Value(scaled ? 2 : 1));
        GxD3D9RenderStateSet(gxRENDERSTATETEXTUREADDRESS, Value(D3DTADDRESS_CLAMP));
        GxD3D9SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        GxD3D9SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        drawn = draw(gxPRIMTYPETRISTRIP, quad, 4);
        RestoreStates(saved);
    }
    if (drawn && !ownTarget && Top(currentContext)->type != gxRASTERTYPECAMERA) {
        CopyBackBufferToContext();
    }
    if (ownTarget) {
        GxD3D9SetRenderTargetSurface(0, gxD3D9State.defaultRenderTarget);
        GxD3D9SetDepthStencilSurface(gxD3D9State.defaultDepthStencil);
    }
    if (camera) {
        GxD3D9SetDepthStencilSurface(savedDepth);
        if (savedDepth != nullptr) {
            savedDepth->Release();
        }
        if (viewportSaved) {
            GxD3D9Device()->SetViewport(&savedViewport);
        }
    }
    return drawn;
}

namespace {

// ---- fills ----

GxUInt32 ClearColour(GxRaster* context, GxInt32 pixel)
{
    if (context->depth == 32) {
        return static_cast<GxUInt32>(pixel);
    }
    GxRGBA colour = {0, 0, 0, 0};
    GxUInt32 value = static_cast<GxUInt32>(pixel);
    GxUInt32 packed = 0;
    const GxInt32 format = GxRasterGetFormat(context);
    if (!GxD3D9PixelToRGB(&colour, &value, format) || !GxD3D9RGBToPixel(&packed, &colour, gxRASTERFORMAT8888)) {
        return value;
    }
    return packed;
}

GxUInt8 NearestIndex(const GxUInt8* palette, GxUInt32 pixel)
{
    const GxInt32 want[4] = {static_cast<GxInt32>(pixel & 0xFF), static_cast<GxInt32>((pixel >> 8) & 0xFF),
                             static_cast<GxInt32>((pixel >> 16) & 0xFF), static_cast<GxInt32>(pixel >> 24)};
    GxInt32 best = 0;
    int64_t bestDistance = INT64_MAX;
    for (GxInt32 i = 0; i < 256; i++) {
        int64_t distance = 0;
        for (GxInt32 c = 0; c < 4; c++) {
            const int64_t d = palette[4 * i + c] - want[c];
            distance += d * d;
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0) {
                break;
            }
        }
    }
    return static_cast<GxUInt8>(best);
}

GxBool FillLocked(GxRaster* context, const Box& box, GxInt32 pixel)
{
    if (GxRasterLock(context, 0, gxRASTERLOCKWRITE) == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
    // The lock starts at the context's own corner and may be smaller than asked.
    const Box inside = Intersect(box, Box{0, 0, context->width, context->height});
    const GxUInt32 value = static_cast<GxUInt32>(pixel);
    GxD3D9PaletteBlock* palette = Ext(Top(context))->palette;
    const GxUInt8 index =
        palette ? NearestIndex(reinterpret_cast<const GxUInt8*>(palette->entries), value) : static_cast<GxUInt8>(value);
    for (int64_t y = inside.top; y < inside.bottom; y++) {
        GxUInt8* row = context->pixels + y * context->stride;
        for (int64_t x = inside.left; x < inside.right; x++) {
            switch (context->depth) {
            case 32:
                reinterpret_cast<GxUInt32*>(row)[x] = value;
                break;
            case 16:
                reinterpret_cast<GxUInt16*>(row)[x] = static_cast<GxUInt16>(value);
                break;
            case 8:
                row[x] = index;
                break;
            default:
                break;
            }
        }
    }
    GxRasterUnlock(context);
    return 1;
}

// The device's fill result is not looked at: the clear reports success.
void ColorFillContext(GxRaster* context, const Box& placed, GxInt32 pixel)
{
    IDirect3DSurface9* surface = TextureLevel0(Top(context));
    if (surface == nullptr) {
        return;
    }
    const Box box = Intersect(placed, SurfaceBox(surface));
    if (!box.Empty()) {
        const RECT rect = ToRect(box);
        GxD3D9Device()->ColorFill(surface, &rect, ClearColour(context, pixel));
    }
    surface->Release();
}

GxBool FillTexture(GxRaster* context, const Box& local, const Box& placed, GxInt32 pixel)
{
    IDirect3DSurface9* surface = TextureLevel0(Top(context));
    D3DSURFACE_DESC desc;
    const bool described = surface != nullptr && SUCCEEDED(surface->GetDesc(&desc));
    if (surface != nullptr) {
        surface->Release();
    }
    if (!described) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
    if (desc.Pool == D3DPOOL_DEFAULT) {
        ColorFillContext(context, placed, pixel);
        return 1;
    }
    return FillLocked(context, local, pixel);
}

GxBool ClearDevice(const Box& box, DWORD flags, D3DCOLOR colour)
{
    const D3DRECT rect = {static_cast<LONG>(box.left), static_cast<LONG>(box.top), static_cast<LONG>(box.right),
                          static_cast<LONG>(box.bottom)};
    return SUCCEEDED(GxD3D9Device()->Clear(1, &rect, flags, colour, 1.0f, 0)) ? 1 : 0;
}

}  // namespace

GxBool GxD3D9RasterFillRect(const GxRect* rect, GxInt32 pixel)
{
    GxRaster* context = currentContext;
    GX_ASSERT(context != nullptr && rect != nullptr, "a clear needs a context and a rectangle");
    GX_ASSERT(gxD3D9RasterExtOffset >= 0 && GxD3D9Device() != nullptr, "a clear needs the started driver");
    // Clipped to the context, so no fill reaches outside the raster it was asked for.
    const Box asked = {rect->x, rect->y, static_cast<int64_t>(rect->x) + rect->w,
                       static_cast<int64_t>(rect->y) + rect->h};
    const Box local = Intersect(asked, Box{0, 0, context->width, context->height});
    const Box placed = {local.left + context->offsetX, local.top + context->offsetY, local.right + context->offsetX,
                        local.bottom + context->offsetY};
    const GxInt32 type = context->type;
    if (type > gxRASTERTYPECAMERATEXTURE || type == kUnusedRasterType) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
    if (local.Empty()) {
        return 1;
    }
    switch (type) {
    case gxRASTERTYPECAMERA:
        GxD3D9SetRenderTargetSurface(0, gxD3D9State.defaultRenderTarget);
        GxD3D9SetDepthStencilSurface(gxD3D9State.defaultDepthStencil);
        ClearDevice(placed, D3DCLEAR_TARGET, ClearColour(context, pixel));
        return 1;
    case gxRASTERTYPEZBUFFER: {
        IDirect3DSurface9* surface = GxD3D9RasterGetSurface(Top(context));
        if (surface == nullptr) {
            return 1;  // no depth surface to clear
        }
        GxD3D9SetDepthStencilSurface(surface);
        ClearDevice(placed, D3DCLEAR_ZBUFFER, 0);
        GxD3D9SetDepthStencilSurface(gxD3D9State.defaultDepthStencil);
        return 1;
    }
    case gxRASTERTYPECAMERATEXTURE:
        ColorFillContext(context, placed, pixel);
        return 1;
    default:
        return FillTexture(context, local, placed, pixel);
    }
}

GxBool GxD3D9SetRasterContext(void* /*out*/, void* inOut, GxInt32 /*in*/)
{
    currentContext = static_cast<GxRaster*>(inOut);
    return 1;
}

GxBool GxD3D9RasterClearRect(void* /*out*/, void* inOut, GxInt32 in)
{
    return GxD3D9RasterFillRect(static_cast<const GxRect*>(inOut), in);
}

GxBool GxD3D9RasterClear(void* /*out*/, void* /*inOut*/, GxInt32 in)
{
    GX_ASSERT(currentContext != nullptr, "a clear needs a context");
    const GxRect rect = {0, 0, currentContext->width, currentContext->height};
    return GxD3D9RasterFillRect(&rect, in);
}

GxBool GxD3D9RasterRenderGeneric(GxRaster* raster, const GxRect* rect, GxBool scaled, GxBool blend)
{
    if (raster == nullptr) {
        return 0;
    }
    GxRaster* context = currentContext;
    GX_ASSERT(context != nullptr && rect != nullptr, "a draw needs a context and a place");
    GX_ASSERT(gxD3D9RasterExtOffset >= 0, "a draw needs the started driver");
    const GxInt32 source = raster->type;
    const GxInt32 target = context->type;
    if (!TextureLike(target) && !CameraLike(target)) {
        RaiseCombination();
        return 0;
    }
    if (source == gxRASTERTYPEZBUFFER) {
        RaiseCombination();
        return 0;
    }
    const bool textureSource = TextureLike(source) || source == gxRASTERTYPECAMERATEXTURE;
    if (!textureSource && source != gxRASTERTYPECAMERA) {
        return 1;
    }
    if (CameraLike(target) && textureSource) {
        return GxD3D9RasterRenderQuad(raster, rect, scaled, blend);
    }
    const GxBool copied = GxD3D9RasterCopySurface(raster, rect, scaled);
    if (!copied) {
        RaiseCombination();
    }
    return copied;
}

GxBool GxD3D9RasterRender(void* out, void* inOut, GxInt32 /*in*/)
{
    return GxD3D9RasterRenderGeneric(static_cast<GxRaster*>(out), static_cast<const GxRect*>(inOut), 0, 1);
}

GxBool GxD3D9RasterRenderScaled(void* out, void* inOut, GxInt32 /*in*/)
{
    return GxD3D9RasterRenderGeneric(static_cast<GxRaster*>(out), static_cast<const GxRect*>(inOut), 1, 1);
}

GxBool GxD3D9RasterRenderFast(void* out, void* inOut, GxInt32 /*in*/)
{
    return GxD3D9RasterRenderGeneric(static_cast<GxRaster*>(out), static_cast<const GxRect*>(inOut), 0, 0);
}
