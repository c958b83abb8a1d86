// Tests of the pipeline module: editing and ordering, node release, execution, the pipeline heap and frame links.
#include <gtest/gtest.h>

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
GxBool KindOpen(GxNodeDefinition*) { kindOpens++; return 1; }
GxBool KindClose(GxNodeDefinition*) { kindCloses++; return 1; }
GxBool NodeClose(GxPipelineNode*) { nodeCloses++; return 1; }

GxNodeDefinition MakeDefinition(const char* name, GxUInt32 outputs)
{
    return GxNodeDefinition{name, ForwardBody, KindOpen, KindClose, nullptr, NodeClose, nullptr, nullptr,
                            0, nullptr, nullptr, outputs, nullptr, 6, 0, 0};
}

class Pipeline : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GxTestEngineStart());
        trace.clear();
        kindOpens = kindCloses = nodeCloses = 0;
        failBody = 0;
        GxTestTakeError();
    }
    void TearDown() override { GxTestEngineShutdown(); }

    GxNodeDefinition a = MakeDefinition("A", 1);
    GxNodeDefinition b = MakeDefinition("B", 1);
    GxNodeDefinition c = MakeDefinition("C", 1);
};

}  // namespace

TEST_F(Pipeline, ModuleOpensOnceWithTheDefaultRenderStates)
{
    GxPipelineHeap* heap = GxPipelineGetHeap();
    ASSERT_NE(heap, nullptr);
    EXPECT_FALSE(GxPipelineSystemOpen());
    EXPECT_EQ(GxPipelineGetHeap(), heap);
    const GxUInt32 expected[11] = {7, 2, 5, 6, 0, 1, 1, 2, 0xFFFFFFFFu, 0, 0xFFFFFFFFu};
    GxUInt32 copy[11] = {};
    ASSERT_EQ(GxRenderStateVectorGetDefault(copy), copy);
    EXPECT_EQ(memcmp(copy, expected, sizeof(expected)), 0);
    EXPECT_EQ(memcmp(GxPipelineGetModuleBlock()->defaultRenderStates, expected, sizeof(expected)), 0);
    EXPECT_EQ(GxRenderStateVectorGetDefault(nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNULLARG);
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
}

TEST_F(Pipeline, EditingFailuresAndEmptyPipelines)
{
    EXPECT_EQ(GxPipelineLock(nullptr), nullptr);
    EXPECT_EQ(GxPipelineUnlock(nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNULLARG);
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
}

TEST_F(Pipeline, UnlockOrdersFromTheEntryAndRefusesBadGraphs)
{
    GxPipeline* pipeline = GxPipelineCreate();
    GxPipelineLock(pipeline);
    // Stored as C, B, A with A -> B -> C and A the entry.
    GxPipelineAddFragment(pipeline, nullptr, &c, nullptr);
    GxPipelineAddFragment(pipeline, nullptr, &b, nullptr);
    GxPipelineAddFragment(pipeline, nullptr, &a, nullptr);
    GxPipelineConnectNodes(pipeline, 2, 0, 1);
    GxPipelineConnectNodes(pipeline, 1, 0, 0);
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
    GxPipelineConnectNodes(pipeline, 2, 0, 1);
    EXPECT_EQ(GxPipelineUnlock(pipeline), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRPIPELINECYCLE);
    // A node nothing points at.
    GxPipelineConnectNodes(pipeline, 2, 0, 2);
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
    GxPipelineConnectNodes(pipeline, 0, 1, 3);
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

namespace {
std::vector<void*> heapBlocks;
GxBool AllocBody(GxPipelineNode*, const GxPipelineExecutionParams* params)
{
    void* block = GxPipelineHeapAlloc(params->heap, 48);
    heapBlocks.push_back(block);
    return block != nullptr;
}
}  // namespace

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
