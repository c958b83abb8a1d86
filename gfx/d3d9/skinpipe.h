// The Direct3D 9 skin pipelines: one per skin type, built on the atomic all-in-one node, with its vertex-shader
// path (compact weights and palette indices in the vertex, the palette in constants, a generated shader) and its
// processor path (the pose blended into the instance's first stream, then the default render callback, or the
// effects' one for skins with material effects). A skin takes the shader path when the device and the shader allow
// it at instancing; a shader that cannot be made at a draw sends the skin to the processor path, its instance to
// the processor layout.
//
// GxD3D9SkinPluginAttach replaces GxSkinPluginAttach for programs that draw through this driver: it hands the
// skin plugin the driver's pipeline hooks, then attaches it (after the world objects and the hierarchy plugin,
// before GxEngineOpen). The pipelines live from the skin module's open to its close. One thread.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/d3d9/atomicpipe.h"
#include "platform/d3d9/d3d9.h"

struct GxAtomic;
struct GxPipeline;
struct GxMatrix;

constexpr GxInt32 gxD3D9SKINPIPELINESLOTS = 4;
// Skin types: each has a pipeline in slot type - 1 when the skin module opens with its mask bit (1, 2, 4).
constexpr GxInt32 gxD3D9SKINTYPEATOMIC = 1;   // skinned atomics
constexpr GxInt32 gxD3D9SKINTYPEEFFECTS = 2;  // skinned atomics with material effects: processor path always
constexpr GxInt32 gxD3D9SKINTYPE3 = 3;        // skinned atomics of plugin 0x12E: drawn as type 1

GxBool GxD3D9SkinPluginAttach(void);
GxBool GxSkinPipelinesCreate(GxUInt32 mask);
GxBool GxSkinPipelinesDestroy(void);
GxAtomic* GxSkinAtomicInitPipeline(GxAtomic* atomic, GxInt32 type);
// Null when a construction step fails (nothing is left behind).
GxPipeline* GxD3D9SkinPipelineCreate(void);
GxPipeline* GxD3D9SkinGetPipeline(GxInt32 slot);
// The render callback of the material-effects skin pipeline after the processor blend (null: the default one).
void GxD3D9SkinSetEffectsRenderCallback(GxD3D9RenderCallBack callBack);
// The atomic may be drawn by a generated vertex shader: the device has shaders and its palette fits the constants.
// The shader lights with the world's ambient and directional lights and the point and spot lights of the
// atomic's sectors that reach it; split data upload per mesh.
GxBool GxD3D9SkinCanUseVertexShader(const GxAtomic* atomic);
// Sends a skinned atomic's skin to the shader path (when `shader` is set and the device, its palette and the shader
// allow it) or to the processor path from its next draw on. 1 when the shader path is taken.
GxBool GxD3D9SkinAtomicSelectPath(GxAtomic* atomic, GxBool shader);

// Vertex-shader constants: the world matrix the constants are built for (null: the identity), and the
// transposed world x view x projection (view x projection cached until the next camera update).
void GxD3D9VSSetWorldMatrix(const GxMatrix* matrix);
void GxD3D9GetWorldViewProjTransposed(D3DMATRIX* out);

// Light colours of the vertex-shader light block. The shader path scales them by each mesh's ambient and diffuse
// coefficients from the unscaled colours, never by ratios of coefficients, so a coefficient of 0 neither divides
// by zero nor loses the colours for the next mesh.
constexpr GxUInt32 gxD3D9VSMAXLIGHTS = 45;  // 15 each of directional, point and spot lights
struct GxD3D9VSLightColors {
    GxReal ambient[4];
    GxUInt32 numLights;
    GxReal colors[gxD3D9VSMAXLIGHTS][4];
};
void GxD3D9VSScaleLightColors(GxD3D9VSLightColors* scaled, const GxD3D9VSLightColors* unscaled, GxReal ambient,
                              GxReal diffuse);
