// Atomics and clumps: the module with their free lists, clump iteration and atomic bounding spheres.
//
// gfx_world holds the world objects of the graphics library: atomics and clumps now; geometry, materials,
// meshes, worlds and sectors, collision, level of detail, user data and render rights as they arrive. It
// calls gfx/core only (frames, cameras, streams, the pipeline core, the plugin registry) and never a driver:
// an atomic is drawn by running its pipeline, which the driver installs. Each object kind is an engine
// plugin with its own registry, so later modules extend it by registration. Threading: the engine's one
// thread. Ownership: a clump owns its atomics and destroys them with itself; geometry is reference-counted.
#pragma once

#include "gfx/core/frame.h"
#include "gfx/core/gx.h"
#include "gfx/core/matrix.h"
#include "gfx/world/geometry.h"

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

// Morph-target interpolation state.
struct GxInterpolator {
    GxInt32 flags;               // bit 0x2: the bounding sphere must be interpolated
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
    GxFramedObject object;       // header, frame link and sync callback
    GxResourceEntry* repEntry;   // instanced data, null until the renderer instances the atomic
    GxGeometry* geometry;
    GxSphere boundingSphere;     // model space
    GxSphere worldBoundingSphere;
    GxClump* clump;
    GxLink inClumpLink;
    GxAtomicCallBackRender renderCallBack;
    GxInterpolator interpolator;
    GxUInt16 renderFrame;
    GxLink llWorldSectorsInAtomic;
    GxPipeline* pipeline;        // null: the pipeline module's default atomic pipeline
};

// The clump-membership extension of cameras and lights.
struct GxClumpMembership {
    GxLink inClumpLink;
    GxClump* clump;
};

struct GxClump {
    GxObject object;             // parent is the root frame of the clump's hierarchy
    GxLink atomicList;
    GxLink lightList;
    GxLink cameraList;
    GxLink inWorldLink;
    GxClumpCallBack callback;
};

// Module (engine plugin 0x504) and the membership extensions; called before GxEngineOpen.
GxBool GxClumpPluginAttach(void);
GxBool GxClumpRegisterMembershipPlugins(void);
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
GxClump* GxClumpRemoveAtomic(GxClump* clump, GxAtomic* atomic);
GxClump* GxClumpAddCamera(GxClump* clump, GxCamera* camera);
GxClump* GxClumpRender(GxClump* clump);
GxClump* GxClumpForAllAtomics(GxClump* clump, GxAtomicCallBack callBack, void* data);
GxInt32 GxClumpGetNumAtomics(GxClump* clump);
