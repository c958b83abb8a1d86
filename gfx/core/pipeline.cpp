// The pipeline module: pipeline records, node release, editing (lock, add fragment, unlock), execution and frame links.
#include "gfx/core/pipeline.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/frame_local.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline_local.h"

namespace {

constexpr GxUInt32 kPipelineFreeListHint = 0x40409;
constexpr GxUInt32 kNodeBlockHint = 0x1030409;

// Per-node bookkeeping while a pipeline is locked (the unlock's ordering state).
struct NodeWork {
    GxUInt32 inDegree;
    GxUInt32 reached;
    GxUInt32 placed;
};

GxInt32 moduleOffset = -1;
GxBool systemOpen = 0;
GxPipelineHeap* pipelineHeap = nullptr;
GxFreeList pipelineFreeListSpace;

// The one execution in flight.
GxPipeline* currentPipeline = nullptr;
GxBool executeSucceeded = 0;
GxPipelineExecutionParams currentParams = {nullptr, nullptr};

const GxUInt32 kDefaultRenderStates[11] = {7, 2, 5, 6, 0, 1, 1, 2, 0xFFFFFFFFu, 0, 0xFFFFFFFFu};

GxPipelineModuleBlock* Block()
{
    if (moduleOffset < 0) {
        return nullptr;
    }
    return reinterpret_cast<GxPipelineModuleBlock*>(GxEngineGetModuleBlock(moduleOffset));
}

GxUInt32 NodeCapacity()
{
    GxPipelineModuleBlock* block = Block();
    return block && block->nodeCapacity ? block->nodeCapacity : gxPIPELINEDEFAULTNODECAPACITY;
}

// Node memory while locked: capacity node records, then 32 outputs per node, then a work record per node.
size_t NodeBlockSize(GxUInt32 capacity)
{
    return capacity * (sizeof(GxPipelineNode) + gxPIPELINEMAXOUTPUTS * sizeof(GxUInt32) + sizeof(NodeWork));
}

GxUInt32* OutputArea(GxPipeline* pipeline, GxUInt32 index)
{
    auto* outputs = reinterpret_cast<GxUInt32*>(pipeline->nodeArray + NodeCapacity());
    return outputs + index * gxPIPELINEMAXOUTPUTS;
}

NodeWork* WorkArea(GxPipeline* pipeline, GxUInt32 index)
{
    auto* outputs = reinterpret_cast<GxUInt32*>(pipeline->nodeArray + NodeCapacity());
    auto* work = reinterpret_cast<NodeWork*>(outputs + NodeCapacity() * gxPIPELINEMAXOUTPUTS);
    return work + index;
}

// The locked layout's end of the output areas: the scratch arena of an unlock starts here.
size_t OutputAreasEnd(GxUInt32 capacity)
{
    return capacity * (sizeof(GxPipelineNode) + gxPIPELINEMAXOUTPUTS * sizeof(GxUInt32));
}

template <typename T>
void Rebase(T** pointer, uintptr_t from, size_t size, char* to)
{
    const auto at = reinterpret_cast<uintptr_t>(*pointer);
    if (*pointer && at >= from && at - from < size) {
        *pointer = reinterpret_cast<T*>(to + (at - from));
    }
}

// Moves the node block to `size` bytes (its content kept up to the smaller size) and points every pointer into
// it at the new place. 0, with the block unchanged, when the memory cannot be had.
GxBool ResizeNodeBlock(GxPipeline* pipeline, size_t size)
{
    const auto from = reinterpret_cast<uintptr_t>(pipeline->nodeBlock);
    const size_t oldSize = pipeline->nodeBlockSize;
    auto* to = static_cast<char*>(GxRealloc(pipeline->nodeBlock, size, kNodeBlockHint));
    if (!to) {
        return 0;
    }
    pipeline->nodeBlock = to;
    pipeline->nodeBlockSize = static_cast<GxUInt32>(size);
    Rebase(&pipeline->nodeArray, from, oldSize, to);
    Rebase(&pipeline->packetTemplate, from, oldSize, to);
    Rebase(&pipeline->inputs, from, oldSize, to);
    for (GxUInt32 i = 0; i < pipeline->nodeCount; i++) {
        GxPipelineNode* node = &pipeline->nodeArray[i];
        Rebase(&node->outputTargets, from, oldSize, to);
        Rebase(&node->slotOutputMasks, from, oldSize, to);
        Rebase(&node->privateBlock, from, oldSize, to);
        Rebase(&node->interestSlots, from, oldSize, to);
        Rebase(&node->orderWork, from, oldSize, to);
        Rebase(&node->slotClusters, from, oldSize, to);
        for (GxUInt32 slot = 0; node->slotClusters && slot < pipeline->slotCount; slot++) {
            Rebase(&node->slotClusters[slot], from, oldSize, to);
        }
    }
    return 1;
}

// Packs every node's outputs one after another right after the node records (an unlocked pipeline's layout).
// Each lands at or before its 32-entry area, so the copies never overwrite outputs still to be moved.
void PackOutputs(GxPipeline* pipeline)
{
    auto* packed = reinterpret_cast<GxUInt32*>(pipeline->nodeArray + pipeline->nodeCount);
    for (GxUInt32 i = 0; i < pipeline->nodeCount; i++) {
        GxPipelineNode* node = &pipeline->nodeArray[i];
        memmove(packed, node->outputTargets, node->outputCount * sizeof(GxUInt32));
        node->outputTargets = packed;
        node->orderWork = nullptr;
        packed += node->outputCount;
    }
}

// Gives every node its 32-entry output area and its work record again (the locked layout); last node first, as
// each area lies at or after the packed outputs it takes.
void UnpackOutputs(GxPipeline* pipeline)
{
    for (GxUInt32 i = pipeline->nodeCount; i-- > 0;) {
        GxPipelineNode* node = &pipeline->nodeArray[i];
        GxUInt32* area = OutputArea(pipeline, i);
        memmove(area, node->outputTargets, node->outputCount * sizeof(GxUInt32));
        for (GxUInt32 k = node->outputCount; k < gxPIPELINEMAXOUTPUTS; k++) {
            area[k] = gxPIPELINEUNCONNECTED;
        }
        node->outputTargets = area;
        node->orderWork = WorkArea(pipeline, i);
        *WorkArea(pipeline, i) = NodeWork{0, 0, 0};
    }
}

void DefinitionRelease(GxNodeDefinition* definition)
{
    if (definition->useCount == 0) {
        return;
    }
    definition->useCount--;
    if (definition->useCount == 0 && definition->kindClose) {
        definition->kindClose(definition);
    }
}

// A node's run-time tables and private data live in the pipeline's run-time block.
void FreeNodePrivate(GxPipelineNode* node)
{
    node->privateBlock = nullptr;
    node->slotClusters = nullptr;
    node->slotOutputMasks = nullptr;
    node->interestSlots = nullptr;
}

// Forgets the run-time tables; they live in the node block, which the next unlock reuses.
void FreePacketTemplate(GxPipeline* pipeline)
{
    pipeline->packetTemplate = nullptr;
    for (GxUInt32 i = 0; i < pipeline->nodeCount && pipeline->nodeArray; i++) {
        FreeNodePrivate(&pipeline->nodeArray[i]);
    }
    pipeline->slotCount = 0;
    pipeline->inputCount = 0;
    pipeline->inputs = nullptr;
}

// Tears down one node's run-time set-up (lock, failed unlock).
void NodeTearDown(GxPipelineNode* node)
{
    if (node->definition) {
        if (node->definition->nodeClose) {
            node->definition->nodeClose(node);
        }
        DefinitionRelease(node->definition);
    }
    node->slotClusters = nullptr;
    FreeNodePrivate(node);
}

// Swaps nodes a and b with their outputs and work records, and renumbers every output that named either.
void SwapNodes(GxPipeline* pipeline, GxUInt32 a, GxUInt32 b)
{
    if (a == b) {
        return;
    }
    GxPipelineNode* na = &pipeline->nodeArray[a];
    GxPipelineNode* nb = &pipeline->nodeArray[b];
    GxPipelineNode tmpNode = *na;
    *na = *nb;
    *nb = tmpNode;
    GxUInt32 tmpOut[gxPIPELINEMAXOUTPUTS];
    memcpy(tmpOut, OutputArea(pipeline, a), sizeof(tmpOut));
    memcpy(OutputArea(pipeline, a), OutputArea(pipeline, b), sizeof(tmpOut));
    memcpy(OutputArea(pipeline, b), tmpOut, sizeof(tmpOut));
    NodeWork tmpWork = *WorkArea(pipeline, a);
    *WorkArea(pipeline, a) = *WorkArea(pipeline, b);
    *WorkArea(pipeline, b) = tmpWork;
    na->outputTargets = OutputArea(pipeline, a);
    nb->outputTargets = OutputArea(pipeline, b);
    na->orderWork = WorkArea(pipeline, a);
    nb->orderWork = WorkArea(pipeline, b);
    for (GxUInt32 i = 0; i < pipeline->nodeCount; i++) {
        GxPipelineNode* node = &pipeline->nodeArray[i];
        for (GxUInt32 k = 0; k < node->outputCount; k++) {
            if (node->outputTargets[k] == a) {
                node->outputTargets[k] = b;
            } else if (node->outputTargets[k] == b) {
                node->outputTargets[k] = a;
            }
        }
    }
}

// Places node `index` at position *next, then every successor whose predecessors are all placed.
void PlaceNode(GxPipeline* pipeline, GxUInt32 index, GxUInt32* next)
{
    const GxUInt32 position = (*next)++;
    SwapNodes(pipeline, index, position);
    GxPipelineNode* node = &pipeline->nodeArray[position];
    static_cast<NodeWork*>(node->orderWork)->placed = 1;
    for (GxUInt32 k = 0; k < node->outputCount; k++) {
        const GxUInt32 target = node->outputTargets[k];
        if (target >= pipeline->nodeCount) {
            continue;
        }
        auto* work = static_cast<NodeWork*>(pipeline->nodeArray[target].orderWork);
        work->reached++;
        if (work->reached == work->inDegree && !work->placed) {
            PlaceNode(pipeline, target, next);
        }
    }
}

// Puts the nodes in execution order with the entry node first. 0 and an error when the graph is not a chain of
// reachable nodes without cycles.
GxBool OrderNodes(GxPipeline* pipeline)
{
    const GxUInt32 n = pipeline->nodeCount;
    for (GxUInt32 i = 0; i < n; i++) {
        *WorkArea(pipeline, i) = NodeWork{0, 0, 0};
    }
    for (GxUInt32 i = 0; i < n; i++) {
        GxPipelineNode* node = &pipeline->nodeArray[i];
        for (GxUInt32 k = 0; k < node->outputCount; k++) {
            if (node->outputTargets[k] < n) {
                WorkArea(pipeline, node->outputTargets[k])->inDegree++;
            }
        }
    }
    for (GxUInt32 i = 0; i < n; i++) {
        const GxUInt32 inDegree = WorkArea(pipeline, i)->inDegree;
        if (i == pipeline->entryNode && inDegree != 0) {
            GxErrorRaise(gxPLUGINCORE, gxERRPIPELINEBADENTRY);
            return 0;
        }
        if (i != pipeline->entryNode && inDegree == 0) {
            GxErrorRaise(gxPLUGINCORE, gxERRPIPELINEUNREACHED);
            return 0;
        }
    }
    GxUInt32 next = 0;
    PlaceNode(pipeline, pipeline->entryNode, &next);
    if (next != n) {
        GxErrorRaise(gxPLUGINCORE, gxERRPIPELINECYCLE);
        return 0;
    }
    pipeline->entryNode = 0;
    return 1;
}

// Opens nodes last to first; on failure closes those already opened and returns 0.
GxBool OpenNodes(GxPipeline* pipeline)
{
    GxUInt32 opened = 0;  // nodes from the end that are set up
    GxBool ok = 1;
    for (GxUInt32 i = pipeline->nodeCount; i-- > 0 && ok;) {
        GxPipelineNode* node = &pipeline->nodeArray[i];
        GxNodeDefinition* definition = node->definition;
        if (definition->useCount++ == 0 && definition->kindOpen && !definition->kindOpen(definition)) {
            definition->useCount--;
            ok = 0;
            break;
        }
        if (definition->nodeOpen && !definition->nodeOpen(node)) {
            DefinitionRelease(definition);
            ok = 0;
            break;
        }
        opened++;
    }
    for (GxUInt32 i = pipeline->nodeCount; i-- > 0 && ok;) {
        GxPipelineNode* node = &pipeline->nodeArray[i];
        if (node->definition->nodeConfigure && !node->definition->nodeConfigure(node, pipeline)) {
            ok = 0;
        }
    }
    if (ok) {
        return 1;
    }
    for (GxUInt32 i = pipeline->nodeCount - opened; i < pipeline->nodeCount; i++) {
        GxPipelineNode* node = &pipeline->nodeArray[i];
        if (node->definition->nodeClose) {
            node->definition->nodeClose(node);
        }
        DefinitionRelease(node->definition);
    }
    return 0;
}

// A failed unlock leaves the pipeline locked with its nodes in their records and output areas.
void UnlockFailed(GxPipeline* pipeline)
{
    for (GxUInt32 i = 0; i < pipeline->nodeCount; i++) {
        FreeNodePrivate(&pipeline->nodeArray[i]);
    }
    FreePacketTemplate(pipeline);
    UnpackOutputs(pipeline);
}

GxBool InitNode(GxPipeline* pipeline, GxNodeDefinition* definition)
{
    GxBool ok = 1;
    if (definition->outputCount > gxPIPELINEMAXOUTPUTS) {
        GxErrorRaise(gxPLUGINCORE, gxERRPIPELINETOOMANYOUTPUTS);
        ok = 0;
    }
    if (definition->interestCount > gxPIPELINEMAXINTERESTS) {
        GxErrorRaise(gxPLUGINCORE, gxERRPIPELINETOOMANYINTERESTS);
        ok = 0;
    }
    if (ok && definition->outputCount >= NodeCapacity()) {
        GxErrorRaise(gxPLUGINCORE, gxERRPIPELINETOOMANYNODES);
        ok = 0;
    }
    if (!ok) {
        return 0;
    }
    const GxUInt32 index = pipeline->nodeCount;
    GxPipelineNode* node = &pipeline->nodeArray[index];
    memset(node, 0, sizeof(*node));
    node->outputCount = definition->outputCount;
    node->outputTargets = OutputArea(pipeline, index);
    for (GxUInt32 k = 0; k < gxPIPELINEMAXOUTPUTS; k++) {
        node->outputTargets[k] = gxPIPELINEUNCONNECTED;
    }
    node->orderWork = WorkArea(pipeline, index);
    *WorkArea(pipeline, index) = NodeWork{0, 0, 0};
    node->definition = definition;
    pipeline->nodeCount++;
    return 1;
}

// Whether the pipeline may be edited: it is locked. Raises the error when not.
bool Editable(const GxPipeline* pipeline)
{
    GX_ASSERT(pipeline, "a pipeline is edited");
    if (!pipeline->isLocked) {
        GxErrorRaise(gxPLUGINCORE, gxERRPIPELINENOTLOCKED);
        return false;
    }
    return true;
}

}  // namespace

void* GxPipelineModuleOpen(void* instance, GxInt32 offset, GxInt32)
{
    // A second open leaves the open module's block, heap and free list as they are.
    if (systemOpen) {
        return nullptr;
    }
    moduleOffset = offset;
    memset(Block(), 0, sizeof(GxPipelineModuleBlock));
    return GxPipelineSystemOpen() ? instance : nullptr;
}

void* GxPipelineModuleClose(void* instance, GxInt32, GxInt32)
{
    GxPipelineSystemClose();
    return instance;
}

const GxCoreModule gxPipelineModule = {gxPLUGINPIPELINE, sizeof(GxPipelineModuleBlock), GxPipelineModuleOpen,
                                       GxPipelineModuleClose};

GxPipelineModuleBlock* GxPipelineGetModuleBlock(void) { return systemOpen ? Block() : nullptr; }

GxBool GxPipelineSystemOpen(void)
{
    if (systemOpen || moduleOffset < 0) {
        return 0;
    }
    GxPipelineHeap* heap = GxPipelineHeapCreate(gxPIPELINEDEFAULTHEAPSIZE);
    if (!heap) {
        return 0;
    }
    GxPipelineModuleBlock* block = Block();
    block->pipelineFreeList = GxFreeListCreateAndPreallocate(sizeof(GxPipeline), 64, alignof(GxPipeline), 1,
                                                             &pipelineFreeListSpace, kPipelineFreeListHint);
    if (!block->pipelineFreeList) {
        GxPipelineHeapDestroy(heap);
        return 0;
    }
    pipelineHeap = heap;
    block->nodeCapacity = gxPIPELINEDEFAULTNODECAPACITY;
    GxRenderStateVectorGetDefault(block->defaultRenderStates);
    block->allPipelines = GxLink{};
    systemOpen = 1;
    return 1;
}

GxBool GxPipelineSystemClose(void)
{
    if (!systemOpen) {
        return 1;
    }
    GxPipelineModuleBlock* block = Block();
    GxFreeListDestroy(block->pipelineFreeList);
    block->pipelineFreeList = nullptr;
    GxPipelineHeapDestroy(pipelineHeap);
    pipelineHeap = nullptr;
    systemOpen = 0;
    return 1;
}

GxPipelineHeap* GxPipelineGetHeap(void) { return pipelineHeap; }

GxPipeline* GxPipelineCreate(void)
{
    if (!systemOpen) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return nullptr;
    }
    auto* pipeline = static_cast<GxPipeline*>(
        GxFreeListAllocEntry(Block()->pipelineFreeList, kPipelineFreeListHint | gxMEMHINTDUROBJECT));
    if (!pipeline) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    memset(pipeline, 0, sizeof(*pipeline));
    return pipeline;
}

namespace {

GxPipelineNode* ReleaseNode(GxPipelineNode* node, GxPipeline* pipeline)
{
    GxNodeDefinition* definition = node->definition;
    if (!pipeline->isLocked) {
        if (definition) {
            if (definition->nodeClose) {
                definition->nodeClose(node);
            }
            DefinitionRelease(definition);
            if (definition->useCount == 0 && definition->isEditable) {
                GxFree(definition);
                node->definition = nullptr;
            }
        }
        FreeNodePrivate(node);
        if (node->setupData) {
            GxFree(node->setupData);
        }
        memset(node, 0, sizeof(*node));
        pipeline->nodeCount--;
        return node;
    }
    if (node->setupData) {
        GxFree(node->setupData);
        node->setupData = nullptr;
    }
    FreeNodePrivate(node);
    // A run-time definition is not freed here: unset-up nodes hold no counted reference, so other locked
    // pipelines (or the caller of a failed add-fragment) may still point at it.
    (void)definition;
    const GxUInt32 k = static_cast<GxUInt32>(node - pipeline->nodeArray);
    const GxUInt32 n = pipeline->nodeCount;
    for (GxUInt32 i = k + 1; i < n; i++) {
        pipeline->nodeArray[i - 1] = pipeline->nodeArray[i];
        memcpy(OutputArea(pipeline, i - 1), OutputArea(pipeline, i), gxPIPELINEMAXOUTPUTS * sizeof(GxUInt32));
        *WorkArea(pipeline, i - 1) = *WorkArea(pipeline, i);
        pipeline->nodeArray[i - 1].outputTargets = OutputArea(pipeline, i - 1);
        pipeline->nodeArray[i - 1].orderWork = WorkArea(pipeline, i - 1);
    }
    pipeline->nodeCount--;
    memset(&pipeline->nodeArray[n - 1], 0, sizeof(GxPipelineNode));
    for (GxUInt32 i = 0; i < pipeline->nodeCount; i++) {
        GxPipelineNode* other = &pipeline->nodeArray[i];
        for (GxUInt32 o = 0; o < other->outputCount; o++) {
            GxUInt32* target = &other->outputTargets[o];
            if (*target == k) {
                *target = gxPIPELINEUNCONNECTED;
            } else if (*target != gxPIPELINEUNCONNECTED && *target > k) {
                (*target)--;
            }
        }
    }
    if (pipeline->entryNode >= pipeline->nodeCount && pipeline->entryNode > 0) {
        pipeline->entryNode = 0;
    }
    return node;
}

}  // namespace

GxPipelineNode* GxPipelineNodeDestroy(GxPipelineNode* node, GxPipeline* pipeline)
{
    GX_ASSERT(node && pipeline && node >= pipeline->nodeArray && node < pipeline->nodeArray + pipeline->nodeCount,
              "a node is released from the pipeline that holds it");
    return ReleaseNode(node, pipeline);
}

void GxPipelineDestroy(GxPipeline* pipeline)
{
    if (!pipeline) {
        return;
    }
    // Nodes go in array order: in place when unlocked, while a locked pipeline moves the next one to the front.
    const GxUInt32 count = pipeline->nodeCount;
    for (GxUInt32 i = 0; i < count; i++) {
        ReleaseNode(&pipeline->nodeArray[pipeline->isLocked ? 0 : i], pipeline);
    }
    pipeline->nodeArray = nullptr;
    FreePacketTemplate(pipeline);
    if (pipeline->nodeBlock) {
        GxFree(pipeline->nodeBlock);
        pipeline->nodeBlock = nullptr;
    }
    pipeline->nodeBlockSize = 0;
    if (systemOpen) {
        GxFreeListFreeEntry(Block()->pipelineFreeList, pipeline);
    }
}

GxPipeline* GxPipelineExecute(GxPipeline* pipeline, void* object, GxBool resetHeap)
{
    GX_ASSERT(pipeline, "a pipeline is executed");
    // A pipeline still being edited, or one with no node, has nothing that could run.
    if (pipeline->isLocked || pipeline->nodeCount == 0 || !pipeline->nodeArray[0].definition ||
        !pipeline->nodeArray[0].definition->body) {
        GxErrorRaise(gxPLUGINCORE, gxERRPIPELINEEMPTY);
        return nullptr;
    }
    if (resetHeap && pipelineHeap && pipelineHeap->dirty) {
        GxPipelineHeapReset(pipelineHeap);
    }
    GxPipeline* outerPipeline = currentPipeline;
    const GxPipelineExecutionParams outerParams = currentParams;
    const GxBool outerSucceeded = executeSucceeded;
    executeSucceeded = 1;
    currentPipeline = pipeline;
    currentParams.object = object;
    currentParams.heap = pipelineHeap;
    pipeline->packetsMade = 0;
    GxPipelineNode* entry = &pipeline->nodeArray[0];
    if (!entry->definition->body(entry, &currentParams)) {
        executeSucceeded = 0;
    }
    if (pipeline->packetsMade > 1 && pipeline->packetTemplate) {
        pipeline->packetsMade = 2;
        GxPipelinePacketRelease(pipeline->packetTemplate);
    }
    const GxBool succeeded = executeSucceeded;
    // A node may run another pipeline (a nested draw); the outer run's state comes back afterwards.
    currentPipeline = outerPipeline;
    currentParams = outerParams;
    executeSucceeded = outerSucceeded;
    return succeeded ? pipeline : nullptr;
}

GxBool GxPipelineNodeSendToOutput(GxPipelineNode* node, GxUInt32 output, const GxPipelineExecutionParams* params)
{
    GxPipeline* pipeline = currentPipeline;
    if (!pipeline || !node || output >= node->outputCount) {
        return 0;
    }
    const GxUInt32 target = node->outputTargets[output];
    if (target >= pipeline->nodeCount) {
        return 1;
    }
    GxPipelineNode* next = &pipeline->nodeArray[target];
    if (!next->definition || !next->definition->body) {
        return 1;
    }
    return next->definition->body(next, params);
}

GxPipeline* GxPipelineLock(GxPipeline* pipeline)
{
    GX_ASSERT(pipeline, "a pipeline is locked");
    if (pipeline->isLocked) {
        return pipeline;
    }
    const size_t size = NodeBlockSize(NodeCapacity());
    if (!pipeline->nodeBlock) {
        pipeline->nodeBlock = GxCalloc(1, size, kNodeBlockHint);
        if (!pipeline->nodeBlock) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return nullptr;
        }
        pipeline->nodeBlockSize = static_cast<GxUInt32>(size);
        pipeline->nodeArray = static_cast<GxPipelineNode*>(pipeline->nodeBlock);
    } else if (pipeline->nodeBlockSize < size && !ResizeNodeBlock(pipeline, size)) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    pipeline->isLocked = 1;
    for (GxUInt32 i = 0; i < pipeline->nodeCount; i++) {
        NodeTearDown(&pipeline->nodeArray[i]);
    }
    FreePacketTemplate(pipeline);
    UnpackOutputs(pipeline);
    return pipeline;
}

GxPipeline* GxPipelineAddFragment(GxPipeline* pipeline, GxUInt32* firstIndexOut, ...)
{
    if (!Editable(pipeline)) {
        return nullptr;
    }
    GxNodeDefinition* definitions[gxPIPELINEDEFAULTNODECAPACITY + 1];
    GxUInt32 count = 0;
    va_list args;
    va_start(args, firstIndexOut);
    for (GxNodeDefinition* definition = va_arg(args, GxNodeDefinition*); definition;
         definition = va_arg(args, GxNodeDefinition*)) {
        if (count <= gxPIPELINEDEFAULTNODECAPACITY) {
            definitions[count] = definition;
        }
        count++;
    }
    va_end(args);
    if (count == 0) {
        return nullptr;
    }
    if (pipeline->nodeCount + count > NodeCapacity() || count > gxPIPELINEDEFAULTNODECAPACITY) {
        GxErrorRaise(gxPLUGINCORE, gxERRPIPELINETOOMANYNODES);
        return nullptr;
    }
    const GxUInt32 first = pipeline->nodeCount;
    GxBool ok = 1;
    for (GxUInt32 i = 0; i < count && ok; i++) {
        ok = InitNode(pipeline, definitions[i]);
        if (ok && i > 0) {
            GxPipelineNode* previous = &pipeline->nodeArray[first + i - 1];
            ok = previous->outputCount > 0 && previous->outputTargets[0] == gxPIPELINEUNCONNECTED;
            if (ok) {
                previous->outputTargets[0] = first + i;
            }
        }
    }
    if (!ok) {
        while (pipeline->nodeCount > first) {
            GxPipelineNodeDestroy(&pipeline->nodeArray[pipeline->nodeCount - 1], pipeline);
        }
        return nullptr;
    }
    if (firstIndexOut) {
        *firstIndexOut = first;
    }
    return pipeline;
}

GxPipeline* GxPipelineUnlock(GxPipeline* pipeline)
{
    if (!Editable(pipeline)) {
        return nullptr;
    }
    if (pipeline->nodeCount == 0) {
        pipeline->isLocked = 0;
        return pipeline;
    }
    if (pipeline->entryNode >= pipeline->nodeCount || !pipeline->nodeArray[pipeline->entryNode].definition) {
        GxErrorRaise(gxPLUGINCORE, gxERRPIPELINEBADENTRY);
        return nullptr;
    }
    const GxUInt32 entry = pipeline->entryNode;
    if (!OrderNodes(pipeline)) {
        pipeline->entryNode = entry;
        return nullptr;
    }
    // One block for everything: the locked layout, then the unlock's scratch arena, whose bottom keeps the
    // run-time tables when the block is cut back to what was used.
    const size_t capacity = NodeCapacity();
    const size_t needed = NodeBlockSize(capacity) + GxPipelineUnlockArenaSize(pipeline);
    if (pipeline->nodeBlockSize < needed && !ResizeNodeBlock(pipeline, needed)) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    PackOutputs(pipeline);
    auto* block = static_cast<char*>(pipeline->nodeBlock);
    char* used = GxPipelineResolveClusters(pipeline, block + OutputAreasEnd(capacity), block + pipeline->nodeBlockSize);
    if (!used) {
        UnlockFailed(pipeline);
        return nullptr;
    }
    if (!OpenNodes(pipeline)) {
        UnlockFailed(pipeline);
        return nullptr;
    }
    // Cut back once every node is set up, so a failure never has to grow the block again; a cut that cannot be
    // had keeps the larger block.
    ResizeNodeBlock(pipeline, static_cast<size_t>(used - block));
    pipeline->packetsMade = 0;
    pipeline->isLocked = 0;
    return pipeline;
}

void GxPipelinePacketRelease(GxPipelinePacket* packet)
{
    if (!packet) {
        return;
    }
    if (packet->pipeline) {
        packet->pipeline->packetsMade = 1;
    }
    for (GxUInt32 i = 0; i < packet->numClusters; i++) {
        GxPipelineCluster* cluster = &packet->clusters[i];
        if (!(cluster->flags & gxPIPELINECLUSTERINUSE)) {
            continue;
        }
        if (cluster->data && !(cluster->flags & gxPIPELINECLUSTEREXTERNAL) && pipelineHeap) {
            GxPipelineHeapFree(pipelineHeap, cluster->data);
        }
        cluster->data = nullptr;
        cluster->currentData = nullptr;
        cluster->numAlloced = 0;
        cluster->numUsed = 0;
    }
    packet->flags = 0;
}

GxUInt32* GxRenderStateVectorGetDefault(GxUInt32* vector)
{
    GX_ASSERT(vector, "the default render states are written into a vector");
    GxPipelineModuleBlock* block = Block();
    if (!block) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOTSTARTEDVECTOR);
        return nullptr;
    }
    if (GxEngineInstance->engineStatus == gxENGINESTATUSSTARTED) {
        if (vector != block->defaultRenderStates) {
            memcpy(vector, block->defaultRenderStates, sizeof(block->defaultRenderStates));
        }
        return vector;
    }
    if (vector != block->defaultRenderStates) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOTSTARTEDVECTOR);
        return nullptr;
    }
    memcpy(vector, kDefaultRenderStates, sizeof(kDefaultRenderStates));
    return vector;
}

GxFramedObject* GxObjectUnlinkFrame(GxFramedObject* object)
{
    GX_ASSERT(object, "an object is unlinked from its frame");
    // A zeroed link has never been in a list; a self-linked one is already out.
    if (object->inFrameList.next) {
        GxLinkRemove(&object->inFrameList);
    }
    GxLinkInit(&object->inFrameList);
    return object;
}

GxFramedObject* GxObjectSetFrame(GxFramedObject* object, GxFrame* frame)
{
    GX_ASSERT(object, "an object is given a frame");
    if (object->object.parent) {
        GxObjectUnlinkFrame(object);
    }
    object->object.parent = frame;
    if (frame) {
        GxLinkAddAfter(&frame->objectList, &object->inFrameList);
        GxFrameSetDirty(frame);
    }
    return object;
}
