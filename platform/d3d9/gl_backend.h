// Maker of the OpenGL back end of the Direct3D 9 layer.
#pragma once

#include "platform/d3d9/backend.h"

#include <cstdint>

// Returns null when no OpenGL context can be had (no display, no GL driver).
D3D9Backend* D3D9CreateGLBackend();

// What the OpenGL back end has done since the program started; benchmarks read it through gl_counters_testing.h
// and take the difference over their frames.
struct D3D9GLCounters {
    uint64_t draws = 0;
    uint64_t vertices = 0;         // vertices the draws span (each indexed draw's range)
    uint64_t stateChanges = 0;     // device state changes reported to the back end
    uint64_t stateGroupsSent = 0;  // render-state groups (depth, blend, stencil ...) sent to GL
    uint64_t uploadedBytes = 0;    // vertex, index and shader-constant data handed to GL
};
