// Frame builders for tools, benchmarks and tests; the program does not link them.
#include "gfx/core/assert.h"
#include "gfx/core/frame.h"

GxFrame* GxFrameTransform(GxFrame* frame, const GxMatrix* matrix, GxInt32 combine)
{
    GX_ASSERT(frame != nullptr, "a frame is given");
    if (GxMatrixTransform(&frame->modelling, matrix, combine) == nullptr) {
        return nullptr;
    }
    return GxFrameSetDirty(frame);
}
