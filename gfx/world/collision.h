// Intersection queries and the collision plugin: lines, points, spheres, boxes and atomics against the atomics of
// a world or the triangles of one atomic, the collision trees of geometries and sectors (chunk 0x2C), and pixel
// rays. Callbacks receive results one by one until they return null. A query must not start another world query
// from inside its callback: the shared query counter marks the atomics each query has visited.
#pragma once

#include "gfx/core/camera.h"
#include "gfx/core/gx.h"
#include "gfx/world/world.h"

constexpr GxUInt32 gxPLUGINCOLLISION = 0x11D;
constexpr GxUInt32 gxID_COLLTREE = 0x2C;
constexpr GxInt32 gxERRCOLLLEAFTOOBIG = 1;  // with plugin id gxPLUGINCOLLISION
constexpr GxInt32 gxERRCOLLBADTREE = 2;     // with plugin id gxPLUGINCOLLISION: an index out of range or a cycle
constexpr GxUInt8 gxCOLLSPLITCHILD = 0xFF;
constexpr GxUInt8 gxCOLLMAXLEAF = 0xEF;
constexpr GxUInt32 gxCOLLTREEMAP = 0x1;

enum GxIntersectionType : GxInt32 {
    gxINTERSECTLINE = 1,
    gxINTERSECTPOINT = 2,
    gxINTERSECTSPHERE = 3,
    gxINTERSECTBOX = 4,
    gxINTERSECTATOMIC = 5,
};

struct GxIntersection {
    union {
        GxLine line;
        GxV3d point;
        GxSphere sphere;
        GxBBox box;
        GxAtomic* atomic;
        GxReal words[6];
    } t;
    GxInt32 type;
};

struct GxCollTriangle {
    GxV3d normal;
    GxV3d point;
    GxInt32 index;
    GxV3d* vertices[3];
};

struct GxCollChild {
    GxUInt8 axis;  // byte offset of the axis in a vector
    GxUInt8 kind;  // gxCOLLSPLITCHILD, or a leaf's triangle count
    GxUInt16 index;
    GxReal extent;
};

struct GxCollSplit {
    GxCollChild left;
    GxCollChild right;
};

struct GxCollTree {
    GxUInt32 flags;
    GxBBox box;
    GxUInt16 numEntries;
    GxUInt16 numSplits;
    GxCollSplit* splits;
    GxUInt16* map;  // null without gxCOLLTREEMAP
};

typedef GxWorldSector* (*GxIntersectionWorldCallBack)(GxIntersection* intersection, GxWorldSector* sector,
                                                      GxAtomic* atomic, GxReal distance, void* data);
typedef GxCollTriangle* (*GxIntersectionTriangleCallBack)(GxIntersection* intersection, GxCollTriangle* triangle,
                                                          GxReal distance, void* data);

// Registers the query counter and the tree extensions of geometries and sectors; before GxEngineOpen.
GxBool GxCollisionPluginAttach(void);

// One-sided: hits only triangles facing against the line. Distance is the fraction of delta.
GxBool GxIntersectLineTriangle(const GxV3d* start, const GxV3d* delta, const GxV3d* v0, const GxV3d* v1,
                               const GxV3d* v2, GxReal* distance);
GxBool GxIntersectSphereTriangle(const GxSphere* sphere, const GxV3d* v0, const GxV3d* v1, const GxV3d* v2,
                                 GxV3d* normal, GxReal* distance);

GxWorld* GxWorldForAllIntersections(GxWorld* world, GxIntersection* intersection, GxIntersectionWorldCallBack callBack,
                                    void* data);
GxAtomic* GxAtomicForAllIntersections(GxAtomic* atomic, GxIntersection* intersection,
                                      GxIntersectionTriangleCallBack callBack, void* data);

// The world-space line through a pixel of the camera's frame buffer, near plane to far plane.
void GxCameraCalcPixelRay(const GxCamera* camera, GxLine* line, const GxV2d* pixel);
void GxAtomicSphereIntersections(GxAtomic* atomic, GxIntersection* intersection,
                                 GxIntersectionTriangleCallBack callBack, void* data);
GxBool GxGeometryMorphSphereIntersections(GxGeometry* geometry, const GxInterpolator* interpolator,
                                          const GxSphere* sphere, GxIntersection* intersection,
                                          GxIntersectionTriangleCallBack callBack, void* data);
