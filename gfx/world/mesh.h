// Meshes and bin meshes: a geometry's triangles grouped by material as lists or strips, and chunk 0x50E.
#pragma once

#include "gfx/core/gx.h"

struct GxMaterial;
struct GxStream;

constexpr GxUInt32 gxPLUGINMESHMODULE = 0x502;
constexpr GxUInt32 gxID_BINMESH = 0x50E;

enum GxMeshHeaderFlag : GxUInt32 {
    gxMESHHEADERTRILIST = 0x00,
    gxMESHHEADERTRISTRIP = 0x01,
    gxMESHHEADERTRIFAN = 0x02,
    gxMESHHEADERLINELIST = 0x04,
    gxMESHHEADERPOLYLINE = 0x08,
    gxMESHHEADERPOINTLIST = 0x10,
    gxMESHHEADERUNINDEXED = 0x100,  // each mesh draws its run of vertices in order; its indices are not read
};

struct GxMesh {
    GxUInt16* indices;
    GxUInt32 numIndices;
    GxMaterial* material;  // not a counted reference
};

// Followed in its block by the meshes, then every mesh's indices.
struct GxMeshHeader {
    GxUInt32 flags;
    GxUInt16 numMeshes;
    GxUInt16 serialNum;
    GxUInt32 totalIndicesInMesh;
    GxUInt32 firstMeshOffset;
};

inline GxMesh* GxMeshHeaderGetMeshes(GxMeshHeader* header) { return reinterpret_cast<GxMesh*>(header + 1); }

struct GxMeshBuilderEntry {
    GxUInt16 vertIndex[3];
    GxMaterial* material;
    GxUInt16 matIndex;
    GxUInt16 textureKey;
    GxUInt16 rasterKey;
    GxUInt16 pipelineKey;
};

struct GxMeshBuilder {
    GxUInt32 capacity;
    GxUInt32 count;
    GxMeshBuilderEntry* entries;
};

typedef GxMeshHeader* (*GxMeshStripBuilder)(GxMeshBuilder* builder, void* data);
typedef GxMesh* (*GxMeshCallBack)(GxMesh* mesh, GxMeshHeader* header, void* data);

// Engine module 0x502; called before GxEngineOpen.
GxBool GxMeshPluginAttach(void);

GxMeshBuilder* GxMeshBuilderCreate(GxUInt32 numTriangles);
GxMeshBuilder* GxMeshBuilderAddTriangle(GxMeshBuilder* builder, GxMaterial* material, GxUInt16 v0, GxUInt16 v1,
                                        GxUInt16 v2, GxUInt16 matIndex, GxUInt16 textureKey, GxUInt16 rasterKey,
                                        GxUInt16 pipelineKey);
GxBool GxMeshBuilderDestroy(GxMeshBuilder* builder);
// Destroys the builder in every case.
GxMeshHeader* GxMeshHeaderFromBuilder(GxMeshBuilder* builder, GxBool strips);
GxMeshHeader* GxMeshBuildTriangleLists(GxMeshBuilder* builder, void* data);
GxMeshHeader* GxMeshBuildStrips(GxMeshBuilder* builder, void* data);
void GxMeshHeaderDestroy(GxMeshHeader* header);
GxMeshHeader* GxMeshHeaderForAllMeshes(GxMeshHeader* header, GxMeshCallBack callBack, void* data);
// The shared header of zero triangles, never freed.
GxMeshHeader* GxMeshHeaderGetEmpty(void);
