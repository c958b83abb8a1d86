// Internals of the Direct3D 9 device core: the objects behind the interfaces.
// In order: reference counts and D3D9Rebind; the COM forwarding templates
// (D3D9Com, D3D9Child, D3D9ResourceOf); surfaces; textures; buffers;
// declarations and shaders; swap chains; the Direct3D object; the device.
#pragma once

#include "platform/d3d9/backend.h"

#include <set>
#include <vector>

class D3D9Device;

// Reference counts of every object. Public references are the caller's (what
// AddRef and Release return); internal ones are held by the device for
// bindings and by containers. The object is deleted when both reach 0, so a
// caller releasing until 0 never frees something the device still uses.
class D3D9Object {
public:
    D3D9Object() {}
    virtual ~D3D9Object() {}
    D3D9Object(const D3D9Object&) = delete;
    D3D9Object& operator=(const D3D9Object&) = delete;

    ULONG PublicAddRef() { return ++publicRefs_; }
    ULONG PublicRelease();
    // Virtual so that texture levels can hand them to their texture.
    virtual void InternalAddRef() { ++internalRefs_; }
    virtual void InternalRelease();
    ULONG PublicRefs() const { return publicRefs_; }

protected:
    // Runs once when the public count drops to 0 (the device unbinds itself).
    virtual void OnPublicZero() {}

private:
    void DeleteIfUnused();
    ULONG publicRefs_ = 1;
    ULONG internalRefs_ = 0;
};

// Takes an internal reference on a newly bound object and drops the old one,
// in that order: when the new object is the old one and the binding holds its
// last reference, releasing first would free it in the middle of the call.
template <typename T>
void D3D9Rebind(T*& slot, T* object)
{
    if (object)
        object->InternalAddRef();
    T* old = slot;
    slot = object;
    if (old)
        old->InternalRelease();
}

// An object a device made: it keeps the device alive and hands it out.
class D3D9DeviceObject : public D3D9Object {
public:
    explicit D3D9DeviceObject(D3D9Device* device);
    ~D3D9DeviceObject() override;
    D3D9Device* Device() const { return device_; }

protected:
    // GetDevice of every child interface.
    HRESULT ReturnDevice(IDirect3DDevice9** out) const;
    D3D9Device* device_;
};

// Resources that live in a pool; the device keeps a registry of them.
class D3D9Resource : public D3D9DeviceObject {
public:
    explicit D3D9Resource(D3D9Device* device);
    ~D3D9Resource() override;
    virtual D3DPOOL Pool() const = 0;

protected:
    DWORD priority_ = 0;  // SetPriority of every resource interface: the value is kept, never used
};

// The COM forwarding every interface repeats, written once: the counts go to
// the object's public references.
template <typename Interface, typename Base>
class D3D9Com : public Interface, public Base {
public:
    using Base::Base;
    ULONG AddRef() override { return this->PublicAddRef(); }
    ULONG Release() override { return this->PublicRelease(); }
};

// An interface made by a device: adds GetDevice.
template <typename Interface, typename Base = D3D9DeviceObject>
class D3D9Child : public D3D9Com<Interface, Base> {
public:
    using D3D9Com<Interface, Base>::D3D9Com;
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return this->ReturnDevice(ppDevice); }
};

// An IDirect3DResource9: adds priorities, PreLoad and the type.
template <typename Interface, D3DRESOURCETYPE Type>
class D3D9ResourceOf : public D3D9Child<Interface, D3D9Resource> {
public:
    using D3D9Child<Interface, D3D9Resource>::D3D9Child;
    DWORD SetPriority(DWORD PriorityNew) override
    {
        DWORD old = this->priority_;
        this->priority_ = PriorityNew;
        return old;
    }
    DWORD GetPriority() override { return this->priority_; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return Type; }
};

class D3D9Surface final : public D3D9ResourceOf<IDirect3DSurface9, D3DRTYPE_SURFACE> {
public:
    // Standalone surface (container null) or a texture level whose counts go
    // to the container.
    D3D9Surface(D3D9Device* device, D3D9SurfaceData* data, D3D9Object* container);
    ~D3D9Surface() override;

    ULONG AddRef() override;
    ULONG Release() override;
    // A bound texture level keeps its whole texture alive.
    void InternalAddRef() override;
    void InternalRelease() override;
    HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect() override;
    D3DPOOL Pool() const override { return data_->pool; }

    D3D9SurfaceData* Data() const { return data_; }
    bool Locked() const { return locked_; }
    // Render targets, depth buffers and back buffers keep their content in the back end.
    bool InBackend() const;
    // False while the back end holds no object for it (implicit targets during a Reset).
    bool backendLive = true;

private:
    D3D9SurfaceData* data_;  // owned when there is no container
    D3D9Object* container_;
    bool locked_ = false;
    DWORD lockFlags_ = 0;
    RECT lockRect_ = {0, 0, 0, 0};
};

// What 2D and cube textures share.
class D3D9TextureCore {
public:
    D3D9TextureCore(D3D9Device* device, D3D9Object* owner, D3D9TextureData* data);
    ~D3D9TextureCore();
    D3D9TextureData* data;
    std::vector<D3D9Surface*> surfaces;  // same order as data->surfaces
    DWORD lod = 0;

    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc);
    HRESULT GetSurface(UINT face, UINT level, IDirect3DSurface9** surface);
    HRESULT LockRect(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT UnlockRect(UINT face, UINT level);
    DWORD SetLOD(DWORD lodNew);
    HRESULT SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filter);
    void GenerateMipSubLevels();

private:
    D3D9Device* device_;
};

// The IDirect3DBaseTexture9 slots of 2D and cube textures, forwarded to their core.
template <typename Interface, D3DRESOURCETYPE Type>
class D3D9TextureOf : public D3D9ResourceOf<Interface, Type> {
public:
    D3D9TextureOf(D3D9Device* device, D3D9TextureData* data)
        : D3D9ResourceOf<Interface, Type>(device), core(device, this, data)
    {}
    DWORD SetLOD(DWORD LODNew) override { return core.SetLOD(LODNew); }
    DWORD GetLOD() override { return core.lod; }
    DWORD GetLevelCount() override { return core.data->levels; }
    HRESULT SetAutoGenFilterType(D3DTEXTUREFILTERTYPE FilterType) override
    {
        return core.SetAutoGenFilterType(FilterType);
    }
    D3DTEXTUREFILTERTYPE GetAutoGenFilterType() override { return core.data->autoGenFilter; }
    void GenerateMipSubLevels() override { core.GenerateMipSubLevels(); }
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override { return core.GetLevelDesc(Level, pDesc); }
    D3DPOOL Pool() const override { return core.data->pool; }

    D3D9TextureCore core;
};

class D3D9Texture final : public D3D9TextureOf<IDirect3DTexture9, D3DRTYPE_TEXTURE> {
public:
    using D3D9TextureOf::D3D9TextureOf;
    HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override
    {
        return core.GetSurface(0, Level, ppSurfaceLevel);
    }
    HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override
    {
        return core.LockRect(0, Level, pLockedRect, pRect, Flags);
    }
    HRESULT UnlockRect(UINT Level) override { return core.UnlockRect(0, Level); }
    HRESULT AddDirtyRect(const RECT*) override { return D3D_OK; }
};

class D3D9CubeTexture final : public D3D9TextureOf<IDirect3DCubeTexture9, D3DRTYPE_CUBETEXTURE> {
public:
    using D3D9TextureOf::D3D9TextureOf;
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level, IDirect3DSurface9** ppCubeMapSurface) override
    {
        return core.GetSurface(static_cast<UINT>(FaceType), Level, ppCubeMapSurface);
    }
    HRESULT LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                     DWORD Flags) override
    {
        return core.LockRect(static_cast<UINT>(FaceType), Level, pLockedRect, pRect, Flags);
    }
    HRESULT UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) override
    {
        return core.UnlockRect(static_cast<UINT>(FaceType), Level);
    }
    HRESULT AddDirtyRect(D3DCUBEMAP_FACES, const RECT*) override { return D3D_OK; }
};

// Lock bookkeeping shared by vertex and index buffers.
class D3D9BufferCore {
public:
    D3D9BufferCore(D3D9Device* device, D3D9BufferData* data) : data(data), device_(device) {}
    ~D3D9BufferCore();
    D3D9BufferData* data;
    HRESULT Lock(UINT offset, UINT size, void** bits, DWORD flags);
    HRESULT Unlock();
    bool Locked() const { return lockCount_ > 0; }

private:
    D3D9Device* device_;
    UINT lockCount_ = 0;
    // Union of the ranges locked since the first open lock.
    UINT dirtyBegin_ = 0;
    UINT dirtyEnd_ = 0;
    DWORD lockFlags_ = 0;
};

// Vertex and index buffers: the lock slots forwarded to their core.
template <typename Interface, D3DRESOURCETYPE Type>
class D3D9BufferOf : public D3D9ResourceOf<Interface, Type> {
public:
    D3D9BufferOf(D3D9Device* device, D3D9BufferData* data) : D3D9ResourceOf<Interface, Type>(device), core(device, data)
    {}
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override
    {
        return core.Lock(OffsetToLock, SizeToLock, ppbData, Flags);
    }
    HRESULT Unlock() override { return core.Unlock(); }
    D3DPOOL Pool() const override { return core.data->pool; }

    D3D9BufferCore core;
};

class D3D9VertexBuffer final : public D3D9BufferOf<IDirect3DVertexBuffer9, D3DRTYPE_VERTEXBUFFER> {
public:
    using D3D9BufferOf::D3D9BufferOf;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;
};

class D3D9IndexBuffer final : public D3D9BufferOf<IDirect3DIndexBuffer9, D3DRTYPE_INDEXBUFFER> {
public:
    using D3D9BufferOf::D3D9BufferOf;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;
};

class D3D9VertexDeclaration final : public D3D9Child<IDirect3DVertexDeclaration9> {
public:
    D3D9VertexDeclaration(D3D9Device* device, D3D9DeclarationData* data) : D3D9Child(device), data(data) {}
    ~D3D9VertexDeclaration() override;
    HRESULT GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;
    D3D9DeclarationData* data;
};

// Vertex and pixel shaders: one token stream the back end knows.
void D3D9DestroyShader(D3D9Device* device, D3D9ShaderData* data);
HRESULT D3D9CopyFunction(const D3D9ShaderData* data, void* out, UINT* size);

template <typename Interface>
class D3D9Shader final : public D3D9Child<Interface> {
public:
    D3D9Shader(D3D9Device* device, D3D9ShaderData* data) : D3D9Child<Interface>(device), data(data) {}
    ~D3D9Shader() override { D3D9DestroyShader(this->device_, data); }
    HRESULT GetFunction(void* pData, UINT* pSizeOfData) override { return D3D9CopyFunction(data, pData, pSizeOfData); }
    D3D9ShaderData* data;
};
using D3D9VertexShader = D3D9Shader<IDirect3DVertexShader9>;
using D3D9PixelShader = D3D9Shader<IDirect3DPixelShader9>;

class D3D9SwapChain final : public D3D9Child<IDirect3DSwapChain9, D3D9Resource> {
public:
    // The implicit chain is owned by the device; additional ones are the caller's.
    D3D9SwapChain(D3D9Device* device, const D3DPRESENT_PARAMETERS& params, D3D9Surface* backBuffer);
    ~D3D9SwapChain() override;

    HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride, const void* pDirtyRegion,
                    DWORD dwFlags) override;
    HRESULT GetBackBuffer(UINT iBackBuffer, D3DBACKBUFFER_TYPE Type, IDirect3DSurface9** ppBackBuffer) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* pMode) override;
    HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
    D3DPOOL Pool() const override { return D3DPOOL_DEFAULT; }

    D3DPRESENT_PARAMETERS params;
    D3D9Surface* backBuffer;  // internal reference
};

class D3D9Direct3D final : public D3D9Com<IDirect3D9, D3D9Object> {
public:
    explicit D3D9Direct3D(D3D9Backend* backend);
    ~D3D9Direct3D() override;

    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterIdentifier(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER9* pIdentifier) override;
    UINT GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) override;
    HRESULT EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode) override;
    HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
    HRESULT CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat, D3DFORMAT BackBufferFormat,
                            BOOL bWindowed) override;
    HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                              D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
    HRESULT CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat, BOOL Windowed,
                                       D3DMULTISAMPLE_TYPE MultiSampleType, DWORD* pQualityLevels) override;
    HRESULT CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                   D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) override;
    HRESULT CheckDeviceFormatConversion(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SourceFormat,
                                        D3DFORMAT TargetFormat) override;
    HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) override;
    HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                         D3DPRESENT_PARAMETERS* pPresentationParameters,
                         IDirect3DDevice9** ppReturnedDeviceInterface) override;

    D3D9Backend* Backend() const { return backend_; }
    bool deviceOpen = false;

private:
    const std::vector<D3DDISPLAYMODE>& Modes();
    D3D9Backend* backend_;
    std::vector<D3DDISPLAYMODE> modes_;
    bool modesListed_ = false;
};

class D3D9Device final : public D3D9Com<IDirect3DDevice9, D3D9Object> {
public:
    D3D9Device(D3D9Direct3D* d3d, HWND focus, DWORD behavior);
    ~D3D9Device() override;
    // Opens the back end and makes the implicit objects; params is completed.
    HRESULT Open(D3DPRESENT_PARAMETERS* params);

    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT EvictManagedResources() override;
    HRESULT GetDirect3D(IDirect3D9** ppD3D9) override;
    HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override;
    HRESULT GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override;
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* pParameters) override;
    HRESULT CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* pPresentationParameters,
                                      IDirect3DSwapChain9** pSwapChain) override;
    HRESULT GetSwapChain(UINT iSwapChain, IDirect3DSwapChain9** pSwapChain) override;
    UINT GetNumberOfSwapChains() override { return 1; }
    HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
    HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                    const void* pDirtyRegion) override;
    HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                          IDirect3DSurface9** ppBackBuffer) override;
    void SetGammaRamp(UINT iSwapChain, DWORD Flags, const D3DGAMMARAMP* pRamp) override;
    void GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp) override;

    HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                          IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override;
    HRESULT CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle) override;
    HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                               IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override;
    HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
    HRESULT CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                               DWORD MultisampleQuality, BOOL Lockable, IDirect3DSurface9** ppSurface,
                               HANDLE* pSharedHandle) override;
    HRESULT CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                      DWORD MultisampleQuality, BOOL Discard, IDirect3DSurface9** ppSurface,
                                      HANDLE* pSharedHandle) override;
    HRESULT CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                        IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override;
    HRESULT UpdateSurface(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                          IDirect3DSurface9* pDestinationSurface, const POINT* pDestPoint) override;
    HRESULT UpdateTexture(IDirect3DBaseTexture9* pSourceTexture, IDirect3DBaseTexture9* pDestinationTexture) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) override;
    HRESULT StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect, IDirect3DSurface9* pDestSurface,
                        const RECT* pDestRect, D3DTEXTUREFILTERTYPE Filter) override;
    HRESULT ColorFill(IDirect3DSurface9* pSurface, const RECT* pRect, D3DCOLOR color) override;

    HRESULT SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) override;
    HRESULT GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* pViewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* pViewport) override;
    HRESULT SetMaterial(const D3DMATERIAL9* pMaterial) override;
    HRESULT GetMaterial(D3DMATERIAL9* pMaterial) override;
    HRESULT SetLight(DWORD Index, const D3DLIGHT9* pLight) override;
    HRESULT GetLight(DWORD Index, D3DLIGHT9* pLight) override;
    HRESULT LightEnable(DWORD Index, BOOL Enable) override;
    HRESULT GetLightEnable(DWORD Index, BOOL* pEnable) override;
    HRESULT SetClipPlane(DWORD Index, const float* pPlane) override;
    HRESULT GetClipPlane(DWORD Index, float* pPlane) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
    HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
    HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
    HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
    HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
    HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
    HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
    HRESULT ValidateDevice(DWORD* pNumPasses) override;
    HRESULT SetPaletteEntries(UINT PaletteNumber, const PALETTEENTRY* pEntries) override;
    HRESULT GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY* pEntries) override;
    HRESULT SetCurrentTexturePalette(UINT PaletteNumber) override;
    HRESULT GetCurrentTexturePalette(UINT* PaletteNumber) override;
    HRESULT SetScissorRect(const RECT* pRect) override;
    HRESULT GetScissorRect(RECT* pRect) override;
    HRESULT SetSoftwareVertexProcessing(BOOL bSoftware) override;
    BOOL GetSoftwareVertexProcessing() override { return state_.softwareVertexProcessing; }

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                 UINT NumVertices, UINT startIndex, UINT primCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void* pVertexStreamZeroData,
                            UINT VertexStreamZeroStride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                   UINT PrimitiveCount, const void* pIndexData, D3DFORMAT IndexDataFormat,
                                   const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override;

    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                    IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override;
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT SetFVF(DWORD FVF) override;
    HRESULT GetFVF(DWORD* pFVF) override;
    HRESULT CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override;
    HRESULT GetVertexShader(IDirect3DVertexShader9** ppShader) override;
    HRESULT SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override;
    HRESULT GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;
    HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                            UINT Stride) override;
    HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                            UINT* pStride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) override;
    HRESULT CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* pShader) override;
    HRESULT GetPixelShader(IDirect3DPixelShader9** ppShader) override;
    HRESULT SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override;
    HRESULT GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;

    // For the resources and the test header.
    D3D9Backend* Backend() const { return backend_; }
    D3D9Direct3D* Direct3D() const { return d3d_; }
    const D3D9State& State() const { return state_; }
    const D3DCAPS9& Caps() const { return caps_; }
    void Register(D3D9Resource* resource) { resources_.insert(resource); }
    void Unregister(D3D9Resource* resource) { resources_.erase(resource); }
    // Called by a resource about to be deleted: drops any binding of its data.
    void ForgetTexture(D3D9TextureData* data);
    void ForgetSurface(D3D9SurfaceData* data);
    // Makes a back-buffer surface for a swap chain (internal use).
    HRESULT MakeBackBuffer(const D3DPRESENT_PARAMETERS& params, HWND window, D3D9Surface** surface);
    HRESULT PresentChain(D3D9SwapChain* chain, const RECT* source, const RECT* dest, HWND window);

protected:
    void OnPublicZero() override;

private:
    HRESULT CompleteParams(D3DPRESENT_PARAMETERS* params, HWND window);
    bool FullScreenModeListed(const D3DPRESENT_PARAMETERS& params);
    HRESULT MakeImplicit();
    HRESULT MakeAutoDepth(const D3DPRESENT_PARAMETERS& params);
    void DropImplicit();
    HRESULT RebuildImplicit(D3D9Surface* surface, UINT width, UINT height, D3DFORMAT format);
    HRESULT RebuildTargets(const D3DPRESENT_PARAMETERS& params);
    bool HoldsDefaultPool() const;
    void UnbindAll();
    void ResetState();
    void Changed(D3D9StateKind kind, DWORD a, DWORD b, DWORD value)
    {
        backend_->StateChanged(state_, kind, a, b, value);
    }
    HRESULT CheckTextureArgs(UINT width, UINT height, UINT* levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                             D3DRESOURCETYPE type);
    HRESULT NewTexture(D3D9TextureKind kind, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                       D3DPOOL pool, D3D9TextureData** texture);
    HRESULT NewBuffer(D3D9BufferKind kind, UINT size, DWORD usage, D3DFORMAT format, DWORD fvf, D3DPOOL pool,
                      D3D9BufferData** buffer);
    HRESULT NewSurface(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool, DWORD flags,
                       D3D9Surface** surface);
    HRESULT WrapSurface(D3D9SurfaceData* data, D3D9Surface** surface);
    HRESULT CheckDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT* vertices);
    HRESULT CheckIndexedRange(UINT startIndex, UINT indexCount);
    HRESULT SubmitDraw(const D3D9DrawCall& draw);
    void UnbindForUserDraw();

    D3D9Direct3D* d3d_;
    D3D9Backend* backend_;
    HWND focus_;
    DWORD behavior_;
    D3DCAPS9 caps_;
    D3DPRESENT_PARAMETERS params_;
    D3D9State state_;
    bool inScene_ = false;
    bool needsReset_ = false;
    bool opened_ = false;
    D3DGAMMARAMP gamma_;

    D3D9SwapChain* chain_ = nullptr;    // implicit swap chain
    D3D9Surface* autoDepth_ = nullptr;  // automatic depth-stencil buffer

    // The objects behind the state's bindings, each with an internal reference.
    D3D9Resource* textureObjects_[D3DMAXSAMPLERS] = {};
    D3D9VertexBuffer* streamObjects_[D3D9_MAX_STREAMS] = {};
    D3D9IndexBuffer* indexObject_ = nullptr;
    D3D9Surface* targetObjects_[D3D9_MAX_RENDERTARGETS] = {};
    D3D9Surface* depthObject_ = nullptr;
    D3D9VertexDeclaration* declObject_ = nullptr;
    D3D9VertexShader* vsObject_ = nullptr;
    D3D9PixelShader* psObject_ = nullptr;

    std::set<D3D9Resource*> resources_;
};

// Surface whose interface the core made, or null for a foreign pointer.
D3D9Surface* D3D9SurfaceFrom(IDirect3DSurface9* surface);
// Texture data behind a base texture, and the resource object.
D3D9TextureData* D3D9TextureDataFrom(IDirect3DBaseTexture9* texture, D3D9Resource** resource);
