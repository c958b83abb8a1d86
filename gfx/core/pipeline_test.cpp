// Tests of the pipeline module: editing and ordering, node release, execution, the pipeline heap and frame links.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"

namespace {

std::vector<std::string> trace;
GxInt32 kindOpens = 0;
GxInt32 kindCloses = 0;
GxInt32 nodeCloses = 0;
GxBool failBody = 0;

GxBool ForwardBody(GxPipelineNode* node, const GxPipelineExecutionParams* params)
{
    trace.push_back(node->definition->name);
    if (failBody && node->definition->name == std::string("B")) {
        return 0;
    }
    return GxPipelineNodeSendToOutput(node, 0, params);
}
GxBool KindOpen(GxNodeDefinition*)
{
    kindOpens++;
    return 1;
}
GxBool KindClose(GxNodeDefinition*)
{
    kindCloses++;
    return 1;
}
std::vector<std::string> closed;
GxBool NodeClose(GxPipelineNode* node)
{
    closed.push_back(node->definition->name);
    nodeCloses++;
    return 1;
}

GxNodeDefinition MakeDefinition(const char* name, GxUInt32 outputs)
{
    return GxNodeDefinition{name, ForwardBody, KindOpen, KindClose, nullptr, NodeClose, nullptr, nullptr,
                            0,    nullptr,     nullptr,  outputs,   nullptr, 6,         0,       0};
}

class Pipeline : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GxTestEngineStart());
        trace.clear();
        closed.clear();
        kindOpens = kindCloses = nodeCloses = 0;
        failBody = 0;
        GxTestTakeError();
    }
    void TearDown() override { GxTestEngineShutdown(); }

    GxNodeDefinition a = MakeDefinition("A", 1);
    GxNodeDefinition b = MakeDefinition("B", 1);
    GxNodeDefinition c = MakeDefinition("C", 1);
};

// Points output `output` of node `from` at node `to`, as a node editor would in a locked pipeline.
GxPipeline* Connect(GxPipeline* pipeline, GxUInt32 from, GxUInt32 output, GxUInt32 to)
{
    pipeline->nodeArray[from].outputTargets[output] = to;
    return pipeline;
}

}  // namespace

TEST_F(Pipeline, ModuleOpensOnceWithTheDefaultRenderStates)
{
    GxPipelineHeap* heap = GxPipelineGetHeap();
    ASSERT_NE(heap, nullptr);
    EXPECT_FALSE(GxPipelineSystemOpen());
    EXPECT_EQ(GxPipelineGetHeap(), heap);
    // A second module open fails and leaves the open module's block as it was.
    GxPipelineModuleBlock* block = GxPipelineGetModuleBlock();
    GxFreeList* freeList = block->pipelineFreeList;
    const GxInt32 offset = static_cast<GxInt32>(reinterpret_cast<char*>(block) - GxEngineGetModuleBlock(0));
    EXPECT_EQ(GxPipelineModuleOpen(GxEngineInstance, offset, sizeof(GxPipelineModuleBlock)), nullptr);
    EXPECT_EQ(block->pipelineFreeList, freeList);
    EXPECT_EQ(GxPipelineGetHeap(), heap);
    GxPipeline* pipeline = GxPipelineCreate();
    ASSERT_NE(pipeline, nullptr);
    GxPipelineDestroy(pipeline);
    const GxUInt32 expected[11] = {7, 2, 5, 6, 0, 1, 1, 2, 0xFFFFFFFFu, 0, 0xFFFFFFFFu};
    GxUInt32 copy[11] = {};
    ASSERT_EQ(GxRenderStateVectorGetDefault(copy), copy);
    EXPECT_EQ(memcmp(copy, expected, sizeof(expected)), 0);
    EXPECT_EQ(memcmp(GxPipelineGetModuleBlock()->defaultRenderStates, expected, sizeof(expected)), 0);
}

TEST_F(Pipeline, ChainRunsInOrderAndNodeFailureFailsTheRun)
{
    GxPipeline* pipeline = GxPipelineCreate();
    ASSERT_NE(pipeline, nullptr);
    EXPECT_EQ(GxPipelineAddFragment(pipeline, nullptr, &a, nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRPIPELINENOTLOCKED);
    ASSERT_EQ(GxPipelineLock(pipeline), pipeline);
    EXPECT_EQ(GxPipelineLock(pipeline), pipeline);
    GxUInt32 first = 99;
    ASSERT_EQ(GxPipelineAddFragment(pipeline, &first, &a, &b, &c, nullptr), pipeline);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(GxPipelineAddFragment(pipeline, nullptr, nullptr), nullptr);
    ASSERT_EQ(GxPipelineUnlock(pipeline), pipeline);
    EXPECT_EQ(pipeline->isLocked, 0u);
    EXPECT_EQ(kindOpens, 3);
    EXPECT_EQ(a.useCount, 1u);
    ASSERT_NE(pipeline->nodeArray[0].privateBlock, nullptr);

    EXPECT_EQ(GxPipelineExecute(pipeline, nullptr, 1), pipeline);
    EXPECT_EQ(trace, (std::vector<std::string>{"A", "B", "C"}));
    trace.clear();
    failBody = 1;
    EXPECT_EQ(GxPipelineExecute(pipeline, nullptr, 1), nullptr);
    EXPECT_EQ(trace, (std::vector<std::string>{"A", "B"}));

    // Locking tears down the set-up of every node.
    ASSERT_EQ(GxPipelineLock(pipeline), pipeline);
    EXPECT_EQ(nodeCloses, 3);
    EXPECT_EQ(kindCloses, 3);
    EXPECT_EQ(a.useCount, 0u);
    EXPECT_EQ(GxPipelineExecute(pipeline, nullptr, 1), nullptr);
    GxPipelineDestroy(pipeline);
    EXPECT_EQ(kindCloses, 3);

    // Destroying an unlocked pipeline releases its nodes in array order.
    pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    GxPipelineAddFragment(pipeline, nullptr, &a, &b, &c, nullptr);
    ASSERT_EQ(GxPipelineUnlock(pipeline), pipeline);
    closed.clear();
    GxPipelineDestroy(pipeline);
    EXPECT_EQ(closed, (std::vector<std::string>{"A", "B", "C"}));
}

GxBool RefuseKindOpen(GxNodeDefinition*) { return 0; }

// A kind that fails to open takes back its count: the unlock fails, the pipeline stays locked, and the next unlock
// opens the kind again.
TEST_F(Pipeline, AKindThatFailsToOpenIsNotCounted)
{
    GxPipeline* pipeline = GxPipelineCreate();
    ASSERT_EQ(GxPipelineLock(pipeline), pipeline);
    ASSERT_EQ(GxPipelineAddFragment(pipeline, nullptr, &a, &b, nullptr), pipeline);
    b.kindOpen = RefuseKindOpen;
    EXPECT_EQ(GxPipelineUnlock(pipeline), nullptr);
    EXPECT_EQ(pipeline->isLocked, 1u);
    EXPECT_EQ(b.useCount, 0u);
    EXPECT_EQ(a.useCount, 0u);
    b.kindOpen = KindOpen;
    ASSERT_EQ(GxPipelineUnlock(pipeline), pipeline);
    EXPECT_EQ(kindOpens, 2);
    EXPECT_EQ(b.useCount, 1u);
    GxPipelineDestroy(pipeline);
}

namespace {

GxPipeline* nestedPipeline = nullptr;

// A node that draws through another pipeline before passing its own packet on.
GxBool NestingBody(GxPipelineNode* node, const GxPipelineExecutionParams* params)
{
    trace.push_back(node->definition->name);
    return GxPipelineExecute(nestedPipeline, nullptr, 0) && GxPipelineNodeSendToOutput(node, 0, params);
}

}  // namespace

// A pipeline run from inside a node leaves the outer run able to go on to its next node.
TEST_F(Pipeline, NestedRunGivesTheOuterRunItsPipelineBack)
{
    nestedPipeline = GxPipelineCreate();
    ASSERT_NE(nestedPipeline, nullptr);
    GxNodeDefinition inner = MakeDefinition("I", 1);
    GxPipelineLock(nestedPipeline);
    GxPipelineAddFragment(nestedPipeline, nullptr, &inner, nullptr);
    ASSERT_EQ(GxPipelineUnlock(nestedPipeline), nestedPipeline);

    GxPipeline* outer = GxPipelineCreate();
    ASSERT_NE(outer, nullptr);
    GxNodeDefinition nesting = MakeDefinition("N", 1);
    nesting.body = NestingBody;
    GxPipelineLock(outer);
    GxPipelineAddFragment(outer, nullptr, &nesting, &c, nullptr);
    ASSERT_EQ(GxPipelineUnlock(outer), outer);

    EXPECT_EQ(GxPipelineExecute(outer, nullptr, 1), outer);
    EXPECT_EQ(trace, (std::vector<std::string>{"N", "I", "C"}));
    GxPipelineDestroy(outer);
    GxPipelineDestroy(nestedPipeline);
    nestedPipeline = nullptr;
}

TEST_F(Pipeline, EditingFailuresAndEmptyPipelines)
{
    GxPipeline* pipeline = GxPipelineCreate();
    EXPECT_EQ(GxPipelineUnlock(pipeline), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRPIPELINENOTLOCKED);
    // Executing a pipeline with no node fails instead of running a missing node.
    EXPECT_EQ(GxPipelineExecute(pipeline, nullptr, 1), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRPIPELINEEMPTY);
    GxPipelineLock(pipeline);
    EXPECT_EQ(GxPipelineUnlock(pipeline), pipeline);
    EXPECT_EQ(kindOpens, 0);

    GxPipelineLock(pipeline);
    std::vector<GxNodeDefinition> many(64, MakeDefinition("M", 1));
    for (GxInt32 i = 0; i < 63; i++) {
        ASSERT_NE(GxPipelineAddFragment(pipeline, nullptr, &many[i], nullptr), nullptr);
    }
    EXPECT_EQ(GxPipelineAddFragment(pipeline, nullptr, &a, &b, nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRPIPELINETOOMANYNODES);
    EXPECT_EQ(pipeline->nodeCount, 63u);
    GxNodeDefinition wide = MakeDefinition("W", 33);
    EXPECT_EQ(GxPipelineAddFragment(pipeline, nullptr, &wide, nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRPIPELINETOOMANYOUTPUTS);
    EXPECT_EQ(pipeline->nodeCount, 63u);
    GxPipelineDestroy(pipeline);
    // The scratch arena lives only while an unlock resolves clusters.
    EXPECT_EQ(GxPipelineScratchAllocTop(4), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOMEMORY);
}

TEST_F(Pipeline, UnlockOrdersFromTheEntryAndRefusesBadGraphs)
{
    GxPipeline* pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    // Stored as C, B, A with A -> B -> C and A the entry.
    GxPipelineAddFragment(pipeline, nullptr, &c, nullptr);
    GxPipelineAddFragment(pipeline, nullptr, &b, nullptr);
    GxPipelineAddFragment(pipeline, nullptr, &a, nullptr);
    Connect(pipeline, 2, 0, 1);
    Connect(pipeline, 1, 0, 0);
    pipeline->entryNode = 0;
    EXPECT_EQ(GxPipelineUnlock(pipeline), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRPIPELINEBADENTRY);
    pipeline->entryNode = 2;
    ASSERT_EQ(GxPipelineUnlock(pipeline), pipeline);
    EXPECT_STREQ(pipeline->nodeArray[0].definition->name, "A");
    EXPECT_STREQ(pipeline->nodeArray[1].definition->name, "B");
    EXPECT_STREQ(pipeline->nodeArray[2].definition->name, "C");
    EXPECT_EQ(pipeline->nodeArray[0].outputTargets[0], 1u);
    EXPECT_EQ(pipeline->nodeArray[1].outputTargets[0], 2u);
    EXPECT_EQ(GxPipelineExecute(pipeline, nullptr, 1), pipeline);
    EXPECT_EQ(trace, (std::vector<std::string>{"A", "B", "C"}));

    // A cycle B -> C -> B below the entry.
    GxPipelineLock(pipeline);
    Connect(pipeline, 2, 0, 1);
    EXPECT_EQ(GxPipelineUnlock(pipeline), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRPIPELINECYCLE);
    // A node nothing points at.
    Connect(pipeline, 2, 0, 2);
    pipeline->nodeArray[2].outputTargets[0] = gxPIPELINEUNCONNECTED;
    pipeline->nodeArray[1].outputTargets[0] = gxPIPELINEUNCONNECTED;
    EXPECT_EQ(GxPipelineUnlock(pipeline), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRPIPELINEUNREACHED);
    EXPECT_EQ(pipeline->isLocked, 1u);
    GxPipelineDestroy(pipeline);
}

TEST_F(Pipeline, RemovingALockedNodeRenumbersOutputs)
{
    GxPipeline* pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    GxNodeDefinition d = MakeDefinition("D", 2);
    GxPipelineAddFragment(pipeline, nullptr, &d, &a, &b, &c, nullptr);  // 0 D, 1 A, 2 B, 3 C
    Connect(pipeline, 0, 1, 3);
    GxPipelineNodeDestroy(&pipeline->nodeArray[2], pipeline);
    ASSERT_EQ(pipeline->nodeCount, 3u);
    EXPECT_STREQ(pipeline->nodeArray[2].definition->name, "C");
    EXPECT_EQ(pipeline->nodeArray[0].outputTargets[0], 1u);
    EXPECT_EQ(pipeline->nodeArray[0].outputTargets[1], 2u);
    EXPECT_EQ(pipeline->nodeArray[1].outputTargets[0], gxPIPELINEUNCONNECTED);
    EXPECT_EQ(pipeline->nodeArray[2].outputTargets, pipeline->nodeArray[0].outputTargets + 2 * 32);
    GxPipelineDestroy(pipeline);

    // A run-time definition goes with its last node.
    auto* made = static_cast<GxNodeDefinition*>(GxMalloc(sizeof(GxNodeDefinition), 0x30409));
    *made = MakeDefinition("R", 0);
    made->isEditable = 1;
    pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    GxPipelineAddFragment(pipeline, nullptr, made, nullptr);
    GxPipelineUnlock(pipeline);
    GxPipelineDestroy(pipeline);  // ASan reports a leak or double free if this is wrong
}

TEST_F(Pipeline, HeapLayoutAllocFreeAndMerge)
{
    GxPipelineHeap* heap = GxPipelineHeapCreate(0);
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(heap->superBlockSize, 1024u);
    ASSERT_EQ(heap->entriesUsed, 1u);
    EXPECT_EQ(heap->freeBlocks[0].size, 928u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(heap->head->area) % 128, 0u);

    char* x = static_cast<char*>(GxPipelineHeapAlloc(heap, 40));
    char* y = static_cast<char*>(GxPipelineHeapAlloc(heap, 64));
    char* z = static_cast<char*>(GxPipelineHeapAlloc(heap, 64));
    ASSERT_TRUE(x && y && z);
    EXPECT_EQ(y - x, 64 + 32);
    memset(x, 0xAB, 64);
    GxPipelineHeapFree(heap, x);
    GxPipelineHeapFree(heap, z);  // merges with the free rest
    EXPECT_EQ(heap->entriesUsed, 2u);
    GxPipelineHeapFree(heap, y);  // between two free blocks: one block covering all three
    ASSERT_EQ(heap->entriesUsed, 1u);
    EXPECT_EQ(heap->freeBlocks[0].size, 928u);
    EXPECT_EQ(heap->freeBlocks[0].block, reinterpret_cast<GxPipelineHeapBlockHeader*>(x) - 1);

    // Larger than a superblock: a new one joins the chain and survives resets.
    char* big = static_cast<char*>(GxPipelineHeapAlloc(heap, 5000));
    ASSERT_NE(big, nullptr);
    memset(big, 1, 5000);
    ASSERT_NE(heap->head->next, nullptr);
    ASSERT_TRUE(GxPipelineHeapReset(heap));
    EXPECT_EQ(heap->entriesUsed, 2u);
    EXPECT_EQ(heap->dirty, 0u);
    EXPECT_NE(GxPipelineHeapAlloc(heap, 5000), nullptr);
    GxPipelineHeapDestroy(heap);
}

namespace {
void* FailingRealloc(void*, size_t, GxUInt32) { return nullptr; }
}  // namespace

TEST_F(Pipeline, HeapFreeKeepsTheBlockWhenTheFreeArrayCannotGrow)
{
    GxPipelineHeap* heap = GxPipelineHeapCreate(8192);
    std::vector<void*> blocks;
    for (GxInt32 i = 0; i < 70; i++) {
        blocks.push_back(GxPipelineHeapAlloc(heap, 32));
        ASSERT_NE(blocks.back(), nullptr);
    }
    GxInt32 i = 0;
    while (heap->entriesUsed < heap->entriesAlloced) {
        GxPipelineHeapFree(heap, blocks[i]);
        i += 2;
    }
    const auto saved = GxEngineInstance->memoryFuncs.gxRealloc;
    GxEngineInstance->memoryFuncs.gxRealloc = FailingRealloc;
    GxPipelineHeapFree(heap, blocks[i]);
    GxEngineInstance->memoryFuncs.gxRealloc = saved;
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOMEMORY);
    EXPECT_EQ((static_cast<GxPipelineHeapBlockHeader*>(blocks[i]) - 1)->freeEntry, nullptr);
    GxPipelineHeapFree(heap, blocks[i]);
    EXPECT_NE((static_cast<GxPipelineHeapBlockHeader*>(blocks[i]) - 1)->freeEntry, nullptr);
    GxPipelineHeapDestroy(heap);
}

// A superblock is laid out as start sentinel, one free block and end sentinel, its start chained after the end of
// the superblock before it; free-array entries are counted and their blocks follow the array when it moves.
TEST_F(Pipeline, HeapSuperBlockLayoutAndFreeEntries)
{
    GxPipelineHeap* heap = GxPipelineHeapCreate(0);
    ASSERT_NE(heap, nullptr);
    alignas(128) static char area[256];
    GxPipelineHeapSuperBlock extra = {area, sizeof(area), nullptr};
    ASSERT_TRUE(GxPipelineHeapAddSuperBlock(&extra, heap->head, heap));
    ASSERT_EQ(heap->entriesUsed, 2u);
    auto* start = reinterpret_cast<GxPipelineHeapBlockHeader*>(area);
    auto* block = start + 1;
    auto* end = reinterpret_cast<GxPipelineHeapBlockHeader*>(area + sizeof(area)) - 1;
    auto* previousEnd = reinterpret_cast<GxPipelineHeapBlockHeader*>(heap->head->area + heap->head->areaSize) - 1;
    EXPECT_EQ(start->size, 0u);
    EXPECT_EQ(start->prev, previousEnd);
    EXPECT_EQ(previousEnd->next, start);
    EXPECT_EQ(start->next, block);
    EXPECT_EQ(block->prev, start);
    EXPECT_EQ(block->next, end);
    EXPECT_EQ(end->prev, block);
    EXPECT_EQ(end->next, nullptr);
    EXPECT_EQ(block->size, sizeof(area) - 96);
    ASSERT_EQ(block->freeEntry, &heap->freeBlocks[1]);
    EXPECT_EQ(heap->freeBlocks[1].size, sizeof(area) - 96);
    EXPECT_EQ(heap->freeBlocks[1].block, block);

    // Filling the array to its capacity, then one more: the array grows by 32 and every block points at its
    // entry's new place.
    GxPipelineHeapBlockHeader spare = {};
    while (heap->entriesUsed < heap->entriesAlloced) {
        GxPipelineHeapFreeEntry* entry = GxPipelineHeapNewFreeEntry(heap);
        ASSERT_EQ(entry, &heap->freeBlocks[heap->entriesUsed - 1]);
        *entry = GxPipelineHeapFreeEntry{0, &spare};
    }
    const GxUInt32 full = heap->entriesAlloced;
    const auto saved = GxEngineInstance->memoryFuncs.gxRealloc;
    GxEngineInstance->memoryFuncs.gxRealloc = FailingRealloc;
    EXPECT_EQ(GxPipelineHeapNewFreeEntry(heap), nullptr);
    GxEngineInstance->memoryFuncs.gxRealloc = saved;
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOMEMORY);
    EXPECT_EQ(heap->entriesAlloced, full);
    EXPECT_EQ(heap->entriesUsed, full);
    GxPipelineHeapFreeEntry* grown = GxPipelineHeapNewFreeEntry(heap);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(heap->entriesAlloced, full + 32);
    EXPECT_EQ(heap->entriesUsed, full + 1);
    EXPECT_EQ(grown, &heap->freeBlocks[full]);
    EXPECT_EQ(block->freeEntry, &heap->freeBlocks[1]);
    EXPECT_EQ(heap->freeBlocks[0].block->freeEntry, &heap->freeBlocks[0]);
    GxPipelineHeapDestroy(heap);
}

namespace {
std::vector<void*> heapBlocks;
GxBool AllocBody(GxPipelineNode*, const GxPipelineExecutionParams* params)
{
    void* block = GxPipelineHeapAlloc(params->heap, 48);
    heapBlocks.push_back(block);
    return block != nullptr;
}
}  // namespace

TEST_F(Pipeline, PacketReleaseFreesOwnedDataAndKeepsClusterFlags)
{
    GxPipelineHeap* heap = GxPipelineGetHeap();
    ASSERT_TRUE(GxPipelineHeapReset(heap));
    const GxUInt32 freeSize = heap->freeBlocks[0].size;
    GxPipeline owner = {};
    owner.packetsMade = 2;
    std::vector<char> memory(sizeof(GxPipelinePacket) + 2 * sizeof(GxPipelineCluster));
    auto* packet = reinterpret_cast<GxPipelinePacket*>(memory.data());
    packet->flags = 0x55;
    packet->numClusters = 3;
    packet->pipeline = &owner;
    int external = 0;
    void* owned = GxPipelineHeapAlloc(heap, 100);
    void* idle = GxPipelineHeapAlloc(heap, 40);
    packet->clusters[0] = {gxPIPELINECLUSTERINUSE, 4, owned, owned, 25, 20, nullptr};
    packet->clusters[1] = {gxPIPELINECLUSTERINUSE | gxPIPELINECLUSTEREXTERNAL, 4, &external, &external, 1, 1, nullptr};
    packet->clusters[2] = {0, 4, idle, idle, 10, 10, nullptr};
    GxPipelinePacketRelease(packet);
    EXPECT_EQ(owner.packetsMade, 1u);
    EXPECT_EQ(packet->flags, 0);
    for (int i = 0; i < 2; i++) {
        const GxPipelineCluster& c = packet->clusters[i];
        EXPECT_TRUE(c.data == nullptr && c.currentData == nullptr && c.numAlloced == 0 && c.numUsed == 0) << i;
    }
    // Cluster flags stay; a slot not in use is left alone.
    EXPECT_EQ(packet->clusters[0].flags, gxPIPELINECLUSTERINUSE);
    EXPECT_EQ(packet->clusters[1].flags, gxPIPELINECLUSTERINUSE | gxPIPELINECLUSTEREXTERNAL);
    EXPECT_EQ(packet->clusters[2].data, idle);
    EXPECT_EQ(packet->clusters[2].numUsed, 10u);
    // Only the owned block went back to the heap: freeing the idle one rejoins the whole area.
    EXPECT_NE(heap->freeBlocks[0].size, freeSize);
    GxPipelineHeapFree(heap, idle);
    ASSERT_EQ(heap->entriesUsed, 1u);
    EXPECT_EQ(heap->freeBlocks[0].size, freeSize);
}

TEST_F(Pipeline, ExecuteResetsTheHeapOnlyWhenAsked)
{
    GxNodeDefinition alloc = MakeDefinition("H", 0);
    alloc.body = AllocBody;
    GxPipeline* pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    GxPipelineAddFragment(pipeline, nullptr, &alloc, nullptr);
    GxPipelineUnlock(pipeline);
    heapBlocks.clear();
    ASSERT_TRUE(GxPipelineExecute(pipeline, nullptr, 1));
    ASSERT_TRUE(GxPipelineExecute(pipeline, nullptr, 0));
    ASSERT_EQ(heapBlocks.size(), 2u);
    EXPECT_NE(heapBlocks[0], heapBlocks[1]);
    EXPECT_EQ((static_cast<GxPipelineHeapBlockHeader*>(heapBlocks[0]) - 1)->freeEntry, nullptr);
    ASSERT_TRUE(GxPipelineExecute(pipeline, nullptr, 1));
    EXPECT_EQ(heapBlocks[2], heapBlocks[0]);
    GxPipelineDestroy(pipeline);
}

TEST_F(Pipeline, ObjectFrameLinks)
{
    GxFrame* frame = GxFrameCreate();
    GxFramedObject object = {};
    GxObjectSetFrame(&object, frame);
    EXPECT_EQ(object.object.parent, frame);
    EXPECT_EQ(frame->objectList.next, &object.inFrameList);
    GxObjectSetFrame(&object, nullptr);
    EXPECT_EQ(object.object.parent, nullptr);
    EXPECT_TRUE(GxLinkIsEmpty(&frame->objectList));
    GxObjectSetFrame(&object, frame);
    GxObjectUnlinkFrame(&object);
    EXPECT_EQ(object.object.parent, frame);
    EXPECT_TRUE(GxLinkIsEmpty(&frame->objectList));
    GxFrameDestroy(frame);
}

namespace {

// Synthetic clusters and node kinds for cluster resolution.
GxClusterDefinition clusterX = {"X", 12, 0x11};
GxClusterDefinition clusterY = {"Y", 8, 0x22};

struct NodeKind {
    std::vector<GxClusterRef> interests;
    std::vector<GxUInt32> requirements;
    std::vector<std::vector<GxUInt32>> validity;  // per output, per interest
    std::vector<GxOutputSpec> specs;
    GxNodeDefinition definition;

    NodeKind(const char* name, std::vector<GxClusterDefinition*> clusters, std::vector<GxUInt32> wants,
             std::vector<std::vector<GxUInt32>> outputs, GxUInt32 others = gxCLUSTERNOCHANGE)
        : requirements(std::move(wants)), validity(std::move(outputs))
    {
        for (GxClusterDefinition* cluster : clusters) {
            interests.push_back(GxClusterRef{cluster, 0, 0});
        }
        for (const auto& v : validity) {
            specs.push_back(GxOutputSpec{"out", v.data(), others});
        }
        definition = MakeDefinition(name, static_cast<GxUInt32>(validity.size()));
        definition.interestCount = static_cast<GxUInt32>(interests.size());
        definition.interests = interests.data();
        definition.interestRequirements = requirements.data();
        definition.outputSpecs = specs.data();
    }
};

GxUInt32 SlotOf(const GxPipelineNode& node, GxUInt32 interest) { return node.interestSlots[interest]; }

}  // namespace

TEST_F(Pipeline, ClustersFlowThroughSharedSlots)
{
    // A creates X; B needs X and creates Y; C needs Y and would take X.
    NodeKind kindA("A", {&clusterX}, {gxCLUSTERDONTWANT}, {{gxCLUSTERVALID}});
    NodeKind kindB("B", {&clusterX, &clusterY}, {gxCLUSTERREQUIRED, gxCLUSTERDONTWANT},
                   {{gxCLUSTERNOCHANGE, gxCLUSTERVALID}});
    NodeKind kindC("C", {&clusterY, &clusterX}, {gxCLUSTERREQUIRED, gxCLUSTEROPTIONAL}, {});
    GxPipeline* pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    ASSERT_EQ(
        GxPipelineAddFragment(pipeline, nullptr, &kindA.definition, &kindB.definition, &kindC.definition, nullptr),
        pipeline);
    EXPECT_EQ(GxPipelineCountClusters(pipeline), 2u);
    ASSERT_EQ(GxPipelineUnlock(pipeline), pipeline);
    ASSERT_EQ(pipeline->slotCount, 2u);
    ASSERT_NE(pipeline->packetTemplate, nullptr);
    EXPECT_EQ(pipeline->packetTemplate->numClusters, 2u);
    EXPECT_EQ(pipeline->packetTemplate->pipeline, pipeline);
    EXPECT_EQ(pipeline->inputCount, 0u);  // A makes everything the others need

    const GxPipelineNode* n = pipeline->nodeArray;
    const GxUInt32 x = SlotOf(n[0], 0);
    const GxUInt32 y = SlotOf(n[1], 1);
    EXPECT_EQ(SlotOf(n[1], 0), x);
    EXPECT_EQ(SlotOf(n[2], 1), x);
    EXPECT_EQ(SlotOf(n[2], 0), y);
    EXPECT_NE(x, y);
    ASSERT_NE(n[1].slotClusters[y], nullptr);
    EXPECT_EQ(n[1].slotClusters[y]->clusterDef, &clusterY);
    EXPECT_EQ(n[1].slotClusters[y]->attributes, 0x22u);
    EXPECT_EQ(n[1].slotClusters[x]->clusterDef, &clusterX);
    EXPECT_EQ(n[0].slotClusters[y], nullptr);  // Y does not exist before B
    EXPECT_EQ(n[0].slotOutputMasks[1 + x], 1u);
    EXPECT_EQ(n[1].slotOutputMasks[0], 1u);
    EXPECT_EQ(n[2].slotOutputMasks[0], 0u);  // a last node passes nothing on
    // Private blocks are zeroed and sit in the pipeline's one run-time block.
    for (GxUInt32 i = 0; i < 3; i++) {
        ASSERT_NE(n[i].privateBlock, nullptr);
        EXPECT_EQ(memcmp(n[i].privateBlock, "\0\0\0\0\0\0", 6), 0);
    }
    EXPECT_GT(static_cast<char*>(n[0].privateBlock), reinterpret_cast<char*>(pipeline->packetTemplate));

    // Relocking and unlocking again rebuilds the same assignment.
    GxPipelineLock(pipeline);
    EXPECT_EQ(pipeline->packetTemplate, nullptr);
    ASSERT_EQ(GxPipelineUnlock(pipeline), pipeline);
    EXPECT_EQ(SlotOf(pipeline->nodeArray[2], 1), SlotOf(pipeline->nodeArray[0], 0));
    GxPipelineDestroy(pipeline);

    // Without A, X is the pipeline's required input.
    pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    GxPipelineAddFragment(pipeline, nullptr, &kindB.definition, &kindC.definition, nullptr);
    ASSERT_EQ(GxPipelineUnlock(pipeline), pipeline);
    ASSERT_EQ(pipeline->inputCount, 1u);
    EXPECT_EQ(pipeline->inputs[0].clusterDef, &clusterX);
    EXPECT_EQ(pipeline->inputs[0].requirement, gxCLUSTERREQUIRED);
    EXPECT_EQ(pipeline->inputs[0].slot, SlotOf(pipeline->nodeArray[0], 0));
    GxPipelineDestroy(pipeline);
}

// Everything an unlocked pipeline holds lives in its node block, cut back to what unlock used; locking grows it
// to the locked layout again with the graph intact.
TEST_F(Pipeline, UnlockedPipelineIsOneBlockCutToSize)
{
    NodeKind kindA("A", {&clusterX}, {gxCLUSTERDONTWANT}, {{gxCLUSTERVALID}});
    NodeKind kindB("B", {&clusterX}, {gxCLUSTERREQUIRED}, {{gxCLUSTERNOCHANGE}});
    GxPipeline* pipeline = GxPipelineCreate();
    ASSERT_EQ(GxPipelineLock(pipeline), pipeline);
    const GxUInt32 locked = pipeline->nodeBlockSize;
    ASSERT_EQ(GxPipelineAddFragment(pipeline, nullptr, &kindA.definition, &kindB.definition, nullptr), pipeline);
    ASSERT_EQ(GxPipelineUnlock(pipeline), pipeline);
    EXPECT_LT(pipeline->nodeBlockSize, locked);
    const char* begin = static_cast<const char*>(pipeline->nodeBlock);
    const char* end = begin + pipeline->nodeBlockSize;
    const auto inside = [&](const void* p, size_t size) {
        return static_cast<const char*>(p) >= begin && static_cast<const char*>(p) + size <= end;
    };
    EXPECT_TRUE(inside(pipeline->nodeArray, 2 * sizeof(GxPipelineNode)));
    EXPECT_TRUE(inside(pipeline->packetTemplate, sizeof(GxPipelinePacket)));
    for (GxUInt32 i = 0; i < 2; i++) {
        const GxPipelineNode& node = pipeline->nodeArray[i];
        EXPECT_TRUE(inside(node.outputTargets, node.outputCount * sizeof(GxUInt32)));
        EXPECT_TRUE(inside(node.privateBlock, 6));
        EXPECT_TRUE(inside(node.slotClusters[0], sizeof(GxPipelineClusterInfo)));
    }
    // Outputs packed right after the records.
    EXPECT_EQ(pipeline->nodeArray[0].outputTargets, reinterpret_cast<GxUInt32*>(pipeline->nodeArray + 2));
    EXPECT_EQ(pipeline->nodeArray[0].outputTargets[0], 1u);
    EXPECT_EQ(GxPipelineExecute(pipeline, nullptr, 1), pipeline);
    EXPECT_EQ(trace, (std::vector<std::string>{"A", "B"}));

    ASSERT_EQ(GxPipelineLock(pipeline), pipeline);
    EXPECT_EQ(pipeline->nodeBlockSize, locked);
    ASSERT_EQ(GxPipelineAddFragment(pipeline, nullptr, &c, nullptr), pipeline);
    ASSERT_EQ(Connect(pipeline, 1, 0, 2), pipeline);
    ASSERT_EQ(GxPipelineUnlock(pipeline), pipeline);
    trace.clear();
    EXPECT_EQ(GxPipelineExecute(pipeline, nullptr, 1), pipeline);
    EXPECT_EQ(trace, (std::vector<std::string>{"A", "B", "C"}));
    GxPipelineDestroy(pipeline);
}

TEST_F(Pipeline, InvalidatedClustersAndBadInterests)
{
    NodeKind spoiler("S", {&clusterX}, {gxCLUSTERDONTWANT}, {{gxCLUSTERINVALID}});
    NodeKind needsX("N", {&clusterX}, {gxCLUSTERREQUIRED}, {});
    NodeKind takesX("T", {&clusterX, &clusterY}, {gxCLUSTEROPTIONAL, gxCLUSTERREQUIRED}, {});
    GxPipeline* pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    GxPipelineAddFragment(pipeline, nullptr, &spoiler.definition, &needsX.definition, nullptr);
    EXPECT_EQ(GxPipelineUnlock(pipeline), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRPIPELINEREQUIREDINVALID);
    EXPECT_EQ(pipeline->isLocked, 1u);
    EXPECT_EQ(kindOpens, 0);
    GxPipelineDestroy(pipeline);

    // An optional cluster spoiled upstream is dropped: the node gets no slot for it.
    pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    GxPipelineAddFragment(pipeline, nullptr, &spoiler.definition, &takesX.definition, nullptr);
    ASSERT_EQ(GxPipelineUnlock(pipeline), pipeline);
    EXPECT_EQ(SlotOf(pipeline->nodeArray[1], 0), gxPIPELINEUNCONNECTED);
    EXPECT_NE(SlotOf(pipeline->nodeArray[1], 1), gxPIPELINEUNCONNECTED);
    ASSERT_EQ(pipeline->inputCount, 1u);  // Y passes through the spoiler untouched
    EXPECT_EQ(pipeline->inputs[0].clusterDef, &clusterY);
    GxPipelineDestroy(pipeline);

    NodeKind nullInterest("0", {nullptr}, {gxCLUSTERREQUIRED}, {});
    NodeKind repeated("R", {&clusterX, &clusterX}, {gxCLUSTERREQUIRED, gxCLUSTERREQUIRED}, {});
    const std::pair<NodeKind*, GxInt32> bad[] = {{&nullInterest, gxERRPIPELINENULLCLUSTER},
                                                 {&repeated, gxERRPIPELINEREPEATEDCLUSTER}};
    for (const auto& [kind, code] : bad) {
        pipeline = GxPipelineCreate();
        GxPipelineLock(pipeline);
        GxPipelineAddFragment(pipeline, nullptr, &kind->definition, nullptr);
        EXPECT_EQ(GxPipelineUnlock(pipeline), nullptr);
        EXPECT_EQ(GxTestTakeErrorCode(), code);
        GxPipelineDestroy(pipeline);
    }

    std::vector<GxClusterDefinition> many(33);
    std::vector<GxClusterDefinition*> pointers;
    for (auto& cluster : many) {
        pointers.push_back(&cluster);
    }
    NodeKind wide("W", pointers, std::vector<GxUInt32>(33, 0), {});
    pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    EXPECT_EQ(GxPipelineAddFragment(pipeline, nullptr, &wide.definition, nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRPIPELINETOOMANYINTERESTS);
    EXPECT_EQ(pipeline->nodeCount, 0u);
    GxPipelineDestroy(pipeline);
}

TEST_F(Pipeline, FindNodeByName)
{
    GxPipeline* pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    GxPipelineAddFragment(pipeline, nullptr, &a, &b, &a, nullptr);
    GxPipelineUnlock(pipeline);
    GxUInt32 index = 0;
    GxPipelineNode* first = GxPipelineFindNodeByName(pipeline, "A", nullptr, &index);
    ASSERT_EQ(first, &pipeline->nodeArray[0]);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(GxPipelineFindNodeByName(pipeline, "A", first, &index), &pipeline->nodeArray[2]);
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(GxPipelineFindNodeByName(pipeline, "A", &pipeline->nodeArray[2], &index), nullptr);
    EXPECT_EQ(index, gxPIPELINEUNCONNECTED);
    EXPECT_EQ(GxPipelineFindNodeByName(pipeline, "Z", nullptr, &index), nullptr);
    EXPECT_EQ(GxPipelineFindNodeByName(nullptr, "A", nullptr, &index), nullptr);
    GxPipelineDestroy(pipeline);
}

TEST_F(Pipeline, RadixSortOrdersByKey)
{
    struct Record {
        GxUInt32 payload;
        GxUInt32 key;
    };
    for (GxUInt32 count : {0u, 1u, 2u, 5u, 6u, 40u, 500u}) {
        std::vector<Record> records;
        GxUInt32 seed = 12345 + count;
        for (GxUInt32 i = 0; i < count; i++) {
            seed = seed * 1103515245u + 12345u;
            records.push_back(Record{i, (seed >> 8) % (i % 3 ? 0xFFFFFFu : 7u)});
        }
        std::vector<Record> sorted = records;
        GxRadixSortByKey(sorted.data(), count, sizeof(Record), 4, 0, 0xFFFFFFFFu);
        for (GxUInt32 i = 1; i < count; i++) {
            ASSERT_LE(sorted[i - 1].key, sorted[i].key) << "count " << count << " at " << i;
        }
        // Nothing lost: every payload still there with its key.
        std::vector<GxUInt32> seen(count, 0);
        for (const Record& r : sorted) {
            ASSERT_LT(r.payload, count);
            EXPECT_EQ(r.key, records[r.payload].key);
            seen[r.payload]++;
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1u), static_cast<long>(count));
    }
    // A key beyond the record, or an empty key range: untouched.
    Record two[2] = {{0, 9}, {1, 3}};
    GxRadixSortByKey(two, 2, sizeof(Record), 6, 0, 0xFFFFFFFFu);
    GxRadixSortByKey(two, 2, sizeof(Record), 4, 5, 5);
    EXPECT_EQ(two[0].key, 9u);
}
