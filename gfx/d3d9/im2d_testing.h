// Test access to the 2D immediate mode's buffers, compiled only into the tests that include it.
#pragma once

#include "gfx/d3d9/im2d_local.h"

// 1 when the 2D immediate mode draws from a vertex buffer of its own rather than the rotating dynamic ones.
inline GxBool GxD3D9Im2DHasOwnBuffer(void) { return gxD3D9Im2D.ownBuffer; }
