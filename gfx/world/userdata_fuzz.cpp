// Fuzz target: user data read as a frame's extension from frame-list chunks of arbitrary bytes.
#include "gfx/world/fuzz_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxWorldFuzzRead(data, size, gxID_FRAMELIST, [](GxStream* stream) {
        GxFrameList list;
        if (!GxFrameListStreamRead(stream, &list)) {
            return;
        }
        GxStream* out = GxWorldFuzzOpenOut();
        GxFrameListStreamWrite(&list, out);
        GxWorldFuzzCloseOut(out);
        for (GxInt32 i = 0; i < list.numFrames; i++) {
            for (GxInt32 k = 0; GxUserDataArray* array = GxFrameGetUserDataArray(list.frames[i], k); k++) {
                if (GxUserDataArrayGetFormat(array) == gxUSERDATASTRING && array->numElements > 0 && array->data) {
                    GxUserDataArrayGetString(array, 0);
                }
            }
        }
        GxFrame* clone = GxFrameCloneHierarchy(list.frames[0]);
        if (clone) {
            GxFrameDestroyHierarchy(clone);
        }
        // Roots first, then destroy: a destroyed hierarchy takes its frames with it.
        GxInt32 roots = 0;
        for (GxInt32 i = 0; i < list.numFrames; i++) {
            if (GxFrameGetParent(list.frames[i]) == nullptr) {
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
