// Processor feature tests, the floating-point modes after start and the SSE point and vector transforms.
#include <cpuid.h>
#include <x86intrin.h>
#include <xmmintrin.h>

#include <cstdint>

#include "gfx/core/matrix.h"
#include "gfx/d3d9/cpu_local.h"
#include "gfx/d3d9/d3d9_local.h"

namespace {

constexpr unsigned int flushToZero = 0x8000;
constexpr unsigned long long eflagsID = 0x200000;
constexpr unsigned int sseBits = (1u << 25) | (1u << 26);
constexpr unsigned int sse2Bit = 1u << 26;
constexpr unsigned int amd3DNowBit = 1u << 31;
// CPUID leaves: the standard feature bits, the highest extended leaf, the extended feature bits.
constexpr unsigned int featureLeaf = 1;
constexpr unsigned int extendedLeaves = 0x80000000u;
constexpr unsigned int extendedFeatureLeaf = 0x80000001u;

// A processor has CPUID when the ID flag of EFLAGS can be flipped; the flags are put back either way.
bool HaveCPUID()
{
    const unsigned long long saved = __readeflags();
    __writeeflags(saved ^ eflagsID);
    const bool changed = ((__readeflags() ^ saved) & eflagsID) != 0;
    __writeeflags(saved);
    return changed;
}

bool CPUID(unsigned int leaf, unsigned int* a, unsigned int* b, unsigned int* c, unsigned int* d)
{
    if (!HaveCPUID()) {
        return false;
    }
    __cpuid(leaf, *a, *b, *c, *d);
    return true;
}

GxBool DetectSSE(unsigned int mask)
{
    unsigned int a, b, c, d;
    if (!CPUID(featureLeaf, &a, &b, &c, &d)) {
        return 0;
    }
    return (d & mask) != 0;
}

GxBool Detect3DNow()
{
    unsigned int a, b, c, d;
    if (!CPUID(extendedLeaves, &a, &b, &c, &d) || a < extendedFeatureLeaf) {
        return 0;
    }
    CPUID(extendedFeatureLeaf, &a, &b, &c, &d);
    return (d & amd3DNowBit) != 0;
}

// The matrix rows with the spare fourth word replaced by the third, so flags never reach the arithmetic.
struct Rows {
    __m128 right, up, at, pos;
};

inline __m128 LoadRow(const float* row, bool aligned)
{
    const __m128 r = aligned ? _mm_load_ps(row) : _mm_loadu_ps(row);
    return _mm_shuffle_ps(r, r, _MM_SHUFFLE(2, 2, 1, 0));
}

inline Rows LoadRows(const GxMatrix* m)
{
    const bool aligned = (reinterpret_cast<uintptr_t>(m) & 15) == 0;
    return Rows{LoadRow(&m->right.x, aligned), LoadRow(&m->up.x, aligned), LoadRow(&m->at.x, aligned),
                LoadRow(&m->pos.x, aligned)};
}

// A vector is z*at + (y*up + x*right).
inline __m128 Vector(const Rows& r, const GxV3d* s)
{
    const __m128 xy = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(s->y), r.up), _mm_mul_ps(_mm_set1_ps(s->x), r.right));
    return _mm_add_ps(_mm_mul_ps(_mm_set1_ps(s->z), r.at), xy);
}

// A point is (z*at + y*up) + (x*right + position).
inline __m128 Point(const Rows& r, const GxV3d* s)
{
    const __m128 zy = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(s->z), r.at), _mm_mul_ps(_mm_set1_ps(s->y), r.up));
    return _mm_add_ps(zy, _mm_add_ps(_mm_mul_ps(_mm_set1_ps(s->x), r.right), r.pos));
}

// x and y in one 8-byte store, z in a 4-byte one.
inline void StorePair(GxV3d* d, __m128 v)
{
    _mm_storel_pi(reinterpret_cast<__m64*>(d), v);
    _mm_store_ss(&d->z, _mm_movehl_ps(v, v));
}

inline void StoreScalar(GxV3d* d, __m128 v)
{
    _mm_store_ss(&d->x, v);
    _mm_store_ss(&d->y, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)));
    _mm_store_ss(&d->z, _mm_movehl_ps(v, v));
}

// Points take the translation row, vectors do not; scalar stores write one float at a time.
GxV3d* TransformMany(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix, bool point, bool scalar)
{
    const Rows rows = LoadRows(matrix);
    for (GxInt32 i = 0; i < count; i++) {
        const __m128 v = point ? Point(rows, &src[i]) : Vector(rows, &src[i]);
        if (scalar) {
            StoreScalar(&dst[i], v);
        } else {
            StorePair(&dst[i], v);
        }
    }
    return dst;
}

}  // namespace

GxCPUFeatures gxCPUFeatures = {0, 0, 0};

void GxCPUDetectFeatures(void)
{
    gxCPUFeatures.sse = DetectSSE(sseBits);
    gxCPUFeatures.sse2 = DetectSSE(sse2Bit);
    gxCPUFeatures.amd3DNow = Detect3DNow();
}

GxBool GxCPUHaveSSE(void) { return gxCPUFeatures.sse; }
GxBool GxCPUHaveSSE2(void) { return gxCPUFeatures.sse2; }
GxBool GxCPUHave3DNow(void) { return gxCPUFeatures.amd3DNow; }

GxD3D9TransformSet GxD3D9ChooseTransformFunctions(GxBool sse, GxBool sse2, GxBool amd3DNow)
{
    if (!sse) {
        return GxD3D9TransformSet{GxV3dTransformPointX87, GxV3dTransformPointsX87, GxV3dTransformVectorX87,
                                  GxV3dTransformVectorsX87};
    }
    // Separate stores suit the processors with SSE2 but without 3DNow! best.
    if (sse2 && !amd3DNow) {
        return GxD3D9TransformSet{GxV3dTransformPointSSEScalar, GxV3dTransformPointsSSEScalar,
                                  GxV3dTransformVectorSSEScalar, GxV3dTransformVectorsSSEScalar};
    }
    return GxD3D9TransformSet{GxV3dTransformPointSSE, GxV3dTransformPointsSSE, GxV3dTransformVectorSSE,
                              GxV3dTransformVectorsSSE};
}

void GxD3D9CPUAfterStart(void)
{
    GxFPUSetSinglePrecision();
    if (gxCPUFeatures.sse) {
        _mm_setcsr(_mm_getcsr() | flushToZero);
    }
    GxMatrixSetMultiplyFunction(GxMatrixMultiplyX87);
    const GxD3D9TransformSet set =
        GxD3D9ChooseTransformFunctions(gxCPUFeatures.sse, gxCPUFeatures.sse2, gxCPUFeatures.amd3DNow);
    GxV3dSetTransformFunctions(set.point, set.points, set.vector, set.vectors);
}

void GxD3D9CPUBeforeStop(void)
{
    GxFPURestoreControlWord();
    if (gxCPUFeatures.sse) {
        _mm_setcsr(_mm_getcsr() & ~flushToZero);
    }
}

GxV3d* GxV3dTransformPointsSSE(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix)
{
    return TransformMany(dst, src, count, matrix, true, false);
}

GxV3d* GxV3dTransformVectorsSSE(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix)
{
    return TransformMany(dst, src, count, matrix, false, false);
}

GxV3d* GxV3dTransformPointSSE(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix)
{
    return TransformMany(dst, src, 1, matrix, true, false);
}

GxV3d* GxV3dTransformVectorSSE(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix)
{
    return TransformMany(dst, src, 1, matrix, false, false);
}

GxV3d* GxV3dTransformPointsSSEScalar(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix)
{
    return TransformMany(dst, src, count, matrix, true, true);
}

GxV3d* GxV3dTransformVectorsSSEScalar(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix)
{
    return TransformMany(dst, src, count, matrix, false, true);
}

GxV3d* GxV3dTransformPointSSEScalar(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix)
{
    return TransformMany(dst, src, 1, matrix, true, true);
}

GxV3d* GxV3dTransformVectorSSEScalar(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix)
{
    return TransformMany(dst, src, 1, matrix, false, true);
}
