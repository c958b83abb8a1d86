// Device request handler of the Direct3D 9 driver: adapters, video modes, present parameters, start and stop.
#include <cstring>

#include "gfx/core/matrix.h"
#include "gfx/core/memory.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/im3d.h"

namespace {

GxD3D9State InitialState()
{
    GxD3D9State state = {};
    state.refreshRateCap = 0xFFFFFFFFu;  // no cap until the application asks for one
    return state;
}

}  // namespace

GxD3D9State gxD3D9State = InitialState();

namespace {

constexpr GxUInt32 modeListHint = 0x1040411;
// The one adapter whose reported stream-offset capability the device does not trust: the vendor and device ids
// its identifier gives.
constexpr GxUInt32 noStreamOffsetVendorId = 0x1002;
constexpr GxUInt32 noStreamOffsetDeviceId = 0x5157;

// The formats whose modes the list offers, in listing order.
const D3DFORMAT listedFormats[] = {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, D3DFMT_A2R10G10B10};

GxDevice deviceRecord = {
    1.0f,
    GxD3D9SystemHandler,
    0.0f,
    1.0f,
    GxD3D9RenderStateSet,
    GxD3D9RenderStateGet,
    GxD3D9Im2DRenderLine,
    GxD3D9Im2DRenderTriangle,
    GxD3D9Im2DRenderPrimitive,
    GxD3D9Im2DRenderIndexedPrimitive,
    {nullptr, nullptr, nullptr, nullptr},
};

// The driver's own engine modules, in the order they register at the driver's slot of the module order.
const GxCoreModule* const driverModules[] = {&gxIm3DModule};

GxBool RegisterDriverModules(void)
{
    for (const GxCoreModule* module : driverModules) {
        if (!GxEngineRegisterModule(module)) {
            return 0;
        }
    }
    return 1;
}

GxBool RasterExtensionRegister(void) { return GxD3D9AttachRasterPlugin(); }

const GxDriver d3d9Driver = {GxD3D9GetDevice, RasterExtensionRegister, RegisterDriverModules};

GxD3D9State& S() { return gxD3D9State; }

bool IsListableFormat(GxUInt32 format) { return GxD3D9FormatDepth(format) != 0; }

void FreeModeList()
{
    if (S().modes) {
        GxFree(S().modes);
    }
    S().modes = nullptr;
    S().numModes = 0;
}

GxUInt32 CountAdapterModes(GxUInt32 adapter)
{
    GxUInt32 total = 0;
    for (D3DFORMAT format : listedFormats) {
        total += S().d3d->GetAdapterModeCount(adapter, format);
    }
    return total;
}

GxD3D9DisplayMode FromD3D(const D3DDISPLAYMODE& mode, GxUInt32 flags)
{
    return GxD3D9DisplayMode{mode.Width, mode.Height, mode.RefreshRate, static_cast<GxUInt32>(mode.Format), flags};
}

// Reads the adapter's desktop mode into the current mode's size, rate and format.
void ReadDesktopIntoCurrentMode(void)
{
    D3DDISPLAYMODE desktop = {};
    S().d3d->GetAdapterDisplayMode(S().adapter, &desktop);
    S().currentMode.width = desktop.Width;
    S().currentMode.height = desktop.Height;
    S().currentMode.refreshRate = desktop.RefreshRate;
    S().currentMode.format = static_cast<GxUInt32>(desktop.Format);
}

// Appends a full-screen mode unless one of that size and format is listed;
// a duplicate only raises the listed entry's refresh rate.
void AddFullScreenMode(const D3DDISPLAYMODE& mode, GxInt32 firstCompared, GxInt32 capacity)
{
    for (GxInt32 i = firstCompared; i < S().numModes; i++) {
        GxD3D9DisplayMode& have = S().modes[i];
        if (have.width == mode.Width && have.height == mode.Height &&
            have.format == static_cast<GxUInt32>(mode.Format)) {
            if (mode.RefreshRate > have.refreshRate) {
                have.refreshRate = mode.RefreshRate;
            }
            return;
        }
    }
    if (S().numModes >= capacity) {
        return;
    }
    S().modes[S().numModes++] = FromD3D(mode, gxD3D9MODEFULLSCREEN);
}

// The best rate at or below the cap that the adapter offers for this size and format; 0 when none.
GxUInt32 BestRateAtOrBelow(GxUInt32 width, GxUInt32 height, GxUInt32 format, GxUInt32 cap)
{
    GxUInt32 best = 0;
    const D3DFORMAT d3dFormat = static_cast<D3DFORMAT>(format);
    const UINT count = S().d3d->GetAdapterModeCount(S().adapter, d3dFormat);
    for (UINT i = 0; i < count; i++) {
        D3DDISPLAYMODE mode = {};
        if (FAILED(S().d3d->EnumAdapterModes(S().adapter, d3dFormat, i, &mode))) {
            continue;
        }
        if (mode.Width == width && mode.Height == height && mode.RefreshRate <= cap && mode.RefreshRate > best) {
            best = mode.RefreshRate;
        }
    }
    return best;
}

GxBool DepthFormatAccepted(D3DFORMAT display, D3DFORMAT backBuffer, D3DFORMAT candidate)
{
    IDirect3D9* d3d = S().d3d;
    return SUCCEEDED(d3d->CheckDeviceFormat(S().adapter, D3DDEVTYPE_HAL, display, D3DUSAGE_DEPTHSTENCIL,
                                            D3DRTYPE_SURFACE, candidate)) &&
           SUCCEEDED(d3d->CheckDepthStencilMatch(S().adapter, D3DDEVTYPE_HAL, display, backBuffer, candidate));
}

// Picks the depth-stencil format for the back buffer; a 32-bit buffer without
// a 32-bit depth format falls back to the 16-bit rule and counts as 16 bits.
void ChooseDepthStencilFormat(D3DFORMAT display, D3DFORMAT backBuffer)
{
    struct Candidate {
        D3DFORMAT format;
        GxBool stencil;
    };
    static const Candidate deep[] = {{D3DFMT_D24S8, 1}, {D3DFMT_D24X4S4, 1}, {D3DFMT_D32, 0}, {D3DFMT_D24X8, 0}};
    D3DPRESENT_PARAMETERS& pp = S().present;
    if (S().backBufferDepth != 16) {
        for (const Candidate& c : deep) {
            if (DepthFormatAccepted(display, backBuffer, c.format)) {
                pp.AutoDepthStencilFormat = c.format;
                S().stencilAvailable = c.stencil;
                S().depthStencilFormat = c.format;
                return;
            }
        }
        if (S().backBufferDepth == 32) {
            S().backBufferDepth = 16;
        }
    }
    const GxBool withStencil = DepthFormatAccepted(display, backBuffer, D3DFMT_D15S1);
    pp.AutoDepthStencilFormat = withStencil ? D3DFMT_D15S1 : D3DFMT_D16;
    S().stencilAvailable = withStencil;
    S().depthStencilFormat = pp.AutoDepthStencilFormat;
}

GxBool SystemOpen(void* params)
{
    if (!params) {
        return 0;
    }
    S().window = *static_cast<HWND*>(params);
    S().d3d = Direct3DCreate9(31);
    if (!S().d3d) {
        return 0;
    }
    const UINT adapters = S().d3d->GetAdapterCount();
    GxBool found = 0;
    for (UINT i = 0; i < adapters && !found; i++) {
        if (SUCCEEDED(S().d3d->GetDeviceCaps(i, D3DDEVTYPE_HAL, &S().caps))) {
            S().adapter = i;
            found = 1;
        }
    }
    if (!found) {
        S().d3d->Release();
        S().d3d = nullptr;
        return 0;
    }
    S().totalAdapterModes = CountAdapterModes(S().adapter);
    ReadDesktopIntoCurrentMode();
    S().currentDepth = GxD3D9FormatDepth(S().currentMode.format);
    S().currentMode.flags = 0;
    S().currentModeIndex = 0;
    GxCPUDetectFeatures();
    return 1;
}

GxBool SystemClose(void)
{
    FreeModeList();
    if (S().d3d) {
        S().d3d->Release();
        S().d3d = nullptr;
    }
    return 1;
}

GxBool EnsureModeList(void) { return S().modes ? 1 : GxD3D9CreateDisplayModesList(); }

GxBool GetModeInfo(GxVideoMode* out, GxInt32 index)
{
    if (!out || !S().d3d || !EnsureModeList() || index < 0 || index >= S().numModes) {
        return 0;
    }
    const GxD3D9DisplayMode& mode = S().modes[index];
    out->width = static_cast<GxInt32>(mode.width);
    out->height = static_cast<GxInt32>(mode.height);
    out->depth = GxD3D9FormatDepth(mode.format);
    out->flags = static_cast<GxInt32>(mode.flags);
    out->refRate = static_cast<GxInt32>(mode.refreshRate);
    out->format = GxD3D9FormatRasterFormat(mode.format);
    return 1;
}

GxBool UseMode(GxInt32 index)
{
    if (S().started || index < 0 || index >= S().numModes) {
        return 0;
    }
    S().currentMode = S().modes[index];
    S().currentDepth = GxD3D9FormatDepth(S().currentMode.format);
    S().currentModeIndex = index;
    return 1;
}

GxBool Focus(GxBool gained)
{
    if (!S().device) {
        return 0;
    }
    if (S().present.Windowed) {
        return 1;
    }
    ShowWindow(S().window, gained ? SW_RESTORE : SW_HIDE);
    return 1;
}

GxBool SubSystemInfo(GxSubSystemInfo* out, GxInt32 index)
{
    if (!out || !S().d3d || index < 0 || static_cast<UINT>(index) >= S().d3d->GetAdapterCount()) {
        return 0;
    }
    D3DADAPTER_IDENTIFIER9 id = {};
    S().d3d->GetAdapterIdentifier(static_cast<UINT>(index), 0, &id);
    // The description may be far longer than the caller's name.
    const size_t room = sizeof(out->name);
    const size_t length = strnlen(id.Description, sizeof(id.Description));
    const size_t copied = length < room ? length : room - 1;
    memcpy(out->name, id.Description, copied);
    out->name[copied] = '\0';
    return 1;
}

GxBool SetSubSystem(GxInt32 index)
{
    // An adapter the machine does not have is refused rather than selected.
    if (!S().d3d || index < 0 || static_cast<UINT>(index) >= S().d3d->GetAdapterCount()) {
        return 0;
    }
    S().adapter = static_cast<GxUInt32>(index);
    S().totalAdapterModes = CountAdapterModes(S().adapter);
    ReadDesktopIntoCurrentMode();
    GxD3D9CreateDisplayModesList();
    return 1;
}

// Vertex processing by what the hardware offers.
DWORD BehaviourFlags(const D3DCAPS9& caps)
{
    if (!(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)) {
        return D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    }
    DWORD flags = D3DCREATE_HARDWARE_VERTEXPROCESSING;
    if (caps.DevCaps & D3DDEVCAPS_PUREDEVICE) {
        flags |= D3DCREATE_PUREDEVICE;
    }
    return flags;
}

GxBool SystemStart(void)
{
    if (!S().d3d) {
        return 0;
    }
    D3DDISPLAYMODE desktop = {};
    S().d3d->GetAdapterDisplayMode(S().adapter, &desktop);
    memset(&S().present, 0, sizeof(S().present));
    if (!GxD3D9SetPresentParameters(&S().currentMode, S().currentMode.flags, desktop.Format)) {
        return 0;
    }
    S().present.hDeviceWindow = S().window;
    S().present.Flags = 0;

    S().d3d->GetDeviceCaps(S().adapter, D3DDEVTYPE_HAL, &S().caps);
    D3DADAPTER_IDENTIFIER9 id = {};
    if (SUCCEEDED(S().d3d->GetAdapterIdentifier(S().adapter, 0, &id)) && id.VendorId == noStreamOffsetVendorId &&
        id.DeviceId == noStreamOffsetDeviceId) {
        S().caps.DevCaps2 &= ~static_cast<DWORD>(D3DDEVCAPS2_STREAMOFFSET);
    }
    IDirect3DDevice9* device = nullptr;
    if (FAILED(S().d3d->CreateDevice(S().adapter, D3DDEVTYPE_HAL, S().window, BehaviourFlags(S().caps), &S().present,
                                     &device)) ||
        !device) {
        S().started = 0;
        return 0;
    }
    S().device = device;
    RECT client = {};
    if (S().window && GetClientRect(S().window, &client)) {
        S().currentMode.width = static_cast<GxUInt32>(client.right);
        S().currentMode.height = static_cast<GxUInt32>(client.bottom);
    }
    GxD3D9FetchDefaultSurfaces();
    S().inScene = 0;
    S().currentCamera = nullptr;
    S().copyToTexture = 0;

    GxD3D9ForgetRenderTargets();
    GxD3D9ResetDeviceCaches();
    GxD3D9ClearTransformCache();
    GxD3D9LightTableEmpty();

    GxD3D9RasterListOpen();
    GxD3D9Im2DOpen();
    GxD3D9RenderStateReset();
    GxD3D9VertexBufferManagerOpen();
    S().started = 1;
    return 1;
}

}  // namespace

GxDevice* GxD3D9GetDevice(void) { return &deviceRecord; }

const GxDriver* GxD3D9GetDriver(void) { return &d3d9Driver; }

GxBool GxD3D9AttachRasterPlugin(void) { return GxD3D9RasterPluginAttach(); }

void GxD3D9UnbindDeviceObjects(IDirect3DDevice9* device)
{
    for (DWORD stage = 0; stage < 8; stage++) {
        device->SetTexture(stage, nullptr);
    }
    device->SetIndices(nullptr);
    for (UINT stream = 0; stream < 4; stream++) {
        device->SetStreamSource(stream, nullptr, 0, 0);
    }
    device->SetPixelShader(nullptr);
    device->SetVertexDeclaration(nullptr);
    device->SetVertexShader(nullptr);
}

GxInt32 GxD3D9FormatDepth(GxUInt32 format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A2R10G10B10:
        return 32;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        return 16;
    default:
        return 0;
    }
}

GxInt32 GxD3D9FormatRasterFormat(GxUInt32 format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A2R10G10B10:
        return 0x500;
    case D3DFMT_X8R8G8B8:
        return 0x600;
    case D3DFMT_R5G6B5:
        return 0x200;
    case D3DFMT_X1R5G5B5:
        return 0xA00;
    case D3DFMT_A1R5G5B5:
        return 0x100;
    default:
        return 0;
    }
}

GxBool GxD3D9CreateDisplayModesList(void)
{
    if (!S().d3d) {
        return 0;
    }
    const GxInt32 capacity = static_cast<GxInt32>(S().totalAdapterModes) + 1;
    const size_t bytes = sizeof(GxD3D9DisplayMode) * static_cast<size_t>(capacity);
    void* block = S().modes ? GxRealloc(S().modes, bytes, modeListHint) : GxMalloc(bytes, modeListHint);
    if (!block) {
        return 0;
    }
    S().modes = static_cast<GxD3D9DisplayMode*>(block);
    S().numModes = 0;

    D3DDISPLAYMODE desktop = {};
    if (SUCCEEDED(S().d3d->GetAdapterDisplayMode(S().adapter, &desktop)) &&
        IsListableFormat(static_cast<GxUInt32>(desktop.Format))) {
        S().modes[S().numModes++] = FromD3D(desktop, 0);
    }
    // Duplicates are looked for from entry 1: entry 0 is the windowed mode, or the first full-screen mode when the
    // desktop's format gives no windowed entry.
    const GxInt32 firstCompared = 1;
    for (D3DFORMAT format : listedFormats) {
        const UINT count = S().d3d->GetAdapterModeCount(S().adapter, format);
        for (UINT i = 0; i < count; i++) {
            D3DDISPLAYMODE mode = {};
            if (SUCCEEDED(S().d3d->EnumAdapterModes(S().adapter, format, i, &mode))) {
                AddFullScreenMode(mode, firstCompared, capacity);
            }
        }
    }
    if (S().numModes > 0 && S().numModes < capacity) {
        void* shrunk =
            GxRealloc(S().modes, sizeof(GxD3D9DisplayMode) * static_cast<size_t>(S().numModes), modeListHint);
        if (shrunk) {
            S().modes = static_cast<GxD3D9DisplayMode*>(shrunk);
        }
    }
    return 1;
}

void GxD3D9SetRefreshRate(GxUInt32 rate) { S().refreshRateCap = rate; }

GxUInt32 GxD3D9RefreshRateFor(const GxD3D9DisplayMode* mode)
{
    if (!mode || !S().d3d || S().refreshRateCap == 0) {
        return 0;
    }
    return BestRateAtOrBelow(mode->width, mode->height, mode->format, S().refreshRateCap);
}

GxBool GxD3D9SetPresentParameters(const GxD3D9DisplayMode* mode, GxUInt32 flags, D3DFORMAT desktopFormat)
{
    if (!mode || !S().d3d) {
        return 0;
    }
    D3DPRESENT_PARAMETERS& pp = S().present;
    D3DFORMAT display;
    pp.BackBufferCount = 1;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (flags & gxD3D9MODEFULLSCREEN) {
        pp.Windowed = FALSE;
        pp.FullScreen_RefreshRateInHz = GxD3D9RefreshRateFor(mode);
        pp.BackBufferWidth = mode->width;
        pp.BackBufferHeight = mode->height;
        pp.SwapEffect = D3DSWAPEFFECT_FLIP;
        display = static_cast<D3DFORMAT>(mode->format);
        pp.BackBufferFormat = display;
    } else {
        pp.Windowed = TRUE;
        pp.FullScreen_RefreshRateInHz = 0;
        pp.SwapEffect = D3DSWAPEFFECT_COPY;
        RECT rect = {};
        if (S().window) {
            GetWindowRect(S().window, &rect);
        }
        pp.BackBufferWidth = rect.right - rect.left == 0 ? 1 : 0;
        pp.BackBufferHeight = rect.bottom - rect.top == 0 ? 1 : 0;
        display = desktopFormat;
        pp.BackBufferFormat = display;
        if (display == D3DFMT_X8R8G8B8 &&
            SUCCEEDED(S().d3d->CheckDeviceType(S().adapter, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, TRUE))) {
            pp.BackBufferFormat = D3DFMT_A8R8G8B8;
        }
    }
    pp.EnableAutoDepthStencil = TRUE;
    S().backBufferDepth = GxD3D9FormatDepth(static_cast<GxUInt32>(pp.BackBufferFormat));
    ChooseDepthStencilFormat(display, pp.BackBufferFormat);
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    pp.MultiSampleQuality = 0;
    return 1;
}

GxBool GxD3D9DeviceSystemStop(void)
{
    S().started = 0;
    FreeModeList();
    GxD3D9CPUBeforeStop();
    GxD3D9TransformCacheDestroy();
    GxD3D9LightTableFree();
    if (S().device) {
        GxD3D9UnbindDeviceObjects(S().device);
    }
    GxD3D9VertexDeclarationCacheRelease();
    GxD3D9RasterListClose();
    GxD3D9VertexBufferManagerClose();
    GxD3D9Im2DClose();
    if (S().device) {
        S().device->Release();
        S().device = nullptr;
    }
    S().defaultRenderTarget = nullptr;
    S().defaultDepthStencil = nullptr;
    S().inScene = 0;
    S().currentCamera = nullptr;
    return 1;
}

GxBool GxD3D9SystemHandler(GxInt32 request, void* out, void* inOut, GxInt32 in)
{
    switch (request) {
    case gxDEVICESYSTEMOPEN:
        return SystemOpen(inOut);
    case gxDEVICESYSTEMCLOSE:
        return SystemClose();
    case gxDEVICESYSTEMSTART:
        return SystemStart();
    case gxDEVICESYSTEMSTOP:
        return GxD3D9DeviceSystemStop();
    case gxDEVICESYSTEMREGISTER:
        if (!out) {
            return 0;
        }
        memcpy(out, &deviceRecord, sizeof(GxDevice));
        return 1;
    case gxDEVICESYSTEMGETNUMMODES:
        if (!out || !S().d3d || !EnsureModeList()) {
            return 0;
        }
        *static_cast<GxInt32*>(out) = S().numModes;
        return 1;
    case gxDEVICESYSTEMGETMODEINFO:
        return GetModeInfo(static_cast<GxVideoMode*>(out), in);
    case gxDEVICESYSTEMUSEMODE:
        return UseMode(in);
    case gxD3D9DEVICESYSTEMFOCUS:
        return Focus(in);
    case gxDEVICESYSTEMGETMODE:
        if (!out) {
            return 0;
        }
        *static_cast<GxInt32*>(out) = S().currentModeIndex;
        return 1;
    case gxDEVICESYSTEMSTANDARDS:
        return GxD3D9SetStandardFunctions(static_cast<GxStandardFunc*>(out), in);
    case gxD3D9DEVICESYSTEMGETTEXMEMSIZE:
        if (!out || !S().device) {
            return 0;
        }
        *static_cast<GxUInt32*>(out) = S().device->GetAvailableTextureMem();
        return 1;
    case gxDEVICESYSTEMGETNUMSUBSYSTEMS:
        if (!out || !S().d3d) {
            return 0;
        }
        *static_cast<GxInt32*>(out) = static_cast<GxInt32>(S().d3d->GetAdapterCount());
        return 1;
    case gxDEVICESYSTEMGETSUBSYSTEMINFO:
        return SubSystemInfo(static_cast<GxSubSystemInfo*>(out), in);
    case gxDEVICESYSTEMGETCURRENTSUBSYSTEM:
        if (!out || !S().d3d) {
            return 0;
        }
        *static_cast<GxInt32*>(out) = static_cast<GxInt32>(S().adapter);
        return 1;
    case gxDEVICESYSTEMSETSUBSYSTEM:
        return SetSubSystem(in);
    case gxDEVICESYSTEMFINALIZESTART:
        GxD3D9CPUAfterStart();
        return 1;
    case gxD3D9DEVICESYSTEMGETMAXTEXTURESIZE: {
        if (!out) {
            return 0;
        }
        const DWORD w = S().caps.MaxTextureWidth;
        const DWORD h = S().caps.MaxTextureHeight;
        *static_cast<GxInt32*>(out) = static_cast<GxInt32>(w > h ? w : h);
        return 1;
    }
    case gxD3D9DEVICESYSTEMGETID:
        if (!out) {
            return 0;
        }
        *static_cast<GxUInt16*>(out) = 2;
        return 1;
    default:
        return 0;
    }
}
