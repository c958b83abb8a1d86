// Fuzz target: level-of-detail records read with the atomics of clump chunks; each read atomic is drawn
// through its hooked render callback at every level.
#include "gfx/world/fuzz_testing.h"

namespace {

GxInt32 level = 0;
GxInt32 Select(GxAtomic*) { return level; }
GxAtomic* Draw(GxAtomic* atomic) { return atomic; }

GxAtomic* DrawEveryLevel(GxAtomic* atomic, void*)
{
    if (GxLODAtomicRecord* record = GxLODAtomicGetRecord(atomic)) {
        record->previousRender = Draw;
        record->select = Select;
        for (level = -1; level <= gxLODATOMICMAXLEVELS; level++) {
            atomic->renderCallBack(atomic);
        }
    }
    return atomic;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxWorldFuzzRead(data, size, gxID_CLUMP, [](GxStream* stream) {
        GxClump* clump = GxClumpStreamRead(stream);
        if (!clump) {
            return;
        }
        GxClumpForAllAtomics(clump, DrawEveryLevel, nullptr);
        GxStream* out = GxWorldFuzzOpenOut();
        GxClumpStreamWrite(clump, out);
        GxWorldFuzzCloseOut(out);
        GxClumpDestroy(clump);
    });
    return 0;
}
