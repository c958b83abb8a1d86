// Resource creation and the copies between surfaces and textures.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "platform/d3d9/device_local.h"

static bool IsPow2(UINT v) { return v != 0 && (v & (v - 1)) == 0; }

static UINT FullMipCount(UINT width, UINT height)
{
    UINT levels = 1;
    while (width > 1 || height > 1) {
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
        ++levels;
    }
    return levels;
}

// ---------------------------------------------------------------- surfaces

D3D9SurfaceData* D3D9NewSurfaceData(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool, DWORD flags)
{
    D3D9SurfaceData* data = new D3D9SurfaceData();
    data->usage = usage;
    data->pool = pool;
    data->flags = flags;
    D3D9SizeSurfaceData(data, width, height, format);
    return data;
}

void D3D9SizeSurfaceData(D3D9SurfaceData* data, UINT width, UINT height, D3DFORMAT format)
{
    data->width = width;
    data->height = height;
    data->format = format;
    data->pitch = D3D9FormatPitch(format, width);
    data->rows = D3D9FormatRows(format, height);
    data->bits.assign(static_cast<size_t>(data->pitch) * data->rows, 0);
}

// Hands a new record to the back end and wraps it; the record is freed on failure.
HRESULT D3D9Device::WrapSurface(D3D9SurfaceData* data, D3D9Surface** surface)
{
    HRESULT hr = backend_->CreateSurface(data);
    if (FAILED(hr)) {
        delete data;
        return hr;
    }
    *surface = new D3D9Surface(this, data, nullptr);
    return D3D_OK;
}

HRESULT D3D9Device::NewSurface(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool, DWORD flags,
                               D3D9Surface** surface)
{
    *surface = nullptr;
    if (width == 0 || height == 0 || !D3D9FormatKnown(format))
        return D3DERR_INVALIDCALL;
    return WrapSurface(D3D9NewSurfaceData(width, height, format, usage, pool, flags), surface);
}

HRESULT D3D9Device::MakeBackBuffer(const D3DPRESENT_PARAMETERS& params, HWND window, D3D9Surface** surface)
{
    *surface = nullptr;
    DWORD flags = D3D9_SURFACE_BACKBUFFER;
    if (params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER)
        flags |= D3D9_SURFACE_LOCKABLE;
    D3D9SurfaceData* data = D3D9NewSurfaceData(params.BackBufferWidth, params.BackBufferHeight, params.BackBufferFormat,
                                               D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, flags);
    data->window = window;  // the record carries the window before the back end sees it
    return WrapSurface(data, surface);
}

// ---------------------------------------------------------------- textures and buffers

HRESULT D3D9Device::CheckTextureArgs(UINT width, UINT height, UINT* levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     D3DRESOURCETYPE type)
{
    if (width == 0 || height == 0 || !D3D9FormatKnown(format))
        return D3DERR_INVALIDCALL;
    if (width > caps_.MaxTextureWidth || height > caps_.MaxTextureHeight)
        return D3DERR_INVALIDCALL;
    if (pool > D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) && pool != D3DPOOL_DEFAULT) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED)
        return D3DERR_INVALIDCALL;
    if (type == D3DRTYPE_CUBETEXTURE && !(caps_.TextureCaps & D3DPTEXTURECAPS_CUBEMAP))
        return D3DERR_INVALIDCALL;
    if ((caps_.TextureCaps & D3DPTEXTURECAPS_POW2) && (!IsPow2(width) || !IsPow2(height))) {
        return D3DERR_INVALIDCALL;
    }
    HRESULT check = backend_->CheckDeviceFormat(params_.BackBufferFormat ? params_.BackBufferFormat : D3DFMT_X8R8G8B8,
                                                usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL), type, format);
    if (FAILED(check))
        return D3DERR_INVALIDCALL;
    UINT full = FullMipCount(width, height);
    if (usage & D3DUSAGE_AUTOGENMIPMAP) {
        if (*levels > 1)
            return D3DERR_INVALIDCALL;
        // Without automatic mipmaps (or for this format) the texture has one level.
        *levels = 1;
        return D3D_OK;
    }
    if (*levels == 0 || *levels > full)
        *levels = full;
    return D3D_OK;
}

static D3D9TextureData* NewTextureData(D3D9TextureKind kind, UINT width, UINT height, UINT levels, DWORD usage,
                                       D3DFORMAT format, D3DPOOL pool)
{
    D3D9TextureData* data = new D3D9TextureData();
    data->kind = kind;
    data->width = width;
    data->height = height;
    data->levels = levels;
    data->faces = kind == D3D9_TEXTURE_CUBE ? kCubeFaces : 1;
    data->format = format;
    data->usage = usage;
    data->pool = pool;
    for (UINT face = 0; face < data->faces; ++face) {
        UINT w = width, h = height;
        for (UINT level = 0; level < levels; ++level) {
            D3D9SurfaceData* s = D3D9NewSurfaceData(w, h, format, usage, pool, D3D9_SURFACE_LEVEL);
            s->texture = data;
            s->face = face;
            s->level = level;
            data->surfaces.push_back(s);
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
        }
    }
    return data;
}

static void FreeTextureData(D3D9TextureData* data)
{
    for (D3D9SurfaceData* s : data->surfaces)
        delete s;
    delete data;
}

// The checked record of a new 2D or cube texture, known to the back end.
HRESULT D3D9Device::NewTexture(D3D9TextureKind kind, UINT width, UINT height, UINT levels, DWORD usage,
                               D3DFORMAT format, D3DPOOL pool, D3D9TextureData** texture)
{
    const D3DRESOURCETYPE type = kind == D3D9_TEXTURE_CUBE ? D3DRTYPE_CUBETEXTURE : D3DRTYPE_TEXTURE;
    HRESULT hr = CheckTextureArgs(width, height, &levels, usage, format, pool, type);
    if (FAILED(hr))
        return hr;
    D3D9TextureData* data = NewTextureData(kind, width, height, levels, usage, format, pool);
    hr = backend_->CreateTexture(data);
    if (FAILED(hr)) {
        FreeTextureData(data);
        return hr;
    }
    *texture = data;
    return D3D_OK;
}

HRESULT D3D9Device::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle)
{
    if (!ppTexture || pSharedHandle)
        return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    D3D9TextureData* data = nullptr;
    HRESULT hr = NewTexture(D3D9_TEXTURE_2D, Width, Height, Levels, Usage, Format, Pool, &data);
    if (SUCCEEDED(hr))
        *ppTexture = new D3D9Texture(this, data);
    return hr;
}

HRESULT D3D9Device::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle)
{
    if (!ppCubeTexture || pSharedHandle)
        return D3DERR_INVALIDCALL;
    *ppCubeTexture = nullptr;
    D3D9TextureData* data = nullptr;
    HRESULT hr = NewTexture(D3D9_TEXTURE_CUBE, EdgeLength, EdgeLength, Levels, Usage, Format, Pool, &data);
    if (SUCCEEDED(hr))
        *ppCubeTexture = new D3D9CubeTexture(this, data);
    return hr;
}

// The checked record of a new vertex or index buffer, known to the back end.
HRESULT D3D9Device::NewBuffer(D3D9BufferKind kind, UINT size, DWORD usage, D3DFORMAT format, DWORD fvf, D3DPOOL pool,
                              D3D9BufferData** buffer)
{
    if (size == 0 || pool > D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED)
        return D3DERR_INVALIDCALL;
    D3D9BufferData* data = new D3D9BufferData();
    data->kind = kind;
    data->size = size;
    data->usage = usage;
    data->pool = pool;
    data->format = format;
    data->fvf = fvf;
    data->bits.assign(size, 0);
    HRESULT hr = backend_->CreateBuffer(data);
    if (FAILED(hr)) {
        delete data;
        return hr;
    }
    *buffer = data;
    return D3D_OK;
}

HRESULT D3D9Device::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                       IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle)
{
    if (!ppVertexBuffer || pSharedHandle)
        return D3DERR_INVALIDCALL;
    *ppVertexBuffer = nullptr;
    if (FVF != 0 && Length < D3D9FVFSize(FVF))
        return D3DERR_INVALIDCALL;
    D3D9BufferData* data = nullptr;
    HRESULT hr = NewBuffer(D3D9_BUFFER_VERTEX, Length, Usage, D3DFMT_VERTEXDATA, FVF, Pool, &data);
    if (SUCCEEDED(hr))
        *ppVertexBuffer = new D3D9VertexBuffer(this, data);
    return hr;
}

HRESULT D3D9Device::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle)
{
    if (!ppIndexBuffer || pSharedHandle)
        return D3DERR_INVALIDCALL;
    *ppIndexBuffer = nullptr;
    if (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32)
        return D3DERR_INVALIDCALL;
    if (Format == D3DFMT_INDEX32 && caps_.MaxVertexIndex <= kMaxIndex16)
        return D3DERR_INVALIDCALL;
    D3D9BufferData* data = nullptr;
    HRESULT hr = NewBuffer(D3D9_BUFFER_INDEX, Length, Usage, Format, 0, Pool, &data);
    if (SUCCEEDED(hr))
        *ppIndexBuffer = new D3D9IndexBuffer(this, data);
    return hr;
}

HRESULT D3D9Device::CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                       DWORD, BOOL Lockable, IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle)
{
    if (!ppSurface || pSharedHandle)
        return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    if (MultiSample != D3DMULTISAMPLE_NONE || D3D9FormatIsDepth(Format) || D3D9FormatIsDXT(Format)) {
        return D3DERR_INVALIDCALL;
    }
    if (FAILED(
            backend_->CheckDeviceFormat(params_.BackBufferFormat, D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, Format))) {
        return D3DERR_INVALIDCALL;
    }
    D3D9Surface* s = nullptr;
    HRESULT hr = NewSurface(Width, Height, Format, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
                            Lockable ? D3D9_SURFACE_LOCKABLE : 0, &s);
    *ppSurface = s;
    return hr;
}

HRESULT D3D9Device::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                              D3DMULTISAMPLE_TYPE MultiSample, DWORD, BOOL,
                                              IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle)
{
    if (!ppSurface || pSharedHandle)
        return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    if (MultiSample != D3DMULTISAMPLE_NONE || !D3D9FormatIsDepth(Format))
        return D3DERR_INVALIDCALL;
    if (FAILED(
            backend_->CheckDeviceFormat(params_.BackBufferFormat, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, Format))) {
        return D3DERR_INVALIDCALL;
    }
    D3D9Surface* s = nullptr;
    HRESULT hr = NewSurface(Width, Height, Format, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, 0, &s);
    *ppSurface = s;
    return hr;
}

HRESULT D3D9Device::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                                IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle)
{
    if (!ppSurface || pSharedHandle)
        return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    if (Pool == D3DPOOL_MANAGED || Pool > D3DPOOL_SCRATCH || D3D9FormatIsDepth(Format))
        return D3DERR_INVALIDCALL;
    D3D9Surface* s = nullptr;
    HRESULT hr = NewSurface(Width, Height, Format, 0, Pool, 0, &s);
    *ppSurface = s;
    return hr;
}

// ---------------------------------------------------------------- copies

// Clips a rect to an image; false when nothing is left or it was out of range.
static bool RectInside(const RECT* in, UINT width, UINT height, RECT* out)
{
    const LONG w = static_cast<LONG>(width);
    const LONG h = static_cast<LONG>(height);
    if (!in) {
        *out = RECT{0, 0, w, h};
        return true;
    }
    *out = *in;
    return in->left >= 0 && in->top >= 0 && in->right <= w && in->bottom <= h && in->left < in->right &&
           in->top < in->bottom;
}

static void UploadAfterCopy(D3D9Backend* backend, D3D9SurfaceData* dest, const RECT& rect)
{
    if (D3D9IsSystemPool(dest->pool))
        return;
    if (dest->texture) {
        backend->UploadTexture(dest->texture, dest->face, dest->level, &rect);
    } else {
        backend->UploadSurface(dest, &rect);
    }
}

// Copies same-size DXT blocks; rects start on block boundaries.
static void CopyBlocks(const D3D9SurfaceData& src, const RECT& sr, D3D9SurfaceData* dst, const RECT& dr)
{
    const UINT edge = kD3D9DxtBlockEdge;
    const size_t block = D3D9FormatBlockBytes(src.format);
    const UINT cols = (static_cast<UINT>(sr.right - sr.left) + edge - 1) / edge;
    const UINT rows = (static_cast<UINT>(sr.bottom - sr.top) + edge - 1) / edge;
    for (UINT r = 0; r < rows; ++r) {
        const BYTE* from = src.bits.data() + (static_cast<size_t>(sr.top) / edge + r) * src.pitch +
                           static_cast<size_t>(sr.left) / edge * block;
        BYTE* to = dst->bits.data() + (static_cast<size_t>(dr.top) / edge + r) * dst->pitch +
                   static_cast<size_t>(dr.left) / edge * block;
        std::memcpy(to, from, cols * block);
    }
}

HRESULT D3D9Device::UpdateSurface(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                  IDirect3DSurface9* pDestinationSurface, const POINT* pDestPoint)
{
    if (!pSourceSurface || !pDestinationSurface)
        return D3DERR_INVALIDCALL;
    D3D9Surface* src = D3D9SurfaceFrom(pSourceSurface);
    D3D9Surface* dst = D3D9SurfaceFrom(pDestinationSurface);
    D3D9SurfaceData* s = src->Data();
    D3D9SurfaceData* d = dst->Data();
    // The interface asks for a system-memory source and a default-pool target;
    // the raster code also copies from and into managed textures, which the
    // system-memory copies here serve as well.
    if (src->InBackend() || D3D9IsSystemPool(d->pool) || D3D9FormatIsDepth(d->format))
        return D3DERR_INVALIDCALL;
    if (s->format != d->format || src->Locked() || dst->Locked())
        return D3DERR_INVALIDCALL;
    RECT sr;
    if (!RectInside(pSourceRect, s->width, s->height, &sr))
        return D3DERR_INVALIDCALL;
    POINT at = pDestPoint ? *pDestPoint : POINT{0, 0};
    RECT dr = {at.x, at.y, at.x + (sr.right - sr.left), at.y + (sr.bottom - sr.top)};
    RECT check;
    if (!RectInside(&dr, d->width, d->height, &check))
        return D3DERR_INVALIDCALL;
    if (D3D9FormatIsDXT(s->format)) {
        if ((sr.left | sr.top | dr.left | dr.top) & kDxtBlockAlignMask)
            return D3DERR_INVALIDCALL;
        CopyBlocks(*s, sr, d, dr);
    } else {
        D3D9CopyRectPoint(*s, sr, d, dr);
    }
    if (dst->InBackend())
        return backend_->StretchRect(s, sr, d, dr, D3DTEXF_NONE);
    UploadAfterCopy(backend_, d, dr);
    return D3D_OK;
}

HRESULT D3D9Device::UpdateTexture(IDirect3DBaseTexture9* pSourceTexture, IDirect3DBaseTexture9* pDestinationTexture)
{
    D3D9TextureData* s = D3D9TextureDataFrom(pSourceTexture, nullptr);
    D3D9TextureData* d = D3D9TextureDataFrom(pDestinationTexture, nullptr);
    if (!s || !d || s->kind != d->kind || s->format != d->format)
        return D3DERR_INVALIDCALL;
    if (s->pool != D3DPOOL_SYSTEMMEM || d->pool != D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    if (s->width != d->width || s->height != d->height || s->levels < d->levels)
        return D3DERR_INVALIDCALL;
    for (UINT face = 0; face < d->faces; ++face) {
        for (UINT level = 0; level < d->levels; ++level) {
            D3D9SurfaceData* from = s->Surface(face, level);
            D3D9SurfaceData* to = d->Surface(face, level);
            to->bits = from->bits;
            backend_->UploadTexture(d, face, level, nullptr);
        }
    }
    return D3D_OK;
}

HRESULT D3D9Device::GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface)
{
    if (!pRenderTarget || !pDestSurface)
        return D3DERR_INVALIDCALL;
    D3D9Surface* src = D3D9SurfaceFrom(pRenderTarget);
    D3D9Surface* dst = D3D9SurfaceFrom(pDestSurface);
    D3D9SurfaceData* s = src->Data();
    D3D9SurfaceData* d = dst->Data();
    if (!src->InBackend() || D3D9FormatIsDepth(s->format))
        return D3DERR_INVALIDCALL;
    if (dst->InBackend() || dst->Locked())
        return D3DERR_INVALIDCALL;
    if (d->pool != D3DPOOL_SYSTEMMEM && d->pool != D3DPOOL_MANAGED)
        return D3DERR_INVALIDCALL;
    if (s->width != d->width || s->height != d->height || s->format != d->format)
        return D3DERR_INVALIDCALL;
    HRESULT hr = backend_->ReadRenderTarget(s, d);
    if (SUCCEEDED(hr))
        UploadAfterCopy(backend_, d, RECT{0, 0, static_cast<LONG>(d->width), static_cast<LONG>(d->height)});
    return hr;
}

HRESULT D3D9Device::StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                IDirect3DSurface9* pDestSurface, const RECT* pDestRect, D3DTEXTUREFILTERTYPE Filter)
{
    if (!pSourceSurface || !pDestSurface)
        return D3DERR_INVALIDCALL;
    D3D9Surface* src = D3D9SurfaceFrom(pSourceSurface);
    D3D9Surface* dst = D3D9SurfaceFrom(pDestSurface);
    D3D9SurfaceData* s = src->Data();
    D3D9SurfaceData* d = dst->Data();
    if (s->pool != D3DPOOL_DEFAULT || d->pool != D3DPOOL_DEFAULT || src == dst)
        return D3DERR_INVALIDCALL;
    if (src->Locked() || dst->Locked())
        return D3DERR_INVALIDCALL;
    if (!dst->InBackend())
        return D3DERR_INVALIDCALL;  // the destination must be a render target
    if (D3D9FormatIsDepth(s->format) != D3D9FormatIsDepth(d->format))
        return D3DERR_INVALIDCALL;
    RECT sr, dr;
    if (!RectInside(pSourceRect, s->width, s->height, &sr) || !RectInside(pDestRect, d->width, d->height, &dr)) {
        return D3DERR_INVALIDCALL;
    }
    return backend_->StretchRect(s, sr, d, dr, Filter);
}

HRESULT D3D9Device::ColorFill(IDirect3DSurface9* pSurface, const RECT* pRect, D3DCOLOR color)
{
    if (!pSurface)
        return D3DERR_INVALIDCALL;
    D3D9Surface* surface = D3D9SurfaceFrom(pSurface);
    D3D9SurfaceData* d = surface->Data();
    if (d->pool != D3DPOOL_DEFAULT || surface->Locked() || D3D9FormatIsDepth(d->format))
        return D3DERR_INVALIDCALL;
    RECT r;
    if (!RectInside(pRect, d->width, d->height, &r))
        return D3DERR_INVALIDCALL;
    if (surface->InBackend())
        return backend_->ColorFill(d, r, color);
    if (!D3D9FillRect(d, r, color))
        return D3DERR_INVALIDCALL;
    UploadAfterCopy(backend_, d, r);
    return D3D_OK;
}

// ---------------------------------------------------------------- declarations and shaders

HRESULT D3D9Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                            IDirect3DVertexDeclaration9** ppDecl)
{
    if (!ppDecl)
        return D3DERR_INVALIDCALL;
    *ppDecl = nullptr;
    if (!pVertexElements)
        return D3DERR_INVALIDCALL;
    D3D9DeclarationData* data = new D3D9DeclarationData();
    for (UINT i = 0;; ++i) {
        const D3DVERTEXELEMENT9& e = pVertexElements[i];
        if (e.Stream == kDeclEndStream)
            break;
        if (i >= MAXD3DDECLLENGTH || e.Stream >= D3D9_MAX_STREAMS || e.Type >= D3DDECLTYPE_UNUSED ||
            e.Usage > D3DDECLUSAGE_SAMPLE || (e.Offset & kDeclOffsetAlignMask)) {
            delete data;
            return D3DERR_INVALIDCALL;
        }
        data->elements.push_back(e);
    }
    HRESULT hr = backend_->CreateDeclaration(data);
    if (FAILED(hr)) {
        delete data;
        return hr;
    }
    *ppDecl = new D3D9VertexDeclaration(this, data);
    return D3D_OK;
}

// Copies a shader token stream up to and including its end token.
static bool ReadTokens(const DWORD* function, bool pixel, std::vector<DWORD>* tokens)
{
    const DWORD expected = pixel ? kPixelShaderKind : kVertexShaderKind;
    if ((function[0] & kShaderKindMask) != expected)
        return false;
    for (size_t i = 0; i < kMaxShaderTokens; ++i) {
        tokens->push_back(function[i]);
        if (function[i] == kShaderEndToken)
            return true;
    }
    return false;
}

// CreateVertexShader and CreatePixelShader: the token stream, made known to
// the back end, behind a new interface.
template <typename Interface>
static HRESULT CreateShader(D3D9Device* device, const DWORD* function, Interface** shader)
{
    if (!shader)
        return D3DERR_INVALIDCALL;
    *shader = nullptr;
    if (!function)
        return D3DERR_INVALIDCALL;
    D3D9ShaderData* data = new D3D9ShaderData();
    data->pixel = std::is_same<Interface, IDirect3DPixelShader9>::value;
    if (!ReadTokens(function, data->pixel, &data->tokens)) {
        delete data;
        return D3DERR_INVALIDCALL;
    }
    HRESULT hr = device->Backend()->CreateShader(data);
    if (FAILED(hr)) {
        delete data;
        return hr;
    }
    *shader = new D3D9Shader<Interface>(device, data);
    return D3D_OK;
}

HRESULT D3D9Device::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader)
{
    return CreateShader(this, pFunction, ppShader);
}

HRESULT D3D9Device::CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader)
{
    return CreateShader(this, pFunction, ppShader);
}
