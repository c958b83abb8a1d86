// The Direct3D 9 material-effects pipelines: an atomic and a world-sector pipeline built on the all-in-one nodes,
// whose render callback draws each mesh by its material's effect (plain, black, dual texture, environment map,
// bump map), the six pixel shaders of the effects and the device capabilities they are chosen by.
//
// GxD3D9MaterialEffectsPluginAttach replaces GxMaterialEffectsPluginAttach for programs that draw through this
// driver: it hands the plugin the driver's hooks, then attaches it (after the world objects and the driver's world
// glue, before GxEngineOpen). The pipelines live from the plugin's open to its close; a pipeline that cannot be
// built fails the open and leaves nothing behind. The pixel shaders are made at the first draw after the device
// starts. Every routine leaves stage 0 modulating texture by diffuse, the other stages off, texture transforms off
// and no pixel shader. One thread.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/d3d9/instance.h"

struct GxAtomic;
struct GxFrame;
struct GxPipeline;
struct GxResourceEntry;
struct GxTexture;
struct GxWorldSector;

GxBool GxD3D9MaterialEffectsPluginAttach(void);

GxBool GxMaterialEffectsPipelinesOpen(void);
GxBool GxMaterialEffectsPipelinesClose(void);
GxAtomic* GxMaterialEffectsAtomicSetPipeline(GxAtomic* atomic);
GxWorldSector* GxMaterialEffectsSectorSetPipeline(GxWorldSector* sector);

GxBool GxMaterialEffectsAtomicInstanceCallback(void* atomic, GxD3D9InstanceHeader* header, GxBool reinstance);
GxBool GxMaterialEffectsSectorInstanceCallback(void* sector, GxD3D9InstanceHeader* header, GxBool reinstance);
void GxMaterialEffectsRenderCallback(GxResourceEntry* entry, void* object, GxUInt8 type, GxUInt32 flags);
// The base texture when there is no bump texture; null when either raster is compressed; else the combined
// texture (base colour, bump height in alpha), or null when it cannot be made.
GxTexture* GxMaterialEffectsCreateBumpedTexture(GxTexture* baseTexture, GxTexture* bumpTexture);

// Drawing routines of one instanced mesh.
void GxMaterialEffectsRenderPlain(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 flags,
                                  GxTexture* baseTexture);
void GxMaterialEffectsRenderBlack(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh);
void GxMaterialEffectsRenderDual(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 flags,
                                 GxTexture* baseTexture, GxTexture* dualTexture);
// pass 0 draws the mesh with the environment; pass 1 only adds the environment of slot 1 (after a bump map).
void GxMaterialEffectsRenderEnvMap(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 flags, GxInt32 pass,
                                   GxTexture* baseTexture, GxTexture* envTexture);
void GxMaterialEffectsRenderBumpMap(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 flags,
                                    GxTexture* baseTexture, GxTexture* bumpTexture, GxTexture* envTexture);
// Binds an environment texture to a stage with its coordinate generation and texture matrix.
GxBool GxMaterialEffectsSetupEnvMapStage(GxTexture* texture, GxUInt32 stage, GxFrame* frame);

// One emboss vertex: position, normal, colour, the mesh's coordinates and the ones shifted toward the light.
struct GxD3D9EmbossVertex {
    GxReal position[3];
    GxReal normal[3];
    GxUInt32 colour;
    GxReal uv0[2];
    GxReal uv1[2];
};
constexpr GxUInt32 gxD3D9EMBOSSFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2;
static_assert(sizeof(GxD3D9EmbossVertex) == 44, "the emboss vertex is 44 bytes");
// Fills one emboss vertex per mesh vertex with the shift of the bump slot (k = coefficient x inverse width).
// 0 when the mesh has no position or texture-coordinate element or its streams cannot be read.
GxBool GxMaterialEffectsBumpMapComputeVertices(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh,
                                               GxD3D9EmbossVertex* out);

// What the pipelines read from the device at open (tests look, and may narrow them).
struct GxD3D9MaterialEffectsCaps {
    GxBool twoTextures;
    GxBool multiplyAdd;
    GxBool modulate2x;
    GxUInt32 blendStages;
    GxBool pixelShaders;
    GxBool envAddValidated;
    GxBool validateModulate2x;
    GxBool validateEnvAdd;
};
GxD3D9MaterialEffectsCaps* GxD3D9MaterialEffectsGetCaps(void);
