// 3-vectors, 2-vectors, 4x3 affine matrices, table square roots and the replaceable transform routines.
#pragma once

#include "gfx/core/gx.h"

// Row-vector convention: p' = p.x right + p.y up + p.z at + pos. The spare words
// keep every row 16 bytes long so processor-specific loops can load whole rows.
struct GxMatrix {
    GxV3d right;
    GxUInt32 flags;
    GxV3d up;
    GxUInt32 pad1;
    GxV3d at;
    GxUInt32 pad2;
    GxV3d pos;
    GxUInt32 pad3;
};
static_assert(sizeof(GxMatrix) == 64, "matrix rows are 16 bytes each");

enum GxMatrixFlag : GxUInt32 {
    gxMATRIXTYPENORMAL = 0x00001,      // axes of unit length
    gxMATRIXTYPEORTHOGONAL = 0x00002,  // axes mutually orthogonal
    gxMATRIXTYPEORTHONORMAL = 0x00003,
    gxMATRIXINTERNALIDENTITY = 0x20000,  // the matrix is the identity
};

// How a new transform combines with an existing matrix or frame.
enum GxOpCombineType {
    gxCOMBINEREPLACE = 0,
    gxCOMBINEPRECONCAT = 1,   // the new transform is applied first: new x matrix
    gxCOMBINEPOSTCONCAT = 2,  // matrix x new
};

struct GxMatrixTolerance {
    GxReal normal;
    GxReal orthogonal;
    GxReal identity;
};

typedef GxV3d* (*GxV3dTransformPointFunc)(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix);
typedef GxV3d* (*GxV3dTransformPointsFunc)(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix);
typedef GxV3d* (*GxV3dTransformVectorFunc)(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix);
typedef GxV3d* (*GxV3dTransformVectorsFunc)(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix);
// Computes dst = a x b. GxMatrixMultiply never hands an installed routine a dst
// that aliases a source, so a routine need not cope with that.
typedef GxMatrix* (*GxMatrixMultiplyFunc)(GxMatrix* dst, const GxMatrix* a, const GxMatrix* b);

// Square roots through the vector module's tables (valid while the engine is started).
GxReal GxSqrt(GxReal x);
GxReal GxInvSqrt(GxReal x);
GxReal GxV3dLength(const GxV3d* v);
GxReal GxV2dLength(const GxV2d* v);
// Returns the length; a zero vector gives zero, returns 0 and raises (1, 25).
GxReal GxV3dNormalize(GxV3d* dst, const GxV3d* src);
// Returns the inverse length and raises nothing.
GxReal GxV3dNormalizeFast(GxV3d* dst, const GxV3d* src);

// Plain vector helpers (no table, no module).
inline GxReal GxV3dDotProduct(const GxV3d* a, const GxV3d* b) { return a->x * b->x + a->y * b->y + a->z * b->z; }
GxV3d* GxV3dCrossProduct(GxV3d* dst, const GxV3d* a, const GxV3d* b);

GxV3d* GxV3dTransformPoint(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix);
GxV3d* GxV3dTransformPoints(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix);
GxV3d* GxV3dTransformVector(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix);
GxV3d* GxV3dTransformVectors(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix);
// A null argument restores that portable routine.
GxBool GxV3dSetTransformFunctions(GxV3dTransformPointFunc point, GxV3dTransformPointsFunc points,
                                  GxV3dTransformVectorFunc vector, GxV3dTransformVectorsFunc vectors);

// Routines the driver may install; they give the portable routines' results.
GxV3d* GxV3dTransformPointX87(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix);
GxV3d* GxV3dTransformPointsX87(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix);
GxV3d* GxV3dTransformVectorX87(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix);
GxV3d* GxV3dTransformVectorsX87(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix);
GxMatrix* GxMatrixMultiplyX87(GxMatrix* dst, const GxMatrix* a, const GxMatrix* b);
// x87 mode switches: set saves the control word and selects 24-bit precision with every exception masked;
// restore puts the saved word back; force selects the same mode without saving.
void GxFPUSetSinglePrecision(void);
void GxFPURestoreControlWord(void);
void GxFPUForceSinglePrecision(void);

// A null routine restores the portable one.
GxBool GxMatrixSetMultiplyFunction(GxMatrixMultiplyFunc routine);

GxMatrix* GxMatrixCreate(void);
GxBool GxMatrixDestroy(GxMatrix* matrix);
// Sets the identity with flags 0x20003.
GxMatrix* GxMatrixSetIdentity(GxMatrix* matrix);
GxMatrix* GxMatrixCopy(GxMatrix* dst, const GxMatrix* src);
GxMatrix* GxMatrixMultiply(GxMatrix* dst, const GxMatrix* a, const GxMatrix* b);
GxMatrix* GxMatrixInvert(GxMatrix* dst, const GxMatrix* src);
GxMatrix* GxMatrixOrthoNormalize(GxMatrix* dst, const GxMatrix* src);
// Tolerances null: the module's defaults.
GxMatrix* GxMatrixOptimize(GxMatrix* matrix, const GxMatrixTolerance* tolerance);
// Clears flags 0x20003 after the caller changed the matrix directly.
GxMatrix* GxMatrixUpdate(GxMatrix* matrix);

GxMatrix* GxMatrixRotate(GxMatrix* matrix, const GxV3d* axis, GxReal angle, GxInt32 combine);
GxMatrix* GxMatrixRotateCosSin(GxMatrix* matrix, const GxV3d* unitAxis, GxReal oneMinusCos, GxReal sine,
                               GxInt32 combine);
GxMatrix* GxMatrixTranslate(GxMatrix* matrix, const GxV3d* translation, GxInt32 combine);
GxMatrix* GxMatrixScale(GxMatrix* matrix, const GxV3d* scale, GxInt32 combine);
GxMatrix* GxMatrixTransform(GxMatrix* matrix, const GxMatrix* transform, GxInt32 combine);

GxReal GxMatrixNormalError(const GxMatrix* matrix);
GxReal GxMatrixOrthogonalError(const GxMatrix* matrix);
GxReal GxMatrixIdentityError(const GxMatrix* matrix);
GxReal GxMatrixDeterminant(const GxMatrix* matrix);
