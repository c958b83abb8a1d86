// Geometry and morph targets: the shared shape data of atomics, its locking, mesh building and chunk 0x0F.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/world/material.h"

struct GxStream;
struct GxResourceEntry;
struct GxMeshHeader;
struct GxGeometry;

constexpr GxUInt32 gxID_GEOMETRY = 0x0F;
constexpr GxInt32 gxMAXTEXCOORDSETS = 8;
constexpr GxInt32 gxGEOMETRYMAXVERTICES = 0x10000;  // vertex indices are 16-bit
constexpr GxUInt16 gxGEOMETRYNOMATERIAL = 0xFFFF;
constexpr GxInt32 gxERRTOOMANYVERTICES = 6;         // with plugin id gxPLUGINWORLD
constexpr GxInt32 gxERRBADMATERIALINDEX = 7;        // a triangle names no material, or one the list lacks

enum GxGeometryFlag : GxUInt32 {
    gxGEOMETRYTRISTRIP = 0x01,
    gxGEOMETRYPOSITIONS = 0x02,
    gxGEOMETRYTEXTURED = 0x04,
    gxGEOMETRYPRELIT = 0x08,
    gxGEOMETRYNORMALS = 0x10,
    gxGEOMETRYLIGHT = 0x20,
    gxGEOMETRYMODULATEMATERIALCOLOR = 0x40,
    gxGEOMETRYTEXTURED2 = 0x80,
    gxGEOMETRYNATIVE = 0x01000000,
};
constexpr GxUInt32 gxGEOMETRYTEXCOORDSETSSHIFT = 16;
constexpr GxUInt32 gxGEOMETRYTEXCOORDSETSMASK = 0x00FF0000;

enum GxGeometryLockFlag : GxUInt16 {
    gxGEOMETRYLOCKPOLYGONS = 0x001,
    gxGEOMETRYLOCKVERTICES = 0x002,
    gxGEOMETRYLOCKNORMALS = 0x004,
    gxGEOMETRYLOCKPRELIGHT = 0x008,
    gxGEOMETRYLOCKTEXCOORDS = 0x010,
    gxGEOMETRYLOCKALL = 0xFFF,
};

struct GxTriangle {
    GxUInt16 vertIndex[3];
    GxUInt16 matIndex;           // gxGEOMETRYNOMATERIAL: none
};

struct GxTexCoords {
    GxReal u, v;
};

struct GxMorphTarget {
    GxGeometry* parentGeom;
    GxSphere boundingSphere;
    GxV3d* verts;
    GxV3d* normals;              // only with gxGEOMETRYNORMALS
};

struct GxGeometry {
    GxObject object;
    GxUInt32 flags;
    GxUInt16 lockedSinceLastInst;  // parts changed since the geometry was last instanced
    GxInt16 refCount;
    GxInt32 numTriangles;
    GxInt32 numVertices;
    GxInt32 numMorphTargets;
    GxInt32 numTexCoordSets;
    GxMaterialList matList;
    GxTriangle* triangles;
    GxRGBA* preLitLum;
    GxTexCoords* texCoords[gxMAXTEXCOORDSETS];
    GxMeshHeader* mesh;          // null until built
    GxResourceEntry* repEntry;
    GxMorphTarget* morphTarget;
    // Raised by every lock. Each atomic's instance keeps the stamp it was built from, so a geometry shared by
    // several atomics is re-instanced for each of them, not only for the first one drawn after a change.
    GxUInt32 lockStamp;
};

typedef GxMaterial* (*GxMaterialCallBack)(GxMaterial* material, void* data);

GxGeometry* GxGeometryCreate(GxInt32 numVertices, GxInt32 numTriangles, GxUInt32 format);
GxGeometry* GxGeometryCreateEmpty(GxReal radius);
// Index of the first new morph target, or -1.
GxInt32 GxGeometryAddMorphTargets(GxGeometry* geometry, GxInt32 count);
GxGeometry* GxGeometryAddRef(GxGeometry* geometry);
// Drops a reference; the last one frees the geometry. Returns 1.
GxBool GxGeometryDestroy(GxGeometry* geometry);
// Frees without looking at the reference count (read failures).
GxBool GxGeometryFree(GxGeometry* geometry);
GxGeometry* GxGeometryLock(GxGeometry* geometry, GxUInt16 lockFlags);
// Builds the mesh header when there is none. Fails when a triangle names no material while the list has some.
GxGeometry* GxGeometryUnlock(GxGeometry* geometry);
GxGeometry* GxGeometryTriangleSetMaterial(GxGeometry* geometry, GxTriangle* triangle, GxMaterial* material);
GxGeometry* GxGeometryForAllMaterials(GxGeometry* geometry, GxMaterialCallBack callBack, void* data);
GxMorphTarget* GxMorphTargetCalcBoundingSphere(GxMorphTarget* morphTarget, GxSphere* sphere);
GxBBox* GxBBoxCalculate(GxBBox* box, const GxV3d* points, GxInt32 count);

GxInt32 GxGeometryRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                                 GxPluginObjectDestructor destructor, GxPluginObjectCopy copy);
GxInt32 GxGeometryRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                       GxPluginDataChunkWriteCallBack writeCB,
                                       GxPluginDataChunkGetSizeCallBack getSizeCB);
GxInt32 GxGeometryGetPluginOffset(GxUInt32 pluginID);
// Body size of the geometry chunk (without its own header).
GxUInt32 GxGeometryStreamGetSize(const GxGeometry* geometry);
const GxGeometry* GxGeometryStreamWrite(const GxGeometry* geometry, GxStream* stream);
// Reads the body of a geometry chunk whose header the caller has consumed.
GxGeometry* GxGeometryStreamRead(GxStream* stream);
