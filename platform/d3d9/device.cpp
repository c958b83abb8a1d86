// The Direct3D 9 device core: creation, the implicit swap chain and depth buffer, Reset, presentation and queries.
// Resource creation and copies are in device_resources.cpp, state and bindings in device_state.cpp, scenes and
// draws in device_draw.cpp.
#include <algorithm>
#include <cstring>

#include "platform/d3d9/device_local.h"

static bool IsBackBufferFormat(D3DFORMAT format)
{
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8 || format == D3DFMT_R5G6B5 ||
           format == D3DFMT_X1R5G5B5 || format == D3DFMT_A1R5G5B5 || format == D3DFMT_A2R10G10B10;
}

D3D9Device::D3D9Device(D3D9Direct3D* d3d, HWND focus, DWORD behavior)
    : d3d_(d3d), backend_(d3d->Backend()), focus_(focus), behavior_(behavior)
{
    d3d_->InternalAddRef();
    backend_->GetCaps(&caps_);
    std::memset(&params_, 0, sizeof(params_));
    for (UINT i = 0; i < kGammaEntries; ++i) {
        gamma_.red[i] = gamma_.green[i] = gamma_.blue[i] = static_cast<WORD>(i * kGammaLevelScale);
    }
    D3D9SetDefaultState(&state_, false, caps_.MaxPointSize);
}

D3D9Device::~D3D9Device()
{
    if (opened_)
        backend_->Close();
    d3d_->deviceOpen = false;
    d3d_->InternalRelease();
}

// Full screen needs one of the listed modes (any rate when none is asked).
bool D3D9Device::FullScreenModeListed(const D3DPRESENT_PARAMETERS& params)
{
    D3DFORMAT display = params.BackBufferFormat == D3DFMT_A8R8G8B8 ? D3DFMT_X8R8G8B8 : params.BackBufferFormat;
    UINT count = d3d_->GetAdapterModeCount(0, display);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode;
        if (FAILED(d3d_->EnumAdapterModes(0, display, i, &mode)))
            continue;
        if (mode.Width != params.BackBufferWidth || mode.Height != params.BackBufferHeight)
            continue;
        if (params.FullScreen_RefreshRateInHz == 0 || params.FullScreen_RefreshRateInHz == mode.RefreshRate)
            return true;
    }
    return false;
}

HRESULT D3D9Device::CompleteParams(D3DPRESENT_PARAMETERS* params, HWND window)
{
    if (!params)
        return D3DERR_INVALIDCALL;
    if (params->BackBufferCount == 0)
        params->BackBufferCount = 1;
    if (params->BackBufferCount > kMaxBackBufferCount)
        return D3DERR_INVALIDCALL;
    if (params->SwapEffect < D3DSWAPEFFECT_DISCARD || params->SwapEffect > D3DSWAPEFFECT_COPY) {
        return D3DERR_INVALIDCALL;
    }
    if (params->MultiSampleType != D3DMULTISAMPLE_NONE)
        return D3DERR_INVALIDCALL;
    if (params->EnableAutoDepthStencil && !D3D9FormatIsDepth(params->AutoDepthStencilFormat)) {
        return D3DERR_INVALIDCALL;
    }
    D3DDISPLAYMODE desktop;
    backend_->GetDesktopMode(&desktop);
    if (params->Windowed) {
        if (params->BackBufferFormat == D3DFMT_UNKNOWN)
            params->BackBufferFormat = desktop.Format;
        if (params->BackBufferWidth == 0 || params->BackBufferHeight == 0) {
            RECT client = {0, 0, 0, 0};
            if (!window || !GetClientRect(window, &client))
                return D3DERR_INVALIDCALL;
            if (params->BackBufferWidth == 0)
                params->BackBufferWidth = static_cast<UINT>(std::max<LONG>(client.right, 1));
            if (params->BackBufferHeight == 0)
                params->BackBufferHeight = static_cast<UINT>(std::max<LONG>(client.bottom, 1));
        }
        if (params->FullScreen_RefreshRateInHz != 0)
            return D3DERR_INVALIDCALL;
    } else {
        if (!FullScreenModeListed(*params))
            return D3DERR_INVALIDCALL;
    }
    if (!IsBackBufferFormat(params->BackBufferFormat))
        return D3DERR_INVALIDCALL;
    if (!params->hDeviceWindow)
        params->hDeviceWindow = window;
    return D3D_OK;
}

HRESULT D3D9Device::Open(D3DPRESENT_PARAMETERS* params)
{
    HWND window = (params && params->hDeviceWindow) ? params->hDeviceWindow : focus_;
    HRESULT hr = CompleteParams(params, window);
    if (FAILED(hr))
        return hr;
    params_ = *params;
    hr = backend_->Open(params_.hDeviceWindow, params_);
    if (FAILED(hr))
        return hr;
    opened_ = true;
    backend_->GetCaps(&caps_);
    hr = MakeImplicit();
    if (FAILED(hr))
        return hr;
    ResetState();
    return D3D_OK;
}

// Makes the implicit swap chain and depth buffer; they hold no public reference.
HRESULT D3D9Device::MakeImplicit()
{
    D3D9Surface* back = nullptr;
    HRESULT hr = MakeBackBuffer(params_, params_.hDeviceWindow, &back);
    if (FAILED(hr))
        return hr;
    chain_ = new D3D9SwapChain(this, params_, back);
    chain_->InternalAddRef();
    chain_->Release();
    back->Release();  // the chain's internal reference keeps it
    if (!params_.EnableAutoDepthStencil)
        return D3D_OK;
    return MakeAutoDepth(params_);
}

// The automatic depth buffer, held by the device alone.
HRESULT D3D9Device::MakeAutoDepth(const D3DPRESENT_PARAMETERS& params)
{
    D3D9Surface* depth = nullptr;
    HRESULT hr = NewSurface(params.BackBufferWidth, params.BackBufferHeight, params.AutoDepthStencilFormat,
                            D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, D3D9_SURFACE_AUTODEPTH, &depth);
    if (FAILED(hr))
        return hr;
    autoDepth_ = depth;
    autoDepth_->InternalAddRef();
    depth->Release();
    return D3D_OK;
}

void D3D9Device::DropImplicit()
{
    D3D9SwapChain* chain = chain_;
    D3D9Surface* depth = autoDepth_;
    chain_ = nullptr;
    autoDepth_ = nullptr;
    if (chain)
        chain->InternalRelease();
    if (depth)
        depth->InternalRelease();
}

void D3D9Device::UnbindAll()
{
    for (D3D9Resource*& t : textureObjects_)
        D3D9Rebind<D3D9Resource>(t, nullptr);
    for (D3D9VertexBuffer*& s : streamObjects_)
        D3D9Rebind<D3D9VertexBuffer>(s, nullptr);
    D3D9Rebind<D3D9IndexBuffer>(indexObject_, nullptr);
    for (D3D9Surface*& t : targetObjects_)
        D3D9Rebind<D3D9Surface>(t, nullptr);
    D3D9Rebind<D3D9Surface>(depthObject_, nullptr);
    D3D9Rebind<D3D9VertexDeclaration>(declObject_, nullptr);
    D3D9Rebind<D3D9VertexShader>(vsObject_, nullptr);
    D3D9Rebind<D3D9PixelShader>(psObject_, nullptr);
}

// Returns every state to the defaults and binds the implicit targets.
void D3D9Device::ResetState()
{
    UnbindAll();
    D3D9SetDefaultState(&state_, params_.EnableAutoDepthStencil != 0, caps_.MaxPointSize);
    if (chain_) {
        D3D9Rebind<D3D9Surface>(targetObjects_[0], chain_->backBuffer);
        state_.renderTargets[0] = chain_->backBuffer->Data();
    }
    if (autoDepth_) {
        D3D9Rebind<D3D9Surface>(depthObject_, autoDepth_);
        state_.depthStencil = autoDepth_->Data();
    }
    state_.viewport.Width = params_.BackBufferWidth;
    state_.viewport.Height = params_.BackBufferHeight;
    state_.scissor =
        RECT{0, 0, static_cast<LONG>(params_.BackBufferWidth), static_cast<LONG>(params_.BackBufferHeight)};
    state_.softwareVertexProcessing = (behavior_ & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? TRUE : FALSE;
    inScene_ = false;
    Changed(D3D9_STATE_ALL, 0, 0, 0);
}

void D3D9Device::OnPublicZero()
{
    // The caller is done with the device: drop what the device holds so the
    // implicit objects, and then the device, can go.
    UnbindAll();
    for (D3D9SurfaceData*& t : state_.renderTargets)
        t = nullptr;
    state_.depthStencil = nullptr;
    DropImplicit();
}

void D3D9Device::ForgetTexture(D3D9TextureData* data)
{
    for (D3D9TextureData*& t : state_.textures) {
        if (t == data)
            t = nullptr;
    }
}

void D3D9Device::ForgetSurface(D3D9SurfaceData* data)
{
    for (D3D9SurfaceData*& t : state_.renderTargets) {
        if (t == data)
            t = nullptr;
    }
    if (state_.depthStencil == data)
        state_.depthStencil = nullptr;
}

HRESULT D3D9Device::TestCooperativeLevel()
{
    HRESULT hr = backend_->TestCooperativeLevel();
    if (FAILED(hr))
        return hr;
    return needsReset_ ? D3DERR_DEVICENOTRESET : D3D_OK;
}

UINT D3D9Device::GetAvailableTextureMem() { return backend_->GetAvailableTextureMem(); }

HRESULT D3D9Device::EvictManagedResources()
{
    backend_->EvictManagedResources();
    return D3D_OK;
}

HRESULT D3D9Device::GetDirect3D(IDirect3D9** ppD3D9)
{
    if (!ppD3D9)
        return D3DERR_INVALIDCALL;
    d3d_->AddRef();
    *ppD3D9 = d3d_;
    return D3D_OK;
}

HRESULT D3D9Device::GetDeviceCaps(D3DCAPS9* pCaps)
{
    if (!pCaps)
        return D3DERR_INVALIDCALL;
    *pCaps = caps_;
    return D3D_OK;
}

HRESULT D3D9Device::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode)
{
    if (iSwapChain != 0 || !pMode)
        return D3DERR_INVALIDCALL;
    if (params_.Windowed) {
        backend_->GetDesktopMode(pMode);
        return D3D_OK;
    }
    pMode->Width = params_.BackBufferWidth;
    pMode->Height = params_.BackBufferHeight;
    pMode->RefreshRate = params_.FullScreen_RefreshRateInHz;
    pMode->Format = params_.BackBufferFormat;
    return D3D_OK;
}

HRESULT D3D9Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* pParameters)
{
    if (!pParameters)
        return D3DERR_INVALIDCALL;
    pParameters->AdapterOrdinal = 0;
    pParameters->DeviceType = D3DDEVTYPE_HAL;
    pParameters->hFocusWindow = focus_;
    pParameters->BehaviorFlags = behavior_;
    return D3D_OK;
}

HRESULT D3D9Device::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* pPresentationParameters,
                                              IDirect3DSwapChain9** pSwapChain)
{
    if (!pSwapChain)
        return D3DERR_INVALIDCALL;
    *pSwapChain = nullptr;
    if (!pPresentationParameters || !pPresentationParameters->Windowed)
        return D3DERR_INVALIDCALL;
    HWND window = pPresentationParameters->hDeviceWindow ? pPresentationParameters->hDeviceWindow : focus_;
    HRESULT hr = CompleteParams(pPresentationParameters, window);
    if (FAILED(hr))
        return hr;
    hr = backend_->CreateSwapChain(pPresentationParameters->hDeviceWindow, *pPresentationParameters);
    if (FAILED(hr))
        return hr;
    D3D9Surface* back = nullptr;
    hr = MakeBackBuffer(*pPresentationParameters, pPresentationParameters->hDeviceWindow, &back);
    if (FAILED(hr))
        return hr;
    D3D9SwapChain* chain = new D3D9SwapChain(this, *pPresentationParameters, back);
    back->Release();
    *pSwapChain = chain;
    return D3D_OK;
}

HRESULT D3D9Device::GetSwapChain(UINT iSwapChain, IDirect3DSwapChain9** pSwapChain)
{
    if (!pSwapChain)
        return D3DERR_INVALIDCALL;
    *pSwapChain = nullptr;
    if (iSwapChain != 0 || !chain_)
        return D3DERR_INVALIDCALL;
    chain_->AddRef();
    *pSwapChain = chain_;
    return D3D_OK;
}

// Gives an implicit surface fresh storage and a new back-end object; the
// object itself survives every Reset, so pointers callers kept stay valid.
HRESULT D3D9Device::RebuildImplicit(D3D9Surface* surface, UINT width, UINT height, D3DFORMAT format)
{
    D3D9SizeSurfaceData(surface->Data(), width, height, format);
    HRESULT hr = backend_->CreateSurface(surface->Data());
    surface->backendLive = SUCCEEDED(hr);
    return hr;
}

HRESULT D3D9Device::RebuildTargets(const D3DPRESENT_PARAMETERS& params)
{
    if (!chain_)
        return D3DERR_INVALIDCALL;
    D3D9Surface* back = chain_->backBuffer;
    back->Data()->window = params.hDeviceWindow;
    back->Data()->flags = D3D9_SURFACE_BACKBUFFER;
    if (params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER)
        back->Data()->flags |= D3D9_SURFACE_LOCKABLE;
    chain_->params = params;
    HRESULT hr = RebuildImplicit(back, params.BackBufferWidth, params.BackBufferHeight, params.BackBufferFormat);
    if (FAILED(hr))
        return hr;
    if (!params.EnableAutoDepthStencil) {
        D3D9Surface* depth = autoDepth_;
        autoDepth_ = nullptr;
        if (depth)
            depth->InternalRelease();
        return D3D_OK;
    }
    if (autoDepth_) {
        return RebuildImplicit(autoDepth_, params.BackBufferWidth, params.BackBufferHeight,
                               params.AutoDepthStencilFormat);
    }
    return MakeAutoDepth(params);
}

// Whether the caller still holds a default-pool object, which blocks a Reset.
bool D3D9Device::HoldsDefaultPool() const
{
    for (D3D9Resource* r : resources_) {
        if (r->Pool() != D3DPOOL_DEFAULT || r->PublicRefs() == 0)
            continue;
        D3D9Surface* s = dynamic_cast<D3D9Surface*>(r);
        if (s && (s->Data()->flags & D3D9_SURFACE_LEVEL))
            continue;  // counted through its texture
        return true;
    }
    return false;
}

HRESULT D3D9Device::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters)
{
    if (!pPresentationParameters)
        return D3DERR_INVALIDCALL;
    if (HoldsDefaultPool()) {
        needsReset_ = true;
        return D3DERR_INVALIDCALL;
    }
    D3DPRESENT_PARAMETERS params = *pPresentationParameters;
    HWND window = params.hDeviceWindow ? params.hDeviceWindow : params_.hDeviceWindow;
    if (!params.hDeviceWindow)
        params.hDeviceWindow = window;
    HRESULT hr = CompleteParams(&params, window ? window : focus_);
    if (FAILED(hr)) {
        needsReset_ = true;
        return hr;
    }
    UnbindAll();
    for (D3D9SurfaceData*& t : state_.renderTargets)
        t = nullptr;
    state_.depthStencil = nullptr;
    for (D3D9Surface* s : {chain_ ? chain_->backBuffer : nullptr, autoDepth_}) {
        if (!s || !s->backendLive)
            continue;
        backend_->DestroySurface(s->Data());
        s->backendLive = false;
    }
    hr = backend_->Reset(params);
    // After a failed Reset the targets come back at the old size, so that the
    // caller's next attempt starts from a consistent device.
    HRESULT rebuilt = RebuildTargets(SUCCEEDED(hr) ? params : params_);
    if (SUCCEEDED(hr) && SUCCEEDED(rebuilt)) {
        params_ = params;
        *pPresentationParameters = params;
    }
    needsReset_ = FAILED(hr) || FAILED(rebuilt);
    ResetState();
    return FAILED(hr) ? hr : rebuilt;
}

HRESULT D3D9Device::PresentChain(D3D9SwapChain* chain, const RECT* source, const RECT* dest, HWND window)
{
    if (inScene_)
        return D3DERR_INVALIDCALL;
    if (needsReset_)
        return D3DERR_DEVICELOST;
    if (!chain || !chain->backBuffer)
        return D3DERR_INVALIDCALL;
    HWND target = window ? window : chain->params.hDeviceWindow;
    return backend_->Present(chain->backBuffer->Data(), source, dest, target);
}

HRESULT D3D9Device::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                            const void* pDirtyRegion)
{
    if (pDirtyRegion)
        return D3DERR_INVALIDCALL;
    return PresentChain(chain_, pSourceRect, pDestRect, hDestWindowOverride);
}

HRESULT D3D9Device::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                  IDirect3DSurface9** ppBackBuffer)
{
    if (!ppBackBuffer)
        return D3DERR_INVALIDCALL;
    *ppBackBuffer = nullptr;
    if (iSwapChain != 0 || !chain_)
        return D3DERR_INVALIDCALL;
    return chain_->GetBackBuffer(iBackBuffer, Type, ppBackBuffer);
}

void D3D9Device::SetGammaRamp(UINT iSwapChain, DWORD, const D3DGAMMARAMP* pRamp)
{
    if (iSwapChain != 0 || !pRamp)
        return;
    gamma_ = *pRamp;
    backend_->SetGammaRamp(gamma_);
}

void D3D9Device::GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp)
{
    if (iSwapChain != 0 || !pRamp)
        return;
    *pRamp = gamma_;
}
