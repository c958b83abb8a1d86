// Fuzz-target support of the world objects: the engine with every world plugin, and each input read through a
// memory stream.
#pragma once

#include <cstdlib>

#include "gfx/core/fuzz_testing.h"
#include "gfx/testsupport/engine_fixture.h"
#include "gfx/world/clump.h"
#include "gfx/world/collision.h"
#include "gfx/world/lod.h"
#include "gfx/world/mesh.h"
#include "gfx/world/userdata.h"

// The recording device with the world modules, worlds, collision and the level-of-detail and user-data plugins.
inline GxTestEngineSetup GxWorldEngineSetup(void)
{
    return GxTestRecordingSetup([] {
        return GxWorldPluginAttach() && GxCollisionPluginAttach() && GxLODAtomicPluginAttach() &&
               GxUserDataPluginAttach();
    });
}

// Starts the process's engine once; false when it does not start.
inline bool GxWorldEngineStart(void) { return GxTestProcessEngineStart(GxWorldEngineSetup()); }

// Starts the engine once; a target that can not start aborts.
inline void GxWorldFuzzStart(void)
{
    if (!GxWorldEngineStart()) {
        std::abort();
    }
}

// Finds the first chunk of `type` in the input and hands the stream to `read`; then closes the stream,
// writes back whatever was read (`write`, which also destroys it) and clears the error record.
template <typename Read>
void GxWorldFuzzRead(const uint8_t* data, size_t size, GxUInt32 type, Read read)
{
    GxWorldFuzzStart();
    GxTestFuzzRead(data, size, [&](GxStream* stream) {
        if (GxStreamFindChunk(stream, type, nullptr, nullptr)) {
            read(stream);
        }
    });
}

// A memory write stream for writing back what a target read; closed and freed by GxWorldFuzzCloseOut.
inline GxStream* GxWorldFuzzOpenOut(void) { return GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr); }

inline void GxWorldFuzzCloseOut(GxStream* out)
{
    if (out) {
        GxStreamClose(out, nullptr);
    }
}
