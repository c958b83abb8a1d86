// Fuzz-target support: the engine started on the software Direct3D 9 device, with a Win32 file system;
// inputs are read through GxTestFuzzRead.
#pragma once

#include "gfx/core/fuzz_testing.h"
#include "gfx/core/stream.h"
#include "gfx/d3d9/d3d9_testing.h"

// Init, open and start on the driver; plugins are attached by the callback between init and open.
inline bool GxD3D9FuzzStart(void (*attachPlugins)() = nullptr)
{
    GxD3D9TestUseBackend("software");
    static HWND window = GxD3D9TestWindow(64, 64);
    if (window == nullptr) {
        return false;
    }
    GxEngineSetDriver(GxD3D9GetDriver());
    if (!GxEngineInit(nullptr, 0, 0x400000)) {
        return false;
    }
    if (attachPlugins != nullptr) {
        attachPlugins();
    }
    return GxEngineOpen(&window) && GxEngineStart() && GxTestFileSystemOpen();
}

// Clears the error record a refused input leaves behind.
inline void GxD3D9FuzzClearError(void)
{
    GxError discard;
    GxErrorGet(&discard);
}
