// The processor features the driver found at open, shared by the feature code and its test access.
#pragma once

#include "gfx/core/gx.h"

struct GxCPUFeatures {
    GxBool sse;
    GxBool sse2;
    GxBool amd3DNow;
};
extern GxCPUFeatures gxCPUFeatures;
