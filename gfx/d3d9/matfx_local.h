// Shared internals of the material-effects pipelines: their module state and the helpers every routine uses.
#pragma once

#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/matfx.h"
#include "gfx/fx/fx.h"
#include "gfx/world/material.h"

// The effects' pixel shaders, in the order they are made.
enum GxD3D9MatFXShader : GxInt32 {
    BumpShader = 0,
    EnvShader,
    EnvShaderNoBase,
    BumpEnvShader,
    BumpEnvAlphaShader,
    BumpEnvOpaqueShader,
    gxD3D9MATFXSHADERS
};

// The module's state: its pipelines (null while closed), the instance callbacks they wrap, the device's
// abilities and the shaders.
struct GxD3D9MatFXState {
    GxPipeline* atomicPipeline;
    GxPipeline* sectorPipeline;
    GxD3D9InstanceCallBack atomicInstance;
    GxD3D9InstanceCallBack sectorInstance;
    GxD3D9MaterialEffectsCaps caps;
    IDirect3DPixelShader9* shaders[gxD3D9MATFXSHADERS];
    D3DMATRIX textureMatrix;
};
extern GxD3D9MatFXState gxD3D9MatFXState;

// Engine blend codes the routines set.
constexpr GxUInt32 gxD3D9BLENDZERO = 1;
constexpr GxUInt32 gxD3D9BLENDONE = 2;
constexpr GxUInt32 gxD3D9BLENDSRCCOLOR = 3;
constexpr GxUInt32 gxD3D9BLENDSRCALPHA = 5;
constexpr GxUInt32 gxD3D9BLENDINVSRCALPHA = 6;
constexpr GxUInt32 gxD3D9BLENDDESTCOLOR = 9;

// The shader, or null when the device has none or it could not be made.
IDirect3DPixelShader9* GxD3D9MatFXShader(GxInt32 which);

// Flushes the caches and draws the mesh from the header's buffers (base vertex: the mesh's, or `baseVertex`).
void GxD3D9MatFXDraw(const GxD3D9InstanceHeader* header, const GxD3D9MeshInstance* mesh);
// Pixel shader off, the mesh's vertex shader, draw.
void GxD3D9MatFXDrawFixed(const GxD3D9InstanceHeader* header, const GxD3D9MeshInstance* mesh);
// One stage's colour or alpha operation with its two arguments.
void GxD3D9MatFXColour(GxUInt32 stage, GxUInt32 op, GxUInt32 arg1, GxUInt32 arg2);
void GxD3D9MatFXAlpha(GxUInt32 stage, GxUInt32 op, GxUInt32 arg1, GxUInt32 arg2);
void GxD3D9MatFXStageOff(GxUInt32 stage);
// Stage 0 textured (texture x diffuse) or untextured (diffuse), alpha argument 2 diffuse.
void GxD3D9MatFXStage0(GxBool textured, const GxTexture* texture);
// Puts the texture-coordinate transform of a matrix on a stage; 1 when it applies (the matrix is not the identity).
GxBool GxD3D9MatFXApplyTransform(const GxMatrix* matrix, GxUInt32 stage);
GxBool GxD3D9MatFXTextured(GxUInt32 flags);
// The material's slot of that type, or null (no record, or a record whose slots do not fit its type).
GxMaterialEffectsSlot* GxD3D9MatFXSlot(const GxMaterial* material, GxInt32 slotType);
// One pass samples one palette: when both textures are palettised and differ, the second becomes true colour.
void GxD3D9MatFXOnePalette(const GxTexture* first, GxTexture* second);
// Shininess of a coefficient: x 255 to the nearest integer, low 8 bits.
GxUInt32 GxD3D9MatFXShininess(GxReal coef);
// The environment routine's draw of the added pass (pass 1, or the second pass of pass 0).
void GxD3D9MatFXEnvAddPass(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxTexture* envTexture,
                           GxFrame* frame, GxUInt32 shininess);
