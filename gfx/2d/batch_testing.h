// Test access to the 2D batches: a hook that sees every batch in place of the immediate-mode submission.
#pragma once

#include "gfx/2d/twod_local.h"

// Null restores the immediate-mode submission; returns the previous function.
inline Gx2DBatchFunc Gx2DSetBatchFunc(Gx2DBatchFunc func)
{
    Gx2DBatchFunc previous = gx2DBatchFunc;
    gx2DBatchFunc = func;
    return previous;
}
