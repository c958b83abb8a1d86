// Meshes: the mesh module, mesh builders, triangle-list and strip headers, and the bin-mesh chunk.
//
// Sections: module; builders; sort order; triangle lists; strips (connectivity, walking, joining);
// strip conversion; bin-mesh chunk.
#include "gfx/world/mesh.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/world/geometry.h"
#include "gfx/world/world_local.h"

namespace {

constexpr GxUInt32 kHeaderHint = 0x30502;
constexpr GxUInt32 kBuilderFreeListHint = 0x40502;
constexpr GxUInt32 kBuilderEntriesHint = 0x1030502;
constexpr GxInt32 kBuildersPerBlock = 50;
constexpr GxUInt32 kNoTriangle = 0xFFFFFFFFu;
constexpr GxUInt32 kMaxVertices = 0x10000;
constexpr GxUInt32 kStagingWords = 256;
constexpr GxUInt32 kBinMeshFixedWords = 3;
constexpr GxUInt32 kMaxMeshes = 0xFFFF;
constexpr GxUInt8 kOpaqueAlpha = 255;

struct MeshModuleBlock {
    GxUInt16 serialNum;
    GxUInt32 flagsToPrimType[17];
    GxUInt32 primTypeToFlags[6];
    GxFreeList* builderFreeList;
};

GxFreeList builderFreeListSpace;
GxInt32 meshOffset = -1;
GxInt32 meshInstances = 0;
GxMeshHeader emptyHeader = {};
GxMeshStripBuilder stripBuilder = GxMeshBuildStrips;
void* stripBuilderData = nullptr;

MeshModuleBlock* MeshBlock() { return static_cast<MeshModuleBlock*>(GxCoreModuleBlock(meshOffset, meshInstances)); }

void* MeshModuleOpen(void* instance, GxInt32 offset, GxInt32)
{
    meshOffset = offset;
    auto* block = reinterpret_cast<MeshModuleBlock*>(GxEngineGetModuleBlock(offset));
    memset(block, 0, sizeof(*block));
    block->serialNum = 1;
    block->flagsToPrimType[gxMESHHEADERTRILIST] = gxPRIMTYPETRILIST;
    block->flagsToPrimType[gxMESHHEADERTRISTRIP] = gxPRIMTYPETRISTRIP;
    block->flagsToPrimType[gxMESHHEADERTRIFAN] = gxPRIMTYPETRIFAN;
    block->flagsToPrimType[gxMESHHEADERLINELIST] = gxPRIMTYPELINELIST;
    block->flagsToPrimType[gxMESHHEADERPOLYLINE] = gxPRIMTYPEPOLYLINE;
    block->flagsToPrimType[gxMESHHEADERPOINTLIST] = gxPRIMTYPEPOINTLIST;
    const GxUInt32 primToFlags[6] = {gxMESHHEADERLINELIST, gxMESHHEADERPOLYLINE, gxMESHHEADERTRILIST,
                                     gxMESHHEADERTRISTRIP, gxMESHHEADERTRIFAN,   gxMESHHEADERPOINTLIST};
    memcpy(block->primTypeToFlags, primToFlags, sizeof(primToFlags));
    block->builderFreeList =
        GxFreeListCreateAndPreallocate(sizeof(GxMeshBuilder), kBuildersPerBlock, alignof(GxMeshBuilder), 1,
                                       &builderFreeListSpace, kBuilderFreeListHint);
    if (!block->builderFreeList) {
        return nullptr;
    }
    meshInstances++;
    return instance;
}

void* MeshModuleClose(void* instance, GxInt32, GxInt32)
{
    if (MeshModuleBlock* block = MeshBlock()) {
        GxFreeListDestroy(block->builderFreeList);
        block->builderFreeList = nullptr;
        meshInstances--;
    }
    return instance;
}

GxUInt16 NextSerial()
{
    MeshModuleBlock* block = MeshBlock();
    return block ? block->serialNum++ : 0;
}

// One block: header, meshes, then all indices.
GxMeshHeader* AllocateHeader(GxUInt32 flags, GxUInt32 numMeshes, GxUInt32 totalIndices)
{
    const size_t bytes = sizeof(GxMeshHeader) + numMeshes * sizeof(GxMesh) + totalIndices * sizeof(GxUInt16);
    auto* header = static_cast<GxMeshHeader*>(GxMalloc(bytes, kHeaderHint));
    if (!header) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    memset(header, 0, sizeof(GxMeshHeader) + numMeshes * sizeof(GxMesh));
    header->flags = flags;
    header->numMeshes = static_cast<GxUInt16>(numMeshes);
    header->serialNum = NextSerial();
    header->totalIndicesInMesh = totalIndices;
    return header;
}

GxUInt16* HeaderIndices(GxMeshHeader* header)
{
    return reinterpret_cast<GxUInt16*>(GxMeshHeaderGetMeshes(header) + header->numMeshes);
}

// ---- sort order ----

bool RasterHasAlpha(const GxRaster* raster)
{
    const GxInt32 format = GxRasterGetFormat(raster) & gxRASTERFORMATPIXELFORMATMASK;
    return format == gxRASTERFORMAT1555 || format == gxRASTERFORMAT4444 || format == gxRASTERFORMAT8888;
}

bool IsTransparent(const GxMaterial* material)
{
    if (!material) {
        return false;
    }
    if (material->color.alpha != kOpaqueAlpha) {
        return true;
    }
    return material->texture && material->texture->raster && RasterHasAlpha(material->texture->raster);
}

// Opaque first, then raster, pipeline, texture and material index; equal keys keep their order.
std::vector<const GxMeshBuilderEntry*> SortedEntries(const GxMeshBuilder* builder)
{
    std::vector<const GxMeshBuilderEntry*> sorted(builder->count);
    std::vector<bool> transparent(builder->count);
    for (GxUInt32 i = 0; i < builder->count; i++) {
        sorted[i] = &builder->entries[i];
        transparent[i] = IsTransparent(builder->entries[i].material);
    }
    const GxMeshBuilderEntry* base = builder->entries;
    std::stable_sort(sorted.begin(), sorted.end(), [&](const GxMeshBuilderEntry* a, const GxMeshBuilderEntry* b) {
        const bool ta = transparent[static_cast<size_t>(a - base)];
        const bool tb = transparent[static_cast<size_t>(b - base)];
        if (ta != tb) {
            return tb;
        }
        if (a->rasterKey != b->rasterKey) {
            return a->rasterKey < b->rasterKey;
        }
        if (a->pipelineKey != b->pipelineKey) {
            return a->pipelineKey < b->pipelineKey;
        }
        if (a->textureKey != b->textureKey) {
            return a->textureKey < b->textureKey;
        }
        return a->matIndex < b->matIndex;
    });
    return sorted;
}

// Runs of one material in the sorted entries: [start, end) pairs.
std::vector<std::pair<size_t, size_t>> MaterialRuns(const std::vector<const GxMeshBuilderEntry*>& sorted)
{
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 0; i < sorted.size();) {
        size_t j = i + 1;
        while (j < sorted.size() && sorted[j]->material == sorted[i]->material) {
            j++;
        }
        runs.emplace_back(i, j);
        i = j;
    }
    return runs;
}

}  // namespace

// ---- module and builders ----

GxBool GxMeshPluginAttach(void)
{
    return GxEngineRegisterPlugin(sizeof(MeshModuleBlock), gxPLUGINMESHMODULE, MeshModuleOpen, MeshModuleClose) >= 0;
}

GxMeshBuilder* GxMeshBuilderCreate(GxUInt32 numTriangles)
{
    MeshModuleBlock* block = MeshBlock();
    GX_ASSERT(block, "the mesh module is open");
    auto* builder = static_cast<GxMeshBuilder*>(GxFreeListAllocEntry(block->builderFreeList, kHeaderHint));
    if (!builder) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    builder->capacity = numTriangles;
    builder->count = 0;
    builder->entries = nullptr;
    if (numTriangles > 0) {
        builder->entries =
            static_cast<GxMeshBuilderEntry*>(GxMalloc(numTriangles * sizeof(GxMeshBuilderEntry), kBuilderEntriesHint));
        if (!builder->entries) {
            GxFreeListFreeEntry(block->builderFreeList, builder);
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return nullptr;
        }
    }
    return builder;
}

GxMeshBuilder* GxMeshBuilderAddTriangle(GxMeshBuilder* builder, GxMaterial* material, GxUInt16 v0, GxUInt16 v1,
                                        GxUInt16 v2, GxUInt16 matIndex, GxUInt16 textureKey, GxUInt16 rasterKey,
                                        GxUInt16 pipelineKey)
{
    if (builder->count >= builder->capacity) {
        const size_t bytes = (builder->capacity + 1) * sizeof(GxMeshBuilderEntry);
        auto* grown =
            static_cast<GxMeshBuilderEntry*>(builder->entries ? GxRealloc(builder->entries, bytes, kBuilderEntriesHint)
                                                              : GxMalloc(bytes, kBuilderEntriesHint));
        if (!grown) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return nullptr;
        }
        builder->entries = grown;
        builder->capacity++;
    }
    builder->entries[builder->count++] =
        GxMeshBuilderEntry{{v0, v1, v2}, material, matIndex, textureKey, rasterKey, pipelineKey};
    return builder;
}

GxBool GxMeshBuilderDestroy(GxMeshBuilder* builder)
{
    GX_ASSERT(builder, "a builder is given");
    if (builder->entries) {
        GxFree(builder->entries);
    }
    if (MeshModuleBlock* block = MeshBlock()) {
        GxFreeListFreeEntry(block->builderFreeList, builder);
    }
    return 1;
}

GxMeshHeader* GxMeshHeaderGetEmpty(void) { return &emptyHeader; }

GxMeshHeader* GxMeshHeaderFromBuilder(GxMeshBuilder* builder, GxBool strips)
{
    GX_ASSERT(builder, "a builder is given");
    GxMeshHeader* header = nullptr;
    if (builder->count == 0) {
        header = &emptyHeader;
    } else if (strips) {
        header = stripBuilder(builder, stripBuilderData);
    } else {
        header = GxMeshBuildTriangleLists(builder, nullptr);
    }
    GxMeshBuilderDestroy(builder);
    return header;
}

void GxMeshHeaderDestroy(GxMeshHeader* header)
{
    if (header && header != &emptyHeader) {
        GxFree(header);
    }
}

GxMeshHeader* GxMeshHeaderForAllMeshes(GxMeshHeader* header, GxMeshCallBack callBack, void* data)
{
    GxMesh* meshes = GxMeshHeaderGetMeshes(header);
    for (GxUInt32 i = 0; i < header->numMeshes; i++) {
        if (!callBack(&meshes[i], header, data)) {
            break;
        }
    }
    return header;
}

// ---- triangle lists ----

GxMeshHeader* GxMeshBuildTriangleLists(GxMeshBuilder* builder, void*)
{
    const std::vector<const GxMeshBuilderEntry*> sorted = SortedEntries(builder);
    const auto runs = MaterialRuns(sorted);
    if (runs.size() > kMaxMeshes) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    GxMeshHeader* header = AllocateHeader(gxMESHHEADERTRILIST, static_cast<GxUInt32>(runs.size()), builder->count * 3);
    if (!header) {
        return nullptr;
    }
    GxMesh* meshes = GxMeshHeaderGetMeshes(header);
    GxUInt16* out = HeaderIndices(header);
    // One bit per vertex index: set while a pass has used the vertex.
    std::vector<bool> used(kMaxVertices);
    std::vector<const GxMeshBuilderEntry*> remaining;
    std::vector<const GxMeshBuilderEntry*> kept;
    std::vector<GxUInt16> touched;
    for (size_t r = 0; r < runs.size(); r++) {
        meshes[r].indices = out;
        meshes[r].material = sorted[runs[r].first]->material;
        meshes[r].numIndices = static_cast<GxUInt32>(runs[r].second - runs[r].first) * 3;
        remaining.assign(sorted.begin() + static_cast<std::ptrdiff_t>(runs[r].first),
                         sorted.begin() + static_cast<std::ptrdiff_t>(runs[r].second));
        // Each pass emits, in order, every triangle none of whose vertices the pass has used yet.
        while (!remaining.empty()) {
            kept.clear();
            for (const GxMeshBuilderEntry* entry : remaining) {
                const GxUInt16* v = entry->vertIndex;
                if (used[v[0]] || used[v[1]] || used[v[2]]) {
                    kept.push_back(entry);
                    continue;
                }
                for (GxInt32 k = 0; k < 3; k++) {
                    used[v[k]] = true;
                    touched.push_back(v[k]);
                    *out++ = v[k];
                }
            }
            for (GxUInt16 v : touched) {
                used[v] = false;
            }
            touched.clear();
            remaining.swap(kept);
        }
    }
    return header;
}

// ---- strips ----

namespace {

struct StripEdge {
    GxUInt16 a, b;
    GxUInt32 first, second;  // triangles on either side; second kNoTriangle on a boundary
};

struct StripNode {
    GxUInt16 v[3];
    GxUInt32 edge[3];     // edge k runs from v[k] to v[k+1]
    GxUInt32 prev, next;  // degree bucket links
    bool used;
    GxUInt8 degree;
};

// Connectivity and degree buckets of one material run.
class StripRun {
public:
    explicit StripRun(const std::vector<const GxMeshBuilderEntry*>& entries) : nodes_(entries.size())
    {
        std::unordered_map<GxUInt32, GxUInt32> open;  // directed edge a->b -> newest open record
        std::vector<GxUInt32> openNext;
        open.reserve(entries.size() * 3);
        edges_.reserve(entries.size() * 3 / 2 + 3);
        for (GxUInt32 t = 0; t < nodes_.size(); t++) {
            StripNode& node = nodes_[t];
            memcpy(node.v, entries[t]->vertIndex, sizeof(node.v));
            node.used = false;
            node.degree = 0;
            for (GxInt32 k = 0; k < 3; k++) {
                const GxUInt16 a = node.v[k];
                const GxUInt16 b = node.v[(k + 1) % 3];
                auto match = open.find(Key(b, a));
                if (match != open.end() && match->second != kNoTriangle) {
                    const GxUInt32 e = match->second;
                    match->second = openNext[e];
                    edges_[e].second = t;
                    node.edge[k] = e;
                    node.degree++;
                    nodes_[edges_[e].first].degree++;
                    continue;
                }
                const GxUInt32 e = static_cast<GxUInt32>(edges_.size());
                edges_.push_back(StripEdge{a, b, t, kNoTriangle});
                auto slot = open.find(Key(a, b));
                openNext.push_back(slot == open.end() ? kNoTriangle : slot->second);
                open[Key(a, b)] = e;
                node.edge[k] = e;
            }
        }
        for (GxUInt32& head : buckets_) {
            head = kNoTriangle;
        }
        for (GxUInt32 t = 0; t < nodes_.size(); t++) {
            PushBucket(t);
        }
    }

    // Appends the run's strips, joined into one, to `out`.
    void Build(std::vector<GxUInt16>* out)
    {
        std::vector<std::vector<GxUInt16>> strips;
        for (;;) {
            GxUInt32 t = kNoTriangle;
            for (GxUInt32 head : buckets_) {
                if (head != kNoTriangle) {
                    t = head;
                    break;
                }
            }
            if (t == kNoTriangle) {
                break;
            }
            strips.push_back(Walk(t));
        }
        Join(strips, out);
    }

private:
    static GxUInt32 Key(GxUInt16 a, GxUInt16 b) { return (static_cast<GxUInt32>(a) << 16) | b; }

    GxUInt32 Neighbour(GxUInt32 t, GxInt32 k) const
    {
        const StripEdge& e = edges_[nodes_[t].edge[k]];
        const GxUInt32 other = e.first == t ? e.second : e.first;
        return other != kNoTriangle && !nodes_[other].used ? other : kNoTriangle;
    }

    void PushBucket(GxUInt32 t)
    {
        StripNode& node = nodes_[t];
        node.prev = kNoTriangle;
        node.next = buckets_[node.degree];
        if (node.next != kNoTriangle) {
            nodes_[node.next].prev = t;
        }
        buckets_[node.degree] = t;
    }

    void PopBucket(GxUInt32 t)
    {
        StripNode& node = nodes_[t];
        if (node.prev != kNoTriangle) {
            nodes_[node.prev].next = node.next;
        } else {
            buckets_[node.degree] = node.next;
        }
        if (node.next != kNoTriangle) {
            nodes_[node.next].prev = node.prev;
        }
    }

    // Takes a triangle out of play: its free neighbours lose one degree each.
    void MarkUsed(GxUInt32 t)
    {
        PopBucket(t);
        nodes_[t].used = true;
        for (GxInt32 k = 0; k < 3; k++) {
            const GxUInt32 n = Neighbour(t, k);
            if (n != kNoTriangle && nodes_[n].degree > 0) {
                PopBucket(n);
                nodes_[n].degree--;
                PushBucket(n);
            }
        }
    }

    // The edge of triangle t joining vertices a and b (either way), or -1.
    GxInt32 EdgeJoining(GxUInt32 t, GxUInt16 a, GxUInt16 b) const
    {
        const GxUInt16* v = nodes_[t].v;
        for (GxInt32 k = 0; k < 3; k++) {
            const GxUInt16 p = v[k];
            const GxUInt16 q = v[(k + 1) % 3];
            if ((p == a && q == b) || (p == b && q == a)) {
                return k;
            }
        }
        return -1;
    }

    // Extends a strip across the edge of its last two indices, starting from triangle t.
    void Extend(GxUInt32 t, std::vector<GxUInt16>* strip)
    {
        for (;;) {
            const GxUInt16 a = (*strip)[strip->size() - 2];
            const GxUInt16 b = strip->back();
            const GxInt32 k = EdgeJoining(t, a, b);
            const GxUInt32 n = k < 0 ? kNoTriangle : Neighbour(t, k);
            if (n == kNoTriangle) {
                return;
            }
            MarkUsed(n);
            const GxUInt16* v = nodes_[n].v;
            GxUInt16 w = v[0];
            for (GxInt32 i = 0; i < 3; i++) {
                if (v[i] != a && v[i] != b) {
                    w = v[i];
                }
            }
            const GxInt32 ahead = EdgeJoining(n, b, w);
            const GxInt32 side = EdgeJoining(n, a, w);
            if (ahead >= 0 && Neighbour(n, ahead) != kNoTriangle) {
                strip->push_back(w);
            } else if (side >= 0 && Neighbour(n, side) != kNoTriangle && strip->size() % 2 == 0) {
                strip->push_back(a);
                strip->push_back(w);
            } else {
                strip->push_back(w);
                return;
            }
            t = n;
        }
    }

    std::vector<GxUInt16> Walk(GxUInt32 t)
    {
        const GxUInt16* v = nodes_[t].v;
        if (nodes_[t].degree == 0) {
            MarkUsed(t);
            return {v[0], v[1], v[2]};
        }
        GxInt32 s = -1;
        for (GxInt32 candidate : {1, 2, 0}) {
            if (Neighbour(t, candidate) != kNoTriangle && Neighbour(t, (candidate + 1) % 3) != kNoTriangle) {
                s = candidate;
                break;
            }
        }
        if (s < 0) {
            s = 1;
            for (GxInt32 candidate = 0; candidate < 3; candidate++) {
                if (Neighbour(t, (candidate + 1) % 3) != kNoTriangle) {
                    s = candidate;
                    break;
                }
            }
        }
        const GxUInt16 v0 = v[s];
        const GxUInt16 v1 = v[(s + 1) % 3];
        const GxUInt16 v2 = v[(s + 2) % 3];
        MarkUsed(t);
        std::vector<GxUInt16> forward = {v0, v1, v2};
        Extend(t, &forward);
        if (Neighbour(t, s) == kNoTriangle) {
            return forward;
        }
        std::vector<GxUInt16> backward = {v1, v0};
        Extend(t, &backward);
        if (backward.size() % 2 == 1) {
            backward.push_back(backward[backward.size() - 2]);
        }
        std::vector<GxUInt16> strip(backward.rbegin(), backward.rend() - 2);
        strip.insert(strip.end(), forward.begin(), forward.end());
        return strip;
    }

    // Joins the strips in order, preferring strips that continue the current end.
    static void Join(const std::vector<std::vector<GxUInt16>>& strips, std::vector<GxUInt16>* out)
    {
        if (strips.empty()) {
            return;
        }
        // Remaining strips by first index, in order, each with a cursor past the ones taken.
        std::unordered_map<GxUInt16, std::vector<size_t>> byFirst;
        std::unordered_map<GxUInt16, size_t> cursor;
        for (size_t i = 1; i < strips.size(); i++) {
            byFirst[strips[i].front()].push_back(i);
        }
        std::vector<bool> taken(strips.size());
        size_t nextAny = 1;
        auto firstStarting = [&](GxUInt16 index) -> size_t {
            auto found = byFirst.find(index);
            if (found == byFirst.end()) {
                return 0;
            }
            size_t& c = cursor[index];
            while (c < found->second.size() && taken[found->second[c]]) {
                c++;
            }
            return c < found->second.size() ? found->second[c] : 0;
        };
        std::vector<GxUInt16> joined = strips[0];
        taken[0] = true;
        for (size_t done = 1; done < strips.size(); done++) {
            const GxUInt16 last = joined.back();
            const GxUInt16 beforeLast = joined[joined.size() - 2];
            size_t pick = firstStarting(last);
            if (pick) {
                if (joined.size() % 2 == 1) {
                    joined.push_back(last);
                }
            } else if ((pick = firstStarting(beforeLast)) != 0) {
                joined.push_back(strips[pick].front());
                if (joined.size() % 2 == 1) {  // even before the first copy
                    joined.push_back(strips[pick].front());
                }
            } else {
                while (taken[nextAny]) {
                    nextAny++;
                }
                pick = nextAny;
                joined.push_back(last);
                joined.push_back(strips[pick].front());
                if (joined.size() % 2 == 1) {  // odd before the bridge
                    joined.push_back(strips[pick].front());
                }
            }
            taken[pick] = true;
            joined.insert(joined.end(), strips[pick].begin(), strips[pick].end());
        }
        out->insert(out->end(), joined.begin(), joined.end());
    }

    std::vector<StripNode> nodes_;
    std::vector<StripEdge> edges_;
    GxUInt32 buckets_[4];
};

}  // namespace

GxMeshHeader* GxMeshBuildStrips(GxMeshBuilder* builder, void*)
{
    const std::vector<const GxMeshBuilderEntry*> sorted = SortedEntries(builder);
    const auto runs = MaterialRuns(sorted);
    if (runs.size() > kMaxMeshes) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    std::vector<std::vector<GxUInt16>> strips(runs.size());
    size_t total = 0;
    for (size_t r = 0; r < runs.size(); r++) {
        std::vector<const GxMeshBuilderEntry*> run(sorted.begin() + static_cast<std::ptrdiff_t>(runs[r].first),
                                                   sorted.begin() + static_cast<std::ptrdiff_t>(runs[r].second));
        StripRun(run).Build(&strips[r]);
        total += strips[r].size();
    }
    if (total > UINT32_MAX / sizeof(GxUInt16)) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    GxMeshHeader* header =
        AllocateHeader(gxMESHHEADERTRISTRIP, static_cast<GxUInt32>(runs.size()), static_cast<GxUInt32>(total));
    if (!header) {
        return nullptr;
    }
    GxMesh* meshes = GxMeshHeaderGetMeshes(header);
    GxUInt16* out = HeaderIndices(header);
    for (size_t r = 0; r < runs.size(); r++) {
        meshes[r].indices = out;
        meshes[r].numIndices = static_cast<GxUInt32>(strips[r].size());
        meshes[r].material = sorted[runs[r].first]->material;
        memcpy(out, strips[r].data(), strips[r].size() * sizeof(GxUInt16));
        out += strips[r].size();
    }
    return header;
}

// ---- bin-mesh chunk ----

namespace {

bool IsNative(const GxGeometry* geometry) { return (geometry->flags & gxGEOMETRYNATIVE) != 0; }

// The flags of the module's primitive table; any other word (the renderer's unindexed bit among them) would
// have the renderer draw a header no index array backs.
bool KnownFlags(GxUInt32 flags)
{
    for (GxUInt32 known : {gxMESHHEADERTRILIST, gxMESHHEADERTRISTRIP, gxMESHHEADERTRIFAN, gxMESHHEADERLINELIST,
                           gxMESHHEADERPOLYLINE, gxMESHHEADERPOINTLIST}) {
        if (flags == known) {
            return true;
        }
    }
    return false;
}

}  // namespace

GxInt32 GxBinMeshStreamGetSize(const GxMeshHeader* header, bool native)
{
    if (!header) {
        return 0;
    }
    GxUInt32 words = kBinMeshFixedWords + 2 * header->numMeshes;
    if (!native) {
        words += header->totalIndicesInMesh;
    }
    return static_cast<GxInt32>(words * 4);
}

bool GxBinMeshStreamWrite(GxStream* stream, const GxMeshHeader* header, const GxMaterialList* materials, bool native)
{
    if (!GxWorldWriteU32(stream, header->flags) || !GxWorldWriteU32(stream, header->numMeshes) ||
        !GxWorldWriteU32(stream, header->totalIndicesInMesh)) {
        return false;
    }
    const GxMesh* meshes = GxMeshHeaderGetMeshes(const_cast<GxMeshHeader*>(header));
    GxUInt32 staging[kStagingWords];
    for (GxUInt32 m = 0; m < header->numMeshes; m++) {
        const GxInt32 index = GxMaterialListFindMaterialIndex(materials, meshes[m].material);
        if (!GxWorldWriteU32(stream, meshes[m].numIndices) ||
            !GxWorldWriteU32(stream, static_cast<GxUInt32>(index < 0 ? 0 : index))) {
            return false;
        }
        if (native) {
            continue;
        }
        for (GxUInt32 done = 0; done < meshes[m].numIndices;) {
            const GxUInt32 n = std::min(kStagingWords, meshes[m].numIndices - done);
            for (GxUInt32 i = 0; i < n; i++) {
                staging[i] = meshes[m].indices[done + i];
            }
            if (!GxStreamWriteInt32(stream, staging, n * 4)) {
                return false;
            }
            done += n;
        }
    }
    return true;
}

GxMeshHeader* GxBinMeshStreamRead(GxStream* stream, GxInt32 length, const GxMaterialList* materials,
                                  GxUInt32 numVertices, bool native)
{
    GxUInt32 flags = 0;
    GxUInt32 numMeshes = 0;
    GxUInt32 total = 0;
    if (length < static_cast<GxInt32>(kBinMeshFixedWords * 4) || !GxWorldReadU32(stream, &flags) ||
        !GxWorldReadU32(stream, &numMeshes) || !GxWorldReadU32(stream, &total)) {
        return nullptr;
    }
    // Counts must fit the chunk they came in.
    const uint64_t words = kBinMeshFixedWords + 2ull * numMeshes + (native ? 0 : static_cast<uint64_t>(total));
    if (numMeshes > kMaxMeshes || words * 4 > static_cast<GxUInt32>(length) || !KnownFlags(flags)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    GxMeshHeader* header = AllocateHeader(flags, numMeshes, native ? 0 : total);
    if (!header) {
        return nullptr;
    }
    GxMesh* meshes = GxMeshHeaderGetMeshes(header);
    GxUInt16* out = HeaderIndices(header);
    GxUInt32 placed = 0;
    GxUInt32 staging[kStagingWords];
    bool ok = true;
    const GxInt32 numMaterials = materials->numMaterials;
    for (GxUInt32 m = 0; ok && m < numMeshes; m++) {
        GxUInt32 count = 0;
        GxUInt32 matIndex = 0;
        ok = GxWorldReadU32(stream, &count) && GxWorldReadU32(stream, &matIndex);
        ok = ok && (numMaterials == 0 ? matIndex == 0 : matIndex < static_cast<GxUInt32>(numMaterials));
        ok = ok && (native || count <= total - placed);
        if (!ok) {
            break;
        }
        meshes[m].numIndices = count;
        meshes[m].material =
            numMaterials ? GxMaterialListGetMaterial(materials, static_cast<GxInt32>(matIndex)) : nullptr;
        if (native) {
            continue;
        }
        meshes[m].indices = out + placed;
        for (GxUInt32 done = 0; ok && done < count;) {
            const GxUInt32 n = std::min(kStagingWords, count - done);
            ok = GxStreamReadInt32(stream, staging, n * 4) != nullptr;
            for (GxUInt32 i = 0; ok && i < n; i++) {
                ok = staging[i] < numVertices;
                out[placed + done + i] = static_cast<GxUInt16>(staging[i]);
            }
            done += n;
        }
        placed += count;
    }
    if (ok && !native && placed != total) {
        ok = false;
    }
    if (!ok) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        GxMeshHeaderDestroy(header);
        return nullptr;
    }
    return header;
}

GxInt32 GxBinMeshGeometryStreamGetSize(const void* object, GxInt32, GxInt32)
{
    const auto* geometry = static_cast<const GxGeometry*>(object);
    return GxBinMeshStreamGetSize(geometry->mesh, IsNative(geometry));
}

GxStream* GxBinMeshGeometryStreamWrite(GxStream* stream, GxInt32, const void* object, GxInt32, GxInt32)
{
    const auto* geometry = static_cast<const GxGeometry*>(object);
    return GxBinMeshStreamWrite(stream, geometry->mesh, &geometry->matList, IsNative(geometry)) ? stream : nullptr;
}

GxStream* GxBinMeshGeometryStreamRead(GxStream* stream, GxInt32 length, void* object, GxInt32, GxInt32)
{
    auto* geometry = static_cast<GxGeometry*>(object);
    GxMeshHeader* header = GxBinMeshStreamRead(stream, length, &geometry->matList,
                                               static_cast<GxUInt32>(geometry->numVertices), IsNative(geometry));
    if (!header) {
        return nullptr;
    }
    GxMeshHeaderDestroy(geometry->mesh);
    geometry->mesh = header;
    return stream;
}
