// The material-effects pipelines: construction, device capabilities, the effects' pixel shaders, the render callback
// and its dispatch, and the plain, black and dual-texture routines.
//
// Sections: module state, shared helpers, pipelines, instance callbacks, render callback, plain and black, dual.
#include "gfx/d3d9/matfx_local.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/image.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/raster.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/world/clump.h"
#include "gfx/world/geometry.h"
#include "gfx/world/world.h"

// ---------------------------------------------------------------------------------------------- module state

GxD3D9MatFXState gxD3D9MatFXState = {};

namespace {

constexpr GxUInt32 kShaderVersionMask = 0xFFFF;
constexpr GxUInt32 kShaderVersion11 = 0x101;
constexpr GxUInt32 kIdentityFlag = 0x20000;
constexpr GxUInt32 kOpaque = 255;
constexpr GxUInt32 kOpaqueBlack = 0xFF000000u;
constexpr GxUInt32 kWhiteFactor = 0xFFFFFFFFu;
constexpr GxUInt32 kThreeStages = 3;

// The effects' pixel shaders, assembled ps_1_1 token streams: t0..t2 the stage textures, v0 the diffuse colour,
// c0 the coefficient. Above each, what it computes and its assembly.
// t0 (1 - t0.a) d + t1 t1.a d
// ps_1_1; tex t0; tex t1; mul r0, t0, 1-t0.a; mul r1, t1, t1.a; add r0, r0, r1; mul r0, r0, v0
const DWORD kBumpShader[] = {
    0xFFFF0101, 0x00000042, 0xB00F0000, 0x00000042, 0xB00F0001, 0x00000005, 0x800F0000, 0xB0E40000,
    0xB6FF0000, 0x00000005, 0x800F0001, 0xB0E40001, 0xB0FF0001, 0x00000002, 0x800F0000, 0x80E40000,
    0x80E40001, 0x00000005, 0x800F0000, 0x80E40000, 0x90E40000, 0x0000FFFF,
};
// colour t0 d + t1 t1.a c0, alpha t0.a d.a
// ps_1_1; tex t0; tex t1; mul r1, t1, t1.a; mul r1, r1, c0; mul r0, t0, v0; add r0.rgb, r0, r1
const DWORD kEnvShader[] = {
    0xFFFF0101, 0x00000042, 0xB00F0000, 0x00000042, 0xB00F0001, 0x00000005, 0x800F0001, 0xB0E40001,
    0xB0FF0001, 0x00000005, 0x800F0001, 0x80E40001, 0xA0E40000, 0x00000005, 0x800F0000, 0xB0E40000,
    0x90E40000, 0x00000002, 0x80070000, 0x80E40000, 0x80E40001, 0x0000FFFF,
};
// colour t0 t0.a c0 + d, alpha d.a
// ps_1_1; tex t0; mul r0, t0, t0.a; mad r0.rgb, r0, c0, v0; +mov r0.a, v0.a
const DWORD kEnvShaderNoBase[] = {
    0xFFFF0101, 0x00000042, 0xB00F0000, 0x00000005, 0x800F0000, 0xB0E40000, 0xB0FF0000, 0x00000004,
    0x80070000, 0x80E40000, 0xA0E40000, 0x90E40000, 0x40000001, 0x80080000, 0x90FF0000, 0x0000FFFF,
};
// t0 (1 - t0.a) d + t1 t1.a d + t2 t2.a c0
// ps_1_1; tex t0; tex t1; tex t2; mul r0, t0, 1-t0.a; mad r0, t1, t1.a, r0; mul r0, r0, v0; mul r1, t2, t2.a;
// mad r0, r1, c0, r0
const DWORD kBumpEnvShader[] = {
    0xFFFF0101, 0x00000042, 0xB00F0000, 0x00000042, 0xB00F0001, 0x00000042, 0xB00F0002, 0x00000005,
    0x800F0000, 0xB0E40000, 0xB6FF0000, 0x00000004, 0x800F0000, 0xB0E40001, 0xB0FF0001, 0x80E40000,
    0x00000005, 0x800F0000, 0x80E40000, 0x90E40000, 0x00000005, 0x800F0001, 0xB0E40002, 0xB0FF0002,
    0x00000004, 0x800F0000, 0x80E40001, 0xA0E40000, 0x80E40000, 0x0000FFFF,
};
// r = (t0.rgb (1 - t0.a), t0.a) d + (t1.rgb t1.a, t1.a) d; r + t2 t2.a r.a c0
// ps_1_1; tex t0; tex t1; tex t2; mul r0.rgb, t0, 1-t0.a; +mov r0.a, t0.a; mul r1.rgb, t1, t1.a; +mov r1.a, t1.a;
// add r0, r0, r1; mul r0, r0, v0; mul r1, t2, t2.a; mul r1, r1, r0.a; mad r0, r1, c0, r0
const DWORD kBumpEnvAlphaShader[] = {
    0xFFFF0101, 0x00000042, 0xB00F0000, 0x00000042, 0xB00F0001, 0x00000042, 0xB00F0002, 0x00000005, 0x80070000,
    0xB0E40000, 0xB6FF0000, 0x40000001, 0x80080000, 0xB0FF0000, 0x00000005, 0x80070001, 0xB0E40001, 0xB0FF0001,
    0x40000001, 0x80080001, 0xB0FF0001, 0x00000002, 0x800F0000, 0x80E40000, 0x80E40001, 0x00000005, 0x800F0000,
    0x80E40000, 0x90E40000, 0x00000005, 0x800F0001, 0xB0E40002, 0xB0FF0002, 0x00000005, 0x800F0001, 0x80E40001,
    0x80FF0000, 0x00000004, 0x800F0000, 0x80E40001, 0xA0E40000, 0x80E40000, 0x0000FFFF,
};
// r as above; r + t2 r.a c0
// ps_1_1; tex t0; tex t1; tex t2; mul r0.rgb, t0, 1-t0.a; +mov r0.a, t0.a; mul r1.rgb, t1, t1.a; +mov r1.a, t1.a;
// add r0, r0, r1; mul r0, r0, v0; mul r1, t2, r0.a; mad r0, r1, c0, r0
const DWORD kBumpEnvOpaqueShader[] = {
    0xFFFF0101, 0x00000042, 0xB00F0000, 0x00000042, 0xB00F0001, 0x00000042, 0xB00F0002, 0x00000005,
    0x80070000, 0xB0E40000, 0xB6FF0000, 0x40000001, 0x80080000, 0xB0FF0000, 0x00000005, 0x80070001,
    0xB0E40001, 0xB0FF0001, 0x40000001, 0x80080001, 0xB0FF0001, 0x00000002, 0x800F0000, 0x80E40000,
    0x80E40001, 0x00000005, 0x800F0000, 0x80E40000, 0x90E40000, 0x00000005, 0x800F0001, 0xB0E40002,
    0x80FF0000, 0x00000004, 0x800F0000, 0x80E40001, 0xA0E40000, 0x80E40000, 0x0000FFFF,
};
const DWORD* const kShaderTokens[gxD3D9MATFXSHADERS] = {kBumpShader,    kEnvShader,          kEnvShaderNoBase,
                                                        kBumpEnvShader, kBumpEnvAlphaShader, kBumpEnvOpaqueShader};

GxD3D9MatFXState& state = gxD3D9MatFXState;

void ReleaseShaders()
{
    for (IDirect3DPixelShader9*& shader : state.shaders) {
        if (shader) {
            GxD3D9DeleteVertexShader(shader);
            shader = nullptr;
        }
    }
}

// The six shaders in table order; one the device refuses stays null.
void CreateShaders()
{
    for (GxInt32 i = 0; i < gxD3D9MATFXSHADERS; i++) {
        if (!GxD3D9CreatePixelShader(kShaderTokens[i], &state.shaders[i])) {
            state.shaders[i] = nullptr;
        }
    }
}

}  // namespace

IDirect3DPixelShader9* GxD3D9MatFXShader(GxInt32 which)
{
    GX_ASSERT(which >= 0 && which < gxD3D9MATFXSHADERS, "one of the six shaders");
    return state.shaders[which];
}

GxD3D9MaterialEffectsCaps* GxD3D9MaterialEffectsGetCaps(void) { return &state.caps; }

// ---------------------------------------------------------------------------------------------- shared helpers

void GxD3D9MatFXDraw(const GxD3D9InstanceHeader* header, const GxD3D9MeshInstance* mesh)
{
    GxD3D9InstanceMeshDraw(header, mesh, mesh->vertexBase);
}

void GxD3D9MatFXDrawFixed(const GxD3D9InstanceHeader* header, const GxD3D9MeshInstance* mesh)
{
    GxD3D9SetPixelShader(nullptr);
    GxD3D9SetVertexShader(static_cast<IDirect3DVertexShader9*>(mesh->shader));
    GxD3D9MatFXDraw(header, mesh);
}

void GxD3D9MatFXColour(GxUInt32 stage, GxUInt32 op, GxUInt32 arg1, GxUInt32 arg2)
{
    GxD3D9SetTextureStageState(stage, D3DTSS_COLOROP, op);
    GxD3D9SetTextureStageState(stage, D3DTSS_COLORARG1, arg1);
    GxD3D9SetTextureStageState(stage, D3DTSS_COLORARG2, arg2);
}

void GxD3D9MatFXAlpha(GxUInt32 stage, GxUInt32 op, GxUInt32 arg1, GxUInt32 arg2)
{
    GxD3D9SetTextureStageState(stage, D3DTSS_ALPHAOP, op);
    GxD3D9SetTextureStageState(stage, D3DTSS_ALPHAARG1, arg1);
    GxD3D9SetTextureStageState(stage, D3DTSS_ALPHAARG2, arg2);
}

void GxD3D9MatFXStageOff(GxUInt32 stage)
{
    GxD3D9SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
    GxD3D9SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

void GxD3D9MatFXStage0(GxBool textured, const GxTexture* texture)
{
    if (textured) {
        GxD3D9SetTexture(texture, 0);
        GxD3D9MatFXColour(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        GxD3D9MatFXAlpha(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        return;
    }
    GxD3D9SetTexture(nullptr, 0);
    GxD3D9MatFXColour(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    GxD3D9MatFXAlpha(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE);
}

GxBool GxD3D9MatFXApplyTransform(const GxMatrix* matrix, GxUInt32 stage)
{
    if (!matrix || (matrix->flags & kIdentityFlag)) {
        return 0;
    }
    GxD3D9SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    D3DMATRIX& m = state.textureMatrix;
    m.m[0][0] = matrix->right.x;
    m.m[0][1] = matrix->right.y;
    m.m[1][0] = matrix->up.x;
    m.m[1][1] = matrix->up.y;
    m.m[2][0] = matrix->pos.x;
    m.m[2][1] = matrix->pos.y;
    GxD3D9SetTransform(D3DTS_TEXTURE0 + stage, &m);
    return 1;
}

GxBool GxD3D9MatFXTextured(GxUInt32 flags) { return (flags & (gxGEOMETRYTEXTURED | gxGEOMETRYTEXTURED2)) != 0; }

GxMaterialEffectsSlot* GxD3D9MatFXSlot(const GxMaterial* material, GxInt32 slotType)
{
    return GxMaterialEffectsGetSlot(material, slotType);
}

void GxD3D9MatFXOnePalette(const GxTexture* first, GxTexture* second)
{
    if (!first || !second || first == second || !first->raster || !second->raster) {
        return;
    }
    const GxInt32 both = GxRasterGetFormat(first->raster) & GxRasterGetFormat(second->raster);
    if (both & gxRASTERFORMATPAL8) {
        GxD3D9RasterConvertFromPalette(second->raster);
    }
}

GxUInt32 GxD3D9MatFXShininess(GxReal coef)
{
    const long rounded = std::lround(static_cast<double>(coef) * 255.0);
    return static_cast<GxUInt32>(rounded) & 0xFFu;
}

// ---------------------------------------------------------------------------------------------- pipelines

namespace {

// A pipeline of one all-in-one node whose callbacks are the effects'; null with nothing left when a step fails.
GxPipeline* MakePipeline(GxNodeDefinition* node, GxD3D9InstanceCallBack instance, GxD3D9InstanceCallBack* own)
{
    GxPipeline* pipeline = GxPipelineCreate();
    if (!pipeline) {
        return nullptr;
    }
    pipeline->ownerPluginId = gxPLUGINMATERIALEFFECTS;
    if (!GxPipelineLock(pipeline) || !GxPipelineAddFragment(pipeline, nullptr, node, nullptr) ||
        !GxPipelineUnlock(pipeline)) {
        GxPipelineDestroy(pipeline);
        return nullptr;
    }
    GxPipelineNode* found = GxPipelineFindNodeByName(pipeline, node->name, nullptr, nullptr);
    if (!found) {
        GxPipelineDestroy(pipeline);
        return nullptr;
    }
    *own = GxD3D9AllInOneNodeGetInstanceCallback(found);
    GxD3D9AllInOneNodeSetInstanceCallback(found, instance);
    GxD3D9AllInOneNodeSetRenderCallback(found, GxMaterialEffectsRenderCallback);
    return pipeline;
}

void ReadCaps(const D3DCAPS9& caps)
{
    GxD3D9MaterialEffectsCaps& c = state.caps;
    c = GxD3D9MaterialEffectsCaps{};
    c.blendStages = caps.MaxTextureBlendStages;
    if (caps.MaxTextureBlendStages >= 2) {
        c.twoTextures = caps.MaxSimultaneousTextures >= 2;
        c.multiplyAdd = (caps.TextureOpCaps & D3DTEXOPCAPS_MULTIPLYADD) != 0;
        c.modulate2x = (caps.TextureOpCaps & D3DTEXOPCAPS_MODULATE2X) != 0;
        c.validateModulate2x = 1;
        c.validateEnvAdd = 1;
    }
    c.pixelShaders = (caps.PixelShaderVersion & kShaderVersionMask) >= kShaderVersion11;
}

GxTexture* MakeBumpTextureHook(GxTexture* base, GxTexture* bump)
{
    return GxMaterialEffectsCreateBumpedTexture(base, bump);
}

}  // namespace

GxBool GxMaterialEffectsPipelinesOpen(void)
{
    state = GxD3D9MatFXState{};
    state.textureMatrix.m[2][2] = 1.0f;
    state.atomicPipeline =
        MakePipeline(GxD3D9AtomicAllInOneNodeGet(), GxMaterialEffectsAtomicInstanceCallback, &state.atomicInstance);
    state.sectorPipeline = state.atomicPipeline
                               ? MakePipeline(GxD3D9WorldSectorAllInOneNodeGet(),
                                              GxMaterialEffectsSectorInstanceCallback, &state.sectorInstance)
                               : nullptr;
    // Every routine expects both pipelines: without one the plugin does not open.
    if (!state.atomicPipeline || !state.sectorPipeline) {
        GxMaterialEffectsPipelinesClose();
        return 0;
    }
    ReadCaps(*GxD3D9GetCaps());
    if (state.caps.pixelShaders) {
        CreateShaders();
    }
    return 1;
}

GxBool GxMaterialEffectsPipelinesClose(void)
{
    for (GxPipeline** pipeline : {&state.atomicPipeline, &state.sectorPipeline}) {
        if (*pipeline) {
            GxPipelineDestroy(*pipeline);
            *pipeline = nullptr;
        }
    }
    ReleaseShaders();
    return 1;
}

GxAtomic* GxMaterialEffectsAtomicSetPipeline(GxAtomic* atomic)
{
    atomic->pipeline = state.atomicPipeline;
    return atomic;
}

GxWorldSector* GxMaterialEffectsSectorSetPipeline(GxWorldSector* sector)
{
    sector->pipeline = state.sectorPipeline;
    return sector;
}

GxBool GxD3D9MaterialEffectsPluginAttach(void)
{
    static const GxMaterialEffectsDriverHooks hooks = {GxMaterialEffectsPipelinesOpen, GxMaterialEffectsPipelinesClose,
                                                       GxMaterialEffectsAtomicSetPipeline,
                                                       GxMaterialEffectsSectorSetPipeline, MakeBumpTextureHook};
    GxMaterialEffectsSetDriverHooks(&hooks);
    return GxMaterialEffectsPluginAttach();
}

// ---------------------------------------------------------------------------------------------- instance callbacks

namespace {

// Bump-mapped meshes want per-vertex tangents when a pixel shader will draw them.
bool WantsTangents(GxD3D9InstanceHeader* header)
{
    if (!state.caps.pixelShaders) {
        return false;
    }
    const GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        const GxInt32 type = meshes[m].material
                                 ? GxMaterialEffectsGetType(static_cast<const GxMaterial*>(meshes[m].material))
                                 : gxMATFXEFFECTNULL;
        if (type == gxMATFXEFFECTBUMPMAP || type == gxMATFXEFFECTBUMPENVMAP) {
            return true;
        }
    }
    return false;
}

}  // namespace

GxBool GxMaterialEffectsAtomicInstanceCallback(void* object, GxD3D9InstanceHeader* header, GxBool reinstance)
{
    auto* atomic = static_cast<GxAtomic*>(object);
    if (!reinstance && WantsTangents(header)) {
        GxD3D9GeometrySetUsageFlags(atomic->geometry,
                                    GxD3D9GeometryGetUsageFlags(atomic->geometry) | gxD3D9USAGETANGENTS);
    }
    GX_ASSERT(state.atomicInstance != nullptr, "the pipeline was opened");
    return state.atomicInstance(object, header, reinstance);
}

GxBool GxMaterialEffectsSectorInstanceCallback(void* object, GxD3D9InstanceHeader* header, GxBool reinstance)
{
    auto* sector = static_cast<GxWorldSector*>(object);
    if (!reinstance && WantsTangents(header)) {
        GxD3D9SectorSetUsageFlags(sector, GxD3D9SectorGetUsageFlags(sector) | gxD3D9USAGETANGENTS);
    }
    GX_ASSERT(state.sectorInstance != nullptr, "the pipeline was opened");
    return state.sectorInstance(object, header, reinstance);
}

// ---------------------------------------------------------------------------------------------- render callback

namespace {

void DrawMesh(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 flags)
{
    const auto* material = static_cast<const GxMaterial*>(mesh->material);
    GxTexture* base = material ? material->texture : nullptr;
    const GxInt32 type = material ? GxMaterialEffectsGetType(material) : gxMATFXEFFECTNULL;
    // Each effect reads its slots by their type: a record whose slots do not fit its type draws plain.
    const GxMaterialEffectsSlot* bump = GxD3D9MatFXSlot(material, gxMATFXSLOTBUMPMAP);
    const GxMaterialEffectsSlot* env = GxD3D9MatFXSlot(material, gxMATFXSLOTENVMAP);
    const GxMaterialEffectsSlot* dual = GxD3D9MatFXSlot(material, gxMATFXSLOTDUAL);
    switch (type) {
    case gxMATFXEFFECTBUMPMAP:
        if (bump) {
            GxMaterialEffectsRenderBumpMap(header, mesh, flags, base, bump->data.bumpMap.bumpTexture, nullptr);
            return;
        }
        break;
    case gxMATFXEFFECTENVMAP:
        if (env) {
            GxMaterialEffectsRenderEnvMap(header, mesh, flags, 0, base, env->data.envMap.texture);
            return;
        }
        break;
    case gxMATFXEFFECTBUMPENVMAP:
        if (bump && env) {
            GxMaterialEffectsRenderBumpMap(header, mesh, flags, base, bump->data.bumpMap.bumpTexture,
                                           env->data.envMap.texture);
            return;
        }
        break;
    case gxMATFXEFFECTDUAL:
    case gxMATFXEFFECTDUALUVTRANSFORM:
        if (dual) {
            GxMaterialEffectsRenderDual(header, mesh, flags, base, dual->data.dual.texture);
            return;
        }
        break;
    default:
        break;
    }
    GxMaterialEffectsRenderPlain(header, mesh, flags, base);
}

}  // namespace

void GxMaterialEffectsRenderCallback(GxResourceEntry* entry, void* object, GxUInt8 type, GxUInt32 flags)
{
    auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(entry + 1);
    GxD3D9CullTest(object, type);
    GxUInt32 lighting = 0;
    GxD3D9GetRenderState(D3DRS_LIGHTING, &lighting);
    const bool black = !lighting && !(flags & gxGEOMETRYPRELIT);
    if (black) {
        GxD3D9SetTexture(nullptr, 0);
        GxD3D9SetRenderState(D3DRS_TEXTUREFACTOR, kOpaqueBlack);
        GxD3D9MatFXColour(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_TFACTOR);
        GxD3D9MatFXAlpha(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_TFACTOR);
    }
    GxD3D9SetInstanceBuffers(header);
    GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        const auto* material = static_cast<const GxMaterial*>(meshes[m].material);
        const GxUInt32 alpha = material ? material->color.alpha : kOpaque;
        GxD3D9SetVertexAlpha(meshes[m].hasVertexAlpha || alpha < kOpaque);
        if (black) {
            GxMaterialEffectsRenderBlack(header, &meshes[m]);
            continue;
        }
        if (lighting && material) {
            GxD3D9SetSurfaceProperties(&material->surfaceProps, &material->color, flags);
        }
        DrawMesh(header, &meshes[m], flags);
    }
    if (black) {
        GxD3D9MatFXStage0(1, nullptr);
    }
}

// ---------------------------------------------------------------------------------------------- plain and black

void GxMaterialEffectsRenderBlack(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh)
{
    GxD3D9MatFXDrawFixed(header, mesh);
}

void GxMaterialEffectsRenderPlain(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 flags,
                                  GxTexture* baseTexture)
{
    const auto* material = static_cast<const GxMaterial*>(mesh->material);
    GxBool transformed = 0;
    const GxBool textured = GxD3D9MatFXTextured(flags);
    GxD3D9MatFXStage0(textured, baseTexture);
    if (textured && material && GxMaterialEffectsGetType(material) == gxMATFXEFFECTUVTRANSFORM) {
        const GxMaterialEffectsSlot* slot = GxD3D9MatFXSlot(material, gxMATFXSLOTUVTRANSFORM);
        transformed = slot && GxD3D9MatFXApplyTransform(slot->data.uvTransform.baseTransform, 0);
    }
    GxD3D9MatFXDrawFixed(header, mesh);
    if (transformed) {
        GxD3D9SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    }
    if (!textured) {
        GxD3D9MatFXStage0(1, nullptr);
    }
}

// ---------------------------------------------------------------------------------------------- dual texture

namespace {

constexpr GxInt32 kZero = gxD3D9BLENDZERO;
constexpr GxInt32 kOne = gxD3D9BLENDONE;
constexpr GxInt32 kSrcColour = gxD3D9BLENDSRCCOLOR;
constexpr GxInt32 kSrcAlpha = gxD3D9BLENDSRCALPHA;
constexpr GxInt32 kInvSrcAlpha = gxD3D9BLENDINVSRCALPHA;
constexpr GxInt32 kDestColour = gxD3D9BLENDDESTCOLOR;

bool Validates()
{
    IDirect3DDevice9* device = GxD3D9Device();
    GX_ASSERT(device != nullptr, "meshes are drawn while the device exists");
    GxD3D9RenderStateFlush();
    DWORD passes = 0;
    return SUCCEEDED(device->ValidateDevice(&passes)) && passes <= 1;
}

// The last stage of a three-stage arrangement modulates by the diffuse colour.
void DiffuseLast(GxUInt32 stage)
{
    GxD3D9MatFXColour(stage, D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_CURRENT);
    GxD3D9MatFXAlpha(stage, D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_CURRENT);
}

// Stage 0 passes the base texture through; stage 1 then combines the dual texture with it.
void BaseThrough()
{
    GxD3D9MatFXColour(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    GxD3D9MatFXAlpha(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
}

// Sets up the single-pass arrangement of a blend pair; false when the pair takes the second pass.
bool SinglePass(GxTexture* base, GxTexture* dual, GxInt32 src, GxInt32 dst)
{
    const GxD3D9MaterialEffectsCaps& caps = state.caps;
    const bool three = caps.blendStages == kThreeStages;
    const auto pair = [&](GxInt32 s, GxInt32 d) { return src == s && dst == d; };
    if (pair(kDestColour, kZero) || pair(kZero, kSrcColour) || pair(kZero, kSrcAlpha)) {
        const GxUInt32 texture = pair(kZero, kSrcAlpha) ? (D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE) : D3DTA_TEXTURE;
        if (!base) {
            GxD3D9SetTexture(dual, 0);
            GxD3D9MatFXColour(0, D3DTOP_MODULATE, texture, D3DTA_DIFFUSE);
            if (pair(kZero, kSrcAlpha)) {
                GxD3D9MatFXAlpha(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE);
            } else {
                GxD3D9MatFXAlpha(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
            }
            return true;
        }
        GxD3D9SetTexture(dual, 1);
        if (three) {
            BaseThrough();
            DiffuseLast(2);
        }
        GxD3D9MatFXColour(1, D3DTOP_MODULATE, texture, D3DTA_CURRENT);
        GxD3D9MatFXAlpha(1, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_CURRENT);
        return true;
    }
    if (pair(kSrcAlpha, kInvSrcAlpha)) {
        if (!base) {
            GxD3D9SetRenderState(D3DRS_TEXTUREFACTOR, kWhiteFactor);
            GxD3D9SetTexture(dual, 0);
            GxD3D9MatFXColour(0, D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTA_TFACTOR);
            GxD3D9MatFXAlpha(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_TFACTOR);
            DiffuseLast(1);
            return true;
        }
        if (caps.blendStages < kThreeStages) {
            return false;
        }
        GxD3D9SetTexture(dual, 1);
        BaseThrough();
        GxD3D9MatFXColour(1, D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTA_CURRENT);
        GxD3D9MatFXAlpha(1, D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTA_CURRENT);
        DiffuseLast(2);
        return true;
    }
    if (pair(kDestColour, kSrcColour)) {
        if (!caps.modulate2x) {
            return false;
        }
        if (!base) {
            GxD3D9SetTexture(dual, 0);
            GxD3D9MatFXColour(0, D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE);
            GxD3D9MatFXAlpha(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        } else {
            GxD3D9SetTexture(dual, 1);
            GxD3D9MatFXColour(1, D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_CURRENT);
            if (three) {
                BaseThrough();
                DiffuseLast(2);
            }
            GxD3D9MatFXAlpha(1, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_CURRENT);
        }
        if (state.caps.validateModulate2x) {
            state.caps.validateModulate2x = 0;
            if (!Validates()) {
                state.caps.modulate2x = 0;
                GxD3D9MatFXStage0(1, base);
                GxD3D9SetTexture(nullptr, 1);
                GxD3D9MatFXStageOff(1);
                GxD3D9MatFXStageOff(2);
                return false;
            }
        }
        return true;
    }
    if (pair(kOne, kOne)) {
        if (!base) {
            // Stage 0 keeps its colour operation, so the sum is what the second pass would add to the first.
            GxD3D9SetTexture(dual, 0);
            GxD3D9MatFXAlpha(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE);
            GxD3D9MatFXColour(1, D3DTOP_ADD, D3DTA_DIFFUSE, D3DTA_CURRENT);
            GxD3D9MatFXAlpha(1, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_CURRENT);
            return true;
        }
        if (!caps.multiplyAdd) {
            return false;
        }
        GxD3D9SetTexture(dual, 1);
        GxD3D9SetTextureStageState(1, D3DTSS_COLORARG0, D3DTA_CURRENT);
        GxD3D9MatFXColour(1, D3DTOP_MULTIPLYADD, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        GxD3D9MatFXAlpha(1, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_CURRENT);
        return true;
    }
    return false;
}

// The dual texture blended over what the first pass drew, with the dual data's blend.
void SecondPass(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 flags, GxTexture* dual,
                const GxMaterialEffectsDual& data, const GxMatrix* dualTransform)
{
    GxD3D9SetTexture(dual, 0);
    GxD3D9MatFXApplyTransform(dualTransform, 0);
    GxD3D9SetVertexAlpha(1);
    const GxInt32 src = data.srcBlendMode, dst = data.dstBlendMode;
    // The modulating blends must not lose pixels to an alpha test meant for the first pass.
    if ((src == kDestColour && dst == kZero) || (src == kZero && dst == kSrcColour) ||
        (src == kDestColour && dst == kSrcColour)) {
        GxD3D9SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    }
    GxUInt32 srcBlend = 0, dstBlend = 0, zWrite = 0, fog = 0, fogColour = 0;
    GxD3D9RenderStateGet(gxRENDERSTATESRCBLEND, &srcBlend);
    GxD3D9RenderStateGet(gxRENDERSTATEDESTBLEND, &dstBlend);
    GxD3D9RenderStateSet(gxRENDERSTATESRCBLEND, reinterpret_cast<void*>(static_cast<uintptr_t>(src)));
    GxD3D9RenderStateSet(gxRENDERSTATEDESTBLEND, reinterpret_cast<void*>(static_cast<uintptr_t>(dst)));
    GxD3D9GetRenderState(D3DRS_ZWRITEENABLE, &zWrite);
    GxD3D9SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    GxD3D9GetRenderState(D3DRS_FOGENABLE, &fog);
    if (fog) {
        GxD3D9GetRenderState(D3DRS_FOGCOLOR, &fogColour);
        if (dst == kOne) {
            GxD3D9SetRenderState(D3DRS_FOGCOLOR, 0);
        } else if (src == kDestColour || dst == kSrcColour) {
            GxD3D9SetRenderState(D3DRS_FOGCOLOR, kWhiteFactor);
        }
    }
    const bool second = (flags & gxGEOMETRYTEXTURED2) != 0;
    if (second) {
        GxD3D9SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
    }
    GxD3D9MatFXDrawFixed(header, mesh);
    GxD3D9SetRenderState(D3DRS_ZWRITEENABLE, zWrite);
    if (fog) {
        GxD3D9SetRenderState(D3DRS_FOGCOLOR, fogColour);
    }
    if (second) {
        GxD3D9SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    }
    GxD3D9SetVertexAlpha(0);
    GxD3D9RenderStateSet(gxRENDERSTATESRCBLEND, reinterpret_cast<void*>(static_cast<uintptr_t>(srcBlend)));
    GxD3D9RenderStateSet(gxRENDERSTATEDESTBLEND, reinterpret_cast<void*>(static_cast<uintptr_t>(dstBlend)));
}

}  // namespace

void GxMaterialEffectsRenderDual(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 flags,
                                 GxTexture* baseTexture, GxTexture* dualTexture)
{
    const auto* material = static_cast<const GxMaterial*>(mesh->material);
    const GxMaterialEffectsSlot* dualSlot = GxD3D9MatFXSlot(material, gxMATFXSLOTDUAL);
    if (!dualTexture || !dualTexture->raster) {
        GxMaterialEffectsRenderPlain(header, mesh, flags, baseTexture);
        return;
    }
    GX_ASSERT(dualSlot != nullptr, "a dual texture comes from the material's dual slot");
    const GxMaterialEffectsDual& data = dualSlot->data.dual;
    const GxMaterialEffectsSlot* transformSlot = GxD3D9MatFXSlot(material, gxMATFXSLOTUVTRANSFORM);
    const GxMatrix* baseTransform = transformSlot ? transformSlot->data.uvTransform.baseTransform : nullptr;
    const GxMatrix* dualTransform = transformSlot ? transformSlot->data.uvTransform.dualTransform : nullptr;
    const GxBool textured = GxD3D9MatFXTextured(flags);
    GxD3D9MatFXStage0(textured, baseTexture);
    GxD3D9MatFXApplyTransform(baseTransform, 0);
    GxD3D9MatFXOnePalette(baseTexture, dualTexture);
    const bool second = (flags & gxGEOMETRYTEXTURED2) != 0;
    if (state.caps.twoTextures && SinglePass(baseTexture, dualTexture, data.srcBlendMode, data.dstBlendMode)) {
        if (!second) {
            GxD3D9SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
        }
        GxD3D9MatFXApplyTransform(dualTransform, 1);
        GxD3D9MatFXDrawFixed(header, mesh);
        GxD3D9SetTexture(nullptr, 1);
        GxD3D9MatFXColour(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        GxD3D9MatFXAlpha(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        GxD3D9MatFXStageOff(1);
        GxD3D9MatFXStageOff(2);
        if (!second) {
            GxD3D9SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
        }
    } else {
        GxD3D9MatFXDrawFixed(header, mesh);
        SecondPass(header, mesh, flags, dualTexture, data, dualTransform);
        GxD3D9MatFXStage0(1, baseTexture);
    }
    if (transformSlot) {
        GxD3D9SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        GxD3D9SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    }
}

// ---------------------------------------------------------------------------------------------- bumped texture

GxTexture* GxMaterialEffectsCreateBumpedTexture(GxTexture* baseTexture, GxTexture* bumpTexture)
{
    if (!bumpTexture) {
        return baseTexture ? GxTextureAddRef(baseTexture) : nullptr;
    }
    for (const GxTexture* texture : {baseTexture, bumpTexture}) {
        if (texture && texture->raster && GxD3D9RasterIsCompressed(texture->raster)) {
            return nullptr;
        }
    }
    return GxMaterialEffectsCreateBumpTexture(baseTexture, bumpTexture);
}
