// A lit, textured mesh drawn with plain OpenGL calls: the baseline the Direct3D 9 layer is timed against.
#pragma once

#include "platform/d3d9/d3d9.h"

#include <cstddef>
#include <cstdint>

// Vertices are XYZ | NORMAL | TEX1 (32 bytes). Every batch draws the whole
// index list from its own base vertex.
struct GlBaselineScene {
    const void* vertices;
    size_t vertexCount;
    const uint16_t* indices;
    size_t indexCount;
    const uint32_t* batchBaseVertices;
    int batchCount;
    const uint32_t* texels;  // A8R8G8B8, textureSize x textureSize
    int textureSize;
    D3DCOLOR background;
    D3DCOLOR ambient;
    D3DVECTOR lightDirection;  // one white directional light
};

struct GlBaseline;

// A hidden window of width x height with the scene uploaded; null when no
// OpenGL context can be had. throughFbo draws into a framebuffer object
// blitted to the window each frame, as the layer does.
GlBaseline* GlBaselineCreate(const GlBaselineScene& scene, int width, int height, bool throughFbo);
// Clears, draws every batch with the row-vector matrices given, and swaps.
void GlBaselineDrawFrame(GlBaseline* baseline, const D3DMATRIX& world, const D3DMATRIX& view, const D3DMATRIX& proj);
void GlBaselineDestroy(GlBaseline* baseline);
