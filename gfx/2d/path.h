// 2D toolkit device, transformation stack and paths: building, flattening and bounding boxes.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/core/matrix.h"

struct GxCamera;

// One point record of a subpath (24 bytes).
enum Gx2DPointKind : GxInt32 {
    gx2DPOINTMOVETO = 0,
    gx2DPOINTLINETO = 1,
    gx2DPOINTCURVE = 2,  // a curve adds three: two control points, then the end point
};

struct Gx2DPoint {
    GxInt32 kind;
    GxV2d pos;
    GxV2d normal;     // right of the direction of travel; the miter vector at a shared point
    GxReal distance;  // along the subpath up to this point
};
static_assert(sizeof(Gx2DPoint) == 24, "point records are six words");

// One subpath; a path is its first subpath and the chain behind it.
struct Gx2DPath {
    Gx2DPoint* points;
    GxInt32 count;     // -1 while editable (the array keeps the count), else the records in the block
    GxInt32 used;      // records held while editable
    GxInt32 capacity;  // room while editable
    GxBool closed;
    GxBool flat;   // no curve records
    GxReal inset;  // fill and stroke shift every point against its normal by this much
    Gx2DPath* next;
    Gx2DPath* current;  // first record only: the subpath that receives new segments
};

// Depth of the transformation stack and of curve subdivision.
constexpr GxInt32 gx2DCTMSTACKDEPTH = 32;
constexpr GxInt32 gx2DSUBDIVISIONDEPTH = 7;

GxBool Gx2DOpen(GxCamera* camera);
GxBool Gx2DClose(void);

GxBool Gx2DDeviceSetCamera(GxCamera* camera);
GxCamera* Gx2DDeviceGetCamera(void);
GxBool Gx2DDeviceSetLayerDepth(GxReal depth);
GxBool Gx2DDeviceGetPixelVectors(GxV2d* xStep, GxV2d* yStep, GxV2d* origin);
GxBool Gx2DDeviceGetClipPath(Gx2DPath* path);
GxReal Gx2DDeviceGetFlatness(void);
// User space to world space; valid until the next call.
GxMatrix* Gx2DCTMGetWorldMatrix(void);

GxBool Gx2DCTMPush(void);
GxBool Gx2DCTMPop(void);
GxBool Gx2DCTMSetIdentity(void);
GxBool Gx2DCTMScale(GxReal x, GxReal y);
GxBool Gx2DCTMTranslate(GxReal x, GxReal y);

Gx2DPath* Gx2DPathCreate(void);
GxBool Gx2DPathDestroy(Gx2DPath* path);
Gx2DPath* Gx2DPathEmpty(Gx2DPath* path);
Gx2DPath* Gx2DPathMoveto(Gx2DPath* path, GxReal x, GxReal y);
Gx2DPath* Gx2DPathLineto(Gx2DPath* path, GxReal x, GxReal y);
Gx2DPath* Gx2DPathCurveto(Gx2DPath* path, GxReal x1, GxReal y1, GxReal x2, GxReal y2, GxReal x3, GxReal y3);
Gx2DPath* Gx2DPathClosePath(Gx2DPath* path);
Gx2DPath* Gx2DPathRect(Gx2DPath* path, GxReal x, GxReal y, GxReal width, GxReal height);
// The rectangle is (x, y, width, height) in user units, as floats.
struct Gx2DRect {
    GxReal x, y, w, h;
};
Gx2DPath* Gx2DPathGetBBox(Gx2DPath* path, Gx2DRect* rect);
Gx2DPath* Gx2DPathLock(Gx2DPath* path);
Gx2DPath* Gx2DPathUnlock(Gx2DPath* path);
Gx2DPath* Gx2DPathRemoveSinglePoints(Gx2DPath* path);
Gx2DPath* Gx2DPathFlatten(Gx2DPath* target, const Gx2DPath* subpath);
Gx2DPath* Gx2DScratchPathGet(void);

// Point records of one subpath, editable or locked.
inline GxInt32 Gx2DPathGetNumPoints(const Gx2DPath* path) { return path->count < 0 ? path->used : path->count; }
