// Immediate-mode 2D: the screen-space vertex the device record's Im2D renderers take (engine.h).
#pragma once

#include "gfx/core/gx.h"

// Screen-space vertex; also the device's vertex layout, so the bytes are fixed (28).
struct GxIm2DVertex {
    GxReal x;  // pixels
    GxReal y;
    GxReal z;                // 0..1 of the depth buffer
    GxReal rhw;              // reciprocal w
    GxUInt32 emissiveColor;  // D3D colour: blue, green, red, alpha bytes
    GxReal u;
    GxReal v;
};
static_assert(sizeof(GxIm2DVertex) == 28, "Im2D vertices are the device layout");
