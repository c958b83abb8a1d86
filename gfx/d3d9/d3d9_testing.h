// Test helpers of the Direct3D 9 driver: a test window, the engine on the driver, an adapter with chosen modes.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/core/engine.h"
#include "gfx/core/engine_testing.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/testsupport/demo_scene.h"

// A top-level window of the given client size; the class is registered once.
inline HWND GxD3D9TestWindow(int width, int height)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "GxD3D9TestWindow";
        registered = RegisterClassA(&wc) != 0;
    }
    RECT rect = {0, 0, width, height};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    return CreateWindowExA(0, "GxD3D9TestWindow", "test", WS_OVERLAPPEDWINDOW, 0, 0, rect.right - rect.left,
                           rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
}

// Picks a back end for Direct3DCreate9 made by the driver from now on.
inline void GxD3D9TestUseBackend(const char* name)
{
    setenv("MALL_D3D9_BACKEND", name, 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
}

// Init and open on the driver; true when the engine is opened.
inline bool GxD3D9TestEngineOpen(HWND* window)
{
    GxEngineSetDriver(GxD3D9GetDriver());
    return GxEngineInit(nullptr, 0, 0x400000) && GxEngineOpen(window);
}

// Stops, closes and terminates whatever state the engine is in; later tests choose their own back end.
inline void GxD3D9TestEngineShutdown(void)
{
    unsetenv("MALL_D3D9_BACKEND");
    GxTestEngineShutdown();
}

// An adapter that answers the mode and identifier queries from its own lists and
// forwards everything else to the real one; it owns the real one's reference.
struct GxD3D9TestAdapter : IDirect3D9 {
    IDirect3D9* inner = nullptr;
    std::vector<D3DDISPLAYMODE> modes;
    D3DDISPLAYMODE desktop = {1024, 768, 60, D3DFMT_X8R8G8B8};
    std::string description = "test adapter";
    UINT adapters = 1;
    ULONG refs = 1;

    ULONG AddRef() override { return ++refs; }
    ULONG Release() override
    {
        if (--refs == 0 && inner) {
            inner->Release();
            inner = nullptr;
        }
        return refs;
    }
    UINT GetAdapterCount() override { return adapters; }
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* id) override
    {
        if (adapter >= adapters || FAILED(inner->GetAdapterIdentifier(0, flags, id))) {
            return D3DERR_INVALIDCALL;
        }
        memset(id->Description, 0, sizeof(id->Description));
        strncpy(id->Description, description.c_str(), sizeof(id->Description) - 1);
        return D3D_OK;
    }
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override
    {
        D3DDISPLAYMODE mode;
        UINT n = 0;
        while (SUCCEEDED(EnumAdapterModes(adapter, format, n, &mode))) {
            n++;
        }
        return n;
    }
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT index, D3DDISPLAYMODE* out) override
    {
        for (const D3DDISPLAYMODE& m : modes) {
            if (adapter < adapters && m.Format == format && index-- == 0) {
                *out = m;
                return D3D_OK;
            }
        }
        return D3DERR_INVALIDCALL;
    }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* out) override
    {
        *out = desktop;
        return adapter < adapters ? D3D_OK : D3DERR_INVALIDCALL;
    }
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE t, D3DCAPS9* caps) override
    {
        return adapter < adapters ? inner->GetDeviceCaps(0, t, caps) : D3DERR_INVALIDCALL;
    }
    HRESULT CheckDeviceType(UINT, D3DDEVTYPE t, D3DFORMAT a, D3DFORMAT b, BOOL w) override
    {
        return inner->CheckDeviceType(0, t, a, b, w);
    }
    HRESULT CheckDeviceFormat(UINT, D3DDEVTYPE t, D3DFORMAT a, DWORD u, D3DRESOURCETYPE r, D3DFORMAT c) override
    {
        return inner->CheckDeviceFormat(0, t, a, u, r, c);
    }
    HRESULT CheckDeviceMultiSampleType(UINT, D3DDEVTYPE t, D3DFORMAT f, BOOL w, D3DMULTISAMPLE_TYPE m,
                                       DWORD* q) override
    {
        return inner->CheckDeviceMultiSampleType(0, t, f, w, m, q);
    }
    HRESULT CheckDepthStencilMatch(UINT, D3DDEVTYPE t, D3DFORMAT a, D3DFORMAT r, D3DFORMAT d) override
    {
        return inner->CheckDepthStencilMatch(0, t, a, r, d);
    }
    HRESULT CheckDeviceFormatConversion(UINT, D3DDEVTYPE t, D3DFORMAT s, D3DFORMAT d) override
    {
        return inner->CheckDeviceFormatConversion(0, t, s, d);
    }
    HRESULT CreateDevice(UINT, D3DDEVTYPE t, HWND w, DWORD f, D3DPRESENT_PARAMETERS* p, IDirect3DDevice9** d) override
    {
        return inner->CreateDevice(0, t, w, f, p, d);
    }
};

// Puts the test adapter in place of the opened driver's Direct3D object and rereads the modes.
inline void GxD3D9TestInstallAdapter(GxD3D9TestAdapter* adapter)
{
    adapter->inner = gxD3D9State.d3d;
    gxD3D9State.d3d = adapter;
    GxEngineSetSubSystem(0);
}
