// Vector module: square-root tables, vector lengths and normalisation, and the replaceable transform routines.
#include <cmath>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/matrix.h"

namespace {

constexpr GxInt32 kSqrtTableEntries = 4096;
constexpr GxUInt32 kSqrtTableHint = 0x40401;

struct GxVectorModuleBlock {
    GxUInt32* sqrtTable;
    GxUInt32* invSqrtTable;
    GxV3dTransformPointFunc transformPoint;
    GxV3dTransformPointsFunc transformPoints;
    GxV3dTransformVectorFunc transformVector;
    GxV3dTransformVectorsFunc transformVectors;
};

GxInt32 vectorModuleOffset = -1;
GxInt32 vectorModuleInstances = 0;
GxInt32 emptyModuleInstances = 0;

GxVectorModuleBlock* VectorBlock()
{
    return static_cast<GxVectorModuleBlock*>(GxCoreModuleBlock(vectorModuleOffset, vectorModuleInstances));
}

GxUInt32 RealToBits(GxReal value)
{
    GxUInt32 bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

GxReal BitsToReal(GxUInt32 bits)
{
    GxReal value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// Entries 2048..4095 cover [1, 2), entries 0..2047 cover [2, 4), in steps of 0x1000 float bits.
void BuildSqrtTables(GxUInt32* sqrtTable, GxUInt32* invSqrtTable)
{
    for (GxInt32 i = 0; i < kSqrtTableEntries / 2; i++) {
        const GxUInt32 step = static_cast<GxUInt32>(i) * 0x1000u;
        const GxReal low = BitsToReal(0x3F800000u + step);
        const GxReal high = BitsToReal(0x40000000u + step);
        sqrtTable[2048 + i] = RealToBits(std::sqrt(low)) - 0x1FC00000u;
        sqrtTable[i] = RealToBits(std::sqrt(high)) - 0x20000000u;
        invSqrtTable[2048 + i] = RealToBits(1.0f / std::sqrt(low)) - 0x20000000u;
        invSqrtTable[i] = RealToBits(1.0f / std::sqrt(high)) - 0x1FC00000u;
    }
}

GxV3d* PortableTransformPoint(GxV3d* dst, const GxV3d* src, const GxMatrix* m)
{
    const GxV3d p = *src;
    dst->x = p.x * m->right.x + p.y * m->up.x + p.z * m->at.x + m->pos.x;
    dst->y = p.x * m->right.y + p.y * m->up.y + p.z * m->at.y + m->pos.y;
    dst->z = p.x * m->right.z + p.y * m->up.z + p.z * m->at.z + m->pos.z;
    return dst;
}

GxV3d* PortableTransformVector(GxV3d* dst, const GxV3d* src, const GxMatrix* m)
{
    const GxV3d v = *src;
    dst->x = v.x * m->right.x + v.y * m->up.x + v.z * m->at.x;
    dst->y = v.x * m->right.y + v.y * m->up.y + v.z * m->at.y;
    dst->z = v.x * m->right.z + v.y * m->up.z + v.z * m->at.z;
    return dst;
}

GxV3d* PortableTransformPoints(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* m)
{
    for (GxInt32 i = 0; i < count; i++) {
        PortableTransformPoint(&dst[i], &src[i], m);
    }
    return dst;
}

GxV3d* PortableTransformVectors(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* m)
{
    for (GxInt32 i = 0; i < count; i++) {
        PortableTransformVector(&dst[i], &src[i], m);
    }
    return dst;
}

void* VectorModuleOpen(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    vectorModuleOffset = offset;
    auto* block = reinterpret_cast<GxVectorModuleBlock*>(static_cast<char*>(instance) + offset);
    block->transformPoint = PortableTransformPoint;
    block->transformPoints = PortableTransformPoints;
    block->transformVector = PortableTransformVector;
    block->transformVectors = PortableTransformVectors;
    const size_t bytes = kSqrtTableEntries * sizeof(GxUInt32);
    block->sqrtTable = static_cast<GxUInt32*>(GxMalloc(bytes, kSqrtTableHint));
    block->invSqrtTable = static_cast<GxUInt32*>(GxMalloc(bytes, kSqrtTableHint));
    if (block->sqrtTable == nullptr || block->invSqrtTable == nullptr) {
        if (block->sqrtTable != nullptr) {
            GxFree(block->sqrtTable);
        }
        if (block->invSqrtTable != nullptr) {
            GxFree(block->invSqrtTable);
        }
        block->sqrtTable = nullptr;
        block->invSqrtTable = nullptr;
        GxErrorRaise(0, gxERRNOMEMORY);
        return nullptr;
    }
    BuildSqrtTables(block->sqrtTable, block->invSqrtTable);
    vectorModuleInstances++;
    return instance;
}

void* VectorModuleClose(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    auto* block = reinterpret_cast<GxVectorModuleBlock*>(static_cast<char*>(instance) + offset);
    if (block->sqrtTable != nullptr) {
        GxFree(block->sqrtTable);
        block->sqrtTable = nullptr;
    }
    if (block->invSqrtTable != nullptr) {
        GxFree(block->invSqrtTable);
        block->invSqrtTable = nullptr;
    }
    vectorModuleInstances--;
    return instance;
}

void* EmptyModuleOpen(void* instance, GxInt32 /*offset*/, GxInt32 /*size*/)
{
    emptyModuleInstances++;
    return instance;
}

void* EmptyModuleClose(void* instance, GxInt32 /*offset*/, GxInt32 /*size*/)
{
    emptyModuleInstances--;
    return instance;
}

}  // namespace

const GxCoreModule gxVectorModule = {0x401, sizeof(GxVectorModuleBlock), VectorModuleOpen, VectorModuleClose};
const GxCoreModule gxEmptyModule = {0x40D, 0, EmptyModuleOpen, EmptyModuleClose};

// Without the tables (module closed) the library's square root stands in, so a
// call outside the started engine still gives a sane value.
GxReal GxSqrt(GxReal x)
{
    const GxUInt32 bits = RealToBits(x);
    if (bits == 0) {
        return 0.0f;
    }
    const GxVectorModuleBlock* block = VectorBlock();
    if (block == nullptr) {
        return std::sqrt(x);
    }
    const GxUInt32 rounded = bits + 2048u;
    return BitsToReal(block->sqrtTable[(rounded >> 12) & 0xFFFu] + ((rounded >> 1) & 0x3FC00000u));
}

GxReal GxInvSqrt(GxReal x)
{
    const GxUInt32 bits = RealToBits(x);
    if (bits == 0) {
        return 0.0f;
    }
    const GxVectorModuleBlock* block = VectorBlock();
    if (block == nullptr) {
        return 1.0f / std::sqrt(x);
    }
    const GxUInt32 rounded = bits + 2048u;
    return BitsToReal(block->invSqrtTable[(rounded >> 12) & 0xFFFu] + ((~rounded >> 1) & 0x3FC00000u));
}

GxReal GxV3dLength(const GxV3d* v) { return GxSqrt(GxV3dDotProduct(v, v)); }

GxReal GxV2dLength(const GxV2d* v) { return GxSqrt(v->x * v->x + v->y * v->y); }

GxReal GxV3dNormalize(GxV3d* dst, const GxV3d* src)
{
    const GxReal squared = GxV3dDotProduct(src, src);
    const GxReal length = GxSqrt(squared);
    const GxReal scale = GxInvSqrt(squared);
    dst->x = src->x * scale;
    dst->y = src->y * scale;
    dst->z = src->z * scale;
    if (!(length > 0.0f)) {
        GxErrorRaise(gxPLUGINCORE, gxERRZEROLENGTH);
    }
    return length;
}

GxReal GxV3dNormalizeFast(GxV3d* dst, const GxV3d* src)
{
    const GxReal scale = GxInvSqrt(GxV3dDotProduct(src, src));
    dst->x = src->x * scale;
    dst->y = src->y * scale;
    dst->z = src->z * scale;
    return scale;
}

GxV3d* GxV3dCrossProduct(GxV3d* dst, const GxV3d* a, const GxV3d* b)
{
    const GxV3d result = {a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x};
    *dst = result;
    return dst;
}

GxV3d* GxV3dTransformPoint(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix)
{
    const GxVectorModuleBlock* block = VectorBlock();
    return block ? block->transformPoint(dst, src, matrix) : PortableTransformPoint(dst, src, matrix);
}

GxV3d* GxV3dTransformPoints(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix)
{
    const GxVectorModuleBlock* block = VectorBlock();
    return block ? block->transformPoints(dst, src, count, matrix) : PortableTransformPoints(dst, src, count, matrix);
}

GxV3d* GxV3dTransformVector(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix)
{
    const GxVectorModuleBlock* block = VectorBlock();
    return block ? block->transformVector(dst, src, matrix) : PortableTransformVector(dst, src, matrix);
}

GxV3d* GxV3dTransformVectors(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix)
{
    const GxVectorModuleBlock* block = VectorBlock();
    return block ? block->transformVectors(dst, src, count, matrix) : PortableTransformVectors(dst, src, count, matrix);
}

GxBool GxV3dSetTransformFunctions(GxV3dTransformPointFunc point, GxV3dTransformPointsFunc points,
                                  GxV3dTransformVectorFunc vector, GxV3dTransformVectorsFunc vectors)
{
    GxVectorModuleBlock* block = VectorBlock();
    GX_ASSERT(block != nullptr, "the transform routines are set in an open engine");
    block->transformPoint = point ? point : PortableTransformPoint;
    block->transformPoints = points ? points : PortableTransformPoints;
    block->transformVector = vector ? vector : PortableTransformVector;
    block->transformVectors = vectors ? vectors : PortableTransformVectors;
    return 1;
}

// The x87 set: this build computes in single precision throughout, so the
// portable loops already give the results the x87 code gives.
GxV3d* GxV3dTransformPointX87(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix)
{
    return PortableTransformPoint(dst, src, matrix);
}

GxV3d* GxV3dTransformPointsX87(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix)
{
    return PortableTransformPoints(dst, src, count, matrix);
}

GxV3d* GxV3dTransformVectorX87(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix)
{
    return PortableTransformVector(dst, src, matrix);
}

GxV3d* GxV3dTransformVectorsX87(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix)
{
    return PortableTransformVectors(dst, src, count, matrix);
}
