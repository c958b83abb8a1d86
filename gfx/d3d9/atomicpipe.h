// The Direct3D 9 atomic pipeline: the all-in-one node that instances an atomic's geometry into Direct3D
// buffers held in a resources-arena entry, lights it and calls its render callback; the default render
// callback; the driver's world glue (usage flags, dynamic geometry, device restore, default pipelines) and
// native geometry data (chunk 0x510).
//
// GxD3D9WorldPluginAttach runs before GxEngineOpen, after the world objects' attach; the default pipelines
// live while the engine is open. An instance stays valid while its geometry's mesh serial number is unchanged;
// locks without new meshes rewrite only the locked parts, in every instance of the geometry (each keeps the lock
// stamp it was written from). The dynamic-geometry list counts the two-stream instances of each geometry. One
// thread.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/d3d9/instance.h"
#include "gfx/world/clump.h"

struct GxNodeDefinition;
struct GxPipeline;
struct GxPipelineNode;
struct GxResourceEntry;
struct GxMeshHeader;
struct GxStream;
struct GxWorld;

constexpr GxUInt32 gxPLUGIND3D9USAGEFLAGS = 0x50F;
constexpr GxUInt32 gxID_NATIVEDATA = 0x510;
constexpr GxUInt32 gxD3D9PLATFORMID = 9;
constexpr GxUInt32 gxD3D9OBJECTATOMIC = 1;               // render-callback type of atomics
constexpr GxUInt32 gxD3D9OBJECTSECTOR = 255;             // and of world sectors
constexpr GxUInt32 gxGEOMETRYINSTANCEONLY = 0x02000000;  // instance, never draw
constexpr GxUInt32 gxD3D9ONESTREAMPLUGINID = 302;        // atomic pipelines of this plugin keep one stream

// Geometry usage flags: the parts that change and go into the dynamic stream.
enum GxD3D9UsageFlag : GxUInt32 {
    gxD3D9USAGEPOSITIONS = 0x2,
    gxD3D9USAGENORMALS = 0x4,
    gxD3D9USAGEPRELIT = 0x8,
    gxD3D9USAGETEXCOORDS0 = 0x10,  // << set, up to bit 11
    gxD3D9USAGETANGENTS = 0x10000,
};

typedef GxBool (*GxD3D9InstanceCallBack)(void* object, GxD3D9InstanceHeader* header, GxBool reinstance);
typedef GxBool (*GxD3D9ReinstanceCallBack)(GxAtomic* atomic, GxD3D9InstanceHeader* header,
                                           GxD3D9InstanceCallBack instanceCallBack);
typedef void (*GxD3D9LightingCallBack)(void* object);
typedef void (*GxD3D9RenderCallBack)(GxResourceEntry* entry, void* object, GxUInt8 type, GxUInt32 flags);

// The all-in-one node's private data.
struct GxD3D9AllInOneCallBacks {
    GxD3D9InstanceCallBack instanceCallBack;
    GxD3D9ReinstanceCallBack reinstanceCallBack;
    GxD3D9LightingCallBack lightingCallBack;
    GxD3D9RenderCallBack renderCallBack;
};

GxNodeDefinition* GxD3D9AtomicAllInOneNodeGet(void);
// The callbacks of an atomic or world-sector all-in-one node of a pipeline (found with GxPipelineFindNodeByName).
GxPipelineNode* GxD3D9AllInOneNodeSetInstanceCallback(GxPipelineNode* node, GxD3D9InstanceCallBack callBack);
GxD3D9InstanceCallBack GxD3D9AllInOneNodeGetInstanceCallback(GxPipelineNode* node);
GxPipelineNode* GxD3D9AllInOneNodeSetRenderCallback(GxPipelineNode* node, GxD3D9RenderCallBack callBack);

// Instancing. With `stripsToList` a strip holding more indices than the object has triangles becomes a list.
GxResourceEntry* GxD3D9InstanceCreate(void* object, void* owner, GxUInt8 type, GxResourceEntry** slot,
                                      GxMeshHeader* meshHeader, GxD3D9InstanceCallBack instanceCallBack,
                                      GxBool instanceOnly, GxBool stripsToList);
void GxD3D9InstanceDestroy(GxResourceEntry* entry);
// The atomic's instance (on its geometry, or on the atomic when the geometry morphs): reused while its meshes are
// unchanged, its locked parts rewritten by the reinstance callback; made with the instance callback when there is
// none. A native geometry's instance is used as read. Null on failure.
GxResourceEntry* GxD3D9AtomicInstanceGet(GxAtomic* atomic, GxD3D9InstanceCallBack instanceCallBack,
                                         GxD3D9ReinstanceCallBack reinstanceCallBack);
GxBool GxD3D9AtomicInstance(void* atomic, GxD3D9InstanceHeader* header, GxBool reinstance);
GxBool GxD3D9AtomicReinstance(GxAtomic* atomic, GxD3D9InstanceHeader* header, GxD3D9InstanceCallBack callBack);
void GxD3D9AtomicLighting(void* atomic);
void GxD3D9DefaultRenderCallback(GxResourceEntry* entry, void* object, GxUInt8 type, GxUInt32 flags);
// Clipping off for an object wholly inside the current camera's frustum (an atomic's world bounding sphere, a
// sector's bounding box), on otherwise.
void GxD3D9CullTest(void* object, GxUInt8 type);
// Flushes the render states and draws one mesh of an instance from the given base vertex.
void GxD3D9InstanceMeshDraw(const GxD3D9InstanceHeader* header, const GxD3D9MeshInstance* mesh, GxUInt32 baseVertex);

// The global lights of a world, linked through GxLight::inWorld; installed by the code that owns worlds, or by
// a program that lights atomics with lights of its own (it is asked with the current world, null without one).
typedef GxLink* (*GxD3D9WorldLightsQuery)(GxWorld* world);
void GxD3D9SetWorldLightsQuery(GxD3D9WorldLightsQuery query);
GxD3D9WorldLightsQuery GxD3D9GetWorldLightsQuery(void);
// Sets up the local lights that reach a lit atomic with normals; installed by the code that owns worlds.
// Non-zero when any light was set.
typedef GxBool (*GxD3D9AtomicLocalLightsSetup)(GxAtomic* atomic);
void GxD3D9SetAtomicLocalLightsSetup(GxD3D9AtomicLocalLightsSetup setup);

// World glue.
GxBool GxD3D9WorldPluginAttach(void);
GxBool GxD3D9GeometrySetUsageFlags(GxGeometry* geometry, GxUInt32 flags);
GxUInt32 GxD3D9GeometryGetUsageFlags(const GxGeometry* geometry);
GxBool GxD3D9WorldPipelinesCreate(void);
void GxD3D9WorldPipelinesDestroy(void);
// The platform atomic pipeline (made current) with the light resources and the vertex-shader cache it uses;
// Destroy also empties the dynamic-geometry list.
GxBool GxD3D9AtomicPipelineCreate(void);
void GxD3D9AtomicPipelineDestroy(void);
// Null restores the platform pipeline.
void GxD3D9SetDefaultAtomicPipeline(GxPipeline* pipeline);
// Add counts one more user of the geometry's entry; Remove drops one and unlinks the entry with the last.
void GxD3D9DynamicGeometryAdd(GxGeometry* geometry);
void GxD3D9DynamicGeometryRemove(GxGeometry* geometry);
// Run after a device reset: every dynamic geometry rebuilds all its streams at its next draw.
void GxD3D9WorldDeviceRestore(void);

// Native geometry data (chunk 0x510), for geometries flagged native.
GxStream* GxD3D9GeometryNativeStreamWrite(GxStream* stream, GxGeometry* geometry);
GxStream* GxD3D9GeometryNativeStreamRead(GxStream* stream, GxGeometry* geometry);
GxInt32 GxD3D9GeometryNativeStreamSize(GxGeometry* geometry);
