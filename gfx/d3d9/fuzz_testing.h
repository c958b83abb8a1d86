// Fuzz-target support of the driver: the engine on the software device, and each input read through a memory stream.
#pragma once

#include <cstdlib>

#include "gfx/core/stream.h"
#include "gfx/d3d9/d3d9_testing.h"

// Opens and starts the engine on the software device once; a target that can not start aborts.
inline void GxD3D9FuzzStart(void)
{
    GxD3D9TestUseBackend("software");
    static HWND window = GxD3D9TestWindow(64, 64);
    if (window == nullptr || !GxD3D9TestEngineOpen(&window) || !GxEngineStart()) {
        std::abort();
    }
}

// Hands a read stream over the input to `read`, then closes it and clears the error record.
template <typename Read>
void GxD3D9FuzzRead(const uint8_t* data, size_t size, Read read)
{
    GxMemory memory = {const_cast<GxUInt8*>(data), static_cast<GxUInt32>(size)};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (stream == nullptr) {
        return;
    }
    read(stream);
    GxStreamClose(stream, nullptr);
    GxError error;
    GxErrorGet(&error);
}
