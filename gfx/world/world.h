// Worlds and world sectors: the static scene as an axis-aligned BSP, its stream (chunks 0x0B, 0x0A, 0x09), the
// world render, and the world-object module that ties atomics and local lights to the sectors they overlap and
// gives cameras the sectors in their frustum.
//
// A world's inner nodes are planes on the x, y or z axis; its leaves are atomic sectors with their own vertex
// arrays. Trees are walked with an explicit stack of gxWORLDSTACKDEPTH entries, so readers refuse deeper trees.
// Calls gfx/core and the world objects only; the renderer installs the sector pipeline and reads the world's
// lights through its own hooks. Threading: the engine's one thread. Ownership: a world owns its sectors, planes
// and material list; clumps, lights and cameras added to it stay owned by their creators and leave the world
// when removed or destroyed.
#pragma once

#include "gfx/core/camera.h"
#include "gfx/core/gx.h"
#include "gfx/world/clump.h"
#include "gfx/world/geometry.h"
#include "gfx/world/material.h"

struct GxStream;
struct GxMeshHeader;
struct GxPipeline;
struct GxResourceEntry;

constexpr GxUInt32 gxID_WORLD = 0x0B;
constexpr GxUInt32 gxID_PLANESECTOR = 0x0A;
constexpr GxUInt32 gxID_ATOMICSECTOR = 0x09;
constexpr GxUInt32 gxPLUGINSECTORMODULE = 0x503;
constexpr GxUInt32 gxPLUGINWORLDMODULE = 0x507;
constexpr GxUInt32 gxPLUGINWORLDOBJMODULE = 0x509;
constexpr GxUInt32 gxPLUGINOPENCOUNTMODULE = 0x50A;
constexpr GxUInt32 gxOBJECTTYPEWORLD = 7;
constexpr GxInt32 gxWORLDSTACKDEPTH = 64;          // entries of every tree walk's stack
constexpr GxInt32 gxWORLDMAXPLANEDEPTH = 63;       // planes on one path from the root
constexpr GxInt32 gxWORLDMAXSECTORCOUNT = 0xFFFF;  // vertices and triangles of one sector
constexpr GxInt32 gxERRNOTINWORLD = 4;             // with plugin id gxPLUGINWORLD
constexpr GxInt32 gxERRBADWORLD = 8;               // with plugin id gxPLUGINWORLD: a world stream breaks a limit

enum GxWorldFlag : GxUInt32 {
    gxWORLDSEPARATEPLANEVALUES = 0x40000000,  // planes carry their own left and right values
};
constexpr GxInt32 gxWORLDRENDERFRONTTOBACK = 1;
constexpr GxInt32 gxWORLDRENDERBACKTOFRONT = 2;
constexpr GxInt32 gxATOMICSECTORTYPE = -1;
constexpr GxUInt8 gxWORLDONEBLOCK = 0x01;  // private flag: world, sectors and arrays are one allocation

struct GxWorldSector;

// The common head of plane and atomic sectors: 0, 4 or 8 for a plane on x, y or z, gxATOMICSECTORTYPE for a leaf.
struct GxSector {
    GxInt32 type;
};

struct GxPlaneSector {
    GxInt32 type;
    GxReal value;
    GxSector* leftSubTree;
    GxSector* rightSubTree;
    GxReal leftValue;   // upper bound of the left side
    GxReal rightValue;  // lower bound of the right side
};

struct GxWorldSector {
    GxInt32 type;           // gxATOMICSECTORTYPE
    GxTriangle* triangles;  // material index relative to matListWindowBase
    GxV3d* vertices;
    GxUInt32* normals;  // four signed bytes per vertex, /128
    GxTexCoords* texCoords[gxMAXTEXCOORDSETS];
    GxRGBA* preLitLum;
    GxResourceEntry* repEntry;
    GxLink collAtomicsInWorldSector;  // GxTie::lWorldSector
    GxLink lightsInWorldSector;       // GxLightTie::lWorldSector
    GxBBox boundingBox;               // from the planes
    GxBBox tightBoundingBox;          // from the stream
    GxMeshHeader* mesh;
    GxPipeline* pipeline;         // null: the world's sector pipeline
    GxRightsRecord renderRights;  // as read from the sector's stream; written back with it
    GxUInt16 matListWindowBase;
    GxUInt16 numVertices;
    GxUInt16 numTriangles;
};

typedef GxWorldSector* (*GxWorldSectorCallBackRender)(GxWorldSector* sector);
typedef GxWorldSector* (*GxWorldSectorCallBack)(GxWorldSector* sector, void* data);

struct GxWorld {
    GxObject object;  // type gxOBJECTTYPEWORLD
    GxUInt32 flags;
    GxInt32 renderOrder;
    GxMaterialList matList;
    GxSector* rootSector;
    GxInt32 numTexCoordSets;
    GxInt32 numClumpsInWorld;
    GxLink* currentClumpLink;  // the next clump link a walk visits, kept valid when clumps leave
    GxLink clumpList;
    GxLink lightList;             // local lights (type 128 and above), GxLight::inWorld
    GxLink directionalLightList;  // global lights, GxLight::inWorld
    GxV3d worldOrigin;
    GxBBox boundingBox;
    GxWorldSectorCallBackRender renderCallBack;
    GxPipeline* pipeline;  // null: the pipeline module's current sector pipeline
};

// A sector an atomic overlaps, linked in the sector's and the atomic's lists.
struct GxTie {
    GxLink lWorldSector;
    GxAtomic* apAtom;
    GxLink lAtomic;
    GxWorldSector* worldSector;
};

struct GxLightTie {
    GxLink lWorldSector;
    GxLight* light;
    GxLink lLight;
    GxWorldSector* sect;
};

inline GxTie* GxTieFromSectorLink(GxLink* link)
{
    return reinterpret_cast<GxTie*>(reinterpret_cast<char*>(link) - offsetof(GxTie, lWorldSector));
}
inline GxTie* GxTieFromAtomicLink(GxLink* link)
{
    return reinterpret_cast<GxTie*>(reinterpret_cast<char*>(link) - offsetof(GxTie, lAtomic));
}
inline GxLightTie* GxLightTieFromSectorLink(GxLink* link)
{
    return reinterpret_cast<GxLightTie*>(reinterpret_cast<char*>(link) - offsetof(GxLightTie, lWorldSector));
}
inline GxLight* GxLightFromWorldLink(GxLink* link)
{
    return reinterpret_cast<GxLight*>(reinterpret_cast<char*>(link) - offsetof(GxLight, inWorld));
}

// ---- worlds, sectors and rendering ----

// Registers the world objects, the sector, open-count and world modules and the world-object module, once,
// before GxEngineOpen. The renderer attaches its world side after it.
GxBool GxWorldPluginAttach(void);
// A world with one empty atomic sector covering the box.
GxWorld* GxWorldCreate(const GxBBox* box);
GxBool GxWorldDestroy(GxWorld* world);
// Reads the body of a world chunk whose header the caller has consumed.
GxWorld* GxWorldStreamRead(GxStream* stream);
// Renders the current world's visible sectors through the current camera; between begin and end update.
GxWorld* GxWorldRender(GxWorld* world);
GxWorld* GxWorldSetSectorRenderCallback(GxWorld* world, GxWorldSectorCallBackRender callBack);
GxWorldSector* GxWorldSectorRender(GxWorldSector* sector);
GxWorld* GxWorldSectorGetWorld(const GxWorldSector* sector);
GxWorld* GxWorldForAllWorldSectors(GxWorld* world, GxWorldSectorCallBack callBack, void* data);
// The engine's render frame, raised by every camera begin update of a world camera.
GxUInt16 GxWorldGetRenderFrame(void);

// The reader's pending right-to-render records: cleared before a world's or a sector's extensions are read and
// handed to the recorded plugin's rights callback after them. The renderer's 0x1F readers fill them.
GxRightsRecord* GxWorldGetPendingRights(void);
GxRightsRecord* GxWorldSectorGetPendingRights(void);

GxInt32 GxWorldRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                              GxPluginObjectDestructor destructor, GxPluginObjectCopy copy);
GxInt32 GxWorldRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                    GxPluginDataChunkWriteCallBack writeCB, GxPluginDataChunkGetSizeCallBack getSizeCB);
GxInt32 GxWorldSectorRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                                    GxPluginObjectDestructor destructor, GxPluginObjectCopy copy);
GxInt32 GxWorldSectorRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                          GxPluginDataChunkWriteCallBack writeCB,
                                          GxPluginDataChunkGetSizeCallBack getSizeCB);

// ---- world objects ----

GxWorld* GxWorldAddClump(GxWorld* world, GxClump* clump);
GxWorld* GxWorldRemoveClump(GxWorld* world, GxClump* clump);
GxWorld* GxWorldAddLight(GxWorld* world, GxLight* light);
GxWorld* GxWorldRemoveLight(GxWorld* world, GxLight* light);
GxWorld* GxWorldAddCamera(GxWorld* world, GxCamera* camera);
GxWorld* GxWorldRemoveCamera(GxWorld* world, GxCamera* camera);
GxWorld* GxAtomicGetWorld(const GxAtomic* atomic);
GxWorld* GxClumpGetWorld(const GxClump* clump);
GxWorld* GxLightGetWorld(const GxLight* light);
GxWorld* GxCameraGetWorld(const GxCamera* camera);
GxCamera* GxCameraForAllSectorsInFrustum(GxCamera* camera, GxWorldSectorCallBack callBack, void* data);
GxCamera* GxCameraForAllClumpsInFrustum(GxCamera* camera, GxClumpCallBack callBack, void* data);
// The camera's visible-sector list as the last sync left it.
GxInt32 GxCameraGetNumVisibleSectors(const GxCamera* camera);
GxWorldSector* GxCameraGetVisibleSector(const GxCamera* camera, GxInt32 index);
