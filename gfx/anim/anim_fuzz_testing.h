// Fuzz-target support of the animation module: the engine with the animation plugins, inputs read from memory.
#pragma once

#include <cstdlib>

#include "gfx/anim/anim.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/stream.h"
#include "gfx/world/clump.h"
#include "gfx/world/geometry.h"

inline bool GxAnimFuzzEngineStart(void)
{
    static int window = 0;
    GxTestDeviceInstall();
    return GxEngineInit(nullptr, 0, 0x400000) && GxWorldObjectsPluginAttach() && GxAnimPluginAttach() &&
           GxAnimHierarchyPluginAttach() && GxSkinPluginAttach() && GxEngineOpen(&window) && GxEngineStart();
}

// Finds the first chunk of `type` in the input and hands the stream to `read`; clears the error record after.
template <typename Read>
void GxAnimFuzzRead(const uint8_t* data, size_t size, GxUInt32 type, Read read)
{
    static const bool started = GxAnimFuzzEngineStart();
    if (!started) {
        std::abort();
    }
    GxMemory memory = {const_cast<GxUInt8*>(data), static_cast<GxUInt32>(size)};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (!stream) {
        return;
    }
    if (GxStreamFindChunk(stream, type, nullptr, nullptr)) {
        read(stream);
    }
    GxStreamClose(stream, nullptr);
    GxError error;
    GxErrorGet(&error);
}

inline void GxAnimFuzzWriteBack(bool (*write)(GxStream*, const void*), const void* object)
{
    GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    if (out) {
        write(out, object);
        GxStreamClose(out, nullptr);
    }
}
