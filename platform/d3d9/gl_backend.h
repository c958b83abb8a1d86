// Maker of the OpenGL back end of the Direct3D 9 layer.
#pragma once

#include "platform/d3d9/backend.h"

// Returns null when no OpenGL context can be had (no display, no GL driver).
D3D9Backend* D3D9CreateGLBackend();
