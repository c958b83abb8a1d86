// Fuzz target: animation chunks from arbitrary bytes; whatever reads is written back, bound and played.
#include "gfx/anim/anim_fuzz_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxAnimFuzzRead(data, size, gxID_ANIMANIMATION, [](GxStream* stream) {
        GxAnimation* animation = GxAnimationStreamRead(stream);
        if (!animation) {
            return;
        }
        GxAnimFuzzWriteBack(
            [](GxStream* out, const void* a) {
                return GxAnimationStreamWrite(static_cast<const GxAnimation*>(a), out) != 0;
            },
            animation);
        const GxInt32 nodes = GxAnimationGetNumNodes(animation);
        if (GxAnimInterpolator* interp = GxAnimInterpolatorCreate(nodes, animation->interpInfo->interpKeyFrameSize)) {
            if (GxAnimInterpolatorSetCurrentAnim(interp, animation)) {
                for (GxInt32 step = 0; step < 8; step++) {
                    GxAnimInterpolatorAddAnimTime(interp, 0.3f);
                }
            }
            GxAnimInterpolatorDestroy(interp);
        }
        GxAnimationDestroy(animation);
    });
    return 0;
}
