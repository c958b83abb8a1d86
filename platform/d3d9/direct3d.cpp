// The Direct3D 9 entry object: back end choice, adapter, modes, format checks and device creation.
#include "platform/d3d9/d3d9_local.h"
#include "platform/d3d9/gl_backend.h"

#include <cstdlib>
#include <cstring>

// The named back end; by default OpenGL when a context can be had, else the
// software one.
static D3D9Backend* ChooseBackend(const char* name)
{
    if (name && std::strcmp(name, "software") == 0)
        return D3D9CreateSoftBackend();
    if (name && std::strcmp(name, "opengl") == 0)
        return D3D9CreateGLBackend();
    D3D9Backend* gl = D3D9CreateGLBackend();
    return gl ? gl : D3D9CreateSoftBackend();
}

IDirect3D9* Direct3DCreate9(UINT SDKVersion)
{
    if (SDKVersion != 31 && SDKVersion != 32)
        return nullptr;
    return D3D9CreateOnBackend(std::getenv("MALL_D3D9_BACKEND"));
}

IDirect3D9* D3D9CreateOnBackend(const char* name)
{
    D3D9Backend* backend = ChooseBackend(name);
    if (!backend)
        return nullptr;
    return D3D9CreateOnBackend(backend);
}

IDirect3D9* D3D9CreateOnBackend(D3D9Backend* backend) { return new D3D9Direct3D(backend); }

D3D9Direct3D::D3D9Direct3D(D3D9Backend* backend) : backend_(backend) {}

D3D9Direct3D::~D3D9Direct3D() { delete backend_; }

static bool IsDisplayFormat(D3DFORMAT format)
{
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5 ||
           format == D3DFMT_A2R10G10B10;
}

HRESULT D3D9Direct3D::GetAdapterIdentifier(UINT Adapter, DWORD, D3DADAPTER_IDENTIFIER9* pIdentifier)
{
    if (Adapter != 0 || !pIdentifier)
        return D3DERR_INVALIDCALL;
    std::memset(pIdentifier, 0, sizeof(*pIdentifier));
    backend_->GetIdentifier(pIdentifier);
    return D3D_OK;
}

// The fixed modes come first so that saved mode indexes stay valid whatever
// the display adds after them.
const std::vector<D3DDISPLAYMODE>& D3D9Direct3D::Modes()
{
    if (modesListed_)
        return modes_;
    modesListed_ = true;
    static const UINT kFixed[3][2] = {{800, 600}, {1024, 768}, {1280, 1024}};
    for (const UINT* size : kFixed)
        modes_.push_back(D3DDISPLAYMODE{size[0], size[1], 60, D3DFMT_X8R8G8B8});
    std::vector<D3DDISPLAYMODE> extra;
    backend_->AddDisplayModes(&extra);
    for (const D3DDISPLAYMODE& m : extra) {
        if (m.Width == 0 || m.Height == 0 || !IsDisplayFormat(m.Format))
            continue;
        bool seen = false;
        for (const D3DDISPLAYMODE& have : modes_) {
            seen = seen || (have.Width == m.Width && have.Height == m.Height && have.RefreshRate == m.RefreshRate &&
                            have.Format == m.Format);
        }
        if (!seen)
            modes_.push_back(m);
    }
    return modes_;
}

UINT D3D9Direct3D::GetAdapterModeCount(UINT Adapter, D3DFORMAT Format)
{
    if (Adapter != 0)
        return 0;
    UINT count = 0;
    for (const D3DDISPLAYMODE& m : Modes())
        count += m.Format == Format ? 1 : 0;
    return count;
}

HRESULT D3D9Direct3D::EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode)
{
    if (Adapter != 0 || !pMode)
        return D3DERR_INVALIDCALL;
    UINT index = 0;
    for (const D3DDISPLAYMODE& m : Modes()) {
        if (m.Format != Format)
            continue;
        if (index++ == Mode) {
            *pMode = m;
            return D3D_OK;
        }
    }
    return D3DERR_INVALIDCALL;
}

HRESULT D3D9Direct3D::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode)
{
    if (Adapter != 0 || !pMode)
        return D3DERR_INVALIDCALL;
    backend_->GetDesktopMode(pMode);
    return D3D_OK;
}

// The back-buffer formats a display format can show.
static bool BackBufferMatches(D3DFORMAT display, D3DFORMAT backBuffer)
{
    switch (display) {
    case D3DFMT_X8R8G8B8:
        return backBuffer == D3DFMT_X8R8G8B8 || backBuffer == D3DFMT_A8R8G8B8;
    case D3DFMT_R5G6B5:
        return backBuffer == D3DFMT_R5G6B5;
    case D3DFMT_X1R5G5B5:
        return backBuffer == D3DFMT_X1R5G5B5 || backBuffer == D3DFMT_A1R5G5B5;
    case D3DFMT_A2R10G10B10:
        return backBuffer == D3DFMT_A2R10G10B10;
    default:
        return false;
    }
}

HRESULT D3D9Direct3D::CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat,
                                      D3DFORMAT BackBufferFormat, BOOL bWindowed)
{
    if (Adapter != 0)
        return D3DERR_INVALIDCALL;
    if (DevType != D3DDEVTYPE_HAL)
        return D3DERR_NOTAVAILABLE;
    if (!IsDisplayFormat(AdapterFormat))
        return D3DERR_NOTAVAILABLE;
    if (AdapterFormat == D3DFMT_A2R10G10B10 && bWindowed)
        return D3DERR_NOTAVAILABLE;
    if (BackBufferFormat == D3DFMT_UNKNOWN && bWindowed)
        return D3D_OK;
    return BackBufferMatches(AdapterFormat, BackBufferFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT D3D9Direct3D::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                                        D3DRESOURCETYPE RType, D3DFORMAT CheckFormat)
{
    if (Adapter != 0)
        return D3DERR_INVALIDCALL;
    if (DeviceType != D3DDEVTYPE_HAL || !IsDisplayFormat(AdapterFormat))
        return D3DERR_NOTAVAILABLE;
    return backend_->CheckDeviceFormat(AdapterFormat, Usage, RType, CheckFormat);
}

HRESULT D3D9Direct3D::CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT, BOOL,
                                                 D3DMULTISAMPLE_TYPE MultiSampleType, DWORD* pQualityLevels)
{
    if (Adapter != 0)
        return D3DERR_INVALIDCALL;
    if (DeviceType != D3DDEVTYPE_HAL || MultiSampleType != D3DMULTISAMPLE_NONE)
        return D3DERR_NOTAVAILABLE;
    if (pQualityLevels)
        *pQualityLevels = 1;
    return D3D_OK;
}

HRESULT D3D9Direct3D::CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                             D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat)
{
    if (Adapter != 0)
        return D3DERR_INVALIDCALL;
    if (DeviceType != D3DDEVTYPE_HAL || !IsDisplayFormat(AdapterFormat))
        return D3DERR_NOTAVAILABLE;
    if (!D3D9FormatIsDepth(DepthStencilFormat) || D3D9FormatIsDepth(RenderTargetFormat))
        return D3DERR_NOTAVAILABLE;
    if (FAILED(
            backend_->CheckDeviceFormat(AdapterFormat, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, DepthStencilFormat))) {
        return D3DERR_NOTAVAILABLE;
    }
    return D3D_OK;
}

HRESULT D3D9Direct3D::CheckDeviceFormatConversion(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SourceFormat,
                                                  D3DFORMAT TargetFormat)
{
    if (Adapter != 0)
        return D3DERR_INVALIDCALL;
    if (DeviceType != D3DDEVTYPE_HAL)
        return D3DERR_NOTAVAILABLE;
    return SourceFormat == TargetFormat ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT D3D9Direct3D::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps)
{
    if (Adapter != 0 || !pCaps)
        return D3DERR_INVALIDCALL;
    if (DeviceType != D3DDEVTYPE_HAL)
        return D3DERR_NOTAVAILABLE;
    backend_->GetCaps(pCaps);
    return D3D_OK;
}

HRESULT D3D9Direct3D::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                   D3DPRESENT_PARAMETERS* pPresentationParameters,
                                   IDirect3DDevice9** ppReturnedDeviceInterface)
{
    if (!ppReturnedDeviceInterface)
        return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = nullptr;
    if (Adapter != 0 || !pPresentationParameters)
        return D3DERR_INVALIDCALL;
    if (DeviceType != D3DDEVTYPE_HAL)
        return D3DERR_NOTAVAILABLE;
    DWORD processing = BehaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                        D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing == 0 || (processing & (processing - 1)) != 0)
        return D3DERR_INVALIDCALL;
    D3DCAPS9 caps;
    backend_->GetCaps(&caps);
    bool hardwareTL = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
    if (!hardwareTL && (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING || (BehaviorFlags & D3DCREATE_PUREDEVICE))) {
        return D3DERR_INVALIDCALL;
    }
    // One device per back end: the GL back end owns a single context.
    if (deviceOpen)
        return D3DERR_NOTAVAILABLE;
    D3D9Device* device = new D3D9Device(this, hFocusWindow, BehaviorFlags);
    HRESULT hr = device->Open(pPresentationParameters);
    if (FAILED(hr)) {
        device->Release();
        return hr;
    }
    deviceOpen = true;
    *ppReturnedDeviceInterface = device;
    return D3D_OK;
}
