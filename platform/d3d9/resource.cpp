// Resource objects of the device core: reference counts, surfaces, textures, buffers, declarations and shaders.
#include "platform/d3d9/d3d9_local.h"

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------- counts

ULONG D3D9Object::PublicRelease()
{
    if (publicRefs_ == 0)
        return 0;  // over-release: ignored rather than freed twice
    ULONG left = --publicRefs_;
    if (left == 0) {
        InternalAddRef();  // keeps the object alive while it unbinds itself
        OnPublicZero();
        InternalRelease();
    }
    return left;
}

void D3D9Object::InternalRelease()
{
    if (internalRefs_ == 0)
        return;
    --internalRefs_;
    DeleteIfUnused();
}

void D3D9Object::DeleteIfUnused()
{
    if (publicRefs_ == 0 && internalRefs_ == 0)
        delete this;
}

D3D9DeviceObject::D3D9DeviceObject(D3D9Device* device) : device_(device) { device_->InternalAddRef(); }

D3D9DeviceObject::~D3D9DeviceObject() { device_->InternalRelease(); }

HRESULT D3D9DeviceObject::ReturnDevice(IDirect3DDevice9** out) const
{
    if (!out)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *out = device_;
    return D3D_OK;
}

D3D9Resource::D3D9Resource(D3D9Device* device) : D3D9DeviceObject(device) { device_->Register(this); }

D3D9Resource::~D3D9Resource() { device_->Unregister(this); }

// ---------------------------------------------------------------- surfaces

D3D9Surface* D3D9SurfaceFrom(IDirect3DSurface9* surface) { return static_cast<D3D9Surface*>(surface); }

D3D9Surface::D3D9Surface(D3D9Device* device, D3D9SurfaceData* data, D3D9Object* container)
    : D3D9ResourceOf(device), data_(data), container_(container)
{}

D3D9Surface::~D3D9Surface()
{
    if (container_)
        return;  // the texture owns and destroys the level data
    device_->ForgetSurface(data_);
    if (backendLive)
        device_->Backend()->DestroySurface(data_);
    delete data_;
}

ULONG D3D9Surface::AddRef() { return container_ ? container_->PublicAddRef() : PublicAddRef(); }

ULONG D3D9Surface::Release() { return container_ ? container_->PublicRelease() : PublicRelease(); }

void D3D9Surface::InternalAddRef()
{
    if (container_) {
        container_->InternalAddRef();
    } else {
        D3D9Object::InternalAddRef();
    }
}

void D3D9Surface::InternalRelease()
{
    if (container_) {
        container_->InternalRelease();
    } else {
        D3D9Object::InternalRelease();
    }
}

bool D3D9Surface::InBackend() const
{
    if (data_->flags & (D3D9_SURFACE_BACKBUFFER | D3D9_SURFACE_AUTODEPTH))
        return true;
    return (data_->usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0;
}

HRESULT D3D9Surface::GetDesc(D3DSURFACE_DESC* pDesc)
{
    if (!pDesc)
        return D3DERR_INVALIDCALL;
    pDesc->Format = data_->format;
    pDesc->Type = D3DRTYPE_SURFACE;
    pDesc->Usage = data_->usage;
    pDesc->Pool = data_->pool;
    pDesc->MultiSampleType = D3DMULTISAMPLE_NONE;
    pDesc->MultiSampleQuality = 0;
    pDesc->Width = data_->width;
    pDesc->Height = data_->height;
    return D3D_OK;
}

// Whether the caller may lock this surface at all.
static bool Lockable(const D3D9SurfaceData* data, bool inBackend)
{
    if (inBackend)
        return (data->flags & D3D9_SURFACE_LOCKABLE) != 0 && !D3D9FormatIsDepth(data->format);
    if (data->pool == D3DPOOL_DEFAULT && (data->flags & D3D9_SURFACE_LEVEL)) {
        return (data->usage & D3DUSAGE_DYNAMIC) != 0;  // default-pool textures lock only when dynamic
    }
    return true;
}

HRESULT D3D9Surface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags)
{
    if (!pLockedRect || locked_)
        return D3DERR_INVALIDCALL;
    if (!Lockable(data_, InBackend()))
        return D3DERR_INVALIDCALL;
    RECT r = {0, 0, static_cast<LONG>(data_->width), static_cast<LONG>(data_->height)};
    if (pRect) {
        r = *pRect;
        if (r.left < 0 || r.top < 0 || r.right > static_cast<LONG>(data_->width) ||
            r.bottom > static_cast<LONG>(data_->height) || r.left >= r.right || r.top >= r.bottom) {
            return D3DERR_INVALIDCALL;
        }
    }
    bool dxt = D3D9FormatIsDXT(data_->format);
    if (dxt && ((r.left | r.top) & (kD3D9DxtBlockEdge - 1)))
        return D3DERR_INVALIDCALL;
    if ((Flags & D3DLOCK_DISCARD) && !(data_->usage & D3DUSAGE_DYNAMIC))
        return D3DERR_INVALIDCALL;
    size_t offset;
    if (dxt) {
        offset = static_cast<size_t>(r.top / kD3D9DxtBlockEdge) * data_->pitch +
                 static_cast<size_t>(r.left / kD3D9DxtBlockEdge) * D3D9FormatBlockBytes(data_->format);
    } else {
        offset = static_cast<size_t>(r.top) * data_->pitch +
                 static_cast<size_t>(r.left) * D3D9FormatBytesPerPixel(data_->format);
    }
    if (Flags & D3DLOCK_DISCARD)
        std::fill(data_->bits.begin(), data_->bits.end(), 0);
    pLockedRect->Pitch = static_cast<INT>(data_->pitch);
    pLockedRect->pBits = data_->bits.data() + offset;
    locked_ = true;
    lockFlags_ = Flags;
    lockRect_ = r;
    return D3D_OK;
}

HRESULT D3D9Surface::UnlockRect()
{
    if (!locked_)
        return D3DERR_INVALIDCALL;
    locked_ = false;
    if (lockFlags_ & D3DLOCK_READONLY)
        return D3D_OK;
    if (D3D9IsSystemPool(data_->pool))
        return D3D_OK;
    if (data_->texture) {
        device_->Backend()->UploadTexture(data_->texture, data_->face, data_->level, &lockRect_);
    } else {
        device_->Backend()->UploadSurface(data_, &lockRect_);
    }
    return D3D_OK;
}

// ---------------------------------------------------------------- textures

D3D9TextureCore::D3D9TextureCore(D3D9Device* device, D3D9Object* owner, D3D9TextureData* data)
    : data(data), device_(device)
{
    for (D3D9SurfaceData* s : data->surfaces)
        surfaces.push_back(new D3D9Surface(device, s, owner));
}

D3D9TextureCore::~D3D9TextureCore()
{
    device_->ForgetTexture(data);
    device_->Backend()->DestroyTexture(data);
    for (D3D9Surface* s : surfaces)
        delete s;
    for (D3D9SurfaceData* s : data->surfaces)
        delete s;
    delete data;
}

HRESULT D3D9TextureCore::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (level >= data->levels || !desc)
        return D3DERR_INVALIDCALL;
    return surfaces[level]->GetDesc(desc);
}

HRESULT D3D9TextureCore::GetSurface(UINT face, UINT level, IDirect3DSurface9** surface)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (face >= data->faces || level >= data->levels)
        return D3DERR_INVALIDCALL;
    D3D9Surface* s = surfaces[face * data->levels + level];
    s->AddRef();
    *surface = s;
    return D3D_OK;
}

HRESULT D3D9TextureCore::LockRect(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (face >= data->faces || level >= data->levels)
        return D3DERR_INVALIDCALL;
    return surfaces[face * data->levels + level]->LockRect(locked, rect, flags);
}

HRESULT D3D9TextureCore::UnlockRect(UINT face, UINT level)
{
    if (face >= data->faces || level >= data->levels)
        return D3DERR_INVALIDCALL;
    return surfaces[face * data->levels + level]->UnlockRect();
}

// Only managed textures have a level of detail to set.
DWORD D3D9TextureCore::SetLOD(DWORD lodNew)
{
    DWORD old = lod;
    if (data->pool == D3DPOOL_MANAGED)
        lod = std::min<DWORD>(lodNew, data->levels - 1);
    return old;
}

HRESULT D3D9TextureCore::SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filter)
{
    if (filter == D3DTEXF_NONE)
        return D3DERR_INVALIDCALL;
    data->autoGenFilter = filter;
    return D3D_OK;
}

void D3D9TextureCore::GenerateMipSubLevels()
{
    if (data->usage & D3DUSAGE_AUTOGENMIPMAP)
        device_->Backend()->GenerateMipSubLevels(data);
}

D3D9TextureData* D3D9TextureDataFrom(IDirect3DBaseTexture9* texture, D3D9Resource** resource)
{
    if (!texture) {
        if (resource)
            *resource = nullptr;
        return nullptr;
    }
    if (texture->GetType() == D3DRTYPE_CUBETEXTURE) {
        D3D9CubeTexture* cube = static_cast<D3D9CubeTexture*>(static_cast<IDirect3DCubeTexture9*>(texture));
        if (resource)
            *resource = cube;
        return cube->core.data;
    }
    D3D9Texture* plain = static_cast<D3D9Texture*>(static_cast<IDirect3DTexture9*>(texture));
    if (resource)
        *resource = plain;
    return plain->core.data;
}

// ---------------------------------------------------------------- buffers

D3D9BufferCore::~D3D9BufferCore()
{
    device_->Backend()->DestroyBuffer(data);
    delete data;
}

HRESULT D3D9BufferCore::Lock(UINT offset, UINT size, void** bits, DWORD flags)
{
    if (!bits)
        return D3DERR_INVALIDCALL;
    *bits = nullptr;
    if (offset > data->size)
        return D3DERR_INVALIDCALL;
    if (size == 0)
        size = data->size - offset;
    if (size > data->size - offset)
        return D3DERR_INVALIDCALL;
    if ((flags & (D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE)) && !(data->usage & D3DUSAGE_DYNAMIC)) {
        flags &= ~static_cast<DWORD>(D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE);  // only dynamic buffers honour them
    }
    if (flags & D3DLOCK_DISCARD)
        std::memset(data->bits.data() + offset, 0, size);
    if (lockCount_ == 0) {
        dirtyBegin_ = offset;
        dirtyEnd_ = offset + size;
        lockFlags_ = flags;
    } else {
        dirtyBegin_ = std::min(dirtyBegin_, offset);
        dirtyEnd_ = std::max(dirtyEnd_, offset + size);
        lockFlags_ &= flags;  // the upload is only read-only or discarding if every lock was
    }
    ++lockCount_;
    *bits = data->bits.data() + offset;
    return D3D_OK;
}

HRESULT D3D9BufferCore::Unlock()
{
    if (lockCount_ == 0)
        return D3DERR_INVALIDCALL;
    if (--lockCount_ > 0)
        return D3D_OK;
    if (lockFlags_ & D3DLOCK_READONLY)
        return D3D_OK;
    if (dirtyEnd_ > dirtyBegin_)
        device_->Backend()->UploadBuffer(data, dirtyBegin_, dirtyEnd_ - dirtyBegin_, lockFlags_);
    return D3D_OK;
}

HRESULT D3D9VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc)
{
    if (!pDesc)
        return D3DERR_INVALIDCALL;
    pDesc->Format = D3DFMT_VERTEXDATA;
    pDesc->Type = D3DRTYPE_VERTEXBUFFER;
    pDesc->Usage = core.data->usage;
    pDesc->Pool = core.data->pool;
    pDesc->Size = core.data->size;
    pDesc->FVF = core.data->fvf;
    return D3D_OK;
}

HRESULT D3D9IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc)
{
    if (!pDesc)
        return D3DERR_INVALIDCALL;
    pDesc->Format = core.data->format;
    pDesc->Type = D3DRTYPE_INDEXBUFFER;
    pDesc->Usage = core.data->usage;
    pDesc->Pool = core.data->pool;
    pDesc->Size = core.data->size;
    return D3D_OK;
}

// ---------------------------------------------------------------- declarations and shaders

D3D9VertexDeclaration::~D3D9VertexDeclaration()
{
    device_->Backend()->DestroyDeclaration(data);
    delete data;
}

HRESULT D3D9VertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements)
{
    if (!pNumElements)
        return D3DERR_INVALIDCALL;
    UINT count = static_cast<UINT>(data->elements.size()) + 1;
    if (pElement) {
        std::copy(data->elements.begin(), data->elements.end(), pElement);
        pElement[count - 1] = D3DVERTEXELEMENT9 D3DDECL_END();
    }
    *pNumElements = count;
    return D3D_OK;
}

HRESULT D3D9CopyFunction(const D3D9ShaderData* data, void* out, UINT* size)
{
    if (!size)
        return D3DERR_INVALIDCALL;
    UINT bytes = static_cast<UINT>(data->tokens.size() * sizeof(DWORD));
    if (out) {
        if (*size < bytes)
            return D3DERR_INVALIDCALL;
        std::memcpy(out, data->tokens.data(), bytes);
    }
    *size = bytes;
    return D3D_OK;
}

void D3D9DestroyShader(D3D9Device* device, D3D9ShaderData* data)
{
    device->Backend()->DestroyShader(data);
    delete data;
}

// ---------------------------------------------------------------- swap chains

D3D9SwapChain::D3D9SwapChain(D3D9Device* device, const D3DPRESENT_PARAMETERS& params, D3D9Surface* backBuffer)
    : D3D9Child(device), params(params), backBuffer(backBuffer)
{
    backBuffer->InternalAddRef();
}

D3D9SwapChain::~D3D9SwapChain()
{
    if (backBuffer)
        backBuffer->InternalRelease();
}

HRESULT D3D9SwapChain::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                               const void* pDirtyRegion, DWORD)
{
    if (pDirtyRegion)
        return D3DERR_INVALIDCALL;
    return device_->PresentChain(this, pSourceRect, pDestRect, hDestWindowOverride);
}

HRESULT D3D9SwapChain::GetBackBuffer(UINT iBackBuffer, D3DBACKBUFFER_TYPE Type, IDirect3DSurface9** ppBackBuffer)
{
    if (!ppBackBuffer)
        return D3DERR_INVALIDCALL;
    *ppBackBuffer = nullptr;
    if (iBackBuffer != 0 || Type != D3DBACKBUFFER_TYPE_MONO || !backBuffer)
        return D3DERR_INVALIDCALL;
    backBuffer->AddRef();
    *ppBackBuffer = backBuffer;
    return D3D_OK;
}

HRESULT D3D9SwapChain::GetDisplayMode(D3DDISPLAYMODE* pMode) { return device_->GetDisplayMode(0, pMode); }

HRESULT D3D9SwapChain::GetPresentParameters(D3DPRESENT_PARAMETERS* pPresentationParameters)
{
    if (!pPresentationParameters)
        return D3DERR_INVALIDCALL;
    *pPresentationParameters = params;
    return D3D_OK;
}
