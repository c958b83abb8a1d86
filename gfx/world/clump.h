// Atomics and clumps: the world objects' public header, with the module, clump iteration, cloning and streams.
//
// gfx_world holds the world objects of the graphics library: atomics and clumps (this header), geometry and
// morph targets (geometry.h), materials, material lists and lights (material.h), meshes and bin meshes
// (mesh.h), level-of-detail atomics (lod.h), user data (userdata.h), worlds and sectors (world.h) and
// collision (collision.h). It calls gfx/core only (frames, cameras, streams, textures, the pipeline core, the
// plugin registry) and never a driver: an atomic is drawn by running its pipeline, which the driver installs.
// Each object kind has its own plugin registry, so later modules extend it by registration; GxWorldPluginAttach
// (world.h) registers every module here, with the worlds', before GxEngineOpen. Threading: the engine's one thread. Ownership: a clump owns
// its atomics, lights, cameras and frame hierarchy and destroys them with itself; geometries and materials
// are reference-counted (destroy is release). Every reader takes its counts from the bytes that remain and
// refuses what they cannot back.
#pragma once

#include "gfx/core/frame.h"
#include "gfx/core/gx.h"
#include "gfx/core/matrix.h"
#include "gfx/world/geometry.h"
#include "gfx/world/material.h"

struct GxAtomic;
struct GxClump;
struct GxCamera;
struct GxPipeline;
struct GxResourceEntry;

constexpr GxUInt32 gxPLUGINCLUMPMODULE = 0x504;
constexpr GxUInt32 gxPLUGINCLUMPMEMBERSHIP = 0x10;

// ---- atomics ----

typedef GxAtomic* (*GxAtomicCallBackRender)(GxAtomic* atomic);
typedef GxAtomic* (*GxAtomicCallBack)(GxAtomic* atomic, void* data);
typedef GxClump* (*GxClumpCallBack)(GxClump* clump, void* data);
typedef GxLight* (*GxLightCallBack)(GxLight* light, void* data);
typedef GxCamera* (*GxCameraCallBack)(GxCamera* camera, void* data);

constexpr GxUInt32 gxID_CLUMP = 0x10;
constexpr GxUInt32 gxID_ATOMIC = 0x14;
constexpr GxUInt32 gxID_GEOMETRYLIST = 0x1A;
constexpr GxUInt32 gxID_FRAMELIST = 0x0E;
constexpr GxInt32 gxERRATOMICWITHOUTFRAME = 5;  // with plugin id gxPLUGINWORLD, during a clump clone

// Morph-target interpolation state.
struct GxInterpolator {
    GxInt32 flags;  // bit 0x2: the bounding sphere must be interpolated
    GxUInt16 startMorphTarget;
    GxUInt16 endMorphTarget;
    GxReal time;
    GxReal recipTime;
    GxReal position;
};
constexpr GxInt32 gxINTERPOLATORDIRTYSPHERE = 0x2;

enum GxAtomicFlag : GxUInt8 {
    gxATOMICCOLLISIONTEST = 0x01,
    gxATOMICRENDER = 0x04,
};
enum GxAtomicPrivateFlag : GxUInt8 {
    gxATOMICSPHEREDIRTY = 0x01,  // the world bounding sphere must be recomputed
};

struct GxAtomic {
    GxFramedObject object;      // header, frame link and sync callback
    GxResourceEntry* repEntry;  // instanced data, null until the renderer instances the atomic
    GxGeometry* geometry;
    GxSphere boundingSphere;  // model space
    GxSphere worldBoundingSphere;
    GxClump* clump;
    GxLink inClumpLink;
    GxAtomicCallBackRender renderCallBack;
    GxInterpolator interpolator;
    GxUInt16 renderFrame;
    GxLink llWorldSectorsInAtomic;
    GxPipeline* pipeline;  // null: the pipeline module's default atomic pipeline
};

// The clump-membership extension of cameras and lights.
struct GxClumpMembership {
    GxLink inClumpLink;
    GxClump* clump;
};

struct GxClump {
    GxObject object;  // parent is the root frame of the clump's hierarchy
    GxLink atomicList;
    GxLink lightList;
    GxLink cameraList;
    GxLink inWorldLink;
    GxClumpCallBack callback;
};

// Module callbacks (engine plugin 0x504): the atomic and clump free lists; the close destroys every clump and
// atomic still alive.
void* GxClumpModuleOpen(void* instance, GxInt32 offset, GxInt32 size);
void* GxClumpModuleClose(void* instance, GxInt32 offset, GxInt32 size);
// Extension offsets of the membership record in cameras and lights (-1 when not registered).
GxInt32 GxClumpCameraMembershipOffset(void);
GxInt32 GxClumpLightMembershipOffset(void);

GxAtomic* GxAtomicCreate(void);
GxBool GxAtomicDestroy(GxAtomic* atomic);
GxAtomic* GxAtomicSetFrame(GxAtomic* atomic, GxFrame* frame);
// Flags bit 0: keep the atomic's bounding sphere instead of taking morph target 0's.
GxAtomic* GxAtomicSetGeometry(GxAtomic* atomic, GxGeometry* geometry, GxUInt32 flags);
GxAtomic* GxAtomicSetRenderCallBack(GxAtomic* atomic, GxAtomicCallBackRender callBack);
// Runs the atomic's pipeline, or the pipeline module's current atomic pipeline.
GxAtomic* GxAtomicDefaultRenderCallback(GxAtomic* atomic);
void GxAtomicInterpolateBoundingSphere(GxAtomic* atomic);
const GxSphere* GxAtomicGetWorldBoundingSphere(GxAtomic* atomic);

GxClump* GxClumpCreate(void);
GxBool GxClumpDestroy(GxClump* clump);
GxClump* GxClumpSetFrame(GxClump* clump, GxFrame* frame);
GxClump* GxClumpAddAtomic(GxClump* clump, GxAtomic* atomic);
GxClump* GxClumpAddCamera(GxClump* clump, GxCamera* camera);
GxClump* GxClumpRender(GxClump* clump);
GxClump* GxClumpForAllAtomics(GxClump* clump, GxAtomicCallBack callBack, void* data);
GxInt32 GxClumpGetNumAtomics(GxClump* clump);
GxClump* GxClumpAddLight(GxClump* clump, GxLight* light);
// Unlinks the light and zeroes its membership record.
GxClump* GxClumpRemoveLight(GxClump* clump, GxLight* light);
// Most recently added first; the next node is fetched before each call, so a callback may destroy its object.
GxClump* GxClumpForAllLights(GxClump* clump, GxLightCallBack callBack, void* data);
GxClump* GxClumpForAllCameras(GxClump* clump, GxCameraCallBack callBack, void* data);
GxClump* GxClumpSetCallback(GxClump* clump, GxClumpCallBack callBack);
// Iteration callbacks (each returns its object): destroy an atomic as GxAtomicDestroy does; unlink a light or
// camera from its clump, zero its membership record and destroy it; count objects into the GxInt32 at `data`.
GxAtomic* GxClumpDestroyAtomicCallback(GxAtomic* atomic, void* data);
GxLight* GxClumpDestroyLightCallback(GxLight* light, void* data);
GxCamera* GxClumpDestroyCameraCallback(GxCamera* camera, void* data);
template <typename Object>
Object* GxObjectCountCallback(Object* object, void* data)
{
    ++*static_cast<GxInt32*>(data);
    return object;
}
// Copies atomics (frames and hierarchy included); lights and cameras stay with the source.
GxClump* GxClumpClone(GxClump* clump);
GxAtomic* GxAtomicClone(GxAtomic* atomic);

GxInt32 GxAtomicRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                               GxPluginObjectDestructor destructor, GxPluginObjectCopy copy);
GxInt32 GxAtomicRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                     GxPluginDataChunkWriteCallBack writeCB,
                                     GxPluginDataChunkGetSizeCallBack getSizeCB);
GxInt32 GxAtomicSetStreamRightsCallback(GxUInt32 pluginID, GxPluginDataChunkRightsCallBack rightsCB);
GxInt32 GxAtomicSetStreamAlwaysCallback(GxUInt32 pluginID, GxPluginDataChunkAlwaysCallBack alwaysCB);
GxInt32 GxAtomicGetPluginOffset(GxUInt32 pluginID);
GxInt32 GxClumpRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                              GxPluginObjectDestructor destructor, GxPluginObjectCopy copy);
GxInt32 GxClumpRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                    GxPluginDataChunkWriteCallBack writeCB, GxPluginDataChunkGetSizeCallBack getSizeCB);
GxInt32 GxClumpGetPluginOffset(GxUInt32 pluginID);

// ---- streams ----

GxClump* GxClumpStreamWrite(GxClump* clump, GxStream* stream);
// Reads the body of a clump chunk whose header the caller has consumed.
GxClump* GxClumpStreamRead(GxStream* stream);

// ---- render rights ----

// A right-to-render record: the plugin whose rights callback restores an object's pipeline, and its data word.
struct GxRightsRecord {
    GxUInt32 pluginID;
    GxUInt32 extraData;
};

// The atomic right-to-render extension (0x1F): plugin id and data of the atomic's pipeline.
GxStream* GxAtomicRightsStreamRead(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32 size);
GxStream* GxAtomicRightsStreamWrite(GxStream* stream, GxInt32 length, const void* object, GxInt32 offset, GxInt32 size);
GxInt32 GxAtomicRightsStreamGetSize(const void* object, GxInt32 offset, GxInt32 size);
