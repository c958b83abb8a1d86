// Presentation parameters the tools, benches and tests open devices with, and the back end under an entry object
// or a device, which the test support's watcher reads; the program links none of this.
#include <cstring>

#include "platform/d3d9/backend.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_local.h"

D3DPRESENT_PARAMETERS D3D9WindowedParameters(UINT width, UINT height, HWND window)
{
    D3DPRESENT_PARAMETERS pp;
    std::memset(&pp, 0, sizeof(pp));
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_COPY;
    pp.hDeviceWindow = window;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return pp;
}

D3D9Backend* D3D9BackendOf(IDirect3D9* d3d) { return d3d ? static_cast<D3D9Direct3D*>(d3d)->Backend() : nullptr; }

D3D9Backend* D3D9BackendOf(IDirect3DDevice9* device)
{
    return device ? static_cast<D3D9Device*>(device)->Backend() : nullptr;
}
