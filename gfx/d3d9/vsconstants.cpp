// Vertex-shader constants shared by the shader pipelines: the world matrix, the combined transform, object-space
// lights, material colour, fog and the bone palette.
#include "gfx/d3d9/vsconstants.h"

#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame.h"
#include "gfx/core/matrix.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/skincpu.h"
#include "gfx/world/clump.h"
#include "gfx/world/world.h"
#include "platform/d3d9/d3dx9.h"

namespace {

constexpr GxUInt32 kFloatsPerRegister = 4;
constexpr GxReal kByteScale = 1.0f / 255.0f;
constexpr GxReal kLog2E = 1.442695f;
constexpr GxReal kUnitDiagonal = 0.57735f;  // each component of a unit vector along the diagonal
constexpr GxUInt32 kFogLinear = 1;
constexpr GxUInt32 kStampMask = 0xFFFF;  // the render frame is a 16-bit counter

D3DXMATRIX worldMatrix;
GxMatrix world;
bool hasWorld = false;
D3DXMATRIX viewProjection;

GxMatrix inverse;
bool inverseValid = false;
GxMatrix direction;  // the inverse made orthonormal
bool directionValid = false;

bool Orthonormal(const GxMatrix& m) { return (m.flags & gxMATRIXTYPEORTHONORMAL) == gxMATRIXTYPEORTHONORMAL; }

bool Identity() { return !hasWorld || (world.flags & gxMATRIXINTERNALIDENTITY); }

const GxMatrix* Inverse()
{
    if (!inverseValid) {
        GxD3D9VSGetInverseWorldMatrix(&inverse);
    }
    return &inverse;
}

// Twelve floats of one bone: the rows (right.c, up.c, at.c, pos.c) for c = x, y, z.
void WriteBoneRows(GxReal* out, const GxMatrix& m)
{
    const GxReal rows[gxD3D9VSBONEFLOATS] = {m.right.x, m.up.x,  m.at.x,    m.pos.x, m.right.y, m.up.y,
                                             m.at.y,    m.pos.y, m.right.z, m.up.z,  m.at.z,    m.pos.z};
    memcpy(out, rows, sizeof(rows));
}

}  // namespace

void GxD3D9VSSetWorldMatrix(const GxMatrix* matrix)
{
    hasWorld = matrix != nullptr;
    inverseValid = false;
    directionValid = false;
    if (!matrix) {
        return;
    }
    world = *matrix;
    const GxV3d* rows[4] = {&matrix->right, &matrix->up, &matrix->at, &matrix->pos};
    for (GxInt32 r = 0; r < 4; r++) {
        worldMatrix.m[r][0] = rows[r]->x;
        worldMatrix.m[r][1] = rows[r]->y;
        worldMatrix.m[r][2] = rows[r]->z;
        worldMatrix.m[r][3] = r == 3 ? 1.0f : 0.0f;
    }
}

void GxD3D9VSGetCombinedTransform(D3DMATRIX* out)
{
    if (!gxD3D9State.viewProjection) {
        const D3DXMATRIX view(gxD3D9State.viewMatrix);
        const D3DXMATRIX projection(gxD3D9State.projectionMatrix);
        D3DXMatrixMultiply(&viewProjection, &view, &projection);
        gxD3D9State.viewProjection = &viewProjection;
    }
    D3DXMATRIX result;
    if (hasWorld) {
        D3DXMatrixMultiplyTranspose(&result, &worldMatrix, &viewProjection);
    } else {
        D3DXMatrixTranspose(&result, &viewProjection);
    }
    *out = result;
}

void GxD3D9VSGetInverseWorldMatrix(GxMatrix* out)
{
    if (inverseValid) {
        *out = inverse;
        return;
    }
    if (Identity()) {
        GxMatrixSetIdentity(&inverse);
    } else if (Orthonormal(world)) {
        // The rotation's transpose, and the position taken back through it.
        const GxMatrix& m = world;
        inverse.right = {m.right.x, m.up.x, m.at.x};
        inverse.up = {m.right.y, m.up.y, m.at.y};
        inverse.at = {m.right.z, m.up.z, m.at.z};
        inverse.pos = {-GxV3dDotProduct(&m.pos, &m.right), -GxV3dDotProduct(&m.pos, &m.up),
                       -GxV3dDotProduct(&m.pos, &m.at)};
        inverse.flags = m.flags & gxMATRIXTYPEORTHONORMAL;
        inverse.pad1 = inverse.pad2 = inverse.pad3 = 0;
    } else if (!GxMatrixInvert(&inverse, &world)) {
        GxMatrixSetIdentity(&inverse);  // a singular world: leave the lights where they are
    }
    inverseValid = true;
    *out = inverse;
}

void GxD3D9VSTransformDirection(GxV3d* out, const GxV3d* in)
{
    if (Identity()) {
        *out = *in;
        return;
    }
    const GxMatrix* m = Inverse();
    if (!Orthonormal(world)) {
        if (!directionValid) {
            GxMatrixOrthoNormalize(&direction, m);
            directionValid = true;
        }
        m = &direction;
    }
    const GxV3d v = *in;
    GxV3dTransformVector(out, &v, m);
}

void GxD3D9VSTransformPoint(GxV3d* out, const GxV3d* in)
{
    if (Identity()) {
        *out = *in;
        return;
    }
    const GxV3d v = *in;
    GxV3dTransformPoint(out, &v, Inverse());
}

GxReal GxD3D9VSTransformRadius(GxReal radius)
{
    if (Identity() || Orthonormal(world)) {
        return radius;
    }
    const GxV3d diagonal = {kUnitDiagonal, kUnitDiagonal, kUnitDiagonal};
    GxV3d scaled;
    GxV3dTransformVector(&scaled, &diagonal, Inverse());
    // The inverse shrinks a world length by the world's scale: the object-space radius is the world radius
    // times that length (its reciprocal would grow the reach by the scale instead).
    return radius * GxV3dLength(&scaled);
}

void GxD3D9VSScaleLightColors(GxD3D9VSLightColors* scaled, const GxD3D9VSLightColors* unscaled, GxReal ambient,
                              GxReal diffuse)
{
    constexpr GxInt32 kRGB = 3;
    const GxUInt32 lights = unscaled->numLights < gxD3D9VSMAXLIGHTS ? unscaled->numLights : gxD3D9VSMAXLIGHTS;
    scaled->numLights = lights;
    scaled->ambient[kRGB] = unscaled->ambient[kRGB];
    for (GxInt32 c = 0; c < kRGB; c++) {
        scaled->ambient[c] = unscaled->ambient[c] * ambient;
    }
    for (GxUInt32 l = 0; l < lights; l++) {
        for (GxInt32 c = 0; c < kRGB; c++) {
            scaled->colors[l][c] = unscaled->colors[l][c] * diffuse;
        }
        scaled->colors[l][kRGB] = unscaled->colors[l][kRGB];
    }
}

void GxD3D9VSSetMaterialColor(GxUInt32 reg, const GxRGBA* colour)
{
    const GxReal c[kFloatsPerRegister] = {colour->red * kByteScale, colour->green * kByteScale,
                                          colour->blue * kByteScale, colour->alpha * kByteScale};
    GxD3D9Device()->SetVertexShaderConstantF(reg, c, 1);
}

void GxD3D9VSSetFog(GxUInt32 reg, GxUInt32 fogMode)
{
    if (GxD3D9GetCaps()->RasterCaps & D3DPRASTERCAPS_WFOG) {
        return;
    }
    GxReal fog[kFloatsPerRegister] = {0.0f, 0.0f, 0.0f, 1.0f};
    if (fogMode == kFogLinear) {
        const GxCamera* camera = GxEngineInstance->curCamera;
        const GxReal range = camera ? camera->farPlane - camera->fogPlane : 0.0f;
        if (range > 0.0f) {
            fog[0] = -1.0f / range;
            fog[1] = camera->farPlane / range;
        }
    } else {
        GxReal density = 0.0f;
        GxD3D9RenderStateGet(gxRENDERSTATEFOGDENSITY, &density);
        fog[0] = density * kLog2E;
    }
    GxD3D9Device()->SetVertexShaderConstantF(reg, fog, 1);
}

const GxReal* GxD3D9VSSetBonePalette(GxMatrix* palette, GxAtomic* atomic, const GxAnimHierarchy* hierarchy)
{
    auto* rows = reinterpret_cast<GxReal*>(palette);
    const GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
    GxFrame* frame = GxFramedObjectGetFrame(&atomic->object);
    const GxUInt32 stamp = ~static_cast<GxUInt32>(GxWorldGetRenderFrame()) & kStampMask;
    GX_ASSERT(palette != nullptr && skin != nullptr, "a bone palette is built for a skinned atomic");
    if (GxD3D9SkinPaletteKeyMatches(hierarchy, skin, stamp, frame)) {
        return rows;
    }
    // The products as matrices first, then packed front to back into three registers a bone: an entry never
    // reaches past the matrix it is made from.
    GxD3D9SkinPaletteMatrices(palette, frame ? GxFrameGetWorldMatrix(frame) : nullptr, skin, hierarchy);
    const GxUInt32 bones = skin->numBones < gxSKINPALETTESIZE ? skin->numBones : gxSKINPALETTESIZE;
    for (GxUInt32 i = 0; i < bones; i++) {
        const GxMatrix m = palette[i];
        WriteBoneRows(rows + gxD3D9VSBONEFLOATS * i, m);
    }
    GxD3D9SkinPaletteKeyStore(hierarchy, skin, stamp, frame);
    return rows;
}
