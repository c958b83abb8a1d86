// Fuzz-target support of the animation module: the engine with the animation plugins, inputs read from memory.
#pragma once

#include <cstdlib>

#include "gfx/anim/anim.h"
#include "gfx/core/fuzz_testing.h"
#include "gfx/testsupport/engine_fixture.h"
#include "gfx/world/clump.h"
#include "gfx/world/geometry.h"
#include "gfx/world/world.h"

// The recording device with the world modules and the keyframe, hierarchy and skin plugins.
inline GxTestEngineSetup GxAnimEngineSetup(void)
{
    return GxTestRecordingSetup([] {
        return GxWorldPluginAttach() && GxAnimPluginAttach() && GxAnimHierarchyPluginAttach() && GxSkinPluginAttach();
    });
}

// Fuzz targets start the engine once and keep it; one that cannot start aborts.
inline void GxAnimFuzzStart(void)
{
    if (!GxTestProcessEngineStart(GxAnimEngineSetup())) {
        std::abort();
    }
}

// Finds the first chunk of `type` in the input and hands the stream to `read`; clears the error record after.
template <typename Read>
void GxAnimFuzzRead(const uint8_t* data, size_t size, GxUInt32 type, Read read)
{
    GxAnimFuzzStart();
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
