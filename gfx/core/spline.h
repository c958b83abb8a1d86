// Spline plugin: uniform cubic B-splines through control points, evaluated into frame matrices, read from chunk 0x0C.
#pragma once

#include "gfx/core/frame.h"
#include "gfx/core/matrix.h"

struct GxStream;

constexpr GxUInt32 gxPLUGINSPLINE = 0x102;
constexpr GxUInt32 gxID_SPLINE = 0x0C;
constexpr GxUInt8 gxSPLINEOBJECT = 12;

enum GxSplineType : GxInt32 {
    gxSPLINEOPEN = 1,    // passes through the first and last control points
    gxSPLINECLOSED = 2,  // loops back to the first control point
};

enum GxSplinePathType : GxInt32 {
    gxSPLINEPATHSMOOTH = 10,  // t used as given
    gxSPLINEPATHEASED = 11,   // slow at both ends
};

// Plugin error codes (plugin id 0x102).
constexpr GxInt32 gxERRSPLINETYPE = 1;    // bad spline or path type
constexpr GxInt32 gxERRSPLINETABLES = 3;  // the open could not build its tables

constexpr GxInt32 gxSPLINENAMELENGTH = 32;
// Largest control point count a spline takes (bounds the allocation).
constexpr GxInt32 gxSPLINEMAXPOINTS = 1 << 20;

// One allocation: the header, then the stored B-spline points.
struct GxSpline {
    GxObject object;        // type gxSPLINEOBJECT
    GxInt32 nStoredPoints;  // control points + 2 (open) or + 3 (closed)
    GxInt32 splineType;
    void* extra;        // never made here; freed when set
    GxV3d* ctrlPoints;  // own allocation
    GxChar name[gxSPLINENAMELENGTH];
    GxV3d storedPoints[1];  // nStoredPoints entries
};

GxBool GxSplinePluginAttach(void);

GxSpline* GxSplineCreate(GxInt32 numCtrlPoints, GxInt32 type, const GxV3d* points);
GxBool GxSplineDestroy(GxSpline* spline);
GxInt32 GxSplineGetNumControlPoints(const GxSpline* spline);
GxV3d* GxSplineGetControlPoint(const GxSpline* spline, GxInt32 index, GxV3d* point);
GxSpline* GxSplineSetControlPoint(GxSpline* spline, GxInt32 index, const GxV3d* point);
// Returns the bending measure, or -1.0 for an unsupported path type.
GxReal GxSplineFindMatrix(const GxSpline* spline, GxInt32 pathType, GxReal t, const GxV3d* up, GxMatrix* matrix);
// Reads a chunk body (after its header).
GxSpline* GxSplineStreamRead(GxStream* stream);
GxSpline* GxSplineRead(const char* fileName);
