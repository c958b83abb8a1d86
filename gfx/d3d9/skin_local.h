// What the skin pipeline and the skin instancing share inside the driver.
#pragma once

#include "gfx/anim/anim.h"
#include "gfx/core/gx.h"
#include "gfx/d3d9/skinpipe.h"

struct GxAtomic;

constexpr GxUInt32 gxD3D9SKINPALETTEINDICES = 256;  // one remap entry per possible bone index
constexpr GxUInt32 gxD3D9SKINMAXWEIGHTS = 4;

// Read from the device when the skin pipeline is made.
struct GxD3D9SkinDeviceCaps {
    bool hardwareTransform;
    bool vertexShadersUsable;
    GxUInt32 maxConstants;
    GxUInt32 maxBones;
};
const GxD3D9SkinDeviceCaps* GxD3D9SkinGetDeviceCaps(void);

// 3 x palette slot of each bone, as the shader layout's indices hold them (0 for bones in no slot).
void GxD3D9SkinPaletteRemap(const GxSkin* skin, const GxAnimHierarchy* hierarchy,
                            GxUInt8 remap[gxD3D9SKINPALETTEINDICES]);

// The skin pipelines by slot; slot 0 is the default skin pipeline.
extern GxPipeline* gxD3D9SkinPipelines[gxD3D9SKINPIPELINESLOTS];
