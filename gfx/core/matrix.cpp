// Matrix module: the matrix free list, multiplication, inversion, orthonormalisation and the combine operations.
#include <emmintrin.h>

#include <cmath>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/matrix.h"
#include "gfx/core/memory.h"

namespace {

constexpr GxUInt32 kIdentityFlags = gxMATRIXINTERNALIDENTITY | gxMATRIXTYPEORTHONORMAL;
constexpr GxReal kDegreesToRadians = 0.017453292f;
constexpr GxReal kDefaultTolerance = 0.01f;

struct GxMatrixModuleBlock {
    GxFreeList* matrixFreeList;
    GxUInt32 identityMask;
    GxMatrixMultiplyFunc multiply;
    GxMatrixTolerance tolerance;
};

GxInt32 matrixModuleOffset = -1;
GxInt32 matrixModuleInstances = 0;
GxFreeList matrixFreeListRecord;

GxMatrixModuleBlock* MatrixBlock()
{
    return static_cast<GxMatrixModuleBlock*>(GxCoreModuleBlock(matrixModuleOffset, matrixModuleInstances));
}

bool IsIdentity(const GxMatrix* m) { return (m->flags & gxMATRIXINTERNALIDENTITY) != 0; }

// Row r of a times b: r.x b.right + r.y b.up + r.z b.at.
inline GxV3d RowTimes(const GxV3d& r, const GxMatrix* b)
{
    return {r.x * b->right.x + r.y * b->up.x + r.z * b->at.x, r.x * b->right.y + r.y * b->up.y + r.z * b->at.y,
            r.x * b->right.z + r.y * b->up.z + r.z * b->at.z};
}

// RowTimes four lanes at once: the same products summed in the same order, so the same values.
inline __m128 RowTimesLanes(__m128 r, __m128 right, __m128 up, __m128 at)
{
    const __m128 x = _mm_shuffle_ps(r, r, _MM_SHUFFLE(0, 0, 0, 0));
    const __m128 y = _mm_shuffle_ps(r, r, _MM_SHUFFLE(1, 1, 1, 1));
    const __m128 z = _mm_shuffle_ps(r, r, _MM_SHUFFLE(2, 2, 2, 2));
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, right), _mm_mul_ps(y, up)), _mm_mul_ps(z, at));
}

// The first three lanes only: the word after a row (flags or pad) is not touched, nor read.
inline void StoreRow(GxV3d* row, __m128 v)
{
    _mm_storel_pi(reinterpret_cast<__m64*>(&row->x), v);
    _mm_store_ss(&row->z, _mm_movehl_ps(v, v));
}

// Reads every source value before the first store, so dst may be a or b. dst's pad words keep what they held.
// b's spare words are cleared before the arithmetic, so flag bits never enter it as denormals.
inline GxMatrix* PortableMultiply(GxMatrix* dst, const GxMatrix* a, const GxMatrix* b)
{
    const __m128 xyz = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
    const __m128 right = _mm_and_ps(_mm_loadu_ps(&b->right.x), xyz);
    const __m128 up = _mm_and_ps(_mm_loadu_ps(&b->up.x), xyz);
    const __m128 at = _mm_and_ps(_mm_loadu_ps(&b->at.x), xyz);
    const __m128 pos = _mm_and_ps(_mm_loadu_ps(&b->pos.x), xyz);
    const GxUInt32 flags = a->flags & b->flags;
    const __m128 outRight = RowTimesLanes(_mm_loadu_ps(&a->right.x), right, up, at);
    const __m128 outUp = RowTimesLanes(_mm_loadu_ps(&a->up.x), right, up, at);
    const __m128 outAt = RowTimesLanes(_mm_loadu_ps(&a->at.x), right, up, at);
    const __m128 outPos = _mm_add_ps(RowTimesLanes(_mm_loadu_ps(&a->pos.x), right, up, at), pos);
    StoreRow(&dst->right, outRight);
    StoreRow(&dst->up, outUp);
    StoreRow(&dst->at, outAt);
    StoreRow(&dst->pos, outPos);
    dst->flags = flags;
    return dst;
}

// An installed routine need not cope with dst aliasing a source, so aliased
// products go through a temporary; the built-in ones read everything first.
inline void MultiplyInto(GxMatrix* dst, const GxMatrix* a, const GxMatrix* b)
{
    const GxMatrixModuleBlock* block = MatrixBlock();
    const GxMatrixMultiplyFunc routine = block ? block->multiply : PortableMultiply;
    // The built-in product called directly, so that it is inlined where products run by the thousand.
    if (routine == PortableMultiply) {
        PortableMultiply(dst, a, b);
        return;
    }
    if ((dst != a && dst != b) || routine == GxMatrixMultiplyX87) {
        routine(dst, a, b);
        return;
    }
    GxMatrix result = *dst;
    routine(&result, a, b);
    std::memcpy(dst, &result, sizeof(result));
}

GxReal SquaredLength(const GxV3d& v) { return v.x * v.x + v.y * v.y + v.z * v.z; }

GxV3d Scaled(const GxV3d& v, GxReal s) { return {v.x * s, v.y * s, v.z * s}; }

GxV3d NormalizedCross(const GxV3d& a, const GxV3d& b)
{
    GxV3d c;
    GxV3dCrossProduct(&c, &a, &b);
    return Scaled(c, GxInvSqrt(SquaredLength(c)));
}

bool CombineIsValid(GxInt32 combine)
{
    if (combine == gxCOMBINEREPLACE || combine == gxCOMBINEPRECONCAT || combine == gxCOMBINEPOSTCONCAT) {
        return true;
    }
    GxErrorRaise(0, GxErrorMakeCode(gxERRINVALIDENUM, "Invalid combination type"));
    return false;
}

void* MatrixModuleOpen(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    matrixModuleOffset = offset;
    auto* block = reinterpret_cast<GxMatrixModuleBlock*>(static_cast<char*>(instance) + offset);
    block->matrixFreeList =
        GxFreeListCreateAndPreallocate(sizeof(GxMatrix), 256, 16, 1, &matrixFreeListRecord, 0x4000D);
    if (block->matrixFreeList == nullptr) {
        return nullptr;
    }
    block->identityMask = gxMATRIXINTERNALIDENTITY;
    block->multiply = PortableMultiply;
    block->tolerance = {kDefaultTolerance, kDefaultTolerance, kDefaultTolerance};
    matrixModuleInstances++;
    return instance;
}

void* MatrixModuleClose(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    auto* block = reinterpret_cast<GxMatrixModuleBlock*>(static_cast<char*>(instance) + offset);
    if (block->matrixFreeList != nullptr) {
        GxFreeListDestroy(block->matrixFreeList);
        block->matrixFreeList = nullptr;
    }
    matrixModuleInstances--;
    return instance;
}

}  // namespace

const GxCoreModule gxMatrixModule = {0x402, sizeof(GxMatrixModuleBlock), MatrixModuleOpen, MatrixModuleClose};

GxBool GxMatrixSetMultiplyFunction(GxMatrixMultiplyFunc routine)
{
    GxMatrixModuleBlock* block = MatrixBlock();
    GX_ASSERT(block != nullptr, "the multiply routine is set in an open engine");
    block->multiply = routine ? routine : PortableMultiply;
    return 1;
}

GxMatrix* GxMatrixMultiplyX87(GxMatrix* dst, const GxMatrix* a, const GxMatrix* b)
{
    return PortableMultiply(dst, a, b);
}

namespace {

// x87 control word: precision control in bits 8-9 (00 = 24-bit), exception masks in bits 0-5.
constexpr GxUInt16 kPrecisionBits = 0x0300;
constexpr GxUInt16 kExceptionMasks = 0x003F;
GxUInt16 savedControlWord = 0;

#if defined(__i386__) || defined(__x86_64__)
void WriteControlWord(GxUInt16 word) { __asm__ volatile("fldcw %0" : : "m"(word)); }
#else
// Without an x87 unit there is no control word: the value read back is the one last written.
GxUInt16 controlWord = 0x037F;
void WriteControlWord(GxUInt16 word) { controlWord = word; }
#endif

GxUInt16 SinglePrecision(GxUInt16 word) { return static_cast<GxUInt16>((word & ~kPrecisionBits) | kExceptionMasks); }

}  // namespace

#if defined(__i386__) || defined(__x86_64__)
GxUInt16 GxFPUReadControlWord(void)
{
    GxUInt16 word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}
#else
GxUInt16 GxFPUReadControlWord(void) { return controlWord; }
#endif

void GxFPUSetSinglePrecision(void)
{
    savedControlWord = GxFPUReadControlWord();
    WriteControlWord(SinglePrecision(savedControlWord));
}

void GxFPURestoreControlWord(void) { WriteControlWord(savedControlWord); }

void GxFPUForceSinglePrecision(void) { WriteControlWord(SinglePrecision(GxFPUReadControlWord())); }

GxMatrix* GxMatrixSetIdentity(GxMatrix* matrix)
{
    std::memset(matrix, 0, sizeof(*matrix));
    matrix->right.x = 1.0f;
    matrix->up.y = 1.0f;
    matrix->at.z = 1.0f;
    matrix->flags = kIdentityFlags;
    return matrix;
}

GxMatrix* GxMatrixCopy(GxMatrix* dst, const GxMatrix* src)
{
    if (dst != src) {
        std::memcpy(dst, src, sizeof(*dst));
    }
    return dst;
}

GxMatrix* GxMatrixCreate(void)
{
    GxMatrixModuleBlock* block = MatrixBlock();
    GX_ASSERT(block != nullptr, "matrices are made in an open engine");
    auto* matrix = static_cast<GxMatrix*>(GxFreeListAllocEntry(block->matrixFreeList, 0x3000D));
    if (matrix == nullptr) {
        GxErrorRaise(0, gxERRNOMEMORY);
        return nullptr;
    }
    return GxMatrixSetIdentity(matrix);
}

GxBool GxMatrixDestroy(GxMatrix* matrix)
{
    GxMatrixModuleBlock* block = MatrixBlock();
    GX_ASSERT(matrix && block, "a matrix goes back to the open module's free list");
    GxFreeListFreeEntry(block->matrixFreeList, matrix);
    return 1;
}

GxMatrix* GxMatrixMultiply(GxMatrix* dst, const GxMatrix* a, const GxMatrix* b)
{
    if (IsIdentity(a)) {
        return GxMatrixCopy(dst, b);
    }
    if (IsIdentity(b)) {
        return GxMatrixCopy(dst, a);
    }
    const GxUInt32 flags = a->flags & b->flags;
    MultiplyInto(dst, a, b);
    dst->flags = flags;
    return dst;
}

GxMatrix* GxMatrixUpdate(GxMatrix* matrix)
{
    matrix->flags &= ~kIdentityFlags;
    return matrix;
}

GxReal GxMatrixNormalError(const GxMatrix* m)
{
    const GxReal r = SquaredLength(m->right) - 1.0f;
    const GxReal u = SquaredLength(m->up) - 1.0f;
    const GxReal a = SquaredLength(m->at) - 1.0f;
    return r * r + u * u + a * a;
}

GxReal GxMatrixOrthogonalError(const GxMatrix* m)
{
    const GxReal ru = GxV3dDotProduct(&m->right, &m->up);
    const GxReal ra = GxV3dDotProduct(&m->right, &m->at);
    const GxReal ua = GxV3dDotProduct(&m->up, &m->at);
    return ru * ru + ra * ra + ua * ua;
}

GxReal GxMatrixIdentityError(const GxMatrix* m)
{
    const GxReal e[12] = {m->right.x - 1.0f, m->right.y, m->right.z,     m->up.x,  m->up.y - 1.0f, m->up.z,
                          m->at.x,           m->at.y,    m->at.z - 1.0f, m->pos.x, m->pos.y,       m->pos.z};
    GxReal sum = 0.0f;
    for (GxReal v : e) {
        sum += v * v;
    }
    return sum;
}

GxReal GxMatrixDeterminant(const GxMatrix* m)
{
    GxV3d c;
    GxV3dCrossProduct(&c, &m->up, &m->at);
    return GxV3dDotProduct(&m->right, &c);
}

GxMatrix* GxMatrixOptimize(GxMatrix* matrix, const GxMatrixTolerance* tolerance)
{
    GxMatrixTolerance defaults = {kDefaultTolerance, kDefaultTolerance, kDefaultTolerance};
    if (tolerance == nullptr) {
        const GxMatrixModuleBlock* block = MatrixBlock();
        tolerance = block ? &block->tolerance : &defaults;
    }
    GxUInt32 flags = matrix->flags & ~kIdentityFlags;
    if (GxMatrixNormalError(matrix) <= tolerance->normal) {
        flags |= gxMATRIXTYPENORMAL;
    }
    if (GxMatrixOrthogonalError(matrix) <= tolerance->orthogonal) {
        flags |= gxMATRIXTYPEORTHOGONAL;
    }
    if ((flags & gxMATRIXTYPEORTHONORMAL) == gxMATRIXTYPEORTHONORMAL &&
        GxMatrixIdentityError(matrix) <= tolerance->identity) {
        flags |= gxMATRIXINTERNALIDENTITY;
    }
    matrix->flags = flags;
    return matrix;
}

GxMatrix* GxMatrixInvert(GxMatrix* dst, const GxMatrix* src)
{
    if (IsIdentity(src)) {
        return GxMatrixCopy(dst, src);
    }
    GxMatrix result;
    std::memset(&result, 0, sizeof(result));
    const GxV3d p = src->pos;
    if ((src->flags & gxMATRIXTYPEORTHONORMAL) == gxMATRIXTYPEORTHONORMAL) {
        result.right = {src->right.x, src->up.x, src->at.x};
        result.up = {src->right.y, src->up.y, src->at.y};
        result.at = {src->right.z, src->up.z, src->at.z};
        result.pos = {-GxV3dDotProduct(&p, &src->right), -GxV3dDotProduct(&p, &src->up),
                      -GxV3dDotProduct(&p, &src->at)};
        result.flags = gxMATRIXTYPEORTHONORMAL;
        *dst = result;
        return dst;
    }
    // Columns of the inverse are the cofactor rows up x at, at x right, right x up.
    GxV3d c0;
    GxV3d c1;
    GxV3d c2;
    GxV3dCrossProduct(&c0, &src->up, &src->at);
    GxV3dCrossProduct(&c1, &src->at, &src->right);
    GxV3dCrossProduct(&c2, &src->right, &src->up);
    const GxReal det = GxV3dDotProduct(&src->right, &c0);
    GxUInt32 detBits;
    std::memcpy(&detBits, &det, sizeof(detBits));
    const GxReal scale = detBits == 0 ? 1.0f : 1.0f / det;
    result.right = {c0.x * scale, c1.x * scale, c2.x * scale};
    result.up = {c0.y * scale, c1.y * scale, c2.y * scale};
    result.at = {c0.z * scale, c1.z * scale, c2.z * scale};
    const GxV3d q = RowTimes(p, &result);
    result.pos = {-q.x, -q.y, -q.z};
    result.flags = 0;
    *dst = result;
    return dst;
}

GxMatrix* GxMatrixOrthoNormalize(GxMatrix* dst, const GxMatrix* src)
{
    const GxReal rightSq = SquaredLength(src->right);
    const GxReal upSq = SquaredLength(src->up);
    const GxReal atSq = SquaredLength(src->at);
    GxV3d right = Scaled(src->right, GxInvSqrt(rightSq));
    GxV3d up = Scaled(src->up, GxInvSqrt(upSq));
    GxV3d at = Scaled(src->at, GxInvSqrt(atSq));
    const GxReal dUpAt = std::fabs(GxV3dDotProduct(&up, &at));
    const GxReal dAtRight = std::fabs(GxV3dDotProduct(&at, &right));
    const GxReal dUpRight = std::fabs(GxV3dDotProduct(&up, &right));

    enum {
        kKeepRight,
        kKeepUp,
        kKeepAt
    } keep;
    if (rightSq == 0.0f) {
        keep = kKeepUp;
    } else if (upSq == 0.0f) {
        keep = kKeepAt;
    } else if (atSq == 0.0f) {
        keep = kKeepRight;
    } else if (dUpAt < dAtRight && dUpAt < dUpRight) {
        keep = kKeepUp;
    } else if (dAtRight < dUpRight) {
        keep = kKeepAt;
    } else {
        keep = kKeepRight;
    }

    if (keep == kKeepUp) {
        right = NormalizedCross(up, at);
        at = NormalizedCross(right, up);
    } else if (keep == kKeepAt) {
        up = NormalizedCross(at, right);
        right = NormalizedCross(up, at);
    } else {
        at = NormalizedCross(right, up);
        up = NormalizedCross(at, right);
    }
    const GxV3d pos = src->pos;
    dst->right = right;
    dst->up = up;
    dst->at = at;
    dst->pos = pos;
    dst->flags = (dst->flags & ~gxMATRIXINTERNALIDENTITY) | gxMATRIXTYPEORTHONORMAL;
    return dst;
}

GxMatrix* GxMatrixRotateCosSin(GxMatrix* matrix, const GxV3d* unitAxis, GxReal oneMinusCos, GxReal sine,
                               GxInt32 combine)
{
    if (!CombineIsValid(combine)) {
        return nullptr;
    }
    const GxReal x = unitAxis->x;
    const GxReal y = unitAxis->y;
    const GxReal z = unitAxis->z;
    const GxReal k = oneMinusCos;
    const GxReal s = sine;
    GxMatrix rotation;
    std::memset(&rotation, 0, sizeof(rotation));
    rotation.right = {1.0f - (1.0f - x * x) * k, x * y * k + z * s, x * z * k - y * s};
    rotation.up = {x * y * k - z * s, 1.0f - (1.0f - y * y) * k, y * z * k + x * s};
    rotation.at = {x * z * k + y * s, y * z * k - x * s, 1.0f - (1.0f - z * z) * k};
    rotation.flags = gxMATRIXTYPEORTHONORMAL;

    if (combine == gxCOMBINEREPLACE || IsIdentity(matrix)) {
        *matrix = rotation;
        return matrix;
    }
    const GxUInt32 flags = matrix->flags & gxMATRIXTYPEORTHONORMAL;
    if (combine == gxCOMBINEPRECONCAT) {
        MultiplyInto(matrix, &rotation, matrix);
    } else {
        MultiplyInto(matrix, matrix, &rotation);
    }
    matrix->flags = flags;
    return matrix;
}

GxMatrix* GxMatrixRotate(GxMatrix* matrix, const GxV3d* axis, GxReal angle, GxInt32 combine)
{
    if (!CombineIsValid(combine)) {
        return nullptr;
    }
    const GxV3d unit = Scaled(*axis, GxInvSqrt(SquaredLength(*axis)));
    const GxReal radians = angle * kDegreesToRadians;
    return GxMatrixRotateCosSin(matrix, &unit, 1.0f - std::cos(radians), std::sin(radians), combine);
}

GxMatrix* GxMatrixTranslate(GxMatrix* matrix, const GxV3d* t, GxInt32 combine)
{
    if (!CombineIsValid(combine)) {
        return nullptr;
    }
    if (combine == gxCOMBINEREPLACE) {
        const GxUInt32 flags = (matrix->flags | gxMATRIXTYPEORTHONORMAL) & ~gxMATRIXINTERNALIDENTITY;
        GxMatrixSetIdentity(matrix);
        matrix->pos = *t;
        matrix->flags = flags;
        return matrix;
    }
    if (combine == gxCOMBINEPRECONCAT) {
        const GxV3d offset = RowTimes(*t, matrix);
        matrix->pos.x += offset.x;
        matrix->pos.y += offset.y;
        matrix->pos.z += offset.z;
    } else {
        matrix->pos.x += t->x;
        matrix->pos.y += t->y;
        matrix->pos.z += t->z;
    }
    matrix->flags &= ~gxMATRIXINTERNALIDENTITY;
    return matrix;
}

GxMatrix* GxMatrixScale(GxMatrix* matrix, const GxV3d* s, GxInt32 combine)
{
    if (!CombineIsValid(combine)) {
        return nullptr;
    }
    if (combine == gxCOMBINEREPLACE) {
        const GxUInt32 flags = matrix->flags;
        GxMatrixSetIdentity(matrix);
        matrix->right.x = s->x;
        matrix->up.y = s->y;
        matrix->at.z = s->z;
        matrix->flags = flags;
    } else if (combine == gxCOMBINEPRECONCAT) {
        matrix->right = Scaled(matrix->right, s->x);
        matrix->up = Scaled(matrix->up, s->y);
        matrix->at = Scaled(matrix->at, s->z);
    } else {
        GxV3d* rows[4] = {&matrix->right, &matrix->up, &matrix->at, &matrix->pos};
        for (GxV3d* row : rows) {
            row->x *= s->x;
            row->y *= s->y;
            row->z *= s->z;
        }
    }
    matrix->flags &= ~kIdentityFlags;
    return matrix;
}

GxMatrix* GxMatrixTransform(GxMatrix* matrix, const GxMatrix* transform, GxInt32 combine)
{
    if (!CombineIsValid(combine)) {
        return nullptr;
    }
    if (combine == gxCOMBINEREPLACE) {
        return GxMatrixCopy(matrix, transform);
    }
    if (combine == gxCOMBINEPRECONCAT) {
        return GxMatrixMultiply(matrix, transform, matrix);
    }
    return GxMatrixMultiply(matrix, matrix, transform);
}
