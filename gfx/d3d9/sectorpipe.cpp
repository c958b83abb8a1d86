// The world-sector all-in-one node, its instancing and lighting, the sector extensions and the world light query.
#include "gfx/d3d9/sectorpipe.h"

#include <algorithm>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/bytes.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/plugin.h"
#include "gfx/core/stream.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/lights.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/sectorpipe_local.h"
#include "gfx/d3d9/vertexbuffer.h"
#include "gfx/d3d9/vertexdecl.h"
#include "gfx/world/mesh.h"
#include "gfx/world/world.h"

GxD3D9SectorGlue gxD3D9SectorGlue;

namespace {

constexpr GxUInt32 kMaxElements = 6;
constexpr GxUInt32 kTangentUsage = 0x10000;
constexpr GxInt32 kRightsSize = 8;
constexpr GxInt32 kRightsIDSize = 4;

GxD3D9SectorGlue& glue = gxD3D9SectorGlue;

// Asked with the engine's current world, which is null until a world is made current.
GxLink* WorldGlobalLights(GxWorld* world) { return world ? &world->directionalLightList : nullptr; }

// The local lights of the atomic's sectors that light atomics and reach its world bounding sphere.
GxBool AtomicLocalLights(GxAtomic* atomic)
{
    const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(atomic);
    // Raised per lit object, so a light reached through several sectors is set once.
    const GxUInt16 frame = ++GxEngineInstance->lightFrameCounter;
    GxBool any = 0;
    for (GxLink* t = atomic->llWorldSectorsInAtomic.next; t != &atomic->llWorldSectorsInAtomic; t = t->next) {
        GxWorldSector* sector = GxTieFromAtomicLink(t)->worldSector;
        for (GxLink* l = sector->lightsInWorldSector.next; l != &sector->lightsInWorldSector; l = l->next) {
            GxLight* light = GxLightTieFromSectorLink(l)->light;
            auto* lightFrameOwner = static_cast<GxFrame*>(light->object.object.parent);
            if (light->lightFrame == frame || !(light->object.object.flags & gxLIGHTLIGHTATOMICS) || !lightFrameOwner) {
                continue;
            }
            light->lightFrame = frame;
            const GxV3d& at = GxFrameGetWorldMatrix(lightFrameOwner)->pos;
            const GxV3d d = {at.x - sphere->center.x, at.y - sphere->center.y, at.z - sphere->center.z};
            const GxReal reach = light->radius + sphere->radius;
            if (GxV3dDotProduct(&d, &d) < reach * reach) {
                any |= GxD3D9LocalLightSetup(light);
            }
        }
    }
    return any;
}

// ---- Instancing.

struct SectorLayout {
    D3DVERTEXELEMENT9 elements[kMaxElements + 1];
    GxUInt32 count;
    GxUInt32 stride;
    GxUInt32 normalOffset, prelitOffset, uvOffset[2], tangentOffset;
};

void AddElement(SectorLayout* layout, GxUInt32 type, GxUInt32 usage, GxUInt32 index, GxUInt32* offset)
{
    *offset = layout->stride;
    layout->elements[layout->count++] =
        D3DVERTEXELEMENT9{0, static_cast<WORD>(layout->stride), static_cast<BYTE>(type),
                          0, static_cast<BYTE>(usage),          static_cast<BYTE>(index)};
    layout->stride += GxD3D9VertexDeclTypeGetSize(type);
}

// The coordinate set tangents follow: the second when there is one, else the first; null without either.
const GxTexCoords* TangentTexCoords(const SectorLayout& layout, const GxWorldSector* sector)
{
    return layout.uvOffset[1] ? sector->texCoords[1] : layout.uvOffset[0] ? sector->texCoords[0] : nullptr;
}

SectorLayout LayoutOf(const GxWorld* world, const GxWorldSector* sector)
{
    SectorLayout layout = {};
    GxUInt32 position = 0;
    AddElement(&layout, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0, &position);
    if ((world->flags & gxGEOMETRYNORMALS) && sector->normals) {
        AddElement(&layout, GxD3D9PackedNormalType(), D3DDECLUSAGE_NORMAL, 0, &layout.normalOffset);
    }
    if ((world->flags & gxGEOMETRYPRELIT) && sector->preLitLum) {
        AddElement(&layout, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0, &layout.prelitOffset);
    }
    for (GxUInt32 set = 0; set < 2; set++) {
        const bool wanted = set == 0 ? (world->flags & (gxGEOMETRYTEXTURED | gxGEOMETRYTEXTURED2)) != 0
                                     : (world->flags & gxGEOMETRYTEXTURED2) != 0;
        if (wanted && sector->texCoords[set]) {
            AddElement(&layout, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, set, &layout.uvOffset[set]);
        }
    }
    if ((GxD3D9SectorGetUsageFlags(sector) & kTangentUsage) && TangentTexCoords(layout, sector)) {
        AddElement(&layout, GxD3D9PackedNormalType(), D3DDECLUSAGE_TANGENT, 0, &layout.tangentOffset);
    }
    layout.elements[layout.count] = D3DVERTEXELEMENT9 D3DDECL_END();
    return layout;
}

GxWorld* WorldOf(const GxWorldSector* sector)
{
    GxWorld* world = GxEngineInstance->curWorld;
    return world ? world : GxWorldSectorGetWorld(sector);
}

// The element type at an offset of the layout.
GxUInt32 TypeAt(const SectorLayout& layout, GxUInt32 offset)
{
    for (GxUInt32 i = 0; i < layout.count; i++) {
        if (layout.elements[i].Offset == offset) {
            return layout.elements[i].Type;
        }
    }
    return D3DDECLTYPE_UNUSED;
}

void WriteVertices(const GxWorldSector* sector, const SectorLayout& layout, char* base, GxD3D9InstanceHeader* header)
{
    const GxUInt32 count = sector->numVertices;
    GxD3D9WriteV3d(D3DDECLTYPE_FLOAT3, base, sector->vertices, count, layout.stride);
    if (layout.normalOffset) {
        GxD3D9WriteSectorNormals(TypeAt(layout, layout.normalOffset), base + layout.normalOffset,
                                 reinterpret_cast<const GxInt8*>(sector->normals), count, layout.stride);
    }
    GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    if (layout.prelitOffset) {
        for (GxUInt32 m = 0; m < header->meshCount; m++) {
            const GxUInt32 first = meshes[m].firstVertex;
            const GxUInt32 n = first < count ? std::min(meshes[m].vertexCount, count - first) : 0;
            meshes[m].hasVertexAlpha = GxD3D9WriteColors(base + first * layout.stride + layout.prelitOffset,
                                                         sector->preLitLum + first, n, layout.stride);
        }
    }
    for (GxUInt32 set = 0; set < 2; set++) {
        if (layout.uvOffset[set]) {
            GxD3D9WriteTexCoords(D3DDECLTYPE_FLOAT2, base + layout.uvOffset[set], &sector->texCoords[set][0].u, count,
                                 layout.stride);
        }
    }
    if (layout.tangentOffset) {
        GxD3D9WriteTangents(TypeAt(layout, layout.tangentOffset), base + layout.tangentOffset, sector->vertices,
                            &TangentTexCoords(layout, sector)[0].u, header, layout.stride);
    }
}

// ---- The node.

GxBool SectorAllInOneBody(GxPipelineNode* node, const GxPipelineExecutionParams* params)
{
    auto* sector = static_cast<GxWorldSector*>(params->object);
    auto* callBacks = static_cast<GxD3D9AllInOneCallBacks*>(node->privateBlock);
    if (!sector || sector->numVertices == 0 || !sector->mesh || sector->mesh->numMeshes == 0) {
        return 1;
    }
    GxWorld* world = WorldOf(sector);
    if (!world) {
        return 0;
    }
    GxResourceEntry* entry = sector->repEntry;
    const bool native = (world->flags & gxGEOMETRYNATIVE) != 0;
    if (native && !entry) {
        return 0;  // read without its native data: no arrays to instance from
    }
    if (entry && !native) {
        const auto* header = reinterpret_cast<const GxD3D9InstanceHeader*>(entry + 1);
        if (header->meshSerial != sector->mesh->serialNum) {
            GxResourceEntryFree(entry);
            entry = nullptr;
        }
    }
    if (!entry) {
        entry = GxD3D9InstanceCreate(sector, sector, gxD3D9OBJECTSECTOR, &sector->repEntry, sector->mesh,
                                     callBacks->instanceCallBack, 0, 1);
        if (!entry) {
            return 0;
        }
    }
    if (callBacks->lightingCallBack) {
        callBacks->lightingCallBack(sector);
    }
    GxD3D9SetTransformWorld(nullptr);
    GxD3D9SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
    if (callBacks->renderCallBack) {
        callBacks->renderCallBack(entry, sector, gxD3D9OBJECTSECTOR, world->flags);
    }
    return 1;
}

GxBool SectorAllInOneOpen(GxPipelineNode* node)
{
    auto* callBacks = static_cast<GxD3D9AllInOneCallBacks*>(node->privateBlock);
    *callBacks =
        GxD3D9AllInOneCallBacks{GxD3D9SectorInstance, nullptr, GxD3D9SectorLighting, GxD3D9DefaultRenderCallback};
    return 1;
}

static GxNodeDefinition SectorNodeDefinition()
{
    GxNodeDefinition definition = GxNodeDefinitionNamed("nodeD3D9WorldSectorAllInOne.csl", SectorAllInOneBody);
    definition.nodeOpen = SectorAllInOneOpen;
    definition.privateSize = sizeof(GxD3D9AllInOneCallBacks);
    return definition;
}
GxNodeDefinition sectorNode = SectorNodeDefinition();

void* UsageConstruct(void* object, GxInt32 offset, GxInt32)
{
    *reinterpret_cast<GxUInt32*>(static_cast<char*>(object) + offset) = 0;
    return object;
}

void* UsageCopy(void* destination, const void* source, GxInt32 offset, GxInt32)
{
    memcpy(static_cast<char*>(destination) + offset, static_cast<const char*>(source) + offset, sizeof(GxUInt32));
    return destination;
}

// The plugin id, and the data word only when the chunk is 8 bytes long: a shorter record leaves the data as the
// reader cleared it. Bytes past the record are skipped by the registry.
GxStream* ReadRights(GxStream* stream, GxInt32 length, GxRightsRecord* record)
{
    if (length < kRightsIDSize) {
        return nullptr;
    }
    GxUInt8 bytes[kRightsSize] = {};
    const GxUInt32 wanted = length == kRightsSize ? kRightsSize : kRightsIDSize;
    if (GxStreamRead(stream, bytes, wanted) != wanted) {
        return nullptr;
    }
    record->pluginID = GxBytesGetU32(bytes);
    if (wanted == kRightsSize) {
        record->extraData = GxBytesGetU32(bytes + kRightsIDSize);
    }
    return stream;
}

GxStream* WriteRights(GxStream* stream, GxUInt32 pluginID, GxUInt32 data)
{
    GxUInt8 bytes[kRightsSize];
    GxBytesPutU32(bytes, pluginID);
    GxBytesPutU32(bytes + kRightsIDSize, data);
    return GxStreamWrite(stream, bytes, kRightsSize);
}

GxStream* SectorRightsRead(GxStream* stream, GxInt32 length, void*, GxInt32, GxInt32)
{
    return GxD3D9SectorRenderRightsStreamRead(stream, length);
}

GxStream* SectorRightsWrite(GxStream* stream, GxInt32 length, const void* sector, GxInt32, GxInt32)
{
    return GxD3D9SectorRenderRightsStreamWrite(stream, length, static_cast<const GxWorldSector*>(sector));
}

GxInt32 SectorRightsSize(const void* sector, GxInt32, GxInt32)
{
    return GxD3D9SectorRenderRightsStreamSize(static_cast<const GxWorldSector*>(sector));
}

GxStream* WorldRightsRead(GxStream* stream, GxInt32 length, void*, GxInt32, GxInt32)
{
    return GxD3D9WorldRenderRightsStreamRead(stream, length);
}

// A world carries the plugin id and data of its sector pipeline, as an atomic does of its own.
GxStream* WorldRightsWrite(GxStream* stream, GxInt32, const void* world, GxInt32, GxInt32)
{
    const GxPipeline* pipeline = static_cast<const GxWorld*>(world)->pipeline;
    if (pipeline == nullptr) {
        return nullptr;
    }
    return WriteRights(stream, pipeline->ownerPluginId, pipeline->pluginData);
}

GxInt32 WorldRightsSize(const void* world, GxInt32, GxInt32)
{
    const GxPipeline* pipeline = static_cast<const GxWorld*>(world)->pipeline;
    return pipeline != nullptr && pipeline->ownerPluginId != 0 ? kRightsSize : 0;
}

GxStream* NativeRead(GxStream* stream, GxInt32, void* sector, GxInt32, GxInt32)
{
    return GxD3D9SectorNativeStreamRead(stream, static_cast<GxWorldSector*>(sector));
}

GxStream* NativeWrite(GxStream* stream, GxInt32, const void* sector, GxInt32, GxInt32)
{
    return GxD3D9SectorNativeStreamWrite(stream, static_cast<GxWorldSector*>(const_cast<void*>(sector)));
}

GxInt32 NativeSize(const void* sector, GxInt32, GxInt32)
{
    return GxD3D9SectorNativeStreamSize(static_cast<GxWorldSector*>(const_cast<void*>(sector)));
}

}  // namespace

GxBool GxD3D9SectorInstance(void* object, GxD3D9InstanceHeader* header, GxBool reinstance)
{
    auto* sector = static_cast<GxWorldSector*>(object);
    GxWorld* world = WorldOf(sector);
    if (!world || reinstance) {
        return 0;
    }
    const SectorLayout layout = LayoutOf(world, sector);
    header->vertexTotal = sector->numVertices;
    header->streamOffsets = 0;
    GxD3D9VertexStream& stream = header->streams[0];
    stream.stride = layout.stride;
    stream.pooled = 1;
    if (!GxD3D9CreateVertexDeclaration(layout.elements, &header->declaration) ||
        !GxD3D9CreateVertexBuffer(stream.stride, stream.stride * header->vertexTotal, &stream.buffer, &stream.offset)) {
        return 0;
    }
    GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        meshes[m].vertexBase = stream.offset / stream.stride + meshes[m].firstVertex;
    }
    void* data = nullptr;
    if (FAILED(stream.buffer->Lock(stream.offset, stream.stride * header->vertexTotal, &data, D3DLOCK_NOSYSLOCK))) {
        return 0;
    }
    WriteVertices(sector, layout, static_cast<char*>(data), header);
    stream.buffer->Unlock();
    return 1;
}

void GxD3D9SectorLighting(void* object)
{
    auto* sector = static_cast<GxWorldSector*>(object);
    GxWorld* world = WorldOf(sector);
    if (!world || !(world->flags & gxGEOMETRYLIGHT)) {
        GxD3D9LightsEnable(0);
        return;
    }
    GxBool any = GxD3D9WorldLightsSetup(gxLIGHTLIGHTWORLD);
    for (GxLink* l = sector->lightsInWorldSector.next; l != &sector->lightsInWorldSector; l = l->next) {
        GxLight* light = GxLightTieFromSectorLink(l)->light;
        if (light->object.object.flags & gxLIGHTLIGHTWORLD) {
            any |= GxD3D9LocalLightSetup(light);
        }
    }
    GxD3D9LightsEnable(any);
}

GxNodeDefinition* GxD3D9WorldSectorAllInOneNodeGet(void) { return &sectorNode; }

// The world's lights reach atomic lighting while a world driver instance is open.
void* GxD3D9WorldModuleOpen(void* instance, GxInt32, GxInt32)
{
    GxD3D9SetWorldLightsQuery(WorldGlobalLights);
    GxD3D9SetAtomicLocalLightsSetup(AtomicLocalLights);
    glue.openInstances++;
    return instance;
}

void* GxD3D9WorldModuleClose(void* instance, GxInt32, GxInt32)
{
    if (--glue.openInstances == 0) {
        GxD3D9SetWorldLightsQuery(nullptr);
        GxD3D9SetAtomicLocalLightsSetup(nullptr);
    }
    return instance;
}

GxBool GxD3D9SectorSetUsageFlags(GxWorldSector* sector, GxUInt32 flags)
{
    if (!sector || glue.usageOffset < 0) {
        return 0;
    }
    *reinterpret_cast<GxUInt32*>(reinterpret_cast<char*>(sector) + glue.usageOffset) = flags;
    return 1;
}

GxUInt32 GxD3D9SectorGetUsageFlags(const GxWorldSector* sector)
{
    if (!sector || glue.usageOffset < 0) {
        return 0;
    }
    return *reinterpret_cast<const GxUInt32*>(reinterpret_cast<const char*>(sector) + glue.usageOffset);
}

void GxD3D9SetDefaultSectorPipeline(GxPipeline* pipeline)
{
    GxPipelineModuleBlock* block = GxPipelineGetModuleBlock();
    if (block) {
        block->currentSectorPipeline = pipeline ? pipeline : block->platformSectorPipeline;
    }
}

GxBool GxD3D9SectorPluginAttach(void)
{
    GX_ASSERT(GxEngineGetPluginOffset(gxPLUGIND3D9WORLDMODULE) < 0,
              "the sector glue is attached once per engine start");
    if (!GxD3D9WorldPluginAttach()) {
        return 0;
    }
    if (GxEngineRegisterPlugin(0, gxPLUGIND3D9WORLDMODULE, GxD3D9WorldModuleOpen, GxD3D9WorldModuleClose) < 0) {
        return 0;
    }
    glue.usageOffset = GxWorldSectorRegisterPlugin(sizeof(GxUInt32), gxPLUGIND3D9USAGEFLAGS, UsageConstruct,
                                                   UsageConstruct, UsageCopy);
    if (glue.usageOffset < 0 || GxWorldSectorRegisterPlugin(0, gxID_NATIVEDATA, nullptr, nullptr, nullptr) < 0 ||
        GxWorldSectorRegisterPluginStream(gxID_NATIVEDATA, NativeRead, NativeWrite, NativeSize) < 0) {
        return 0;
    }
    return GxWorldSectorRegisterPlugin(0, gxID_RIGHTTORENDER, nullptr, nullptr, nullptr) >= 0 &&
           GxWorldSectorRegisterPluginStream(gxID_RIGHTTORENDER, SectorRightsRead, SectorRightsWrite,
                                             SectorRightsSize) >= 0 &&
           GxWorldRegisterPlugin(0, gxID_RIGHTTORENDER, nullptr, nullptr, nullptr) >= 0 &&
           GxWorldRegisterPluginStream(gxID_RIGHTTORENDER, WorldRightsRead, WorldRightsWrite, WorldRightsSize) >= 0;
}

GxStream* GxD3D9WorldRenderRightsStreamRead(GxStream* stream, GxInt32 length)
{
    return ReadRights(stream, length, GxWorldGetPendingRights());
}

GxStream* GxD3D9SectorRenderRightsStreamRead(GxStream* stream, GxInt32 length)
{
    return ReadRights(stream, length, GxWorldSectorGetPendingRights());
}

GxStream* GxD3D9SectorRenderRightsStreamWrite(GxStream* stream, GxInt32, const GxWorldSector* sector)
{
    return WriteRights(stream, sector->renderRights.pluginID, sector->renderRights.extraData);
}

GxInt32 GxD3D9SectorRenderRightsStreamSize(const GxWorldSector* sector)
{
    return sector->renderRights.pluginID != 0 ? kRightsSize : 0;
}
