// The environment-map effect: the environment stage set-up (sphere and cube maps) and the routine that adds a
// shiny environment to a mesh in a pixel-shader pass, one fixed-function pass or two passes.
#include <cstdint>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/matrix.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/matfx_local.h"
#include "gfx/d3d9/raster.h"
#include "gfx/d3d9/renderstate.h"

namespace {

constexpr GxUInt32 kFullShine = 255;
constexpr GxUInt32 kOpaque = 255;
constexpr GxUInt32 kWhiteFactor = 0xFFFFFFFFu;

// Camera-space normal (x, y) to u = 0.5 x + 0.5, v = 0.5 - 0.5 y.
const D3DMATRIX kScaleBias = {{{0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 0}}};

D3DMATRIX ToD3D(const GxMatrix& m)
{
    return D3DMATRIX{{{m.right.x, m.right.y, m.right.z, 0, m.up.x, m.up.y, m.up.z, 0, m.at.x, m.at.y, m.at.z, 0,
                       m.pos.x, m.pos.y, m.pos.z, 1}}};
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX out = {};
    for (int r = 0; r < 4; r++) {
        for (int c = 0; c < 4; c++) {
            for (int k = 0; k < 4; k++) {
                out.m[r][c] += a.m[r][k] * b.m[k][c];
            }
        }
    }
    return out;
}

const GxMatrix* CameraMatrix()
{
    GxCamera* camera = GxEngineInstance->curCamera;
    GX_ASSERT(camera != nullptr, "meshes are drawn through the current camera");
    auto* frame = static_cast<GxFrame*>(camera->object.object.parent);
    GX_ASSERT(frame != nullptr, "a drawing camera hangs on a frame");
    return GxFrameGetWorldMatrix(frame);
}

void SetBlend(GxInt32 state, GxUInt32 value)
{
    GxD3D9RenderStateSet(state, reinterpret_cast<void*>(static_cast<uintptr_t>(value)));
}

// The stage's texture coordinates back to its own set, untransformed.
void TransformDone(GxUInt32 stage)
{
    GxD3D9SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    GxD3D9SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, stage);
}

// The same, the stage's texture unbound first.
void StageDone(GxUInt32 stage)
{
    GxD3D9SetTexture(nullptr, stage);
    TransformDone(stage);
}

void SelectTexture(D3DTEXTURESTAGESTATETYPE op, D3DTEXTURESTAGESTATETYPE arg1)
{
    GxD3D9SetTextureStageState(0, op, D3DTOP_SELECTARG1);
    GxD3D9SetTextureStageState(0, arg1, D3DTA_TEXTURE);
}

}  // namespace

GxBool GxMaterialEffectsSetupEnvMapStage(GxTexture* texture, GxUInt32 stage, GxFrame* frame)
{
    GX_ASSERT(texture && texture->raster, "an environment texture with its raster");
    GxD3D9SetTexture(texture, stage);
    const GxMatrix* camera = CameraMatrix();
    D3DMATRIX matrix = kScaleBias;
    if (GxD3D9RasterIsCubeTexture(texture->raster)) {
        GxD3D9SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
        GxD3D9SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
        matrix = D3DMATRIX{{{-camera->right.x, -camera->right.y, -camera->right.z, 0, camera->up.x, camera->up.y,
                             camera->up.z, 0, camera->at.x, camera->at.y, camera->at.z, 0, 0, 0, 0, 1}}};
        GxD3D9SetTransform(D3DTS_TEXTURE0 + stage, &matrix);
        return 1;
    }
    GxD3D9SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    GxD3D9SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    if (frame) {
        // The sphere map turns with the environment frame: camera-space normals into the frame's space.
        GxMatrix inverse, product;
        GxMatrixInvert(&inverse, GxFrameGetWorldMatrix(frame));
        GxMatrixMultiply(&product, camera, &inverse);
        D3DMATRIX m = ToD3D(product);
        for (int c = 0; c < 3; c++) {
            m.m[0][c] = -m.m[0][c];
            m.m[3][c] = 0;
        }
        m.m[0][3] = 0;
        matrix = Multiply(m, kScaleBias);
    }
    GxD3D9SetTransform(D3DTS_TEXTURE0 + stage, &matrix);
    return 1;
}

void GxD3D9MatFXEnvAddPass(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxTexture* envTexture,
                           GxFrame* frame, GxUInt32 shininess)
{
    const GxUInt32 factor = shininess * 0x01010101u;
    GxMaterialEffectsSetupEnvMapStage(envTexture, 0, frame);
    GxD3D9SetVertexAlpha(1);
    GxUInt32 srcBlend = 0, dstBlend = 0;
    GxD3D9RenderStateGet(gxRENDERSTATESRCBLEND, &srcBlend);
    GxD3D9RenderStateGet(gxRENDERSTATEDESTBLEND, &dstBlend);
    SetBlend(gxRENDERSTATESRCBLEND, gxD3D9BLENDSRCALPHA);
    SetBlend(gxRENDERSTATEDESTBLEND, gxD3D9BLENDONE);
    if (factor == kWhiteFactor) {
        SelectTexture(D3DTSS_COLOROP, D3DTSS_COLORARG1);
        SelectTexture(D3DTSS_ALPHAOP, D3DTSS_ALPHAARG1);
    } else {
        GxD3D9SetRenderState(D3DRS_TEXTUREFACTOR, factor);
        GxD3D9MatFXColour(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_TFACTOR);
        GxD3D9MatFXAlpha(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_TFACTOR);
    }
    GxUInt32 lighting = 0, zWrite = 0, fog = 0, fogColour = 0;
    GxD3D9GetRenderState(D3DRS_LIGHTING, &lighting);
    GxD3D9GetRenderState(D3DRS_ZWRITEENABLE, &zWrite);
    GxD3D9GetRenderState(D3DRS_FOGENABLE, &fog);
    GxD3D9SetRenderState(D3DRS_LIGHTING, FALSE);
    GxD3D9SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    if (fog) {
        GxD3D9GetRenderState(D3DRS_FOGCOLOR, &fogColour);
        GxD3D9SetRenderState(D3DRS_FOGCOLOR, 0);
    }
    GxD3D9MatFXDrawFixed(header, mesh);
    if (fog) {
        GxD3D9SetRenderState(D3DRS_FOGCOLOR, fogColour);
    }
    GxD3D9SetRenderState(D3DRS_ZWRITEENABLE, zWrite);
    GxD3D9SetRenderState(D3DRS_LIGHTING, lighting);
    if (factor == kWhiteFactor) {
        GxD3D9SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        GxD3D9SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    } else {
        GxD3D9SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        GxD3D9SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }
    GxD3D9SetVertexAlpha(0);
    SetBlend(gxRENDERSTATESRCBLEND, srcBlend);
    SetBlend(gxRENDERSTATEDESTBLEND, dstBlend);
    TransformDone(0);
}

void GxMaterialEffectsRenderEnvMap(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 flags, GxInt32 pass,
                                   GxTexture* baseTexture, GxTexture* envTexture)
{
    const auto* material = static_cast<const GxMaterial*>(mesh->material);
    const GxInt32 slotIndex = pass == 0 ? 0 : 1;
    const GxMaterialEffectsSlot* slot = GxD3D9MatFXSlot(material, gxMATFXSLOTENVMAP);
    // Pass 1 belongs to the bump-and-environment effect, whose environment is its second slot.
    if (slot && slotIndex == 1 && GxMaterialEffectsGetType(material) != gxMATFXEFFECTBUMPENVMAP) {
        slot = nullptr;
    }
    const GxUInt32 shine = slot ? GxD3D9MatFXShininess(slot->data.envMap.coef) : 0;
    if (shine == 0 || !envTexture || !envTexture->raster) {
        if (pass == 0) {
            GxMaterialEffectsRenderPlain(header, mesh, flags, baseTexture);
        }
        return;
    }
    const GxMaterialEffectsEnvMap& env = slot->data.envMap;
    auto* frame = static_cast<GxFrame*>(env.frame);
    GxD3D9SetVertexShader(static_cast<IDirect3DVertexShader9*>(mesh->shader));
    if (pass != 0) {
        GxD3D9MatFXEnvAddPass(header, mesh, envTexture, frame, shine);
        return;
    }
    const bool useBase = GxD3D9MatFXTextured(flags) && baseTexture;
    GxTexture* base = useBase ? baseTexture : nullptr;
    GxD3D9SetTexture(base, 0);
    GxD3D9MatFXOnePalette(base, envTexture);
    GxD3D9MaterialEffectsCaps& caps = *GxD3D9MaterialEffectsGetCaps();
    const GxUInt32 alpha = material ? material->color.alpha : kOpaque;
    const bool alphaFree = env.useFrameBufferAlpha ||
                           (!mesh->hasVertexAlpha && alpha == kOpaque && !(useBase && GxD3D9TextureHasAlpha(base)));
    bool single = false, shader = false;
    if (alphaFree) {
        if (!GxD3D9TextureHasAlpha(envTexture)) {
            single =
                caps.multiplyAdd || (shine == kFullShine && (!useBase || caps.envAddValidated || caps.validateEnvAdd));
        } else {
            shader = GxD3D9MatFXShader(EnvShader) != nullptr;
        }
    }
    if (shader) {
        const float c0[4] = {env.coef, env.coef, env.coef, env.coef};
        IDirect3DDevice9* device = GxD3D9Device();
        GX_ASSERT(device != nullptr, "meshes are drawn while the device exists");
        device->SetPixelShaderConstantF(0, c0, 1);
        const GxUInt32 stage = useBase ? 1 : 0;
        IDirect3DPixelShader9* ps = GxD3D9MatFXShader(useBase ? EnvShader : EnvShaderNoBase);
        GxMaterialEffectsSetupEnvMapStage(envTexture, stage, frame);
        GxD3D9SetPixelShader(ps);
        GxD3D9MatFXDraw(header, mesh);
        StageDone(stage);
        return;
    }
    GxD3D9SetPixelShader(nullptr);
    GxD3D9MatFXStage0(useBase, base);
    if (single && shine == kFullShine && !useBase) {
        GxMaterialEffectsSetupEnvMapStage(envTexture, 0, frame);
        GxD3D9MatFXColour(0, D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        GxD3D9MatFXDraw(header, mesh);
        StageDone(0);
        return;
    }
    if (single) {
        GxMaterialEffectsSetupEnvMapStage(envTexture, 1, frame);
        if (shine == kFullShine) {
            GxD3D9MatFXColour(1, D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_CURRENT);
            if (caps.validateEnvAdd) {
                GxD3D9RenderStateFlush();
                DWORD passes = 0;
                IDirect3DDevice9* device = GxD3D9Device();
                GX_ASSERT(device != nullptr, "meshes are drawn while the device exists");
                caps.envAddValidated = SUCCEEDED(device->ValidateDevice(&passes)) && passes == 1;
                caps.validateEnvAdd = 0;
            }
        } else {
            GxD3D9SetRenderState(D3DRS_TEXTUREFACTOR, shine * 0x01010101u);
            GxD3D9SetTextureStageState(1, D3DTSS_COLORARG0, D3DTA_CURRENT);
            GxD3D9MatFXColour(1, D3DTOP_MULTIPLYADD, D3DTA_TEXTURE, D3DTA_TFACTOR);
        }
        GxD3D9MatFXDraw(header, mesh);
        StageDone(1);
        GxD3D9MatFXStageOff(1);
        return;
    }
    GxD3D9MatFXDraw(header, mesh);
    GxD3D9MatFXEnvAddPass(header, mesh, envTexture, frame, shine);
}
