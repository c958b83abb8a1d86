// Immediate-mode 3D on Direct3D: the module that holds the batch context, and the instance and submit nodes of
// its two default pipelines.
#pragma once

#include "gfx/core/engine.h"
#include "gfx/core/im3d.h"

struct GxNodeDefinition;

// The module as the driver registers it with the engine (device.cpp).
extern const GxCoreModule gxIm3DModule;
// Its open builds the batch context's default pipelines, then the Direct3D resources (null, with nothing left
// behind, when either fails); its close undoes both.
void* GxIm3DOpen(void* instance, GxInt32 offset, GxInt32 size);
void* GxIm3DClose(void* instance, GxInt32 offset, GxInt32 size);

// Direct3D side: the node definitions of the two default pipelines.
GxNodeDefinition* GxD3D9Im3DInstanceNodeGet(void);
GxNodeDefinition* GxD3D9Im3DSubmitNodeGet(void);
// GxD3D9Im3DOpen / GxD3D9Im3DClose (the device resources) are declared in d3d9_local.h.
