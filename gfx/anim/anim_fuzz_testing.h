// Fuzz-target support of the animation module: the engine with the animation plugins, inputs read from memory.
#pragma once

#include <cstdlib>

#include "gfx/anim/anim.h"
#include "gfx/core/fuzz_testing.h"
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
    GxTestFuzzRead(data, size, [&](GxStream* stream) {
        if (GxStreamFindChunk(stream, type, nullptr, nullptr)) {
            read(stream);
        }
    });
}

inline void GxAnimFuzzWriteBack(bool (*write)(GxStream*, const void*), const void* object)
{
    GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    if (out) {
        write(out, object);
        GxStreamClose(out, nullptr);
    }
}
