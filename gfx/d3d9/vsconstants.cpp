// Vertex-shader constants shared by the shader pipelines: the world matrix and the combined transform.
#include <cstring>

#include "gfx/core/matrix.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/skinpipe.h"
#include "platform/d3d9/d3dx9.h"

namespace {

D3DXMATRIX worldMatrix;
bool hasWorld = false;
D3DXMATRIX viewProjection;

}  // namespace

void GxD3D9VSSetWorldMatrix(const GxMatrix* matrix)
{
    hasWorld = matrix != nullptr;
    if (!matrix) {
        return;
    }
    const GxV3d* rows[4] = {&matrix->right, &matrix->up, &matrix->at, &matrix->pos};
    for (GxInt32 r = 0; r < 4; r++) {
        worldMatrix.m[r][0] = rows[r]->x;
        worldMatrix.m[r][1] = rows[r]->y;
        worldMatrix.m[r][2] = rows[r]->z;
        worldMatrix.m[r][3] = r == 3 ? 1.0f : 0.0f;
    }
}

void GxD3D9GetWorldViewProjTransposed(D3DMATRIX* out)
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
