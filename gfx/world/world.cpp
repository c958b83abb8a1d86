// Worlds and world sectors: modules, the world list, creation and destruction, the world stream and the render.
//
// Sections: modules and the world list; sector boxes and meshes; creation and destruction; the stream reader;
// rendering and lookups.
#include "gfx/world/world.h"

#include <cstring>
#include <utility>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/plugin.h"
#include "gfx/world/material.h"
#include "gfx/world/mesh.h"
#include "gfx/world/world_local.h"
#include "gfx/world/worldobj_local.h"

GxPluginRegistry gxWorldTKList = GxPluginRegistryInitializer(sizeof(GxWorld), 0);
GxPluginRegistry gxWorldSectorTKList = GxPluginRegistryInitializer(sizeof(GxWorldSector), 0);
GxRightsRecord gxWorldPendingRights = {0, 0};
GxRightsRecord gxSectorPendingRights = {0, 0};

GxRightsRecord* GxWorldGetPendingRights(void) { return &gxWorldPendingRights; }
GxRightsRecord* GxWorldSectorGetPendingRights(void) { return &gxSectorPendingRights; }

namespace {

constexpr GxUInt32 kWorldHint = 0x3000B;
constexpr GxUInt32 kWorldListHint = 0x4000B;
constexpr GxUInt32 kWorldRecordHint = 0x40507;
constexpr GxInt32 kWorldRecordsPerBlock = 8;
constexpr GxUInt32 kSortKeyHint = 0x10507;  // scratch arrays of the mesh sort keys
constexpr GxUInt32 kWorldStructSize = 64;
constexpr GxUInt32 kPlaneStructSize = 24;
constexpr GxUInt32 kSectorStructSize = 44;
constexpr GxUInt32 kChunkHeaderSize = 12;
constexpr GxUInt32 kTriangleOrderVersion = 0x36002;  // older sectors store the material index first
constexpr GxUInt32 kTexCoordSetsShift = 16;
constexpr GxUInt32 kTexCoordSetsMask = 0xFF;
constexpr size_t kCarveAlign = 16;
constexpr GxInt32 kPiecesPerSector = 5 + gxMAXTEXCOORDSETS;  // sector, positions, normals, colours, triangles, sets

struct WorldRecord {
    GxWorld* world;
    size_t size;
    GxLink link;
};

struct WorldModuleBlock {
    GxFreeList* records;
    GxLink worlds;
    GxInt32 pad;
};

GxInt32 worldModuleOffset = -1;
GxInt32 worldModuleInstances = 0;
GxInt32 sectorModuleInstances = 0;
GxInt32 openCountInstances = 0;

WorldModuleBlock* WorldBlock()
{
    return static_cast<WorldModuleBlock*>(GxCoreModuleBlock(worldModuleOffset, worldModuleInstances));
}

void* WorldModuleOpen(void* instance, GxInt32 offset, GxInt32)
{
    auto* block = reinterpret_cast<WorldModuleBlock*>(static_cast<char*>(instance) + offset);
    block->records = GxFreeListCreate(sizeof(WorldRecord), kWorldRecordsPerBlock, alignof(WorldRecord), kWorldListHint);
    if (!block->records) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    GxLinkInit(&block->worlds);
    worldModuleOffset = offset;
    worldModuleInstances++;
    return instance;
}

void* WorldModuleClose(void* instance, GxInt32 offset, GxInt32)
{
    auto* block = reinterpret_cast<WorldModuleBlock*>(static_cast<char*>(instance) + offset);
    if (block->records) {
        GxFreeListDestroy(block->records);
        block->records = nullptr;
    }
    worldModuleInstances--;
    return instance;
}

bool LinkWorld(GxWorld* world, size_t size)
{
    WorldModuleBlock* block = WorldBlock();
    auto* record = static_cast<WorldRecord*>(GxFreeListAllocEntry(block->records, kWorldRecordHint));
    if (!record) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return false;
    }
    record->world = world;
    record->size = size;
    GxLinkAddAfter(&block->worlds, &record->link);
    return true;
}

WorldRecord* RecordOfLink(GxLink* link)
{
    return reinterpret_cast<WorldRecord*>(reinterpret_cast<char*>(link) - offsetof(WorldRecord, link));
}

void UnlinkWorld(const GxWorld* world)
{
    WorldModuleBlock* block = WorldBlock();
    if (!block) {
        return;
    }
    for (GxLink* link = block->worlds.next; link != &block->worlds; link = link->next) {
        WorldRecord* record = RecordOfLink(link);
        if (record->world == world) {
            GxLinkRemove(link);
            GxFreeListFreeEntry(block->records, record);
            return;
        }
    }
}

// ---- Sector boxes and meshes.

// Each atomic sector's box: the world's box narrowed by the planes on its path, left subtrees first.
void CalcSectorBoxes(GxWorld* world)
{
    struct Entry {
        GxSector* sector;
        GxBBox box;
    };
    Entry stack[gxWORLDSTACKDEPTH];
    GxInt32 top = 0;
    stack[top++] = Entry{world->rootSector, world->boundingBox};
    while (top > 0) {
        const Entry entry = stack[--top];
        if (!entry.sector) {
            continue;
        }
        if (GxSectorIsAtomic(entry.sector)) {
            GxSectorAsAtomic(entry.sector)->boundingBox = entry.box;
            continue;
        }
        const GxPlaneSector* plane = GxSectorAsPlane(entry.sector);
        Entry right = Entry{plane->rightSubTree, entry.box};
        *GxV3dAxisRef(&right.box.inf, plane->type) = plane->rightValue;
        Entry left = Entry{plane->leftSubTree, entry.box};
        *GxV3dAxisRef(&left.box.sup, plane->type) = plane->leftValue;
        // Depth is bounded by the reader, so two more entries always fit.
        stack[top++] = right;
        stack[top++] = left;
    }
}

bool BuildSectorMesh(GxWorld* world, GxWorldSector* sector)
{
    if (sector->mesh) {
        return true;
    }
    if (sector->numTriangles == 0 || !sector->triangles) {
        sector->mesh = GxMeshHeaderGetEmpty();
        return true;
    }
    GxMeshBuilder* builder = GxMeshBuilderCreate(sector->numTriangles);
    if (!builder) {
        return false;
    }
    if (!GxMeshBuilderAddListTriangles(builder, &world->matList, sector->triangles, sector->numTriangles,
                                       sector->matListWindowBase, kSortKeyHint)) {
        GxMeshBuilderDestroy(builder);
        return false;
    }
    sector->mesh = GxMeshHeaderFromBuilder(builder, (world->flags & gxGEOMETRYTRISTRIP) != 0);
    return sector->mesh != nullptr;
}

bool BuildMeshes(GxWorld* world)
{
    bool ok = true;
    GxWorldForAllWorldSectors(
        world,
        [](GxWorldSector* sector, void* data) -> GxWorldSector* {
            return BuildSectorMesh(static_cast<GxWorld*>(data), sector) ? sector : nullptr;
        },
        world);
    GxWorldForAllWorldSectors(
        world,
        [](GxWorldSector* sector, void* data) -> GxWorldSector* {
            if (!sector->mesh) {
                *static_cast<bool*>(data) = false;
            }
            return sector;
        },
        &ok);
    return ok;
}

void InitSector(GxWorldSector* sector)
{
    memset(sector, 0, sizeof(*sector));
    sector->type = gxATOMICSECTORTYPE;
    GxLinkInit(&sector->collAtomicsInWorldSector);
    GxLinkInit(&sector->lightsInWorldSector);
}

void InitWorld(GxWorld* world)
{
    memset(world, 0, sizeof(*world));
    world->object.type = gxOBJECTTYPEWORLD;
    world->renderOrder = gxWORLDRENDERBACKTOFRONT;
    GxMaterialListInitialize(&world->matList);
    GxLinkInit(&world->clumpList);
    GxLinkInit(&world->lightList);
    GxLinkInit(&world->directionalLightList);
    world->currentClumpLink = &world->clumpList;
    world->renderCallBack = GxWorldSectorRender;
}

// Sectors and planes of a world; callers free them when the world is not one allocation.
void ReleaseSector(GxWorldSector* sector, bool free)
{
    if (sector->mesh) {
        GxMeshHeaderDestroy(sector->mesh);
        sector->mesh = nullptr;
    }
    if (sector->repEntry) {
        GxResourceEntryFree(sector->repEntry);
    }
    GxWorldSectorRemoveAllTies(sector);
    GxPluginRegistryDeInitObject(&gxWorldSectorTKList, sector);
    if (free) {
        GxFree(sector->vertices);
        GxFree(sector->normals);
        GxFree(sector->preLitLum);
        GxFree(sector->triangles);
        for (GxTexCoords* set : sector->texCoords) {
            GxFree(set);
        }
        GxFree(sector);
    }
}

void DestroyMeshes(GxWorld* world)
{
    GxWorldForAllWorldSectors(
        world,
        [](GxWorldSector* sector, void*) -> GxWorldSector* {
            if (sector->mesh) {
                GxMeshHeaderDestroy(sector->mesh);
                sector->mesh = nullptr;
            }
            return sector;
        },
        nullptr);
}

// Runs every sector's destructors; `free` also frees each node, which sectors in one allocation must not.
void ReleaseTree(GxSector* root, bool free)
{
    GxSector* stack[gxWORLDSTACKDEPTH];
    GxInt32 top = 0;
    if (root) {
        stack[top++] = root;
    }
    while (top > 0) {
        GxSector* node = stack[--top];
        if (GxSectorIsAtomic(node)) {
            ReleaseSector(GxSectorAsAtomic(node), free);
            continue;
        }
        GxPlaneSector* plane = GxSectorAsPlane(node);
        if (plane->rightSubTree) {
            stack[top++] = plane->rightSubTree;
        }
        if (plane->leftSubTree) {
            stack[top++] = plane->leftSubTree;
        }
        if (free) {
            GxFree(plane);
        }
    }
}

// ---- The stream reader.

// Carves the world's one allocation; refuses whatever would pass its end.
struct Carver {
    char* base;
    size_t size;
    size_t used;

    void* Take(uint64_t bytes)
    {
        const size_t start = (used + kCarveAlign - 1) & ~(kCarveAlign - 1);
        if (start > size || bytes > size - start) {
            GxErrorRaise(gxPLUGINWORLD, gxERRBADWORLD);
            return nullptr;
        }
        used = start + static_cast<size_t>(bytes);
        return base + start;
    }
};

struct Reader {
    GxStream* stream;
    GxWorld* world;
    Carver carver;
    GxInt32 planesLeft;
    GxInt32 sectorsLeft;
    GxUInt32 verticesLeft;
    GxUInt32 trianglesLeft;
};

bool ReadArray(Reader* r, void** out, uint64_t count, GxUInt32 elementSize, bool words)
{
    if (count == 0) {
        return true;
    }
    const uint64_t bytes = count * elementSize;
    if (!GxWorldStreamHolds(r->stream, bytes)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return false;
    }
    void* block = r->carver.Take(bytes);
    if (!block) {
        return false;
    }
    *out = block;
    const auto length = static_cast<GxUInt32>(bytes);
    if (words) {
        if (!GxStreamReadInt32(r->stream, block, length)) {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            return false;
        }
        return true;
    }
    return GxWorldRead(r->stream, block, length);
}

bool TrianglesValid(const GxWorld* world, const GxWorldSector* sector)
{
    for (GxUInt32 i = 0; i < sector->numTriangles; i++) {
        const GxTriangle& t = sector->triangles[i];
        if (t.vertIndex[0] >= sector->numVertices || t.vertIndex[1] >= sector->numVertices ||
            t.vertIndex[2] >= sector->numVertices ||
            sector->matListWindowBase + t.matIndex >= world->matList.numMaterials) {
            return false;
        }
    }
    return true;
}

bool ReadSectorBody(Reader* r, GxWorldSector* sector, GxUInt32 version)
{
    GxWorld* world = r->world;
    const GxUInt32 vertices = sector->numVertices;
    const GxUInt32 triangles = sector->numTriangles;
    if (!(world->flags & gxGEOMETRYNATIVE)) {
        void* p = nullptr;
        if (vertices > 0) {
            if (!ReadArray(r, &p, static_cast<GxUInt32>(vertices), sizeof(GxV3d), true)) {
                return false;
            }
            sector->vertices = static_cast<GxV3d*>(p);
            if (world->flags & gxGEOMETRYNORMALS) {
                if (!ReadArray(r, &p, static_cast<GxUInt32>(vertices), sizeof(GxUInt32), false)) {
                    return false;
                }
                sector->normals = static_cast<GxUInt32*>(p);
            }
            if (world->flags & gxGEOMETRYPRELIT) {
                if (!ReadArray(r, &p, static_cast<GxUInt32>(vertices), sizeof(GxRGBA), false)) {
                    return false;
                }
                sector->preLitLum = static_cast<GxRGBA*>(p);
            }
            for (GxInt32 s = 0; s < world->numTexCoordSets; s++) {
                if (!ReadArray(r, &p, static_cast<GxUInt32>(vertices), sizeof(GxTexCoords), true)) {
                    return false;
                }
                sector->texCoords[s] = static_cast<GxTexCoords*>(p);
            }
        }
        if (!ReadArray(r, &p, static_cast<GxUInt32>(triangles), sizeof(GxTriangle), true)) {
            return false;
        }
        sector->triangles = static_cast<GxTriangle*>(p);
        if (version < kTriangleOrderVersion) {
            for (GxUInt32 i = 0; i < sector->numTriangles; i++) {
                GxUInt16* w = reinterpret_cast<GxUInt16*>(&sector->triangles[i]);
                const GxUInt16 material = w[0];
                w[0] = w[1];
                w[1] = w[2];
                w[2] = w[3];
                w[3] = material;
            }
        }
        if (!TrianglesValid(world, sector)) {
            GxErrorRaise(gxPLUGINWORLD, gxERRBADMATERIALINDEX);
            return false;
        }
    }
    gxSectorPendingRights = GxRightsRecord{0, 0};
    if (!GxPluginRegistryReadDataChunks(&gxWorldSectorTKList, r->stream, sector)) {
        return false;
    }
    if (gxSectorPendingRights.pluginID != 0) {
        sector->renderRights = gxSectorPendingRights;
        GxPluginRegistryInvokeRights(&gxWorldSectorTKList, gxSectorPendingRights.pluginID, sector,
                                     gxSectorPendingRights.extraData);
    }
    return true;
}

GxSector* ReadAtomicSector(Reader* r)
{
    GxUInt32 version = 0;
    GxUInt32 length = 0;
    if (!GxStreamFindChunk(r->stream, gxID_ATOMICSECTOR, nullptr, &version) ||
        !GxWorldFindStruct(r->stream, kSectorStructSize, &length)) {
        return nullptr;
    }
    GxUInt8 bytes[kSectorStructSize];
    if (!GxWorldRead(r->stream, bytes, kSectorStructSize) || !GxWorldSkip(r->stream, length - kSectorStructSize)) {
        return nullptr;
    }
    const GxInt32 base = GxBytesGetI32(bytes);
    const GxInt32 triangles = GxBytesGetI32(bytes + 4);
    const GxInt32 vertices = GxBytesGetI32(bytes + 8);
    if (base < 0 || base > gxWORLDMAXSECTORCOUNT || triangles < 0 || triangles > gxWORLDMAXSECTORCOUNT ||
        vertices < 0 || vertices > gxWORLDMAXSECTORCOUNT || r->sectorsLeft <= 0 ||
        static_cast<GxUInt32>(vertices) > r->verticesLeft || static_cast<GxUInt32>(triangles) > r->trianglesLeft) {
        GxErrorRaise(gxPLUGINWORLD, gxERRBADWORLD);
        return nullptr;
    }
    r->sectorsLeft--;
    r->verticesLeft -= static_cast<GxUInt32>(vertices);
    r->trianglesLeft -= static_cast<GxUInt32>(triangles);
    auto* sector = static_cast<GxWorldSector*>(r->carver.Take(static_cast<uint64_t>(gxWorldSectorTKList.sizeOfStruct)));
    if (!sector) {
        return nullptr;
    }
    InitSector(sector);
    sector->matListWindowBase = static_cast<GxUInt16>(base);
    sector->numTriangles = static_cast<GxUInt16>(triangles);
    sector->numVertices = static_cast<GxUInt16>(vertices);
    GxBBox& tight = sector->tightBoundingBox;
    tight.inf = GxV3d{GxBytesGetReal(bytes + 12), GxBytesGetReal(bytes + 16), GxBytesGetReal(bytes + 20)};
    tight.sup = GxV3d{GxBytesGetReal(bytes + 24), GxBytesGetReal(bytes + 28), GxBytesGetReal(bytes + 32)};
    // Plugin data is constructed at once, so a failure below can always destroy the sector.
    GxPluginRegistryInitObject(&gxWorldSectorTKList, sector);
    if (!ReadSectorBody(r, sector, version)) {
        ReleaseSector(sector, false);
        return nullptr;
    }
    return reinterpret_cast<GxSector*>(sector);
}

GxSector* ReadSector(Reader* r, bool atomic, GxInt32 depth);

GxSector* ReadPlaneSector(Reader* r, GxInt32 depth)
{
    GxUInt32 length = 0;
    if (depth >= gxWORLDMAXPLANEDEPTH || r->planesLeft <= 0) {
        GxErrorRaise(gxPLUGINWORLD, gxERRBADWORLD);
        return nullptr;
    }
    if (!GxStreamFindChunk(r->stream, gxID_PLANESECTOR, nullptr, nullptr) ||
        !GxWorldFindStruct(r->stream, kPlaneStructSize, &length)) {
        return nullptr;
    }
    GxUInt8 bytes[kPlaneStructSize];
    if (!GxWorldRead(r->stream, bytes, kPlaneStructSize) || !GxWorldSkip(r->stream, length - kPlaneStructSize)) {
        return nullptr;
    }
    const GxInt32 type = GxBytesGetI32(bytes);
    if (type != 0 && type != 4 && type != 8) {
        GxErrorRaise(gxPLUGINWORLD, gxERRBADWORLD);
        return nullptr;
    }
    r->planesLeft--;
    auto* plane = static_cast<GxPlaneSector*>(r->carver.Take(sizeof(GxPlaneSector)));
    if (!plane) {
        return nullptr;
    }
    memset(plane, 0, sizeof(*plane));
    plane->type = type;
    plane->value = GxBytesGetReal(bytes + 4);
    const bool leftAtomic = GxBytesGetI32(bytes + 8) != 0;
    const bool rightAtomic = GxBytesGetI32(bytes + 12) != 0;
    plane->leftValue = plane->rightValue = plane->value;
    if (r->world->flags & gxWORLDSEPARATEPLANEVALUES) {
        plane->leftValue = GxBytesGetReal(bytes + 16);
        plane->rightValue = GxBytesGetReal(bytes + 20);
    }
    // Children are linked as soon as they exist so that a failure can release what was read.
    plane->leftSubTree = ReadSector(r, leftAtomic, depth + 1);
    if (!plane->leftSubTree) {
        return reinterpret_cast<GxSector*>(plane);
    }
    plane->rightSubTree = ReadSector(r, rightAtomic, depth + 1);
    return reinterpret_cast<GxSector*>(plane);
}

// Planes and sectors come back linked even when a child failed; TreeComplete says whether the tree is whole.
GxSector* ReadSector(Reader* r, bool atomic, GxInt32 depth)
{
    return atomic ? ReadAtomicSector(r) : ReadPlaneSector(r, depth);
}

bool TreeComplete(GxSector* root)
{
    GxSector* stack[gxWORLDSTACKDEPTH];
    GxInt32 top = 0;
    if (!root) {
        return false;
    }
    stack[top++] = root;
    while (top > 0) {
        GxSector* node = stack[--top];
        if (GxSectorIsAtomic(node)) {
            continue;
        }
        GxPlaneSector* plane = GxSectorAsPlane(node);
        if (!plane->leftSubTree || !plane->rightSubTree) {
            return false;
        }
        stack[top++] = plane->rightSubTree;
        stack[top++] = plane->leftSubTree;
    }
    return true;
}

// Bytes the stream must still hold for the counts the world struct announces.
uint64_t MinimumBytes(GxInt32 planes, GxInt32 sectors, GxUInt32 vertices, GxUInt32 triangles, bool native)
{
    const uint64_t planeBytes = 2 * kChunkHeaderSize + kPlaneStructSize;
    const uint64_t sectorBytes = 3 * kChunkHeaderSize + kSectorStructSize;
    uint64_t bytes = static_cast<uint64_t>(planes) * planeBytes + static_cast<uint64_t>(sectors) * sectorBytes;
    if (!native) {
        bytes +=
            static_cast<uint64_t>(vertices) * sizeof(GxV3d) + static_cast<uint64_t>(triangles) * sizeof(GxTriangle);
    }
    return bytes;
}

uint64_t BlockSize(GxInt32 planes, GxInt32 sectors, GxUInt32 vertices, GxUInt32 triangles, GxUInt32 flags, GxInt32 sets)
{
    uint64_t size = static_cast<uint64_t>(gxWorldTKList.sizeOfStruct);
    size += static_cast<uint64_t>(sectors) * static_cast<uint64_t>(gxWorldSectorTKList.sizeOfStruct);
    size += static_cast<uint64_t>(planes) * sizeof(GxPlaneSector);
    if (!(flags & gxGEOMETRYNATIVE)) {
        uint64_t perVertex = sizeof(GxV3d);
        perVertex += (flags & gxGEOMETRYNORMALS) ? sizeof(GxUInt32) : 0;
        perVertex += (flags & gxGEOMETRYPRELIT) ? sizeof(GxRGBA) : 0;
        perVertex += static_cast<uint64_t>(sets) * sizeof(GxTexCoords);
        size += static_cast<uint64_t>(vertices) * perVertex + static_cast<uint64_t>(triangles) * sizeof(GxTriangle);
    }
    // Every carved piece may start up to one alignment step late.
    const uint64_t pieces = 1 + static_cast<uint64_t>(planes) + static_cast<uint64_t>(sectors) * kPiecesPerSector;
    return size + pieces * kCarveAlign;
}

GxInt32 TexCoordSets(GxUInt32 flags)
{
    const GxUInt32 sets = (flags >> kTexCoordSetsShift) & kTexCoordSetsMask;
    if (sets != 0) {
        return static_cast<GxInt32>(sets);
    }
    if (flags & gxGEOMETRYTEXTURED2) {
        return 2;
    }
    return (flags & gxGEOMETRYTEXTURED) ? 1 : 0;
}

}  // namespace

// ---- Modules.

GxBool GxWorldPluginAttach(void)
{
    static const GxCoreModule sectorModule = {gxPLUGINSECTORMODULE, 4, GxCountingModuleOpen<&sectorModuleInstances>,
                                              GxCountingModuleClose<&sectorModuleInstances>};
    static const GxCoreModule countModule = {gxPLUGINOPENCOUNTMODULE, 0, GxCountingModuleOpen<&openCountInstances>,
                                             GxCountingModuleClose<&openCountInstances>};
    static const GxCoreModule worldModule = {gxPLUGINWORLDMODULE, sizeof(WorldModuleBlock), WorldModuleOpen,
                                             WorldModuleClose};
    // Every module in the engine's order: materials, meshes, sectors, atomics, lights, the open count, the worlds.
    if (!(GxMaterialPluginAttach() && GxMeshPluginAttach()) || !GxEngineRegisterModule(&sectorModule) ||
        !(GxClumpModuleAttach() && GxLightPluginAttach()) || !GxEngineRegisterModule(&countModule) ||
        !GxEngineRegisterModule(&worldModule)) {
        return 0;
    }
    // The world-object module, then the clump membership extensions.
    return GxWorldStreamPluginAttach() && GxWorldObjectPluginAttach() && GxClumpRegisterMembershipPlugins();
}

GxInt32 GxWorldRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                              GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&gxWorldTKList, size, pluginID, constructor, destructor, copy);
}

GxInt32 GxWorldRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                    GxPluginDataChunkWriteCallBack writeCB, GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return GxPluginRegistryAddPluginStream(&gxWorldTKList, pluginID, readCB, writeCB, getSizeCB);
}

GxInt32 GxWorldSectorRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                                    GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&gxWorldSectorTKList, size, pluginID, constructor, destructor, copy);
}

GxInt32 GxWorldSectorRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                          GxPluginDataChunkWriteCallBack writeCB,
                                          GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return GxPluginRegistryAddPluginStream(&gxWorldSectorTKList, pluginID, readCB, writeCB, getSizeCB);
}

// ---- Creation and destruction.

GxWorld* GxWorldCreate(const GxBBox* box)
{
    GX_ASSERT(box && WorldBlock(), "a box is given and the world module is open");
    auto* world = static_cast<GxWorld*>(GxMalloc(static_cast<size_t>(gxWorldTKList.sizeOfStruct), kWorldHint));
    auto* sector =
        static_cast<GxWorldSector*>(GxMalloc(static_cast<size_t>(gxWorldSectorTKList.sizeOfStruct), kWorldHint));
    if (!world || !sector) {
        GxFree(world);
        GxFree(sector);
        GxErrorRaise(gxPLUGINWORLD, gxERRNOMEMORY);
        return nullptr;
    }
    InitWorld(world);
    InitSector(sector);
    world->boundingBox = *box;
    world->rootSector = reinterpret_cast<GxSector*>(sector);
    sector->boundingBox = sector->tightBoundingBox = *box;
    GxPluginRegistryInitObject(&gxWorldSectorTKList, sector);
    GxPluginRegistryInitObject(&gxWorldTKList, world);
    if (!LinkWorld(world, static_cast<size_t>(gxWorldTKList.sizeOfStruct)) || !BuildMeshes(world)) {
        ReleaseTree(world->rootSector, true);
        GxPluginRegistryDeInitObject(&gxWorldTKList, world);
        UnlinkWorld(world);
        GxFree(world);
        return nullptr;
    }
    return world;
}

GxBool GxWorldDestroy(GxWorld* world)
{
    GX_ASSERT(world, "a world is given");
    // Whatever is still in the world leaves it, so no clump, light or camera points at freed sectors.
    while (!GxLinkIsEmpty(&world->clumpList)) {
        GxClump* clump =
            reinterpret_cast<GxClump*>(reinterpret_cast<char*>(world->clumpList.next) - offsetof(GxClump, inWorldLink));
        GxWorldRemoveClump(world, clump);
    }
    for (GxLink* list : {&world->lightList, &world->directionalLightList}) {
        while (!GxLinkIsEmpty(list)) {
            GxWorldRemoveLight(world, GxLightFromWorldLink(list->next));
        }
    }
    UnlinkWorld(world);
    const bool oneBlock = (world->object.privateFlags & gxWORLDONEBLOCK) != 0;
    DestroyMeshes(world);
    GxMaterialListDestroy(&world->matList);
    ReleaseTree(world->rootSector, !oneBlock);
    GxPluginRegistryDeInitObject(&gxWorldTKList, world);
    GxFree(world);
    return 1;
}

GxWorld* GxWorldStreamRead(GxStream* stream)
{
    GX_ASSERT(stream && WorldBlock(), "a stream is given and the world module is open");
    GxUInt32 length = 0;
    if (!GxWorldFindStruct(stream, kWorldStructSize, &length)) {
        return nullptr;
    }
    GxUInt8 bytes[kWorldStructSize];
    if (!GxWorldRead(stream, bytes, kWorldStructSize) || !GxWorldSkip(stream, length - kWorldStructSize)) {
        return nullptr;
    }
    const bool rootAtomic = GxBytesGetI32(bytes) != 0;
    const GxInt32 triangles = GxBytesGetI32(bytes + 16);
    const GxInt32 vertices = GxBytesGetI32(bytes + 20);
    const GxInt32 planes = GxBytesGetI32(bytes + 24);
    const GxInt32 sectors = GxBytesGetI32(bytes + 28);
    const GxInt32 collisionSize = GxBytesGetI32(bytes + 32);
    const GxUInt32 flags = GxBytesGetU32(bytes + 36);
    if (collisionSize >= 1) {
        GxErrorRaise(gxPLUGINCORE, gxERRBADVERSION);
        return nullptr;
    }
    const GxInt32 sets = TexCoordSets(flags);
    if (triangles < 0 || vertices < 0 || planes < 0 || sectors < 1 || sets > gxMAXTEXCOORDSETS ||
        !GxWorldStreamHolds(stream, MinimumBytes(planes, sectors, static_cast<GxUInt32>(vertices),
                                                 static_cast<GxUInt32>(triangles), flags & gxGEOMETRYNATIVE))) {
        GxErrorRaise(gxPLUGINWORLD, gxERRBADWORLD);
        return nullptr;
    }
    const uint64_t size =
        BlockSize(planes, sectors, static_cast<GxUInt32>(vertices), static_cast<GxUInt32>(triangles), flags, sets);
    if (size > SIZE_MAX) {
        GxErrorRaise(gxPLUGINWORLD, gxERRNOMEMORY);
        return nullptr;
    }
    auto* block = static_cast<char*>(GxCalloc(1, static_cast<size_t>(size), kWorldHint));
    if (!block) {
        GxErrorRaise(gxPLUGINWORLD, gxERRNOMEMORY);
        return nullptr;
    }
    auto* world = reinterpret_cast<GxWorld*>(block);
    InitWorld(world);
    world->object.privateFlags = gxWORLDONEBLOCK;
    world->flags = flags;
    world->numTexCoordSets = sets;
    world->worldOrigin = GxV3d{-GxBytesGetReal(bytes + 4), -GxBytesGetReal(bytes + 8), -GxBytesGetReal(bytes + 12)};
    world->boundingBox.sup = GxV3d{GxBytesGetReal(bytes + 40), GxBytesGetReal(bytes + 44), GxBytesGetReal(bytes + 48)};
    world->boundingBox.inf = GxV3d{GxBytesGetReal(bytes + 52), GxBytesGetReal(bytes + 56), GxBytesGetReal(bytes + 60)};
    Reader reader = {stream,
                     world,
                     Carver{block, static_cast<size_t>(size), static_cast<size_t>(gxWorldTKList.sizeOfStruct)},
                     planes,
                     sectors,
                     static_cast<GxUInt32>(vertices),
                     static_cast<GxUInt32>(triangles)};
    bool ok = LinkWorld(world, static_cast<size_t>(size));
    bool constructed = false;
    if (ok) {
        ok = GxWorldFindChunk(stream, gxID_MATLIST, nullptr) && GxMaterialListStreamRead(stream, &world->matList);
    }
    if (ok) {
        world->rootSector = ReadSector(&reader, rootAtomic, 0);
        ok = TreeComplete(world->rootSector);
    }
    if (ok) {
        CalcSectorBoxes(world);
        GxPluginRegistryInitObject(&gxWorldTKList, world);
        constructed = true;
        gxWorldPendingRights = GxRightsRecord{0, 0};
        ok = GxPluginRegistryReadDataChunks(&gxWorldTKList, stream, world) != nullptr;
        if (ok && gxWorldPendingRights.pluginID != 0) {
            GxPluginRegistryInvokeRights(&gxWorldTKList, gxWorldPendingRights.pluginID, world,
                                         gxWorldPendingRights.extraData);
        }
    }
    ok = ok && BuildMeshes(world);
    if (ok) {
        return world;
    }
    UnlinkWorld(world);
    DestroyMeshes(world);
    ReleaseTree(world->rootSector, false);
    GxMaterialListDestroy(&world->matList);
    if (constructed) {
        GxPluginRegistryDeInitObject(&gxWorldTKList, world);
    }
    GxFree(block);
    return nullptr;
}

// ---- Rendering and lookups.

bool GxWorldIsListed(const GxWorld* world)
{
    WorldModuleBlock* block = WorldBlock();
    for (GxLink* link = block ? block->worlds.next : nullptr; link && link != &block->worlds; link = link->next) {
        if (RecordOfLink(link)->world == world) {
            return true;
        }
    }
    return false;
}

GxWorld* GxWorldForAllWorldSectors(GxWorld* world, GxWorldSectorCallBack callBack, void* data)
{
    GxSector* stack[gxWORLDSTACKDEPTH];
    GxInt32 top = 0;
    GX_ASSERT(world, "a world is given");
    // A read that failed part-way leaves a tree without its root or with missing children.
    if (!world->rootSector) {
        return world;
    }
    stack[top++] = world->rootSector;
    while (top > 0) {
        GxSector* node = stack[--top];
        if (!node) {
            continue;
        }
        if (GxSectorIsAtomic(node)) {
            if (!callBack(GxSectorAsAtomic(node), data)) {
                return world;
            }
            continue;
        }
        GxPlaneSector* plane = GxSectorAsPlane(node);
        stack[top++] = plane->rightSubTree;
        stack[top++] = plane->leftSubTree;
    }
    return world;
}

GxWorld* GxWorldSetSectorRenderCallback(GxWorld* world, GxWorldSectorCallBackRender callBack)
{
    GX_ASSERT(world, "a world is given");
    world->renderCallBack = callBack ? callBack : GxWorldSectorRender;
    return world;
}

GxWorldSector* GxWorldSectorRender(GxWorldSector* sector)
{
    GX_ASSERT(sector, "a sector is given");
    if (sector->numTriangles == 0) {
        return sector;
    }
    GxPipeline* pipeline = sector->pipeline;
    if (!pipeline) {
        GxWorld* world = GxWorldSectorGetWorld(sector);
        pipeline = world ? world->pipeline : nullptr;
    }
    if (!pipeline) {
        GxPipelineModuleBlock* pipelines = GxPipelineGetModuleBlock();
        pipeline = pipelines ? pipelines->currentSectorPipeline : nullptr;
    }
    GX_ASSERT(pipeline != nullptr, "the pipeline module's open installs a world-sector pipeline");
    return GxPipelineExecute(pipeline, sector, 1) ? sector : nullptr;
}

// The current world drawn through the current camera. A camera in no world makes none current: nothing is drawn.
GxWorld* GxWorldRender(GxWorld* world)
{
    GxCamera* camera = GxEngineInstance->curCamera;
    GxWorld* current = GxEngineInstance->curWorld;
    GX_ASSERT(camera, "a world is rendered between a camera's begin and end update");
    if (!current) {
        return world;
    }
    const GxUInt16 frame = GxWorldGetRenderFrame();
    const GxInt32 count = GxCameraGetNumVisibleSectors(camera);
    for (GxInt32 i = 0; i < count; i++) {
        GxWorldSector* sector = GxCameraGetVisibleSector(camera, i);
        if (!current->renderCallBack(sector)) {
            continue;
        }
        GxLink* head = &sector->collAtomicsInWorldSector;
        for (GxLink* link = head->next; link != head; link = link->next) {
            GxAtomic* atomic = GxTieFromSectorLink(link)->apAtom;
            if (!(atomic->object.object.flags & gxATOMICRENDER) || atomic->renderFrame == frame) {
                continue;
            }
            atomic->renderFrame = frame;
            const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(atomic);
            if (GxCameraFrustumTestSphere(camera, sphere) != gxSPHEREOUTSIDE) {
                atomic->renderCallBack(atomic);
            }
        }
    }
    return world;
}

GxWorld* GxWorldSectorGetWorld(const GxWorldSector* sector)
{
    WorldModuleBlock* block = WorldBlock();
    if (!block || !sector) {
        return nullptr;
    }
    for (GxLink* link = block->worlds.next; link != &block->worlds; link = link->next) {
        WorldRecord* record = RecordOfLink(link);
        GxWorld* world = record->world;
        const auto* start = reinterpret_cast<const char*>(world);
        const auto* address = reinterpret_cast<const char*>(sector);
        if (world->object.privateFlags & gxWORLDONEBLOCK) {
            if (address >= start && address < start + record->size) {
                return world;
            }
            continue;
        }
        bool found = false;
        std::pair<const GxWorldSector*, bool*> query{sector, &found};
        GxWorldForAllWorldSectors(
            world,
            [](GxWorldSector* s, void* data) -> GxWorldSector* {
                auto* pair = static_cast<std::pair<const GxWorldSector*, bool*>*>(data);
                if (s == pair->first) {
                    *pair->second = true;
                    return nullptr;
                }
                return s;
            },
            &query);
        if (found) {
            return world;
        }
    }
    return nullptr;
}
