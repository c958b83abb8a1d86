// Fuzz target: frame lists carrying hierarchy extensions; each hierarchy read is attached, updated with
// identity keys and written back.
#include "gfx/anim/anim_fuzz_testing.h"
#include "gfx/core/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxAnimFuzzRead(data, size, gxID_FRAMELIST, [](GxStream* stream) {
        GxFrameList list;
        if (!GxFrameListStreamRead(stream, &list)) {
            return;
        }
        for (GxInt32 i = 0; i < list.numFrames; i++) {
            if (GxAnimHierarchy* h = GxFrameGetAnimHierarchy(list.frames[i])) {
                GxAnimHierarchyAttach(h);
                GxAnimHierarchyUpdateMatrices(h);
            }
        }
        GxAnimFuzzWriteBack(
            [](GxStream* out, const void* l) {
                return GxFrameListStreamWrite(static_cast<const GxFrameList*>(l), out) != nullptr;
            },
            &list);
        GxFrameSyncDirty();
        GxInt32 roots = 0;
        for (GxInt32 i = 0; i < list.numFrames; i++) {
            if (!GxFrameGetParent(list.frames[i])) {
                list.frames[roots++] = list.frames[i];
            }
        }
        for (GxInt32 i = 0; i < roots; i++) {
            GxFrameDestroyHierarchy(list.frames[i]);
        }
        GxFrameListDeinitialize(&list);
    });
    return 0;
}
