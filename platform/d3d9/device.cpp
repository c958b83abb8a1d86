// The Direct3D 9 device core: lifecycle, resource creation, state, draws and presentation over a back end.
#include "platform/d3d9/d3d9_local.h"

#include <algorithm>
#include <cstring>

static bool IsBackBufferFormat(D3DFORMAT format) {
  return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8 || format == D3DFMT_R5G6B5 ||
         format == D3DFMT_X1R5G5B5 || format == D3DFMT_A1R5G5B5 || format == D3DFMT_A2R10G10B10;
}

static bool IsPow2(UINT v) { return v != 0 && (v & (v - 1)) == 0; }

static UINT FullMipCount(UINT width, UINT height) {
  UINT levels = 1;
  while (width > 1 || height > 1) {
    width = std::max(1u, width / 2);
    height = std::max(1u, height / 2);
    ++levels;
  }
  return levels;
}

// ---------------------------------------------------------------- lifecycle

D3D9Device::D3D9Device(D3D9Direct3D* d3d, HWND focus, DWORD behavior)
    : d3d_(d3d), backend_(d3d->Backend()), focus_(focus), behavior_(behavior) {
  d3d_->InternalAddRef();
  backend_->GetCaps(&caps_);
  std::memset(&params_, 0, sizeof(params_));
  for (UINT i = 0; i < 256; ++i) {
    gamma_.red[i] = gamma_.green[i] = gamma_.blue[i] = (WORD)(i * 257);
  }
  D3D9SetDefaultState(&state_, false, caps_.MaxPointSize);
}

D3D9Device::~D3D9Device() {
  if (opened_) backend_->Close();
  d3d_->deviceOpen = false;
  d3d_->InternalRelease();
}

// Full screen needs one of the listed modes (any rate when none is asked).
bool D3D9Device::FullScreenModeListed(const D3DPRESENT_PARAMETERS& params) {
  D3DFORMAT display = params.BackBufferFormat == D3DFMT_A8R8G8B8 ? D3DFMT_X8R8G8B8 : params.BackBufferFormat;
  UINT count = d3d_->GetAdapterModeCount(0, display);
  for (UINT i = 0; i < count; ++i) {
    D3DDISPLAYMODE mode;
    if (FAILED(d3d_->EnumAdapterModes(0, display, i, &mode))) continue;
    if (mode.Width != params.BackBufferWidth || mode.Height != params.BackBufferHeight) continue;
    if (params.FullScreen_RefreshRateInHz == 0 || params.FullScreen_RefreshRateInHz == mode.RefreshRate) return true;
  }
  return false;
}

HRESULT D3D9Device::CompleteParams(D3DPRESENT_PARAMETERS* params, HWND window) {
  if (!params) return D3DERR_INVALIDCALL;
  if (params->BackBufferCount == 0) params->BackBufferCount = 1;
  if (params->BackBufferCount > 3) return D3DERR_INVALIDCALL;
  if (params->SwapEffect < D3DSWAPEFFECT_DISCARD || params->SwapEffect > D3DSWAPEFFECT_COPY) {
    return D3DERR_INVALIDCALL;
  }
  if (params->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
  if (params->EnableAutoDepthStencil && !D3D9FormatIsDepth(params->AutoDepthStencilFormat)) {
    return D3DERR_INVALIDCALL;
  }
  D3DDISPLAYMODE desktop;
  backend_->GetDesktopMode(&desktop);
  if (params->Windowed) {
    if (params->BackBufferFormat == D3DFMT_UNKNOWN) params->BackBufferFormat = desktop.Format;
    if (params->BackBufferWidth == 0 || params->BackBufferHeight == 0) {
      RECT client = {0, 0, 0, 0};
      if (!window || !GetClientRect(window, &client)) return D3DERR_INVALIDCALL;
      if (params->BackBufferWidth == 0) params->BackBufferWidth = (UINT)std::max<LONG>(client.right, 1);
      if (params->BackBufferHeight == 0) params->BackBufferHeight = (UINT)std::max<LONG>(client.bottom, 1);
    }
    if (params->FullScreen_RefreshRateInHz != 0) return D3DERR_INVALIDCALL;
  } else {
    if (!FullScreenModeListed(*params)) return D3DERR_INVALIDCALL;
  }
  if (!IsBackBufferFormat(params->BackBufferFormat)) return D3DERR_INVALIDCALL;
  if (!params->hDeviceWindow) params->hDeviceWindow = window;
  return D3D_OK;
}

HRESULT D3D9Device::Open(D3DPRESENT_PARAMETERS* params) {
  HWND window = (params && params->hDeviceWindow) ? params->hDeviceWindow : focus_;
  HRESULT hr = CompleteParams(params, window);
  if (FAILED(hr)) return hr;
  params_ = *params;
  hr = backend_->Open(params_.hDeviceWindow, params_);
  if (FAILED(hr)) return hr;
  opened_ = true;
  backend_->GetCaps(&caps_);
  hr = MakeImplicit();
  if (FAILED(hr)) return hr;
  ResetState();
  return D3D_OK;
}

HRESULT D3D9Device::NewSurface(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool, DWORD flags,
                               D3D9Surface** surface) {
  *surface = nullptr;
  if (width == 0 || height == 0 || !D3D9FormatKnown(format)) return D3DERR_INVALIDCALL;
  D3D9SurfaceData* data = new D3D9SurfaceData();
  data->width = width;
  data->height = height;
  data->format = format;
  data->usage = usage;
  data->pool = pool;
  data->flags = flags;
  data->pitch = D3D9FormatPitch(format, width);
  data->rows = D3D9FormatRows(format, height);
  data->bits.assign((size_t)data->pitch * data->rows, 0);
  HRESULT hr = backend_->CreateSurface(data);
  if (FAILED(hr)) {
    delete data;
    return hr;
  }
  *surface = new D3D9Surface(this, data, nullptr);
  return D3D_OK;
}

HRESULT D3D9Device::MakeBackBuffer(const D3DPRESENT_PARAMETERS& params, HWND window, D3D9Surface** surface) {
  DWORD flags = D3D9_SURFACE_BACKBUFFER;
  if (params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) flags |= D3D9_SURFACE_LOCKABLE;
  // The record carries the window before the back end sees it.
  *surface = nullptr;
  D3D9SurfaceData* data = new D3D9SurfaceData();
  data->width = params.BackBufferWidth;
  data->height = params.BackBufferHeight;
  data->format = params.BackBufferFormat;
  data->usage = D3DUSAGE_RENDERTARGET;
  data->pool = D3DPOOL_DEFAULT;
  data->flags = flags;
  data->pitch = D3D9FormatPitch(data->format, data->width);
  data->rows = data->height;
  data->bits.assign((size_t)data->pitch * data->rows, 0);
  data->window = window;
  HRESULT hr = backend_->CreateSurface(data);
  if (FAILED(hr)) {
    delete data;
    return hr;
  }
  *surface = new D3D9Surface(this, data, nullptr);
  return D3D_OK;
}

// Makes the implicit swap chain and depth buffer; they hold no public reference.
HRESULT D3D9Device::MakeImplicit() {
  D3D9Surface* back = nullptr;
  HRESULT hr = MakeBackBuffer(params_, params_.hDeviceWindow, &back);
  if (FAILED(hr)) return hr;
  chain_ = new D3D9SwapChain(this, params_, back);
  chain_->InternalAddRef();
  chain_->Release();
  back->Release();  // the chain's internal reference keeps it
  if (!params_.EnableAutoDepthStencil) return D3D_OK;
  D3D9Surface* depth = nullptr;
  hr = NewSurface(params_.BackBufferWidth, params_.BackBufferHeight, params_.AutoDepthStencilFormat,
                  D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, D3D9_SURFACE_AUTODEPTH, &depth);
  if (FAILED(hr)) return hr;
  autoDepth_ = depth;
  autoDepth_->InternalAddRef();
  depth->Release();
  return D3D_OK;
}

void D3D9Device::DropImplicit() {
  D3D9SwapChain* chain = chain_;
  D3D9Surface* depth = autoDepth_;
  chain_ = nullptr;
  autoDepth_ = nullptr;
  if (chain) chain->InternalRelease();
  if (depth) depth->InternalRelease();
}

void D3D9Device::UnbindAll() {
  for (D3D9Resource*& t : textureObjects_) D3D9Rebind<D3D9Resource>(t, nullptr);
  for (D3D9VertexBuffer*& s : streamObjects_) D3D9Rebind<D3D9VertexBuffer>(s, nullptr);
  D3D9Rebind<D3D9IndexBuffer>(indexObject_, nullptr);
  for (D3D9Surface*& t : targetObjects_) D3D9Rebind<D3D9Surface>(t, nullptr);
  D3D9Rebind<D3D9Surface>(depthObject_, nullptr);
  D3D9Rebind<D3D9VertexDeclaration>(declObject_, nullptr);
  D3D9Rebind<D3D9VertexShader>(vsObject_, nullptr);
  D3D9Rebind<D3D9PixelShader>(psObject_, nullptr);
}

// Returns every state to the defaults and binds the implicit targets.
void D3D9Device::ResetState() {
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
  state_.scissor = RECT{0, 0, (LONG)params_.BackBufferWidth, (LONG)params_.BackBufferHeight};
  state_.softwareVertexProcessing = (behavior_ & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? TRUE : FALSE;
  inScene_ = false;
  Changed(D3D9_STATE_ALL, 0, 0, 0);
}

void D3D9Device::OnPublicZero() {
  // The caller is done with the device: drop what the device holds so the
  // implicit objects, and then the device, can go.
  UnbindAll();
  for (D3D9SurfaceData*& t : state_.renderTargets) t = nullptr;
  state_.depthStencil = nullptr;
  DropImplicit();
}

void D3D9Device::ForgetTexture(D3D9TextureData* data) {
  for (D3D9TextureData*& t : state_.textures) {
    if (t == data) t = nullptr;
  }
}

void D3D9Device::ForgetSurface(D3D9SurfaceData* data) {
  for (D3D9SurfaceData*& t : state_.renderTargets) {
    if (t == data) t = nullptr;
  }
  if (state_.depthStencil == data) state_.depthStencil = nullptr;
}

HRESULT D3D9Device::TestCooperativeLevel() {
  HRESULT hr = backend_->TestCooperativeLevel();
  if (FAILED(hr)) return hr;
  return needsReset_ ? D3DERR_DEVICENOTRESET : D3D_OK;
}

UINT D3D9Device::GetAvailableTextureMem() { return backend_->GetAvailableTextureMem(); }

HRESULT D3D9Device::EvictManagedResources() {
  backend_->EvictManagedResources();
  return D3D_OK;
}

HRESULT D3D9Device::GetDirect3D(IDirect3D9** ppD3D9) {
  if (!ppD3D9) return D3DERR_INVALIDCALL;
  d3d_->AddRef();
  *ppD3D9 = d3d_;
  return D3D_OK;
}

HRESULT D3D9Device::GetDeviceCaps(D3DCAPS9* pCaps) {
  if (!pCaps) return D3DERR_INVALIDCALL;
  *pCaps = caps_;
  return D3D_OK;
}

HRESULT D3D9Device::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) {
  if (iSwapChain != 0 || !pMode) return D3DERR_INVALIDCALL;
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

HRESULT D3D9Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* pParameters) {
  if (!pParameters) return D3DERR_INVALIDCALL;
  pParameters->AdapterOrdinal = 0;
  pParameters->DeviceType = D3DDEVTYPE_HAL;
  pParameters->hFocusWindow = focus_;
  pParameters->BehaviorFlags = behavior_;
  return D3D_OK;
}

HRESULT D3D9Device::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* pPresentationParameters,
                                              IDirect3DSwapChain9** pSwapChain) {
  if (!pSwapChain) return D3DERR_INVALIDCALL;
  *pSwapChain = nullptr;
  if (!pPresentationParameters || !pPresentationParameters->Windowed) return D3DERR_INVALIDCALL;
  HWND window = pPresentationParameters->hDeviceWindow ? pPresentationParameters->hDeviceWindow : focus_;
  HRESULT hr = CompleteParams(pPresentationParameters, window);
  if (FAILED(hr)) return hr;
  hr = backend_->CreateSwapChain(pPresentationParameters->hDeviceWindow, *pPresentationParameters);
  if (FAILED(hr)) return hr;
  D3D9Surface* back = nullptr;
  hr = MakeBackBuffer(*pPresentationParameters, pPresentationParameters->hDeviceWindow, &back);
  if (FAILED(hr)) return hr;
  D3D9SwapChain* chain = new D3D9SwapChain(this, *pPresentationParameters, back);
  back->Release();
  *pSwapChain = chain;
  return D3D_OK;
}

HRESULT D3D9Device::GetSwapChain(UINT iSwapChain, IDirect3DSwapChain9** pSwapChain) {
  if (!pSwapChain) return D3DERR_INVALIDCALL;
  *pSwapChain = nullptr;
  if (iSwapChain != 0 || !chain_) return D3DERR_INVALIDCALL;
  chain_->AddRef();
  *pSwapChain = chain_;
  return D3D_OK;
}

// Gives an implicit surface fresh storage and a new back-end object; the
// object itself survives every Reset, so pointers callers kept stay valid.
HRESULT D3D9Device::RebuildImplicit(D3D9Surface* surface, UINT width, UINT height, D3DFORMAT format) {
  D3D9SurfaceData* d = surface->Data();
  d->width = width;
  d->height = height;
  d->format = format;
  d->pitch = D3D9FormatPitch(format, width);
  d->rows = D3D9FormatRows(format, height);
  d->bits.assign((size_t)d->pitch * d->rows, 0);
  HRESULT hr = backend_->CreateSurface(d);
  surface->backendLive = SUCCEEDED(hr);
  return hr;
}

HRESULT D3D9Device::RebuildTargets(const D3DPRESENT_PARAMETERS& params) {
  if (!chain_) return D3DERR_INVALIDCALL;
  D3D9Surface* back = chain_->backBuffer;
  back->Data()->window = params.hDeviceWindow;
  back->Data()->flags = D3D9_SURFACE_BACKBUFFER;
  if (params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) back->Data()->flags |= D3D9_SURFACE_LOCKABLE;
  chain_->params = params;
  HRESULT hr = RebuildImplicit(back, params.BackBufferWidth, params.BackBufferHeight, params.BackBufferFormat);
  if (FAILED(hr)) return hr;
  if (!params.EnableAutoDepthStencil) {
    D3D9Surface* depth = autoDepth_;
    autoDepth_ = nullptr;
    if (depth) depth->InternalRelease();
    return D3D_OK;
  }
  if (autoDepth_) {
    return RebuildImplicit(autoDepth_, params.BackBufferWidth, params.BackBufferHeight, params.AutoDepthStencilFormat);
  }
  D3D9Surface* depth = nullptr;
  hr = NewSurface(params.BackBufferWidth, params.BackBufferHeight, params.AutoDepthStencilFormat,
                  D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, D3D9_SURFACE_AUTODEPTH, &depth);
  if (FAILED(hr)) return hr;
  autoDepth_ = depth;
  autoDepth_->InternalAddRef();
  depth->Release();
  return D3D_OK;
}

// Whether the caller still holds a default-pool object, which blocks a Reset.
bool D3D9Device::HoldsDefaultPool() const {
  for (D3D9Resource* r : resources_) {
    if (r->Pool() != D3DPOOL_DEFAULT || r->PublicRefs() == 0) continue;
    D3D9Surface* s = dynamic_cast<D3D9Surface*>(r);
    if (s && (s->Data()->flags & D3D9_SURFACE_LEVEL)) continue;  // counted through its texture
    return true;
  }
  return false;
}

HRESULT D3D9Device::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) {
  if (!pPresentationParameters) return D3DERR_INVALIDCALL;
  if (HoldsDefaultPool()) {
    needsReset_ = true;
    return D3DERR_INVALIDCALL;
  }
  D3DPRESENT_PARAMETERS params = *pPresentationParameters;
  HWND window = params.hDeviceWindow ? params.hDeviceWindow : params_.hDeviceWindow;
  if (!params.hDeviceWindow) params.hDeviceWindow = window;
  HRESULT hr = CompleteParams(&params, window ? window : focus_);
  if (FAILED(hr)) {
    needsReset_ = true;
    return hr;
  }
  UnbindAll();
  for (D3D9SurfaceData*& t : state_.renderTargets) t = nullptr;
  state_.depthStencil = nullptr;
  for (D3D9Surface* s : {chain_ ? chain_->backBuffer : nullptr, autoDepth_}) {
    if (!s || !s->backendLive) continue;
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

HRESULT D3D9Device::PresentChain(D3D9SwapChain* chain, const RECT* source, const RECT* dest, HWND window) {
  if (inScene_) return D3DERR_INVALIDCALL;
  if (needsReset_) return D3DERR_DEVICELOST;
  if (!chain || !chain->backBuffer) return D3DERR_INVALIDCALL;
  HWND target = window ? window : chain->params.hDeviceWindow;
  return backend_->Present(chain->backBuffer->Data(), source, dest, target);
}

HRESULT D3D9Device::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                            const void* pDirtyRegion) {
  if (pDirtyRegion) return D3DERR_INVALIDCALL;
  return PresentChain(chain_, pSourceRect, pDestRect, hDestWindowOverride);
}

HRESULT D3D9Device::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                  IDirect3DSurface9** ppBackBuffer) {
  if (!ppBackBuffer) return D3DERR_INVALIDCALL;
  *ppBackBuffer = nullptr;
  if (iSwapChain != 0 || !chain_) return D3DERR_INVALIDCALL;
  return chain_->GetBackBuffer(iBackBuffer, Type, ppBackBuffer);
}

void D3D9Device::SetGammaRamp(UINT iSwapChain, DWORD, const D3DGAMMARAMP* pRamp) {
  if (iSwapChain != 0 || !pRamp) return;
  gamma_ = *pRamp;
  backend_->SetGammaRamp(gamma_);
}

void D3D9Device::GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp) {
  if (iSwapChain != 0 || !pRamp) return;
  *pRamp = gamma_;
}

// ---------------------------------------------------------------- resources

HRESULT D3D9Device::CheckTextureArgs(UINT width, UINT height, UINT* levels, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool, D3DRESOURCETYPE type) {
  if (width == 0 || height == 0 || !D3D9FormatKnown(format)) return D3DERR_INVALIDCALL;
  if (width > caps_.MaxTextureWidth || height > caps_.MaxTextureHeight) return D3DERR_INVALIDCALL;
  if (pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) && pool != D3DPOOL_DEFAULT) {
    return D3DERR_INVALIDCALL;
  }
  if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  if (type == D3DRTYPE_CUBETEXTURE && !(caps_.TextureCaps & D3DPTEXTURECAPS_CUBEMAP)) return D3DERR_INVALIDCALL;
  if ((caps_.TextureCaps & D3DPTEXTURECAPS_POW2) && (!IsPow2(width) || !IsPow2(height))) {
    return D3DERR_INVALIDCALL;
  }
  HRESULT check = backend_->CheckDeviceFormat(params_.BackBufferFormat ? params_.BackBufferFormat : D3DFMT_X8R8G8B8,
                                              usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL), type, format);
  if (FAILED(check)) return D3DERR_INVALIDCALL;
  UINT full = FullMipCount(width, height);
  if (usage & D3DUSAGE_AUTOGENMIPMAP) {
    if (*levels > 1) return D3DERR_INVALIDCALL;
    // Without automatic mipmaps (or for this format) the texture has one level.
    *levels = 1;
    return D3D_OK;
  }
  if (*levels == 0 || *levels > full) *levels = full;
  return D3D_OK;
}

static D3D9TextureData* NewTextureData(D3D9TextureKind kind, UINT width, UINT height, UINT levels, DWORD usage,
                                       D3DFORMAT format, D3DPOOL pool) {
  D3D9TextureData* data = new D3D9TextureData();
  data->kind = kind;
  data->width = width;
  data->height = height;
  data->levels = levels;
  data->faces = kind == D3D9_TEXTURE_CUBE ? 6 : 1;
  data->format = format;
  data->usage = usage;
  data->pool = pool;
  for (UINT face = 0; face < data->faces; ++face) {
    UINT w = width, h = height;
    for (UINT level = 0; level < levels; ++level) {
      D3D9SurfaceData* s = new D3D9SurfaceData();
      s->width = w;
      s->height = h;
      s->format = format;
      s->usage = usage;
      s->pool = pool;
      s->flags = D3D9_SURFACE_LEVEL;
      s->pitch = D3D9FormatPitch(format, w);
      s->rows = D3D9FormatRows(format, h);
      s->bits.assign((size_t)s->pitch * s->rows, 0);
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

static void FreeTextureData(D3D9TextureData* data) {
  for (D3D9SurfaceData* s : data->surfaces) delete s;
  delete data;
}

HRESULT D3D9Device::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
  if (!ppTexture || pSharedHandle) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  HRESULT hr = CheckTextureArgs(Width, Height, &Levels, Usage, Format, Pool, D3DRTYPE_TEXTURE);
  if (FAILED(hr)) return hr;
  D3D9TextureData* data = NewTextureData(D3D9_TEXTURE_2D, Width, Height, Levels, Usage, Format, Pool);
  hr = backend_->CreateTexture(data);
  if (FAILED(hr)) {
    FreeTextureData(data);
    return hr;
  }
  *ppTexture = new D3D9Texture(this, data);
  return D3D_OK;
}

HRESULT D3D9Device::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle) {
  if (!ppCubeTexture || pSharedHandle) return D3DERR_INVALIDCALL;
  *ppCubeTexture = nullptr;
  HRESULT hr = CheckTextureArgs(EdgeLength, EdgeLength, &Levels, Usage, Format, Pool, D3DRTYPE_CUBETEXTURE);
  if (FAILED(hr)) return hr;
  D3D9TextureData* data = NewTextureData(D3D9_TEXTURE_CUBE, EdgeLength, EdgeLength, Levels, Usage, Format, Pool);
  hr = backend_->CreateTexture(data);
  if (FAILED(hr)) {
    FreeTextureData(data);
    return hr;
  }
  *ppCubeTexture = new D3D9CubeTexture(this, data);
  return D3D_OK;
}

static D3D9BufferData* NewBufferData(D3D9BufferKind kind, UINT size, DWORD usage, D3DFORMAT format, DWORD fvf,
                                     D3DPOOL pool) {
  D3D9BufferData* data = new D3D9BufferData();
  data->kind = kind;
  data->size = size;
  data->usage = usage;
  data->pool = pool;
  data->format = format;
  data->fvf = fvf;
  data->bits.assign(size, 0);
  return data;
}

HRESULT D3D9Device::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                       IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
  if (!ppVertexBuffer || pSharedHandle) return D3DERR_INVALIDCALL;
  *ppVertexBuffer = nullptr;
  if (Length == 0 || Pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  if (FVF != 0 && Length < D3D9FVFSize(FVF)) return D3DERR_INVALIDCALL;
  if ((Usage & D3DUSAGE_DYNAMIC) && Pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  D3D9BufferData* data = NewBufferData(D3D9_BUFFER_VERTEX, Length, Usage, D3DFMT_VERTEXDATA, FVF, Pool);
  HRESULT hr = backend_->CreateBuffer(data);
  if (FAILED(hr)) {
    delete data;
    return hr;
  }
  *ppVertexBuffer = new D3D9VertexBuffer(this, data);
  return D3D_OK;
}

HRESULT D3D9Device::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
  if (!ppIndexBuffer || pSharedHandle) return D3DERR_INVALIDCALL;
  *ppIndexBuffer = nullptr;
  if (Length == 0 || Pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  if (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
  if (Format == D3DFMT_INDEX32 && caps_.MaxVertexIndex <= 0xFFFF) return D3DERR_INVALIDCALL;
  if ((Usage & D3DUSAGE_DYNAMIC) && Pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  D3D9BufferData* data = NewBufferData(D3D9_BUFFER_INDEX, Length, Usage, Format, 0, Pool);
  HRESULT hr = backend_->CreateBuffer(data);
  if (FAILED(hr)) {
    delete data;
    return hr;
  }
  *ppIndexBuffer = new D3D9IndexBuffer(this, data);
  return D3D_OK;
}

HRESULT D3D9Device::CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                       DWORD, BOOL Lockable, IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  if (!ppSurface || pSharedHandle) return D3DERR_INVALIDCALL;
  *ppSurface = nullptr;
  if (MultiSample != D3DMULTISAMPLE_NONE || D3D9FormatIsDepth(Format) || D3D9FormatIsDXT(Format)) {
    return D3DERR_INVALIDCALL;
  }
  if (FAILED(backend_->CheckDeviceFormat(params_.BackBufferFormat, D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, Format))) {
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
                                              IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  if (!ppSurface || pSharedHandle) return D3DERR_INVALIDCALL;
  *ppSurface = nullptr;
  if (MultiSample != D3DMULTISAMPLE_NONE || !D3D9FormatIsDepth(Format)) return D3DERR_INVALIDCALL;
  if (FAILED(backend_->CheckDeviceFormat(params_.BackBufferFormat, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, Format))) {
    return D3DERR_INVALIDCALL;
  }
  D3D9Surface* s = nullptr;
  HRESULT hr = NewSurface(Width, Height, Format, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, 0, &s);
  *ppSurface = s;
  return hr;
}

HRESULT D3D9Device::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                                IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  if (!ppSurface || pSharedHandle) return D3DERR_INVALIDCALL;
  *ppSurface = nullptr;
  if (Pool == D3DPOOL_MANAGED || Pool > D3DPOOL_SCRATCH || D3D9FormatIsDepth(Format)) return D3DERR_INVALIDCALL;
  D3D9Surface* s = nullptr;
  HRESULT hr = NewSurface(Width, Height, Format, 0, Pool, 0, &s);
  *ppSurface = s;
  return hr;
}

// Clips a rect to an image; false when nothing is left or it was out of range.
static bool RectInside(const RECT* in, UINT width, UINT height, RECT* out) {
  if (!in) {
    *out = RECT{0, 0, (LONG)width, (LONG)height};
    return true;
  }
  *out = *in;
  return in->left >= 0 && in->top >= 0 && in->right <= (LONG)width && in->bottom <= (LONG)height &&
         in->left < in->right && in->top < in->bottom;
}

static bool IsSystemPool(D3DPOOL pool) { return pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH; }

static void UploadAfterCopy(D3D9Backend* backend, D3D9SurfaceData* dest, const RECT& rect) {
  if (IsSystemPool(dest->pool)) return;
  if (dest->texture) {
    backend->UploadTexture(dest->texture, dest->face, dest->level, &rect);
  } else {
    backend->UploadSurface(dest, &rect);
  }
}

// Copies same-size DXT blocks; rects are 4-aligned.
static void CopyBlocks(const D3D9SurfaceData& src, const RECT& sr, D3D9SurfaceData* dst, const RECT& dr) {
  UINT block = src.format == D3DFMT_DXT1 ? 8 : 16;
  UINT cols = (UINT)(sr.right - sr.left + 3) / 4;
  UINT rows = (UINT)(sr.bottom - sr.top + 3) / 4;
  for (UINT r = 0; r < rows; ++r) {
    const BYTE* from = src.bits.data() + (size_t)(sr.top / 4 + r) * src.pitch + (size_t)(sr.left / 4) * block;
    BYTE* to = dst->bits.data() + (size_t)(dr.top / 4 + r) * dst->pitch + (size_t)(dr.left / 4) * block;
    std::memcpy(to, from, (size_t)cols * block);
  }
}

HRESULT D3D9Device::UpdateSurface(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                  IDirect3DSurface9* pDestinationSurface, const POINT* pDestPoint) {
  if (!pSourceSurface || !pDestinationSurface) return D3DERR_INVALIDCALL;
  D3D9Surface* src = D3D9SurfaceFrom(pSourceSurface);
  D3D9Surface* dst = D3D9SurfaceFrom(pDestinationSurface);
  D3D9SurfaceData* s = src->Data();
  D3D9SurfaceData* d = dst->Data();
  // The interface asks for a system-memory source and a default-pool target;
  // the raster code also copies from and into managed textures, which the
  // system-memory copies here serve as well.
  if (src->InBackend() || IsSystemPool(d->pool) || D3D9FormatIsDepth(d->format)) return D3DERR_INVALIDCALL;
  if (s->format != d->format || src->Locked() || dst->Locked()) return D3DERR_INVALIDCALL;
  RECT sr;
  if (!RectInside(pSourceRect, s->width, s->height, &sr)) return D3DERR_INVALIDCALL;
  POINT at = pDestPoint ? *pDestPoint : POINT{0, 0};
  RECT dr = {at.x, at.y, at.x + (sr.right - sr.left), at.y + (sr.bottom - sr.top)};
  RECT check;
  if (!RectInside(&dr, d->width, d->height, &check)) return D3DERR_INVALIDCALL;
  if (D3D9FormatIsDXT(s->format)) {
    if ((sr.left | sr.top | dr.left | dr.top) & 3) return D3DERR_INVALIDCALL;
    CopyBlocks(*s, sr, d, dr);
  } else {
    D3D9CopyRectPoint(*s, sr, d, dr);
  }
  if (dst->InBackend()) return backend_->StretchRect(s, sr, d, dr, D3DTEXF_NONE);
  UploadAfterCopy(backend_, d, dr);
  return D3D_OK;
}

HRESULT D3D9Device::UpdateTexture(IDirect3DBaseTexture9* pSourceTexture, IDirect3DBaseTexture9* pDestinationTexture) {
  D3D9TextureData* s = D3D9TextureDataFrom(pSourceTexture, nullptr);
  D3D9TextureData* d = D3D9TextureDataFrom(pDestinationTexture, nullptr);
  if (!s || !d || s->kind != d->kind || s->format != d->format) return D3DERR_INVALIDCALL;
  if (s->pool != D3DPOOL_SYSTEMMEM || d->pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  if (s->width != d->width || s->height != d->height || s->levels < d->levels) return D3DERR_INVALIDCALL;
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

HRESULT D3D9Device::GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) {
  if (!pRenderTarget || !pDestSurface) return D3DERR_INVALIDCALL;
  D3D9Surface* src = D3D9SurfaceFrom(pRenderTarget);
  D3D9Surface* dst = D3D9SurfaceFrom(pDestSurface);
  D3D9SurfaceData* s = src->Data();
  D3D9SurfaceData* d = dst->Data();
  if (!src->InBackend() || D3D9FormatIsDepth(s->format)) return D3DERR_INVALIDCALL;
  if (dst->InBackend() || dst->Locked()) return D3DERR_INVALIDCALL;
  if (d->pool != D3DPOOL_SYSTEMMEM && d->pool != D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  if (s->width != d->width || s->height != d->height || s->format != d->format) return D3DERR_INVALIDCALL;
  HRESULT hr = backend_->ReadRenderTarget(s, d);
  if (SUCCEEDED(hr)) UploadAfterCopy(backend_, d, RECT{0, 0, (LONG)d->width, (LONG)d->height});
  return hr;
}

HRESULT D3D9Device::StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                IDirect3DSurface9* pDestSurface, const RECT* pDestRect, D3DTEXTUREFILTERTYPE Filter) {
  if (!pSourceSurface || !pDestSurface) return D3DERR_INVALIDCALL;
  D3D9Surface* src = D3D9SurfaceFrom(pSourceSurface);
  D3D9Surface* dst = D3D9SurfaceFrom(pDestSurface);
  D3D9SurfaceData* s = src->Data();
  D3D9SurfaceData* d = dst->Data();
  if (s->pool != D3DPOOL_DEFAULT || d->pool != D3DPOOL_DEFAULT || src == dst) return D3DERR_INVALIDCALL;
  if (src->Locked() || dst->Locked()) return D3DERR_INVALIDCALL;
  if (!dst->InBackend()) return D3DERR_INVALIDCALL;  // the destination must be a render target
  if (D3D9FormatIsDepth(s->format) != D3D9FormatIsDepth(d->format)) return D3DERR_INVALIDCALL;
  RECT sr, dr;
  if (!RectInside(pSourceRect, s->width, s->height, &sr) || !RectInside(pDestRect, d->width, d->height, &dr)) {
    return D3DERR_INVALIDCALL;
  }
  return backend_->StretchRect(s, sr, d, dr, Filter);
}

HRESULT D3D9Device::ColorFill(IDirect3DSurface9* pSurface, const RECT* pRect, D3DCOLOR color) {
  if (!pSurface) return D3DERR_INVALIDCALL;
  D3D9Surface* surface = D3D9SurfaceFrom(pSurface);
  D3D9SurfaceData* d = surface->Data();
  if (d->pool != D3DPOOL_DEFAULT || surface->Locked() || D3D9FormatIsDepth(d->format)) return D3DERR_INVALIDCALL;
  RECT r;
  if (!RectInside(pRect, d->width, d->height, &r)) return D3DERR_INVALIDCALL;
  if (surface->InBackend()) return backend_->ColorFill(d, r, color);
  if (!D3D9FillRect(d, r, color)) return D3DERR_INVALIDCALL;
  UploadAfterCopy(backend_, d, r);
  return D3D_OK;
}

// ---------------------------------------------------------------- targets and scenes

HRESULT D3D9Device::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) {
  if (RenderTargetIndex >= D3D9_MAX_RENDERTARGETS) return D3DERR_INVALIDCALL;
  if (!pRenderTarget) {
    if (RenderTargetIndex == 0) return D3DERR_INVALIDCALL;
    D3D9Rebind<D3D9Surface>(targetObjects_[RenderTargetIndex], nullptr);
    state_.renderTargets[RenderTargetIndex] = nullptr;
    Changed(D3D9_STATE_RENDERTARGET, RenderTargetIndex, 0, 0);
    return D3D_OK;
  }
  if (RenderTargetIndex >= caps_.NumSimultaneousRTs) return D3DERR_INVALIDCALL;
  D3D9Surface* surface = D3D9SurfaceFrom(pRenderTarget);
  if (!(surface->Data()->usage & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
  D3D9Rebind<D3D9Surface>(targetObjects_[RenderTargetIndex], surface);
  state_.renderTargets[RenderTargetIndex] = surface->Data();
  if (RenderTargetIndex == 0) {
    // Setting target 0 resets the viewport (and scissor) to the whole target.
    state_.viewport = D3DVIEWPORT9{0, 0, surface->Data()->width, surface->Data()->height, 0.0f, 1.0f};
    state_.scissor = RECT{0, 0, (LONG)surface->Data()->width, (LONG)surface->Data()->height};
  }
  Changed(D3D9_STATE_RENDERTARGET, RenderTargetIndex, 0, 0);
  if (RenderTargetIndex == 0) Changed(D3D9_STATE_VIEWPORT, 0, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) {
  if (!ppRenderTarget) return D3DERR_INVALIDCALL;
  *ppRenderTarget = nullptr;
  if (RenderTargetIndex >= D3D9_MAX_RENDERTARGETS) return D3DERR_INVALIDCALL;
  D3D9Surface* s = targetObjects_[RenderTargetIndex];
  if (!s) return D3DERR_NOTFOUND;
  s->AddRef();
  *ppRenderTarget = s;
  return D3D_OK;
}

HRESULT D3D9Device::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) {
  D3D9Surface* surface = pNewZStencil ? D3D9SurfaceFrom(pNewZStencil) : nullptr;
  if (surface && !D3D9FormatIsDepth(surface->Data()->format)) return D3DERR_INVALIDCALL;
  D3D9Rebind<D3D9Surface>(depthObject_, surface);
  state_.depthStencil = surface ? surface->Data() : nullptr;
  Changed(D3D9_STATE_DEPTHSTENCIL, 0, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) {
  if (!ppZStencilSurface) return D3DERR_INVALIDCALL;
  *ppZStencilSurface = nullptr;
  if (!depthObject_) return D3DERR_NOTFOUND;
  depthObject_->AddRef();
  *ppZStencilSurface = depthObject_;
  return D3D_OK;
}

HRESULT D3D9Device::BeginScene() {
  if (inScene_) return D3DERR_INVALIDCALL;
  HRESULT hr = backend_->BeginScene();
  if (FAILED(hr)) return hr;
  inScene_ = true;
  return D3D_OK;
}

HRESULT D3D9Device::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  return backend_->EndScene();
}

HRESULT D3D9Device::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) {
  if ((Count == 0) != (pRects == nullptr)) return D3DERR_INVALIDCALL;
  if ((Flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !state_.depthStencil) return D3DERR_INVALIDCALL;
  if ((Flags & D3DCLEAR_STENCIL) && state_.depthStencil && state_.depthStencil->format != D3DFMT_D24S8 &&
      state_.depthStencil->format != D3DFMT_D15S1 && state_.depthStencil->format != D3DFMT_D24X4S4 &&
      state_.depthStencil->format != D3DFMT_D24FS8) {
    return D3DERR_INVALIDCALL;
  }
  if (!(Flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) return D3DERR_INVALIDCALL;
  if (Z < 0.0f || Z > 1.0f) return D3DERR_INVALIDCALL;
  return backend_->Clear(state_, Count, pRects, Flags, Color, Z, Stencil);
}

// ---------------------------------------------------------------- fixed-function state

static D3DMATRIX* TransformSlot(D3D9State* state, D3DTRANSFORMSTATETYPE type) {
  DWORD t = (DWORD)type;
  if (t == D3DTS_VIEW) return &state->view;
  if (t == D3DTS_PROJECTION) return &state->projection;
  if (t >= D3DTS_TEXTURE0 && t <= D3DTS_TEXTURE7) return &state->textureTransforms[t - D3DTS_TEXTURE0];
  if (t >= 256 && t < 256 + D3D9_MAX_WORLD_MATRICES) return &state->world[t - 256];
  return nullptr;
}

HRESULT D3D9Device::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
  D3DMATRIX* slot = TransformSlot(&state_, State);
  if (!slot || !pMatrix) return D3DERR_INVALIDCALL;
  *slot = *pMatrix;
  Changed(D3D9_STATE_TRANSFORM, (DWORD)State, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
  D3DMATRIX* slot = TransformSlot(&state_, State);
  if (!slot || !pMatrix) return D3DERR_INVALIDCALL;
  *pMatrix = *slot;
  return D3D_OK;
}

HRESULT D3D9Device::MultiplyTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
  D3DMATRIX* slot = TransformSlot(&state_, State);
  if (!slot || !pMatrix) return D3DERR_INVALIDCALL;
  D3DMATRIX out;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      out.m[r][c] = pMatrix->m[r][0] * slot->m[0][c] + pMatrix->m[r][1] * slot->m[1][c] +
                    pMatrix->m[r][2] * slot->m[2][c] + pMatrix->m[r][3] * slot->m[3][c];
    }
  }
  *slot = out;
  Changed(D3D9_STATE_TRANSFORM, (DWORD)State, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::SetViewport(const D3DVIEWPORT9* pViewport) {
  if (!pViewport) return D3DERR_INVALIDCALL;
  const D3D9SurfaceData* target = state_.renderTargets[0];
  if (target && ((uint64_t)pViewport->X + pViewport->Width > target->width ||
                 (uint64_t)pViewport->Y + pViewport->Height > target->height)) {
    return D3DERR_INVALIDCALL;
  }
  if (pViewport->Width == 0 || pViewport->Height == 0) return D3DERR_INVALIDCALL;
  state_.viewport = *pViewport;
  Changed(D3D9_STATE_VIEWPORT, 0, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetViewport(D3DVIEWPORT9* pViewport) {
  if (!pViewport) return D3DERR_INVALIDCALL;
  *pViewport = state_.viewport;
  return D3D_OK;
}

HRESULT D3D9Device::SetMaterial(const D3DMATERIAL9* pMaterial) {
  if (!pMaterial) return D3DERR_INVALIDCALL;
  state_.material = *pMaterial;
  Changed(D3D9_STATE_MATERIAL, 0, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetMaterial(D3DMATERIAL9* pMaterial) {
  if (!pMaterial) return D3DERR_INVALIDCALL;
  *pMaterial = state_.material;
  return D3D_OK;
}

// The slot of a light index, grown on demand; null past the limit.
static D3D9LightSlot* LightSlot(D3D9State* state, DWORD index, bool grow) {
  if (index >= D3D9_MAX_LIGHTS) return nullptr;
  if (index >= state->lights.size()) {
    if (!grow) return nullptr;
    D3D9LightSlot empty;
    std::memset(&empty, 0, sizeof(empty));
    state->lights.resize(index + 1, empty);
  }
  return &state->lights[index];
}

static void DefaultLight(D3DLIGHT9* light) {
  // What LightEnable gives an index that was never set: a white directional light along +z.
  std::memset(light, 0, sizeof(*light));
  light->Type = D3DLIGHT_DIRECTIONAL;
  light->Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
  light->Direction = D3DVECTOR{0.0f, 0.0f, 1.0f};
}

HRESULT D3D9Device::SetLight(DWORD Index, const D3DLIGHT9* pLight) {
  if (!pLight || pLight->Type < D3DLIGHT_POINT || pLight->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
  if (pLight->Range < 0.0f) return D3DERR_INVALIDCALL;
  D3D9LightSlot* slot = LightSlot(&state_, Index, true);
  if (!slot) return D3DERR_INVALIDCALL;
  slot->light = *pLight;
  slot->set = true;
  Changed(D3D9_STATE_LIGHT, Index, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetLight(DWORD Index, D3DLIGHT9* pLight) {
  D3D9LightSlot* slot = LightSlot(&state_, Index, false);
  if (!pLight || !slot || !slot->set) return D3DERR_INVALIDCALL;
  *pLight = slot->light;
  return D3D_OK;
}

HRESULT D3D9Device::LightEnable(DWORD Index, BOOL Enable) {
  D3D9LightSlot* slot = LightSlot(&state_, Index, true);
  if (!slot) return D3DERR_INVALIDCALL;
  if (!slot->set) {
    DefaultLight(&slot->light);
    slot->set = true;
  }
  slot->enabled = Enable ? TRUE : FALSE;
  Changed(D3D9_STATE_LIGHTENABLE, Index, 0, slot->enabled);
  return D3D_OK;
}

HRESULT D3D9Device::GetLightEnable(DWORD Index, BOOL* pEnable) {
  D3D9LightSlot* slot = LightSlot(&state_, Index, false);
  if (!pEnable || !slot || !slot->set) return D3DERR_INVALIDCALL;
  *pEnable = slot->enabled;
  return D3D_OK;
}

HRESULT D3D9Device::SetClipPlane(DWORD Index, const float* pPlane) {
  if (Index >= D3D9_MAX_CLIPPLANES || !pPlane) return D3DERR_INVALIDCALL;
  std::memcpy(state_.clipPlanes[Index], pPlane, sizeof(float) * 4);
  Changed(D3D9_STATE_CLIPPLANE, Index, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetClipPlane(DWORD Index, float* pPlane) {
  if (Index >= D3D9_MAX_CLIPPLANES || !pPlane) return D3DERR_INVALIDCALL;
  std::memcpy(pPlane, state_.clipPlanes[Index], sizeof(float) * 4);
  return D3D_OK;
}

HRESULT D3D9Device::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  if ((DWORD)State >= D3DRS_COUNT) return D3DERR_INVALIDCALL;
  state_.renderStates[State] = Value;
  Changed(D3D9_STATE_RENDER, (DWORD)State, 0, Value);
  return D3D_OK;
}

HRESULT D3D9Device::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  if ((DWORD)State >= D3DRS_COUNT || !pValue) return D3DERR_INVALIDCALL;
  *pValue = state_.renderStates[State];
  return D3D_OK;
}

HRESULT D3D9Device::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
  if (!ppTexture) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  if (Stage >= D3DMAXSAMPLERS) return D3DERR_INVALIDCALL;
  D3D9Resource* r = textureObjects_[Stage];
  if (!r) return D3D_OK;
  if (D3D9Texture* t = dynamic_cast<D3D9Texture*>(r)) {
    t->AddRef();
    *ppTexture = t;
  } else if (D3D9CubeTexture* c = dynamic_cast<D3D9CubeTexture*>(r)) {
    c->AddRef();
    *ppTexture = c;
  }
  return D3D_OK;
}

HRESULT D3D9Device::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
  if (Stage >= D3DMAXSAMPLERS) return D3DERR_INVALIDCALL;
  D3D9Resource* object = nullptr;
  D3D9TextureData* data = D3D9TextureDataFrom(pTexture, &object);
  if (data && (data->pool == D3DPOOL_SYSTEMMEM || data->pool == D3DPOOL_SCRATCH)) return D3DERR_INVALIDCALL;
  D3D9Rebind<D3D9Resource>(textureObjects_[Stage], object);
  state_.textures[Stage] = data;
  Changed(D3D9_STATE_TEXTURE, Stage, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
  if (Stage >= D3DMAXTEXTURESTAGES || (DWORD)Type >= D3DTSS_COUNT || !pValue) return D3DERR_INVALIDCALL;
  *pValue = state_.textureStageStates[Stage][Type];
  return D3D_OK;
}

HRESULT D3D9Device::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
  if (Stage >= D3DMAXTEXTURESTAGES || (DWORD)Type >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
  state_.textureStageStates[Stage][Type] = Value;
  Changed(D3D9_STATE_TEXTURESTAGE, Stage, (DWORD)Type, Value);
  return D3D_OK;
}

HRESULT D3D9Device::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
  if (Sampler >= D3DMAXSAMPLERS || (DWORD)Type >= D3DSAMP_COUNT || !pValue) return D3DERR_INVALIDCALL;
  *pValue = state_.samplerStates[Sampler][Type];
  return D3D_OK;
}

HRESULT D3D9Device::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
  if (Sampler >= D3DMAXSAMPLERS || (DWORD)Type >= D3DSAMP_COUNT) return D3DERR_INVALIDCALL;
  state_.samplerStates[Sampler][Type] = Value;
  Changed(D3D9_STATE_SAMPLER, Sampler, (DWORD)Type, Value);
  return D3D_OK;
}

// Accepts any arrangement the capabilities allow, in one pass.
HRESULT D3D9Device::ValidateDevice(DWORD* pNumPasses) {
  if (!pNumPasses) return D3DERR_INVALIDCALL;
  *pNumPasses = 0;
  for (DWORD stage = 0; stage < D3DMAXTEXTURESTAGES; ++stage) {
    DWORD colorOp = state_.textureStageStates[stage][D3DTSS_COLOROP];
    if (colorOp == D3DTOP_DISABLE) break;
    if (stage >= caps_.MaxTextureBlendStages) return D3DERR_TOOMANYOPERATIONS;
    if (colorOp < 1 || colorOp > 26 || !(caps_.TextureOpCaps & (1u << (colorOp - 1)))) {
      return D3DERR_UNSUPPORTEDCOLOROPERATION;
    }
    DWORD alphaOp = state_.textureStageStates[stage][D3DTSS_ALPHAOP];
    if (alphaOp < 1 || alphaOp > 26 || !(caps_.TextureOpCaps & (1u << (alphaOp - 1)))) {
      return D3DERR_UNSUPPORTEDALPHAOPERATION;
    }
  }
  *pNumPasses = 1;
  return D3D_OK;
}

HRESULT D3D9Device::SetPaletteEntries(UINT PaletteNumber, const PALETTEENTRY* pEntries) {
  if (PaletteNumber >= D3D9_MAX_PALETTES || !pEntries) return D3DERR_INVALIDCALL;
  if (PaletteNumber >= state_.palettes.size()) state_.palettes.resize(PaletteNumber + 1);
  state_.palettes[PaletteNumber].assign(pEntries, pEntries + 256);
  Changed(D3D9_STATE_PALETTE, PaletteNumber, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY* pEntries) {
  if (PaletteNumber >= state_.palettes.size() || state_.palettes[PaletteNumber].empty() || !pEntries) {
    return D3DERR_INVALIDCALL;
  }
  std::copy(state_.palettes[PaletteNumber].begin(), state_.palettes[PaletteNumber].end(), pEntries);
  return D3D_OK;
}

HRESULT D3D9Device::SetCurrentTexturePalette(UINT PaletteNumber) {
  if (PaletteNumber >= state_.palettes.size() || state_.palettes[PaletteNumber].empty()) return D3DERR_INVALIDCALL;
  state_.currentPalette = PaletteNumber;
  Changed(D3D9_STATE_CURRENTPALETTE, 0, 0, PaletteNumber);
  return D3D_OK;
}

HRESULT D3D9Device::GetCurrentTexturePalette(UINT* PaletteNumber) {
  if (!PaletteNumber) return D3DERR_INVALIDCALL;
  *PaletteNumber = state_.currentPalette;
  return D3D_OK;
}

HRESULT D3D9Device::SetScissorRect(const RECT* pRect) {
  if (!pRect || pRect->left > pRect->right || pRect->top > pRect->bottom) return D3DERR_INVALIDCALL;
  state_.scissor = *pRect;
  Changed(D3D9_STATE_SCISSOR, 0, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetScissorRect(RECT* pRect) {
  if (!pRect) return D3DERR_INVALIDCALL;
  *pRect = state_.scissor;
  return D3D_OK;
}

HRESULT D3D9Device::SetSoftwareVertexProcessing(BOOL bSoftware) {
  if (!(behavior_ & D3DCREATE_MIXED_VERTEXPROCESSING)) return D3DERR_INVALIDCALL;
  state_.softwareVertexProcessing = bSoftware ? TRUE : FALSE;
  return D3D_OK;
}

// ---------------------------------------------------------------- drawing

HRESULT D3D9Device::CheckDrawTarget() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  if (!state_.renderTargets[0]) return D3DERR_INVALIDCALL;
  if (!state_.vertexShader && state_.fvf == 0 && !state_.declaration) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT D3D9Device::CheckIndexedRange(UINT startIndex, UINT indexCount) {
  const D3D9BufferData* ib = state_.indices;
  if (!ib) return D3DERR_INVALIDCALL;
  UINT size = ib->format == D3DFMT_INDEX32 ? 4 : 2;
  if ((uint64_t)startIndex + indexCount > ib->size / size) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT D3D9Device::SubmitDraw(const D3D9DrawCall& draw) { return backend_->Draw(state_, draw); }

HRESULT D3D9Device::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
  if (PrimitiveCount == 0) return D3D_OK;  // sent by the 2D path with nothing to draw
  UINT vertices = D3D9PrimitiveVertexCount(PrimitiveType, PrimitiveCount);
  if (vertices == 0) return D3DERR_INVALIDCALL;
  HRESULT hr = CheckDrawTarget();
  if (FAILED(hr)) return hr;
  if (!state_.streams[0].buffer) return D3DERR_INVALIDCALL;
  D3D9DrawCall draw;
  draw.type = PrimitiveType;
  draw.primitiveCount = PrimitiveCount;
  draw.vertexCount = vertices;
  draw.startVertex = StartVertex;
  return SubmitDraw(draw);
}

HRESULT D3D9Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                         UINT NumVertices, UINT startIndex, UINT primCount) {
  if (primCount == 0) return D3D_OK;
  UINT indices = D3D9PrimitiveVertexCount(PrimitiveType, primCount);
  if (indices == 0) return D3DERR_INVALIDCALL;
  HRESULT hr = CheckDrawTarget();
  if (FAILED(hr)) return hr;
  if (!state_.streams[0].buffer) return D3DERR_INVALIDCALL;
  hr = CheckIndexedRange(startIndex, indices);
  if (FAILED(hr)) return hr;
  D3D9DrawCall draw;
  draw.type = PrimitiveType;
  draw.primitiveCount = primCount;
  draw.vertexCount = indices;
  draw.indexed = true;
  draw.baseVertexIndex = BaseVertexIndex;
  draw.minIndex = MinVertexIndex;
  draw.numVertices = NumVertices;
  draw.startIndex = startIndex;
  return SubmitDraw(draw);
}

// *UP draws leave stream 0 and the indices unbound, as the interface defines.
static void UnbindForUserDraw(D3D9State* state, D3D9VertexBuffer** stream0, D3D9IndexBuffer** indices) {
  D3D9Rebind<D3D9VertexBuffer>(*stream0, nullptr);
  D3D9Rebind<D3D9IndexBuffer>(*indices, nullptr);
  state->streams[0] = D3D9StreamBinding();
  state->indices = nullptr;
}

HRESULT D3D9Device::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                    const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
  if (PrimitiveCount == 0) return D3D_OK;
  UINT vertices = D3D9PrimitiveVertexCount(PrimitiveType, PrimitiveCount);
  if (vertices == 0) return D3DERR_INVALIDCALL;
  if (!pVertexStreamZeroData || VertexStreamZeroStride == 0) return D3DERR_INVALIDCALL;
  HRESULT hr = CheckDrawTarget();
  if (FAILED(hr)) return hr;
  UnbindForUserDraw(&state_, &streamObjects_[0], &indexObject_);
  Changed(D3D9_STATE_STREAM, 0, 0, 0);
  Changed(D3D9_STATE_INDICES, 0, 0, 0);
  D3D9DrawCall draw;
  draw.type = PrimitiveType;
  draw.primitiveCount = PrimitiveCount;
  draw.vertexCount = vertices;
  draw.userVertices = pVertexStreamZeroData;
  draw.userStride = VertexStreamZeroStride;
  return SubmitDraw(draw);
}

HRESULT D3D9Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                           UINT PrimitiveCount, const void* pIndexData, D3DFORMAT IndexDataFormat,
                                           const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
  if (PrimitiveCount == 0) return D3D_OK;
  UINT indices = D3D9PrimitiveVertexCount(PrimitiveType, PrimitiveCount);
  if (indices == 0) return D3DERR_INVALIDCALL;
  if (!pIndexData || !pVertexStreamZeroData || VertexStreamZeroStride == 0) return D3DERR_INVALIDCALL;
  if (IndexDataFormat != D3DFMT_INDEX16 && IndexDataFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
  HRESULT hr = CheckDrawTarget();
  if (FAILED(hr)) return hr;
  UnbindForUserDraw(&state_, &streamObjects_[0], &indexObject_);
  Changed(D3D9_STATE_STREAM, 0, 0, 0);
  Changed(D3D9_STATE_INDICES, 0, 0, 0);
  // Every index must name one of the NumVertices vertices the caller passed.
  for (UINT i = 0; i < indices; ++i) {
    UINT index;
    if (IndexDataFormat == D3DFMT_INDEX16) {
      WORD w;
      std::memcpy(&w, (const BYTE*)pIndexData + i * 2, 2);
      index = w;
    } else {
      std::memcpy(&index, (const BYTE*)pIndexData + i * 4, 4);
    }
    if (index < MinVertexIndex || index >= MinVertexIndex + NumVertices) return D3DERR_INVALIDCALL;
  }
  D3D9DrawCall draw;
  draw.type = PrimitiveType;
  draw.primitiveCount = PrimitiveCount;
  draw.vertexCount = indices;
  draw.indexed = true;
  draw.minIndex = MinVertexIndex;
  draw.numVertices = NumVertices;
  draw.userVertices = pVertexStreamZeroData;
  draw.userStride = VertexStreamZeroStride;
  draw.userIndices = pIndexData;
  draw.userIndexFormat = IndexDataFormat;
  return SubmitDraw(draw);
}

// ---------------------------------------------------------------- vertex input and shaders

HRESULT D3D9Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                            IDirect3DVertexDeclaration9** ppDecl) {
  if (!ppDecl) return D3DERR_INVALIDCALL;
  *ppDecl = nullptr;
  if (!pVertexElements) return D3DERR_INVALIDCALL;
  D3D9DeclarationData* data = new D3D9DeclarationData();
  for (UINT i = 0;; ++i) {
    const D3DVERTEXELEMENT9& e = pVertexElements[i];
    if (e.Stream == 0xFF) break;
    if (i >= MAXD3DDECLLENGTH || e.Stream >= D3D9_MAX_STREAMS || e.Type >= D3DDECLTYPE_UNUSED ||
        e.Usage > D3DDECLUSAGE_SAMPLE || (e.Offset & 3)) {
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

HRESULT D3D9Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) {
  D3D9VertexDeclaration* decl = static_cast<D3D9VertexDeclaration*>(pDecl);
  D3D9Rebind<D3D9VertexDeclaration>(declObject_, decl);
  state_.declaration = decl ? decl->data : nullptr;
  if (decl) state_.fvf = 0;  // a declaration and an FVF exclude each other
  Changed(D3D9_STATE_DECLARATION, 0, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) {
  if (!ppDecl) return D3DERR_INVALIDCALL;
  *ppDecl = declObject_;
  if (declObject_) declObject_->AddRef();
  return D3D_OK;
}

HRESULT D3D9Device::SetFVF(DWORD FVF) {
  if (FVF != 0) {
    D3D9Rebind<D3D9VertexDeclaration>(declObject_, nullptr);
    state_.declaration = nullptr;
  }
  state_.fvf = FVF;
  Changed(D3D9_STATE_FVF, 0, 0, FVF);
  return D3D_OK;
}

HRESULT D3D9Device::GetFVF(DWORD* pFVF) {
  if (!pFVF) return D3DERR_INVALIDCALL;
  *pFVF = state_.fvf;
  return D3D_OK;
}

// Copies a shader token stream up to and including its end token.
static bool ReadTokens(const DWORD* function, bool pixel, std::vector<DWORD>* tokens) {
  DWORD version = function[0];
  DWORD expected = pixel ? 0xFFFF0000u : 0xFFFE0000u;
  if ((version & 0xFFFF0000u) != expected) return false;
  for (size_t i = 0; i < (1u << 20); ++i) {
    tokens->push_back(function[i]);
    if (function[i] == 0x0000FFFFu) return true;
  }
  return false;
}

// The shader's token stream, made known to the back end.
static HRESULT NewShaderData(D3D9Backend* backend, const DWORD* function, bool pixel, D3D9ShaderData** out) {
  *out = nullptr;
  if (!function) return D3DERR_INVALIDCALL;
  D3D9ShaderData* data = new D3D9ShaderData();
  data->pixel = pixel;
  if (!ReadTokens(function, pixel, &data->tokens)) {
    delete data;
    return D3DERR_INVALIDCALL;
  }
  HRESULT hr = backend->CreateShader(data);
  if (FAILED(hr)) {
    delete data;
    return hr;
  }
  *out = data;
  return D3D_OK;
}

HRESULT D3D9Device::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) {
  if (!ppShader) return D3DERR_INVALIDCALL;
  *ppShader = nullptr;
  D3D9ShaderData* data = nullptr;
  HRESULT hr = NewShaderData(backend_, pFunction, false, &data);
  if (SUCCEEDED(hr)) *ppShader = new D3D9VertexShader(this, data);
  return hr;
}

HRESULT D3D9Device::SetVertexShader(IDirect3DVertexShader9* pShader) {
  D3D9VertexShader* shader = static_cast<D3D9VertexShader*>(pShader);
  D3D9Rebind<D3D9VertexShader>(vsObject_, shader);
  state_.vertexShader = shader ? shader->data : nullptr;
  Changed(D3D9_STATE_VERTEXSHADER, 0, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetVertexShader(IDirect3DVertexShader9** ppShader) {
  if (!ppShader) return D3DERR_INVALIDCALL;
  *ppShader = vsObject_;
  if (vsObject_) vsObject_->AddRef();
  return D3D_OK;
}

HRESULT D3D9Device::SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) {
  if (!pConstantData || (uint64_t)StartRegister + Vector4fCount > D3D9_MAX_VS_CONSTANTS) return D3DERR_INVALIDCALL;
  std::memcpy(state_.vsConstants[StartRegister], pConstantData, sizeof(float) * 4 * Vector4fCount);
  Changed(D3D9_STATE_VSCONSTANT, StartRegister, Vector4fCount, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) {
  if (!pConstantData || (uint64_t)StartRegister + Vector4fCount > D3D9_MAX_VS_CONSTANTS) return D3DERR_INVALIDCALL;
  std::memcpy(pConstantData, state_.vsConstants[StartRegister], sizeof(float) * 4 * Vector4fCount);
  return D3D_OK;
}

HRESULT D3D9Device::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                    UINT Stride) {
  if (StreamNumber >= D3D9_MAX_STREAMS) return D3DERR_INVALIDCALL;
  if (pStreamData && StreamNumber >= caps_.MaxStreams) return D3DERR_INVALIDCALL;
  if (OffsetInBytes != 0 && !(caps_.DevCaps2 & D3DDEVCAPS2_STREAMOFFSET)) return D3DERR_INVALIDCALL;
  if (Stride > caps_.MaxStreamStride) return D3DERR_INVALIDCALL;
  D3D9VertexBuffer* vb = static_cast<D3D9VertexBuffer*>(pStreamData);
  if (vb && OffsetInBytes > vb->core.data->size) return D3DERR_INVALIDCALL;
  D3D9Rebind<D3D9VertexBuffer>(streamObjects_[StreamNumber], vb);
  state_.streams[StreamNumber].buffer = vb ? vb->core.data : nullptr;
  state_.streams[StreamNumber].offset = OffsetInBytes;
  state_.streams[StreamNumber].stride = Stride;
  Changed(D3D9_STATE_STREAM, StreamNumber, OffsetInBytes, Stride);
  return D3D_OK;
}

HRESULT D3D9Device::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                                    UINT* pStride) {
  if (StreamNumber >= D3D9_MAX_STREAMS || !ppStreamData || !pOffsetInBytes || !pStride) return D3DERR_INVALIDCALL;
  *ppStreamData = streamObjects_[StreamNumber];
  if (*ppStreamData) (*ppStreamData)->AddRef();
  *pOffsetInBytes = state_.streams[StreamNumber].offset;
  *pStride = state_.streams[StreamNumber].stride;
  return D3D_OK;
}

HRESULT D3D9Device::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
  D3D9IndexBuffer* ib = static_cast<D3D9IndexBuffer*>(pIndexData);
  D3D9Rebind<D3D9IndexBuffer>(indexObject_, ib);
  state_.indices = ib ? ib->core.data : nullptr;
  Changed(D3D9_STATE_INDICES, 0, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetIndices(IDirect3DIndexBuffer9** ppIndexData) {
  if (!ppIndexData) return D3DERR_INVALIDCALL;
  *ppIndexData = indexObject_;
  if (indexObject_) indexObject_->AddRef();
  return D3D_OK;
}

HRESULT D3D9Device::CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) {
  if (!ppShader) return D3DERR_INVALIDCALL;
  *ppShader = nullptr;
  D3D9ShaderData* data = nullptr;
  HRESULT hr = NewShaderData(backend_, pFunction, true, &data);
  if (SUCCEEDED(hr)) *ppShader = new D3D9PixelShader(this, data);
  return hr;
}

HRESULT D3D9Device::SetPixelShader(IDirect3DPixelShader9* pShader) {
  D3D9PixelShader* shader = static_cast<D3D9PixelShader*>(pShader);
  D3D9Rebind<D3D9PixelShader>(psObject_, shader);
  state_.pixelShader = shader ? shader->data : nullptr;
  Changed(D3D9_STATE_PIXELSHADER, 0, 0, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetPixelShader(IDirect3DPixelShader9** ppShader) {
  if (!ppShader) return D3DERR_INVALIDCALL;
  *ppShader = psObject_;
  if (psObject_) psObject_->AddRef();
  return D3D_OK;
}

HRESULT D3D9Device::SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) {
  if (!pConstantData || (uint64_t)StartRegister + Vector4fCount > D3D9_MAX_PS_CONSTANTS) return D3DERR_INVALIDCALL;
  std::memcpy(state_.psConstants[StartRegister], pConstantData, sizeof(float) * 4 * Vector4fCount);
  Changed(D3D9_STATE_PSCONSTANT, StartRegister, Vector4fCount, 0);
  return D3D_OK;
}

HRESULT D3D9Device::GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) {
  if (!pConstantData || (uint64_t)StartRegister + Vector4fCount > D3D9_MAX_PS_CONSTANTS) return D3DERR_INVALIDCALL;
  std::memcpy(pConstantData, state_.psConstants[StartRegister], sizeof(float) * 4 * Vector4fCount);
  return D3D_OK;
}
