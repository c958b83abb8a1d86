// Immediate-mode 3D: a batch of vertices with a matrix, drawn as lines and triangles through two pipelines whose
// nodes the driver supplies.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/core/matrix.h"

struct GxPipeline;
struct GxNodeDefinition;

// The plugin ID of the driver's module that holds the batch context (a GxIm3DModuleBlock).
constexpr GxUInt32 gxPLUGINIM3D = 0x40A;

// Vertex as the caller hands it over (36 bytes): position, normal, D3D colour (B, G, R, A bytes), u, v.
struct GxIm3DVertex {
    GxV3d objVertex;
    GxV3d objNormal;
    GxUInt32 color;
    GxReal u;
    GxReal v;
};
static_assert(sizeof(GxIm3DVertex) == 36, "the submit node reads 36-byte vertices");

typedef GxUInt16 GxImVertexIndex;

// Transform flags.
enum GxIm3DTransformFlags : GxUInt32 {
    gxIM3DVERTEXUV = 0x1,       // the vertices carry texture coordinates
    gxIM3DNOVERTEXALPHA = 0x2,  // vertex alpha stays off
    gxIM3DNOCLIPPING = 0x4,     // the device need not clip
    gxIM3DVERTEXXYZ = 0x8,
    gxIM3DVERTEXRGBA = 0x10,
};

// Largest batch: 16-bit indexes name vertices 0 to 65535.
constexpr GxInt32 gxIM3DMAXVERTICES = 65536;

// The batch between GxIm3DTransform and GxIm3DEnd.
struct GxIm3DTransformContext {
    GxUInt32 numVerts;
    GxIm3DVertex* objVerts;
    GxUInt32 stride;
    GxUInt32 flags;
    const GxMatrix* matrix;
};

struct GxIm3DRenderContext {
    GxPipeline* pipeline;
    GxInt32 primType;
    const GxImVertexIndex* indices;  // null for a non-indexed draw
    GxUInt32 numIndices;
};

struct GxIm3DPool {
    GxIm3DTransformContext transform;
    GxIm3DRenderContext render;
};

constexpr GxInt32 gxIM3DNUMPRIMTYPES = 6;

// Im3D module data in the engine instance.
struct GxIm3DModuleBlock {
    GxPipeline* currentTransformPipeline;
    // By slot: tri list, tri fan, tri strip, line list, polyline, points.
    GxPipeline* renderPipelines[gxIM3DNUMPRIMTYPES];
    GxPipeline* defaultTransformPipeline;
    GxPipeline* defaultRenderPipelines[gxIM3DNUMPRIMTYPES];
    GxIm3DPool pool;
};

GxIm3DVertex* GxIm3DTransform(GxIm3DVertex* vertices, GxInt32 numVertices, const GxMatrix* matrix, GxUInt32 flags);
GxBool GxIm3DRenderPrimitive(GxInt32 primType);
GxBool GxIm3DRenderIndexedPrimitive(GxInt32 primType, const GxImVertexIndex* indices, GxInt32 numIndices);
GxBool GxIm3DEnd(void);
GxPipeline* GxIm3DSetTransformPipeline(GxPipeline* pipeline);
GxPipeline* GxIm3DSetRenderPipeline(GxPipeline* pipeline, GxInt32 primType);

// The driver's module opens the batch context in its block at offset, with its default pipelines built from the
// driver's instance and submit nodes; 0 when a pipeline cannot be made. Close undoes an open that succeeded.
GxBool GxIm3DContextOpen(GxInt32 offset, GxNodeDefinition* instanceNode, GxNodeDefinition* submitNode);
void GxIm3DContextClose(void);
// Whether a context is open (its block can be reached).
GxBool GxIm3DContextIsOpen(void);
