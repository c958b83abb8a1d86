// Processor skinning: palette construction with its cache key, and the weighted blends.
#include "gfx/d3d9/skincpu.h"

#include <emmintrin.h>

#include "gfx/core/frame.h"
#include "gfx/core/matrix.h"
#include "gfx/world/clump.h"

namespace {

// The palette holds the pose of one hierarchy through one skin's skin-to-bone matrices: two skins on the same
// hierarchy and frame (a body and its lighter level of detail, say) may bind differently.
struct PaletteKey {
    const GxAnimHierarchy* hierarchy;
    const GxSkin* skin;
    GxUInt32 counter;
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

inline void Point(const GxMatrix& m, const GxV3d& v, GxV3d* out, GxReal w)
{
    out->x += w * (v.x * m.right.x + v.y * m.up.x + v.z * m.at.x + m.pos.x);
    out->y += w * (v.x * m.right.y + v.y * m.up.y + v.z * m.at.y + m.pos.y);
    out->z += w * (v.x * m.right.z + v.y * m.up.z + v.z * m.at.z + m.pos.z);
}

inline void Vector(const GxMatrix& m, const GxV3d& v, GxV3d* out, GxReal w)
{
    out->x += w * (v.x * m.right.x + v.y * m.up.x + v.z * m.at.x);
    out->y += w * (v.x * m.right.y + v.y * m.up.y + v.z * m.at.y);
    out->z += w * (v.x * m.right.z + v.y * m.up.z + v.z * m.at.z);
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

GxMatrix* GxD3D9SkinPaletteBuild(GxAtomic* atomic, const GxSkin* skin, const GxAnimHierarchy* hierarchy,
                                 GxUInt32 counter)
{
    GxMatrix* palette = GxSkinGetPalette();
    GxFrame* frame = GxFramedObjectGetFrame(&atomic->object);
    if (!palette) {
        return nullptr;
    }
    if (paletteKey.valid && paletteKey.hierarchy == hierarchy && paletteKey.skin == skin &&
        paletteKey.counter == counter && paletteKey.frame == frame) {
        return palette;
    }
    GxD3D9SkinPaletteMatrices(palette, frame ? GxFrameGetWorldMatrix(frame) : nullptr, skin, hierarchy);
    paletteKey = {hierarchy, skin, counter, frame, true};
    return palette;
}

void GxD3D9SkinPaletteInvalidate(void) { paletteKey.valid = false; }

void GxD3D9SkinBlendWeights4(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride)
{
    Blend<4>(count, weights, indices, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
}

void GxD3D9SkinBlendWeights2(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride)
{
    Blend<2>(count, weights, indices, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
}

void GxD3D9SkinBlendWeights1(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride)
{
    Blend<1>(count, weights, indices, palette, positionsIn, positionsOut, normalsIn, normalsOut, stride);
}

void GxD3D9SkinBlendSingleBone(GxUInt32 count, const GxMatrix* matrix, const GxV3d* positionsIn, void* positionsOut,
                               const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride)
{
    const bool normals = normalsIn && normalsOut;
    for (GxUInt32 v = 0; v < count; v++) {
        GxV3d p = {0.0f, 0.0f, 0.0f};
        Point(*matrix, positionsIn[v], &p, 1.0f);
        *At(positionsOut, stride, v) = p;
        if (normals) {
            GxV3d n = {0.0f, 0.0f, 0.0f};
            Vector(*matrix, normalsIn[v], &n, 1.0f);
            *At(normalsOut, stride, v) = n;
        }
    }
}

void GxD3D9SkinBlend(const GxSkin* skin, const GxMatrix* palette, GxUInt32 count, const GxV3d* positionsIn,
                     void* positionsOut, const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride)
{
    // Never past the skin's per-vertex arrays.
    if (count > skin->numVertices) {
        count = skin->numVertices;
    }
    const GxUInt32 weights = skin->maxNumWeightsForVertex;
    if (weights >= 3) {
        GxD3D9SkinBlendWeights4(count, skin->vertexBoneWeights, skin->vertexBoneIndices, palette, positionsIn,
                                positionsOut, normalsIn, normalsOut, stride);
    } else if (weights == 2) {
        GxD3D9SkinBlendWeights2(count, skin->vertexBoneWeights, skin->vertexBoneIndices, palette, positionsIn,
                                positionsOut, normalsIn, normalsOut, stride);
    } else if (skin->numBoneIDs == 1) {
        GxD3D9SkinBlendSingleBone(count, &palette[skin->boneIDs[0]], positionsIn, positionsOut, normalsIn, normalsOut,
                                  stride);
    } else {
        GxD3D9SkinBlendWeights1(count, skin->vertexBoneWeights, skin->vertexBoneIndices, palette, positionsIn,
                                positionsOut, normalsIn, normalsOut, stride);
    }
}
