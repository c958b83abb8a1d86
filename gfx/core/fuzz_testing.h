// Fuzz-target support of the core: the engine started once on the recording test device, and each input
// read through a memory stream.
#pragma once

#include <cstdlib>

#include "gfx/core/engine_testing.h"
#include "gfx/core/stream.h"
#include "gfx/testsupport/engine_fixture.h"

// Inits, runs `attach` (the plugins a target needs, between init and open), opens and starts the engine on the
// test device; then runs `ready` on the started engine. A target that cannot start aborts.
template <typename Attach, typename Ready>
void GxTestFuzzStart(Attach attach, Ready ready)
{
    if (!GxTestProcessEngineStart(GxTestRecordingSetup(attach)) || !ready()) {
        std::abort();
    }
}

// Hands a read stream over the input to `read`, then closes it and clears the error record.
template <typename Read>
void GxTestFuzzRead(const uint8_t* data, size_t size, Read read)
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
