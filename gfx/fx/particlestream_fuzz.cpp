// Fuzz target: particle atomic extensions from arbitrary bytes; what reads is written back, updated and freed.
#include "gfx/fx/fx_testing.h"
#include "gfx/fx/particles_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFxFuzzStart();
    const std::vector<GxUInt8> bytes(data, data + size);
    GxStream* stream = GxWorldTestOpen(bytes);
    GxAtomic* atomic = GxAtomicCreate();
    if (stream && atomic && GxParticleAtomicStreamRead(stream, 0, atomic, 0, 0)) {
        GxWorldTestWrite([atomic](GxStream* s) { return GxParticleAtomicStreamWrite(s, 0, atomic, 0, 0) != nullptr; });
        GxParticleUpdateData step = {0.1f};
        for (GxInt32 i = 0; i < 3; i++) {
            GxParticleAtomicUpdate(atomic, &step);
        }
    }
    if (stream) {
        GxStreamClose(stream, nullptr);
    }
    if (atomic) {
        GxAtomicDestroy(atomic);
    }
    GxTestTakeError();
    return 0;
}
