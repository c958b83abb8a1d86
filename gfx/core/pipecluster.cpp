// Pipeline cluster resolution: which clusters flow along which edges, packet slots, the run-time tables
// that unlock builds, the scratch arena it works in, node lookup by name and the radix sort of inputs.
//
// Sections: scratch arena; requirement tables; resolution steps (requirements, outputs, grouping, slots);
// run-time block; public helpers.
#include <algorithm>
#include <cstring>
#include <functional>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/pipeline_local.h"

namespace {

constexpr GxUInt32 kNoSlot = 0xFFFFFFFFu;
constexpr GxUInt32 kAllOutputs = 0xFFFFFFFFu;
// Pointers live in the arena, so every piece keeps pointer alignment.
constexpr size_t kAlign = alignof(void*);
constexpr GxUInt32 kSortSegmentMax = 5;  // segments this small are left for the insertion pass

size_t Pad(size_t size) { return (size + kAlign - 1) & ~(kAlign - 1); }

// ---- Scratch arena: two pointers over one region, meeting in the middle.

char* scratchBottom = nullptr;
char* scratchTop = nullptr;

struct Group;
struct ReqTable;

struct ReqEntry {
    GxClusterDefinition* cluster;
    GxUInt32 requirement;
    GxUInt32 refCount;
    Group* group;
    ReqTable* table;
    GxUInt32 outputMask;  // outputs through which the cluster leaves the node
    GxUInt32 slot;
    GxUInt32 asker;  // node that asked for it
};

struct ReqTable {
    GxUInt32 count;
    GxUInt32 capacity;
    ReqEntry* entries;
    GxUInt32 node;
};

// Joins entries of one cluster instance across nodes; a root has no parent.
struct Group {
    Group* parent;
    Group* next;  // in the list of groups
};

// ---- Requirement tables.

struct Resolver {
    GxPipeline* pipeline;
    ReqTable* tables;
    GxUInt32 distinct;  // D: distinct cluster definitions in the pipeline
    Group* groups;
};

GxPipelineNode* NodeAt(Resolver* r, GxUInt32 index) { return &r->pipeline->nodeArray[index]; }

GxInt32 InterestIndex(const GxNodeDefinition* definition, const GxClusterDefinition* cluster)
{
    for (GxUInt32 j = 0; j < definition->interestCount; j++) {
        if (definition->interests[j].clusterDef == cluster) {
            return static_cast<GxInt32>(j);
        }
    }
    return -1;
}

// What output k of node `index` does to `cluster`.
GxUInt32 Validity(Resolver* r, GxUInt32 index, GxUInt32 k, const GxClusterDefinition* cluster)
{
    const GxNodeDefinition* definition = NodeAt(r, index)->definition;
    if (!definition->outputSpecs) {
        return gxCLUSTERNOCHANGE;
    }
    const GxOutputSpec& spec = definition->outputSpecs[k];
    const GxInt32 j = InterestIndex(definition, cluster);
    if (j >= 0 && spec.clusterValidity) {
        return spec.clusterValidity[j];
    }
    return spec.allOtherClusters;
}

ReqEntry* Find(ReqTable* table, const GxClusterDefinition* cluster)
{
    for (GxUInt32 i = 0; i < table->count; i++) {
        if (table->entries[i].cluster == cluster) {
            return &table->entries[i];
        }
    }
    return nullptr;
}

ReqEntry* Add(ReqTable* table, GxClusterDefinition* cluster, GxUInt32 requirement, GxUInt32 asker)
{
    ReqEntry* entry = Find(table, cluster);
    if (entry) {
        if (requirement == gxCLUSTERREQUIRED) {
            entry->requirement = gxCLUSTERREQUIRED;
            entry->asker = asker;
        }
        return entry;
    }
    if (table->count == table->capacity) {
        return nullptr;
    }
    entry = &table->entries[table->count++];
    *entry = ReqEntry{cluster, requirement, 1, nullptr, table, 0, kNoSlot, asker};
    return entry;
}

// Drops one reference of an optional requirement; at the last one the entry goes, and so do the entries it
// passed on to successors through outputs that leave the cluster unchanged.
void Remove(Resolver* r, GxUInt32 node, ReqEntry* entry)
{
    GX_ASSERT(entry->refCount > 0, "a requirement is dropped no more often than it is asked for");
    if (--entry->refCount > 0) {
        return;
    }
    GxClusterDefinition* cluster = entry->cluster;
    ReqTable* table = &r->tables[node];
    *entry = table->entries[table->count - 1];
    table->count--;
    const GxPipelineNode* record = NodeAt(r, node);
    for (GxUInt32 k = 0; k < record->outputCount; k++) {
        const GxUInt32 target = record->outputTargets[k];
        if (target >= r->pipeline->nodeCount || Validity(r, node, k, cluster) != gxCLUSTERNOCHANGE) {
            continue;
        }
        ReqEntry* next = Find(&r->tables[target], cluster);
        if (next) {
            Remove(r, target, next);
        }
    }
}

GxInt32 Fail(GxInt32 code)
{
    GxErrorRaise(gxPLUGINCORE, code);
    return code;
}

// ---- Resolution steps.

GxInt32 CheckInterests(const GxNodeDefinition* definition)
{
    for (GxUInt32 j = 0; j < definition->interestCount; j++) {
        const GxClusterDefinition* cluster = definition->interests ? definition->interests[j].clusterDef : nullptr;
        if (!cluster) {
            return Fail(gxERRPIPELINENULLCLUSTER);
        }
        for (GxUInt32 m = 0; m < j; m++) {
            if (definition->interests[m].clusterDef == cluster) {
                return Fail(gxERRPIPELINEREPEATEDCLUSTER);
            }
        }
    }
    return 0;
}

// Requirements travel upstream, last node first, until an output makes them valid.
GxInt32 GatherRequirements(Resolver* r)
{
    const GxUInt32 n = r->pipeline->nodeCount;
    for (GxUInt32 i = n; i-- > 0;) {
        GxPipelineNode* node = NodeAt(r, i);
        const GxNodeDefinition* definition = node->definition;
        if (const GxInt32 error = CheckInterests(definition)) {
            return error;
        }
        ReqTable* table = &r->tables[i];
        table->entries = static_cast<ReqEntry*>(GxPipelineScratchAllocBottom(r->distinct * sizeof(ReqEntry)));
        if (!table->entries && r->distinct > 0) {
            return Fail(gxERRPIPELINESCRATCH);
        }
        table->capacity = r->distinct;
        table->node = i;
        for (GxUInt32 k = 0; k < node->outputCount; k++) {
            const GxUInt32 target = node->outputTargets[k];
            if (target >= n) {
                continue;
            }
            ReqTable* next = &r->tables[target];
            for (GxUInt32 e = 0; e < next->count;) {
                ReqEntry* entry = &next->entries[e];
                const GxUInt32 validity = Validity(r, i, k, entry->cluster);
                if (validity == gxCLUSTERNOCHANGE) {
                    if (!Add(table, entry->cluster, entry->requirement, entry->asker)) {
                        return Fail(gxERRPIPELINESCRATCH);
                    }
                } else if (validity == gxCLUSTERINVALID) {
                    if (entry->requirement == gxCLUSTERREQUIRED) {
                        return Fail(gxERRPIPELINEREQUIREDINVALID);
                    }
                    const GxUInt32 before = next->count;
                    Remove(r, target, entry);
                    if (next->count < before) {
                        continue;  // the last entry moved into this place
                    }
                }
                e++;
            }
        }
        for (GxUInt32 j = 0; j < definition->interestCount; j++) {
            const GxUInt32 requirement = definition->interestRequirements ? definition->interestRequirements[j] : 0;
            if (requirement != gxCLUSTERDONTWANT && !Add(table, definition->interests[j].clusterDef, requirement, i)) {
                return Fail(gxERRPIPELINESCRATCH);
            }
        }
    }
    return 0;
}

// Marks, per entry, the outputs through which its cluster leaves the node.
GxInt32 MarkOutputs(Resolver* r)
{
    const GxUInt32 n = r->pipeline->nodeCount;
    for (GxUInt32 i = n; i-- > 0;) {
        GxPipelineNode* node = NodeAt(r, i);
        const GxNodeDefinition* definition = node->definition;
        ReqTable* table = &r->tables[i];
        for (GxUInt32 j = 0; j < definition->interestCount; j++) {
            if (definition->interests[j].forcePresent &&
                !Add(table, definition->interests[j].clusterDef, gxCLUSTERDONTWANT, i)) {
                return Fail(gxERRPIPELINESCRATCH);
            }
        }
        for (GxUInt32 k = 0; k < node->outputCount; k++) {
            const GxUInt32 target = node->outputTargets[k];
            if (target >= n) {
                continue;
            }
            ReqTable* next = &r->tables[target];
            for (GxUInt32 e = 0; e < next->count; e++) {
                GxClusterDefinition* cluster = next->entries[e].cluster;
                const GxUInt32 validity = Validity(r, i, k, cluster);
                ReqEntry* own = Find(table, cluster);
                if (validity == gxCLUSTERVALID && !own) {
                    own = Add(table, cluster, gxCLUSTERDONTWANT, i);
                    if (!own) {
                        return Fail(gxERRPIPELINESCRATCH);
                    }
                }
                if (validity != gxCLUSTERINVALID && own) {
                    own->outputMask |= 1u << k;
                }
            }
        }
    }
    return 0;
}

Group* Root(Group* group)
{
    while (group->parent) {
        group = group->parent;
    }
    return group;
}

// Entries that carry one cluster instance from a node to its successor share a group.
GxInt32 FormGroups(Resolver* r)
{
    const GxUInt32 n = r->pipeline->nodeCount;
    r->groups = nullptr;
    for (GxUInt32 i = 0; i < n; i++) {
        ReqTable* table = &r->tables[i];
        for (GxUInt32 e = 0; e < table->count; e++) {
            auto* group = static_cast<Group*>(GxPipelineScratchAllocBottom(sizeof(Group)));
            if (!group) {
                return Fail(gxERRPIPELINESCRATCH);
            }
            *group = Group{nullptr, r->groups};
            r->groups = group;
            table->entries[e].group = group;
        }
    }
    for (GxUInt32 i = 0; i < n; i++) {
        GxPipelineNode* node = NodeAt(r, i);
        for (GxUInt32 k = 0; k < node->outputCount; k++) {
            const GxUInt32 target = node->outputTargets[k];
            if (target >= n) {
                continue;
            }
            ReqTable* next = &r->tables[target];
            for (GxUInt32 e = 0; e < next->count; e++) {
                ReqEntry* entry = &next->entries[e];
                ReqEntry* own = Find(&r->tables[i], entry->cluster);
                if (entry->requirement == gxCLUSTERDONTWANT || !own || !(own->outputMask & (1u << k))) {
                    continue;
                }
                Group* ownRoot = Root(own->group);
                Group* root = Root(entry->group);
                if (root != ownRoot) {
                    root->parent = ownRoot;
                }
            }
        }
    }
    return 0;
}

GxBool TableTouched(const ReqTable* table, const Group* group)
{
    for (GxUInt32 e = 0; e < table->count; e++) {
        if (Root(table->entries[e].group) == group) {
            return 1;
        }
    }
    return 0;
}

GxBool SlotTaken(Resolver* r, const Group* group, GxUInt32 slot)
{
    for (GxUInt32 i = 0; i < r->pipeline->nodeCount; i++) {
        const ReqTable* table = &r->tables[i];
        if (!TableTouched(table, group)) {
            continue;
        }
        for (GxUInt32 e = 0; e < table->count; e++) {
            if (table->entries[e].slot == slot) {
                return 1;
            }
        }
    }
    return 0;
}

// Each group takes the lowest slot free in every table it touches.
GxUInt32 AssignSlots(Resolver* r)
{
    GxUInt32 slotCount = 0;
    for (Group* group = r->groups; group; group = group->next) {
        if (group->parent) {
            continue;  // merged into another group
        }
        GxUInt32 slot = 0;
        while (SlotTaken(r, group, slot)) {
            slot++;
        }
        for (GxUInt32 i = 0; i < r->pipeline->nodeCount; i++) {
            ReqTable* table = &r->tables[i];
            for (GxUInt32 e = 0; e < table->count; e++) {
                if (Root(table->entries[e].group) == group) {
                    table->entries[e].slot = slot;
                }
            }
        }
        slotCount = std::max(slotCount, slot + 1);
    }
    return slotCount;
}

// ---- Run-time block: packet template, cluster records, per-node tables, private data, inputs.

struct Layout {
    size_t packet;
    size_t infos;
    size_t total;
};

GxBool IsInput(const ReqEntry& entry)
{
    return entry.requirement == gxCLUSTERREQUIRED || entry.requirement == gxCLUSTEROPTIONAL;
}

GxUInt32 CollectDistinct(Resolver* r, GxClusterDefinition** out)
{
    GxUInt32 count = 0;
    for (GxUInt32 i = 0; i < r->pipeline->nodeCount; i++) {
        const ReqTable* table = &r->tables[i];
        for (GxUInt32 e = 0; e < table->count; e++) {
            GxClusterDefinition* cluster = table->entries[e].cluster;
            if (std::find(out, out + count, cluster) == out + count) {
                out[count++] = cluster;
            }
        }
    }
    return count;
}

size_t NodeTablesSize(const GxPipelineNode* node, GxUInt32 slotCount)
{
    size_t size = 0;
    if (slotCount > 0) {
        size += Pad(slotCount * sizeof(GxPipelineClusterInfo*));
    }
    size += Pad((slotCount + 1) * sizeof(GxUInt32));
    if (node->definition->interestCount > 0) {
        size += Pad(node->definition->interestCount * sizeof(GxUInt32));
    }
    return size + Pad(node->definition->privateSize);
}

GxBool BuildRuntime(Resolver* r, GxUInt32 slotCount)
{
    GxPipeline* pipeline = r->pipeline;
    const GxUInt32 n = pipeline->nodeCount;
    auto* clusters = static_cast<GxClusterDefinition**>(
        GxPipelineScratchAllocBottom(std::max<GxUInt32>(r->distinct, 1) * sizeof(GxClusterDefinition*)));
    if (!clusters) {
        Fail(gxERRPIPELINESCRATCH);
        return 0;
    }
    const GxUInt32 distinct = CollectDistinct(r, clusters);
    GxUInt32 inputCount = 0;
    for (GxUInt32 e = 0; e < r->tables[0].count; e++) {
        inputCount += IsInput(r->tables[0].entries[e]);
    }
    const size_t packetSize =
        Pad(offsetof(GxPipelinePacket, clusters) + std::max<GxUInt32>(slotCount, 1) * sizeof(GxPipelineCluster));
    size_t total = packetSize + Pad(distinct * sizeof(GxPipelineClusterInfo));
    for (GxUInt32 i = 0; i < n; i++) {
        total += NodeTablesSize(NodeAt(r, i), slotCount);
    }
    total += Pad(inputCount * sizeof(GxPipelineInput));
    // The tables follow the scratch work at the arena's bottom: what is left of the arena is zeroed first.
    memset(scratchBottom, 0, static_cast<size_t>(scratchTop - scratchBottom));
    auto* block = static_cast<char*>(GxPipelineScratchAllocBottom(static_cast<GxUInt32>(total)));
    if (!block) {
        Fail(gxERRPIPELINESCRATCH);
        return 0;
    }
    auto* packet = reinterpret_cast<GxPipelinePacket*>(block);
    packet->numClusters = static_cast<GxUInt16>(slotCount);
    packet->pipeline = pipeline;
    char* cursor = block + packetSize;
    auto* infos = reinterpret_cast<GxPipelineClusterInfo*>(cursor);
    for (GxUInt32 d = 0; d < distinct; d++) {
        infos[d] = GxPipelineClusterInfo{clusters[d], clusters[d]->attributes};
    }
    cursor += Pad(distinct * sizeof(GxPipelineClusterInfo));
    for (GxUInt32 i = 0; i < n; i++) {
        GxPipelineNode* node = NodeAt(r, i);
        const GxNodeDefinition* definition = node->definition;
        if (slotCount > 0) {
            node->slotClusters = reinterpret_cast<GxPipelineClusterInfo**>(cursor);
            cursor += Pad(slotCount * sizeof(GxPipelineClusterInfo*));
        }
        node->slotOutputMasks = reinterpret_cast<GxUInt32*>(cursor);
        cursor += Pad((slotCount + 1) * sizeof(GxUInt32));
        if (definition->interestCount > 0) {
            node->interestSlots = reinterpret_cast<GxUInt32*>(cursor);
            cursor += Pad(definition->interestCount * sizeof(GxUInt32));
            for (GxUInt32 j = 0; j < definition->interestCount; j++) {
                const ReqEntry* entry = Find(&r->tables[i], definition->interests[j].clusterDef);
                node->interestSlots[j] = entry ? entry->slot : kNoSlot;
            }
        }
        if (definition->privateSize > 0) {
            node->privateBlock = cursor;
            cursor += Pad(definition->privateSize);
        }
        GxUInt32 all = kAllOutputs;
        const ReqTable* table = &r->tables[i];
        for (GxUInt32 e = 0; e < table->count; e++) {
            const ReqEntry& entry = table->entries[e];
            const GxUInt32 d =
                static_cast<GxUInt32>(std::find(clusters, clusters + distinct, entry.cluster) - clusters);
            node->slotClusters[entry.slot] = &infos[d];
            node->slotOutputMasks[1 + entry.slot] = entry.outputMask;
            all &= entry.outputMask;
        }
        node->slotOutputMasks[0] = all;
    }
    auto* inputs = reinterpret_cast<GxPipelineInput*>(cursor);
    GxUInt32 filled = 0;
    for (GxUInt32 e = 0; e < r->tables[0].count; e++) {
        const ReqEntry& entry = r->tables[0].entries[e];
        if (IsInput(entry)) {
            inputs[filled++] = GxPipelineInput{entry.cluster, entry.requirement, entry.slot};
        }
    }
    // Cluster definitions are pointers: ordered by address, not by a 32-bit key.
    std::sort(inputs, inputs + filled, [](const GxPipelineInput& a, const GxPipelineInput& b) {
        return std::less<const GxClusterDefinition*>()(a.clusterDef, b.clusterDef);
    });
    pipeline->packetTemplate = packet;
    pipeline->slotCount = slotCount;
    pipeline->inputCount = inputCount;
    pipeline->inputs = inputCount ? inputs : nullptr;
    return 1;
}

// Bytes the arena may need for n nodes and d distinct clusters, padding included.
size_t ScratchSize(GxUInt32 n, GxUInt32 d)
{
    const size_t entries = static_cast<size_t>(n) * d;
    return Pad(n * sizeof(ReqTable)) + n * Pad(d * sizeof(ReqEntry)) + entries * Pad(sizeof(Group)) +
           Pad((d + 1) * sizeof(GxClusterDefinition*)) + kAlign;
}

// Bytes of the run-time tables at most: every group may take a slot of its own.
size_t RuntimeBound(const GxPipeline* pipeline, GxUInt32 d)
{
    const GxUInt32 n = pipeline->nodeCount;
    const size_t slots = static_cast<size_t>(n) * d + 1;
    size_t size = Pad(offsetof(GxPipelinePacket, clusters) + slots * sizeof(GxPipelineCluster)) +
                  Pad(d * sizeof(GxPipelineClusterInfo)) + Pad(d * sizeof(GxPipelineInput));
    for (GxUInt32 i = 0; i < n; i++) {
        const GxNodeDefinition* definition = pipeline->nodeArray[i].definition;
        size += Pad(slots * sizeof(GxPipelineClusterInfo*)) + Pad((slots + 1) * sizeof(GxUInt32)) +
                Pad(definition->interestCount * sizeof(GxUInt32)) + Pad(definition->privateSize);
    }
    return size;
}

void CopyWord(char* to, const char* from) { memcpy(to, from, sizeof(GxUInt32)); }

GxUInt32 KeyAt(const char* base, GxUInt32 index, GxUInt32 stride, GxUInt32 keyOffset)
{
    GxUInt32 key;
    memcpy(&key, base + static_cast<size_t>(index) * stride + keyOffset, sizeof(key));
    return key;
}

void SwapRecords(char* base, GxUInt32 a, GxUInt32 b, GxUInt32 stride)
{
    char* ra = base + static_cast<size_t>(a) * stride;
    char* rb = base + static_cast<size_t>(b) * stride;
    for (GxUInt32 w = 0; w < stride; w += sizeof(GxUInt32)) {
        char tmp[sizeof(GxUInt32)];
        CopyWord(tmp, ra + w);
        CopyWord(ra + w, rb + w);
        CopyWord(rb + w, tmp);
    }
}

}  // namespace

void* GxPipelineScratchAllocTop(GxUInt32 size)
{
    const size_t padded = Pad(size);
    if (!scratchTop || static_cast<size_t>(scratchTop - scratchBottom) < padded) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    scratchTop -= padded;
    return scratchTop;
}

void* GxPipelineScratchAllocBottom(GxUInt32 size)
{
    const size_t padded = Pad(size);
    if (!scratchBottom || static_cast<size_t>(scratchTop - scratchBottom) < padded) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    char* block = scratchBottom;
    scratchBottom += padded;
    return block;
}

GxUInt32 GxPipelineCountClusters(GxPipeline* pipeline)
{
    GX_ASSERT(pipeline, "clusters are counted in a pipeline");
    // Repeatedly the smallest address above the previous one: no allocation, a handful of nodes.
    GxUInt32 count = 0;
    const GxClusterDefinition* previous = nullptr;
    for (;;) {
        const GxClusterDefinition* next = nullptr;
        for (GxUInt32 i = 0; i < pipeline->nodeCount; i++) {
            const GxNodeDefinition* definition = pipeline->nodeArray[i].definition;
            if (!definition || !definition->interests) {
                continue;
            }
            for (GxUInt32 j = 0; j < definition->interestCount; j++) {
                const GxClusterDefinition* cluster = definition->interests[j].clusterDef;
                std::less<const GxClusterDefinition*> less;
                if (cluster && (!previous || less(previous, cluster)) && (!next || less(cluster, next))) {
                    next = cluster;
                }
            }
        }
        if (!next) {
            return count;
        }
        count++;
        previous = next;
    }
}

size_t GxPipelineUnlockArenaSize(GxPipeline* pipeline)
{
    const GxUInt32 distinct = GxPipelineCountClusters(pipeline);
    return ScratchSize(pipeline->nodeCount, distinct) + RuntimeBound(pipeline, distinct);
}

char* GxPipelineResolveClusters(GxPipeline* pipeline, char* bottom, char* top)
{
    const GxUInt32 n = pipeline->nodeCount;
    scratchBottom = bottom;
    scratchTop = top;
    Resolver resolver = {pipeline, nullptr, GxPipelineCountClusters(pipeline), nullptr};
    resolver.tables = static_cast<ReqTable*>(GxPipelineScratchAllocBottom(n * sizeof(ReqTable)));
    GxBool ok = resolver.tables != nullptr;
    if (ok) {
        memset(resolver.tables, 0, n * sizeof(ReqTable));
        ok = GatherRequirements(&resolver) == 0 && MarkOutputs(&resolver) == 0 && FormGroups(&resolver) == 0;
    }
    if (ok) {
        ok = BuildRuntime(&resolver, AssignSlots(&resolver));
    }
    char* used = ok ? scratchBottom : nullptr;
    scratchBottom = nullptr;
    scratchTop = nullptr;
    return used;
}

GxPipelineNode* GxPipelineFindNodeByName(GxPipeline* pipeline, const char* name, GxPipelineNode* startNode,
                                         GxUInt32* indexOut)
{
    if (indexOut) {
        *indexOut = kNoSlot;
    }
    if (!pipeline || !name || pipeline->nodeCount == 0) {
        return nullptr;
    }
    GxUInt32 i = 0;
    if (startNode) {
        GX_ASSERT(startNode >= pipeline->nodeArray && startNode < pipeline->nodeArray + pipeline->nodeCount,
                  "a search starts after a node of the pipeline searched");
        i = static_cast<GxUInt32>(startNode - pipeline->nodeArray) + 1;
    }
    for (; i < pipeline->nodeCount; i++) {
        const GxNodeDefinition* definition = pipeline->nodeArray[i].definition;
        if (definition && definition->name && GxEngineInstance->stringFuncs.gxStrcmp(definition->name, name) == 0) {
            if (indexOut) {
                *indexOut = i;
            }
            return &pipeline->nodeArray[i];
        }
    }
    return nullptr;
}

void GxRadixSortByKey(void* base, GxUInt32 count, GxUInt32 stride, GxUInt32 keyOffset, GxUInt32 minKey, GxUInt32 maxKey)
{
    if (!base || keyOffset + sizeof(GxUInt32) > stride || minKey >= maxKey) {
        return;
    }
    auto* records = static_cast<char*>(base);
    if (count > kSortSegmentMax) {
        struct Segment {
            GxUInt32 start, end;
            GxInt32 bit;
        };
        Segment stack[33];
        GxUInt32 depth = 0;
        GxInt32 topBit = 31;
        while (!(maxKey & (1u << topBit))) {
            topBit--;
        }
        Segment segment = {0, count, topBit};
        for (;;) {
            const GxUInt32 mask = 1u << segment.bit;
            GxUInt32 left = segment.start;
            GxUInt32 right = segment.end;  // one past the last unscanned record
            for (;;) {
                while (left < right && !(KeyAt(records, left, stride, keyOffset) & mask)) {
                    left++;
                }
                while (right > left && (KeyAt(records, right - 1, stride, keyOffset) & mask)) {
                    right--;
                }
                if (left + 1 >= right) {
                    break;
                }
                SwapRecords(records, left, right - 1, stride);
                left++;
                right--;
            }
            const GxUInt32 split = left;
            const GxInt32 nextBit = segment.bit - 1;
            if (nextBit >= 0 && segment.end - split > kSortSegmentMax) {
                stack[depth++] = Segment{split, segment.end, nextBit};
            }
            if (nextBit >= 0 && split - segment.start > kSortSegmentMax) {
                segment = Segment{segment.start, split, nextBit};
                continue;
            }
            if (depth == 0) {
                break;
            }
            segment = stack[--depth];
        }
    }
    if (count < 2) {
        return;
    }
    // The smallest of the first few as a sentinel, then insertion.
    GxUInt32 smallest = std::min(count, kSortSegmentMax) - 1;
    for (GxUInt32 i = smallest; i-- > 0;) {
        if (KeyAt(records, i, stride, keyOffset) <= KeyAt(records, smallest, stride, keyOffset)) {
            smallest = i;
        }
    }
    SwapRecords(records, 0, smallest, stride);
    for (GxUInt32 i = 1; i < count; i++) {
        const GxUInt32 key = KeyAt(records, i, stride, keyOffset);
        GxUInt32 j = i;
        while (j > 0 && KeyAt(records, j - 1, stride, keyOffset) > key) {
            SwapRecords(records, j - 1, j, stride);
            j--;
        }
    }
}
