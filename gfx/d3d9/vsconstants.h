// Vertex-shader constants of the shader pipelines: the world matrix the constants are built for and what follows
// from it (the combined transform, the inverse world matrix, lights brought into object space), material colour,
// fog and the bone palette. The cached matrices are module state; one thread.
#pragma once

#include "gfx/anim/anim.h"
#include "gfx/core/gx.h"
#include "platform/d3d9/d3d9.h"

struct GxAtomic;
struct GxMatrix;

// Keeps the world matrix (null: the identity) and forgets the cached inverse and direction matrices.
void GxD3D9VSSetWorldMatrix(const GxMatrix* matrix);
// transpose(world x view x projection); view x projection is cached until the camera's next update.
void GxD3D9VSGetCombinedTransform(D3DMATRIX* out);
// The inverse of the world matrix (cached): the identity without one or for an identity-flagged one; an
// orthonormal matrix by its transposed rotation; any other by the general inverse.
void GxD3D9VSGetInverseWorldMatrix(GxMatrix* out);
// World space to object space: a direction through the inverse, made orthonormal when the world matrix is not;
// a point through the inverse; a radius scaled by the length the inverse gives a unit diagonal, so a light's
// reach in object space is its world reach divided by the world's scale.
void GxD3D9VSTransformDirection(GxV3d* out, const GxV3d* direction);
void GxD3D9VSTransformPoint(GxV3d* out, const GxV3d* point);
GxReal GxD3D9VSTransformRadius(GxReal radius);

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

// RGBA bytes x 1/255 into the register.
void GxD3D9VSSetMaterialColor(GxUInt32 reg, const GxRGBA* colour);
// The fog register of a fog mode (1 linear from the current camera's fog and far planes, 2 and 3 exponential
// from the fog-density render state); nothing on devices that fog by w.
void GxD3D9VSSetFog(GxUInt32 reg, GxUInt32 fogMode);

// Three registers per bone: rows (right.c, up.c, at.c, pos.c) for c = x, y, z.
constexpr GxUInt32 gxD3D9VSREGISTERSPERBONE = 3;
constexpr GxUInt32 gxD3D9VSBONEFLOATS = 4 * gxD3D9VSREGISTERSPERBONE;
// Fills `palette` (the skin module's palette buffer) with the atomic's bones, 48 bytes each:
// skin-to-bone(i) x node matrix(i) x inverse world (omitted for local-space hierarchies). Skipped while the
// palette key holds (hierarchy, skin, complement of the render frame, atomic's frame). Returns the rows.
const GxReal* GxD3D9VSSetBonePalette(GxMatrix* palette, GxAtomic* atomic, const GxAnimHierarchy* hierarchy);
