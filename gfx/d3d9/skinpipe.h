// The Direct3D 9 skin pipeline: one pipeline of one skin node for every skinned atomic whatever its skin type,
// with its vertex-shader path (compact weights and palette indices in the vertex, the palette in constants, a
// generated shader) and its processor path (the pose blended into the instance's first stream, then the default
// render callback). A skin takes the shader path when the device and the shader allow it at instancing; the
// instance keeps the layout of that path (a shader that cannot be made at a draw draws the meshes with none).
//
// GxD3D9SkinPluginAttach replaces GxSkinPluginAttach for programs that draw through this driver: it hands the
// skin plugin the driver's pipeline hooks, then attaches it (after the world objects and the hierarchy plugin,
// before GxEngineOpen). The pipelines live from the skin module's open to its close. One thread.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/vsbuilder.h"
#include "gfx/d3d9/vsconstants.h"
#include "platform/d3d9/d3d9.h"

struct GxAtomic;
struct GxPipeline;
struct GxMatrix;
struct GxGeometry;
struct GxNodeDefinition;
struct GxPipelineNode;
struct GxPipelineExecutionParams;
struct GxResourceEntry;

constexpr GxInt32 gxD3D9SKINPIPELINESLOTS = 4;  // only slot 0, the default skin pipeline, is used
constexpr GxInt32 gxD3D9SKINTYPEATOMIC = 1;     // skinned atomics; every skin type draws through slot 0

GxBool GxD3D9SkinPluginAttach(void);
GxBool GxSkinPipelinesCreate(GxUInt32 mask);
GxBool GxSkinPipelinesDestroy(void);
// Gives the atomic the default skin pipeline; the type is not used.
GxAtomic* GxSkinAtomicInitPipeline(GxAtomic* atomic, GxInt32 type);
// Null when a construction step fails (nothing is left behind).
GxPipeline* GxD3D9SkinPipelineCreate(void);
// The atomic may be drawn by a generated vertex shader: the device has shaders and its palette fits the constants.
// The shader lights with the world's ambient and directional lights and the point and spot lights of the
// atomic's sectors that reach it; split data upload per mesh.
GxBool GxD3D9SkinCanUseVertexShader(const GxAtomic* atomic);

// The skin node "nodeD3D9SkinAtomicAllInOne.csl": it instances the skinned geometry, then draws through the
// vertex-shader path (callbacks 3-7) or blends on the processor and draws with the fixed-function callbacks (1-2).
// A caller finds the node by name (GxPipelineFindNodeByName) and reads or replaces the callbacks in its private
// data. The shader callbacks are null on devices without usable vertex shaders.
constexpr const char* gxD3D9SKINNODENAME = "nodeD3D9SkinAtomicAllInOne.csl";

// The shader path's constant staging area: c0-c3 the combined transform, then the light block from c4 (ambient,
// directional lights, then point and spot lights in groups of four, each led by a register of reciprocal radii).
constexpr GxUInt32 gxD3D9SKINMAXLIGHTSOFAKIND = 15;  // a descriptor's light counts are four bits
constexpr GxUInt32 gxD3D9SKINLIGHTGROUP = 4;
constexpr GxUInt32 gxD3D9SKINSTAGINGREGISTERS =
    gxD3D9VSLIGHTSREGISTER + (2 + 2 + 4) * gxD3D9SKINMAXLIGHTSOFAKIND +
    2 * ((gxD3D9SKINMAXLIGHTSOFAKIND + gxD3D9SKINLIGHTGROUP - 1) / gxD3D9SKINLIGHTGROUP);
struct GxD3D9SkinLightBlock {
    GxReal regs[gxD3D9SKINSTAGINGREGISTERS][4];
    GxD3D9VSLightColors unscaled;                // ambient and each light's colour before the material's coefficients
    GxUInt32 colourRegister[gxD3D9VSMAXLIGHTS];  // where each light's colour goes: directional, point, then spot
};

typedef void (*GxD3D9SkinDescriptorSetupCallBack)(GxAtomic* atomic, GxUInt8 type,
                                                  GxD3D9VertexShaderDescriptor* descriptor);
// Returns one past the last register of the light block.
typedef GxReal* (*GxD3D9SkinShaderLightingCallBack)(void* object, GxUInt8 type, GxD3D9SkinLightBlock* block,
                                                    GxD3D9VertexShaderDescriptor* descriptor);
typedef IDirect3DVertexShader9* (*GxD3D9SkinShaderGetCallBack)(const GxD3D9MeshInstance* mesh,
                                                               const GxD3D9VertexShaderDescriptor* descriptor,
                                                               GxD3D9VertexShaderRegisters* registers);
typedef void (*GxD3D9SkinShaderMeshRenderCallBack)(const GxD3D9InstanceHeader* header, const GxD3D9MeshInstance* mesh,
                                                   const GxD3D9VertexShaderDescriptor* descriptor,
                                                   const GxD3D9VertexShaderRegisters* registers);
typedef void (*GxD3D9SkinEndCallBack)(GxAtomic* atomic);

// The skin node's private data, in this order.
struct GxD3D9SkinNodeCallBacks {
    GxD3D9RenderCallBack renderCallBack;  // fixed-function draw after the processor blend
    GxD3D9LightingCallBack lightingCallBack;
    GxD3D9SkinDescriptorSetupCallBack descriptorSetup;
    GxD3D9SkinShaderLightingCallBack shaderLighting;
    GxD3D9SkinShaderGetCallBack shaderGet;
    GxD3D9SkinShaderMeshRenderCallBack meshRender;
    GxD3D9SkinEndCallBack end;
};

// The node's set-up: installs the seven callbacks. Returns 1.
GxBool GxD3D9SkinNodeInit(GxPipelineNode* node);
// The node body: 1, or 0 when instancing fails.
GxBool GxD3D9SkinAtomicAllInOneNode(GxPipelineNode* node, const GxPipelineExecutionParams* params);
// The vertex-shader path. Without a shader for the draw the meshes are drawn with none.
void GxD3D9SkinAtomicRenderShader(const GxD3D9SkinNodeCallBacks* callBacks, GxAtomic* atomic, GxGeometry* geometry,
                                  GxSkin* skin, const GxAnimHierarchy* hierarchy);
// The fixed-function draw after the processor blend: lighting, world transform and normalising, render callback.
void GxD3D9SkinAtomicRenderFixed(const GxD3D9SkinNodeCallBacks* callBacks, GxResourceEntry* entry, GxAtomic* atomic,
                                 GxUInt32 flags);
// The shader callbacks the node installs. Type 1 is an atomic, any other a world sector.
void GxD3D9SkinShaderDescriptorSetup(GxAtomic* atomic, GxUInt8 type, GxD3D9VertexShaderDescriptor* descriptor);
GxReal* GxD3D9SkinShaderLighting(void* object, GxUInt8 type, GxD3D9SkinLightBlock* block,
                                 GxD3D9VertexShaderDescriptor* descriptor);
IDirect3DVertexShader9* GxD3D9SkinShaderGet(const GxD3D9MeshInstance* mesh,
                                            const GxD3D9VertexShaderDescriptor* descriptor,
                                            GxD3D9VertexShaderRegisters* registers);
void GxD3D9SkinShaderMeshRender(const GxD3D9InstanceHeader* header, const GxD3D9MeshInstance* mesh,
                                const GxD3D9VertexShaderDescriptor* descriptor,
                                const GxD3D9VertexShaderRegisters* registers);
