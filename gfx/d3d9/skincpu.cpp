// Processor skinning: palette construction with its cache key, and the weighted blends.
#include "gfx/d3d9/skincpu.h"

#include <emmintrin.h>

#include <cstring>

#include "gfx/core/frame.h"
#include "gfx/core/matrix.h"
#include "gfx/d3d9/d3d9drv.h"
#include "gfx/world/clump.h"
#include "gfx/world/world.h"

namespace {

// The palette holds the pose of one hierarchy through one skin's skin-to-bone matrices: two skins on the same
// hierarchy and frame (a body and its lighter level of detail, say) may bind differently.
struct PaletteKey {
    const GxAnimHierarchy* hierarchy;
    const GxSkin* skin;
    GxUInt32 stamp;
    const GxFrame* frame;
    bool valid;
};

PaletteKey paletteKey = {nullptr, nullptr, 0, nullptr, false};

// dst = a x b for affine matrices (row vectors) by the built-in product, whatever routine is installed, with
// the spare words cleared.
inline void Affine(GxMatrix* dst, const GxMatrix* a, const GxMatrix* b)
{
    GxMatrixMultiplyX87(dst, a, b);
    dst->flags = 0;
    dst->pad1 = dst->pad2 = dst->pad3 = 0;
}

inline GxV3d* At(void* base, GxUInt32 stride, GxUInt32 v)
{
    return reinterpret_cast<GxV3d*>(static_cast<GxUInt8*>(base) + static_cast<size_t>(stride) * v);
}

// Weighted sum of the vertex's bone matrices, one packed register per row; palette rows keep 0 in their fourth
// float, so the spare lane stays 0.
struct Rows {
    __m128 r[4];
};

inline void AddWeighted(Rows* sum, const GxMatrix& m, GxReal weight)
{
    const __m128 w = _mm_set1_ps(weight);
    const float* f = &m.right.x;
    for (GxInt32 i = 0; i < 4; i++) {
        sum->r[i] = _mm_add_ps(sum->r[i], _mm_mul_ps(w, _mm_loadu_ps(f + 4 * i)));
    }
}

inline void Store3(GxV3d* out, __m128 v)
{
    _mm_storel_pi(reinterpret_cast<__m64*>(&out->x), v);
    _mm_store_ss(&out->z, _mm_movehl_ps(v, v));
}

inline __m128 Transform(const Rows& m, const GxV3d& v, bool point)
{
    __m128 p = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(v.x), m.r[0]), _mm_mul_ps(_mm_set1_ps(v.y), m.r[1]));
    p = _mm_add_ps(p, _mm_mul_ps(_mm_set1_ps(v.z), m.r[2]));
    return point ? _mm_add_ps(p, m.r[3]) : p;
}

// Bones of a vertex, at most `slots`, with the weight tests that skip bones: a first weight of 1 or more takes
// bone 0 alone; the third counts when above 0, the fourth only when the third does too. The weighted matrices
// are summed first and the vertex transformed once.
template <GxUInt32 slots>
void Blend(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
           const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride)
{
    const bool normals = normalsIn && normalsOut;
    for (GxUInt32 v = 0; v < count; v++) {
        const GxReal* w = &weights[v * gxSKINMAXWEIGHTS];
        const GxUInt32 packed = indices[v];
        GxUInt32 used = 1;
        if (slots > 1 && w[0] < 1.0f) {
            used = 2;
            if (slots > 2 && w[2] > 0.0f) {
                used = (w[3] > 0.0f) ? 4 : 3;
            }
        }
        Rows sum = {{_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()}};
        for (GxUInt32 k = 0; k < used; k++) {
            AddWeighted(&sum, palette[(packed >> (8 * k)) & 0xFF], used == 1 ? 1.0f : w[k]);
        }
        Store3(At(positionsOut, stride, v), Transform(sum, positionsIn[v], true));
        if (normals) {
            Store3(At(normalsOut, stride, v), Transform(sum, normalsIn[v], false));
        }
    }
}

// The column layout's transforms: row c . (x, y, z, w).
inline void ColumnPoint(const GxReal* m, const GxV3d& v, GxV3d* out, GxReal w)
{
    out->x += w * (m[0] * v.x + m[1] * v.y + m[2] * v.z + m[3]);
    out->y += w * (m[4] * v.x + m[5] * v.y + m[6] * v.z + m[7]);
    out->z += w * (m[8] * v.x + m[9] * v.y + m[10] * v.z + m[11]);
}

inline void ColumnVector(const GxReal* m, const GxV3d& v, GxV3d* out, GxReal w)
{
    out->x += w * (m[0] * v.x + m[1] * v.y + m[2] * v.z);
    out->y += w * (m[4] * v.x + m[5] * v.y + m[6] * v.z);
    out->z += w * (m[8] * v.x + m[9] * v.y + m[10] * v.z);
}

// The scalar blend: each used bone transforms the vertex and the weighted results are summed.
template <GxUInt32 slots>
void BlendColumns(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxReal* palette,
                  const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                  GxUInt32 stride)
{
    const bool normals = normalsIn && normalsOut;
    for (GxUInt32 v = 0; v < count; v++) {
        const GxReal* w = &weights[v * gxSKINMAXWEIGHTS];
        const GxUInt32 packed = indices[v];
        GxUInt32 used = 1;
        if (slots > 1 && w[0] < 1.0f) {
            used = 2;
            if (slots > 2 && w[2] > 0.0f) {
                used = (w[3] > 0.0f) ? 4 : 3;
            }
        }
        GxV3d p = {0.0f, 0.0f, 0.0f};
        GxV3d n = {0.0f, 0.0f, 0.0f};
        for (GxUInt32 k = 0; k < used; k++) {
            const GxReal* m = palette + gxD3D9SKINBONEFLOATS * ((packed >> (8 * k)) & 0xFF);
            const GxReal weight = used == 1 ? 1.0f : w[k];
            ColumnPoint(m, positionsIn[v], &p, weight);
            if (normals) {
                ColumnVector(m, normalsIn[v], &n, weight);
            }
        }
        *At(positionsOut, stride, v) = p;
        if (normals) {
            *At(normalsOut, stride, v) = n;
        }
    }
}

// Picks the routine for the skin's weights; `Routines` names the four of one layout.
template <typename Palette, typename Routines>
void BlendSkin(const GxSkin* skin, const Palette* palette, GxUInt32 count, const GxV3d* positionsIn, void* positionsOut,
               const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride)
{
    // Never past the skin's per-vertex arrays.
    if (count > skin->numVertices) {
        count = skin->numVertices;
    }
    const GxUInt32 weights = skin->maxNumWeightsForVertex;
    const GxReal* w = skin->vertexBoneWeights;
    const GxUInt32* i = skin->vertexBoneIndices;
    if (weights >= 3) {
        Routines::weights4(count, w, i, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
    } else if (weights == 2) {
        Routines::weights2(count, w, i, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
    } else if (skin->numBoneIDs == 1) {
        Routines::single(count, Routines::bone(palette, skin->boneIDs[0]), positionsIn, positionsOut, normalsIn,
                         normalsOut, stride);
    } else {
        Routines::weights1(count, w, i, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
    }
}

struct ColumnRoutines {
    static constexpr auto weights4 = GxD3D9SkinBlendWeights4;
    static constexpr auto weights2 = GxD3D9SkinBlendWeights2;
    static constexpr auto weights1 = GxD3D9SkinBlendWeights1;
    static constexpr auto single = GxD3D9SkinBlendSingleBone;
    static const GxReal* bone(const GxReal* palette, GxUInt32 b) { return palette + gxD3D9SKINBONEFLOATS * b; }
};

struct RowRoutines {
    static constexpr auto weights4 = GxD3D9SkinBlendWeights4SSE;
    static constexpr auto weights2 = GxD3D9SkinBlendWeights2SSE;
    static constexpr auto weights1 = GxD3D9SkinBlendWeights1SSE;
    static constexpr auto single = GxD3D9SkinBlendSingleBoneSSE;
    static const GxMatrix* bone(const GxMatrix* palette, GxUInt32 b) { return palette + b; }
};

// The processor layouts' stamp in the palette key: the render frame (the vertex-shader path stores its complement).
GxUInt32 CurrentStamp() { return GxWorldGetRenderFrame(); }

}  // namespace

GxUInt32 GxD3D9SkinPaletteCount(const GxSkin* skin, const GxAnimHierarchy* hierarchy)
{
    GxUInt32 count = hierarchy->numNodes > 0 ? static_cast<GxUInt32>(hierarchy->numNodes) : 0u;
    if (count > skin->numBones) {
        count = skin->numBones;
    }
    return count > gxSKINPALETTESIZE ? gxSKINPALETTESIZE : count;
}
void GxD3D9SkinPaletteMatrices(GxMatrix* palette, const GxMatrix* world, const GxSkin* skin,
                               const GxAnimHierarchy* hierarchy)
{
    const GxUInt32 count = GxD3D9SkinPaletteCount(skin, hierarchy);
    const bool frames = (hierarchy->flags & gxHANIMHIERARCHYNOMATRICES) || !hierarchy->pMatrixArray;
    const bool local = !frames && (hierarchy->flags & gxHANIMHIERARCHYLOCALSPACEMATRICES);
    GxMatrix inverse;
    const bool invert = !local && world;
    if (invert) {
        GxMatrixInvert(&inverse, world);
    }
    // Palette rows keep 0 in their spare words: the blend sums whole rows.
    GxMatrix identity;
    GxMatrixSetIdentity(&identity);
    identity.flags = 0;
    for (GxUInt32 i = 0; i < count; i++) {
        const GxMatrix* node = &identity;
        if (!frames) {
            node = &hierarchy->pMatrixArray[i];
        } else if (GxFrame* frame = hierarchy->pNodeInfo[i].pFrame) {
            node = GxFrameGetWorldMatrix(frame);
        }
        if (invert) {
            GxMatrix boneWorld;
            Affine(&boneWorld, &skin->skinToBoneMatrices[i], node);
            Affine(&palette[i], &boneWorld, &inverse);
        } else {
            Affine(&palette[i], &skin->skinToBoneMatrices[i], node);
        }
    }
    const GxUInt32 bones = skin->numBones < gxSKINPALETTESIZE ? skin->numBones : gxSKINPALETTESIZE;
    for (GxUInt32 i = count; i < bones; i++) {
        palette[i] = identity;
    }
}

GxBool GxD3D9SkinPaletteKeyMatches(const GxAnimHierarchy* hierarchy, const GxSkin* skin, GxUInt32 stamp,
                                   const GxFrame* frame)
{
    return paletteKey.valid && paletteKey.hierarchy == hierarchy && paletteKey.skin == skin &&
           paletteKey.stamp == stamp && paletteKey.frame == frame;
}

void GxD3D9SkinPaletteKeyStore(const GxAnimHierarchy* hierarchy, const GxSkin* skin, GxUInt32 stamp,
                               const GxFrame* frame)
{
    paletteKey = {hierarchy, skin, stamp, frame, true};
}

GxMatrix* GxD3D9SkinPaletteBuildSSE(GxAtomic* atomic, const GxSkin* skin, const GxAnimHierarchy* hierarchy)
{
    GxMatrix* palette = GxSkinGetPalette();
    GxFrame* frame = GxFramedObjectGetFrame(&atomic->object);
    const GxUInt32 stamp = CurrentStamp();
    if (!palette || GxD3D9SkinPaletteKeyMatches(hierarchy, skin, stamp, frame)) {
        return palette;
    }
    GxD3D9SkinPaletteMatrices(palette, frame ? GxFrameGetWorldMatrix(frame) : nullptr, skin, hierarchy);
    GxD3D9SkinPaletteKeyStore(hierarchy, skin, stamp, frame);
    return palette;
}

GxReal* GxD3D9SkinPaletteBuild(GxAtomic* atomic, const GxSkin* skin, const GxAnimHierarchy* hierarchy)
{
    GxMatrix* buffer = GxSkinGetPalette();
    GxFrame* frame = GxFramedObjectGetFrame(&atomic->object);
    const GxUInt32 stamp = CurrentStamp();
    auto* palette = reinterpret_cast<GxReal*>(buffer);
    if (!buffer || GxD3D9SkinPaletteKeyMatches(hierarchy, skin, stamp, frame)) {
        return palette;
    }
    // The row products first, each then turned into columns in place.
    GxD3D9SkinPaletteMatrices(buffer, frame ? GxFrameGetWorldMatrix(frame) : nullptr, skin, hierarchy);
    GxMatrix identity;
    GxMatrixSetIdentity(&identity);
    const GxUInt32 bones = skin->numBones < gxSKINPALETTESIZE ? skin->numBones : gxSKINPALETTESIZE;
    for (GxUInt32 i = 0; i < bones; i++) {
        const GxMatrix rows = buffer[i];
        GxD3D9SkinMatrixMultiplyPalette(palette + gxD3D9SKINBONEFLOATS * i, &rows, &identity);
    }
    GxD3D9SkinPaletteKeyStore(hierarchy, skin, stamp, frame);
    return palette;
}

void GxD3D9SkinMatrixMultiplyPalette(GxReal* out, const GxMatrix* a, const GxMatrix* b)
{
    GxMatrix product;
    Affine(&product, a, b);
    const GxReal columns[gxD3D9SKINCOLUMNFLOATS] = {product.right.x, product.up.x, product.at.x, product.pos.x,
                                                    product.right.y, product.up.y, product.at.y, product.pos.y,
                                                    product.right.z, product.up.z, product.at.z, product.pos.z};
    memcpy(out, columns, sizeof(columns));
}

void GxD3D9SkinPaletteInvalidate(void) { paletteKey.valid = false; }

void GxD3D9SkinBlendWeights4(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxReal* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride)
{
    BlendColumns<4>(count, weights, indices, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
}

void GxD3D9SkinBlendWeights2(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxReal* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride)
{
    BlendColumns<2>(count, weights, indices, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
}

void GxD3D9SkinBlendWeights1(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxReal* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride)
{
    BlendColumns<1>(count, weights, indices, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
}

void GxD3D9SkinBlendSingleBone(GxUInt32 count, const GxReal* matrix, const GxV3d* positionsIn, void* positionsOut,
                               const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride)
{
    const bool normals = normalsIn && normalsOut;
    for (GxUInt32 v = 0; v < count; v++) {
        GxV3d p = {0.0f, 0.0f, 0.0f};
        ColumnPoint(matrix, positionsIn[v], &p, 1.0f);
        *At(positionsOut, stride, v) = p;
        if (normals) {
            GxV3d n = {0.0f, 0.0f, 0.0f};
            ColumnVector(matrix, normalsIn[v], &n, 1.0f);
            *At(normalsOut, stride, v) = n;
        }
    }
}

void GxD3D9SkinBlendWeights4SSE(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                                const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                                GxUInt32 stride)
{
    Blend<4>(count, weights, indices, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
}

void GxD3D9SkinBlendWeights2SSE(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                                const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                                GxUInt32 stride)
{
    Blend<2>(count, weights, indices, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
}

void GxD3D9SkinBlendWeights1SSE(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                                const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                                GxUInt32 stride)
{
    Blend<1>(count, weights, indices, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
}

void GxD3D9SkinBlendSingleBoneSSE(GxUInt32 count, const GxMatrix* matrix, const GxV3d* positionsIn, void* positionsOut,
                                  const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride)
{
    Rows rows;
    const float* f = &matrix->right.x;
    for (GxInt32 i = 0; i < 4; i++) {
        rows.r[i] = _mm_loadu_ps(f + 4 * i);
    }
    const bool normals = normalsIn && normalsOut;
    for (GxUInt32 v = 0; v < count; v++) {
        Store3(At(positionsOut, stride, v), Transform(rows, positionsIn[v], true));
        if (normals) {
            Store3(At(normalsOut, stride, v), Transform(rows, normalsIn[v], false));
        }
    }
}

void GxD3D9SkinBlend(const GxSkin* skin, const GxReal* palette, GxUInt32 count, const GxV3d* positionsIn,
                     void* positionsOut, const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride)
{
    BlendSkin<GxReal, ColumnRoutines>(skin, palette, count, positionsIn, positionsOut, normalsIn, normalsOut, stride);
}

void GxD3D9SkinBlendSSE(const GxSkin* skin, const GxMatrix* palette, GxUInt32 count, const GxV3d* positionsIn,
                        void* positionsOut, const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride)
{
    BlendSkin<GxMatrix, RowRoutines>(skin, palette, count, positionsIn, positionsOut, normalsIn, normalsOut, stride);
}

GxBool GxD3D9SkinBlendAtomic(GxAtomic* atomic, const GxSkin* skin, const GxAnimHierarchy* hierarchy, GxUInt32 count,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride)
{
    if (GxCPUHaveSSE()) {
        const GxMatrix* palette = GxD3D9SkinPaletteBuildSSE(atomic, skin, hierarchy);
        if (palette) {
            GxD3D9SkinBlendSSE(skin, palette, count, positionsIn, positionsOut, normalsIn, normalsOut, stride);
        }
        return palette != nullptr;
    }
    const GxReal* palette = GxD3D9SkinPaletteBuild(atomic, skin, hierarchy);
    if (palette) {
        GxD3D9SkinBlend(skin, palette, count, positionsIn, positionsOut, normalsIn, normalsOut, stride);
    }
    return palette != nullptr;
}
