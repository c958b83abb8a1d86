// Tests of the default atomic render callback: it runs whatever pipeline the atomic carries, else the
// pipeline module's current atomic pipeline, and reports a failed run.
#include <vector>

#include "gfx/core/pipeline.h"
#include "gfx/world/world_testing.h"

namespace {

std::vector<void*> executed;
bool failRun = false;

GxBool RecordBody(GxPipelineNode*, const GxPipelineExecutionParams* params)
{
    executed.push_back(params->object);
    return failRun ? 0 : 1;
}

class Rights : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        executed.clear();
        failRun = false;
        definition = GxNodeDefinition{};
        definition.name = "record";
        definition.body = RecordBody;
        pipeline = GxWorldTestOneNodePipeline(&definition);
        ASSERT_NE(pipeline, nullptr);
    }
    void TearDown() override
    {
        GxPipelineDestroy(pipeline);
        WorldTest::TearDown();
    }

    GxNodeDefinition definition;
    GxPipeline* pipeline = nullptr;
};

}  // namespace

TEST_F(Rights, DefaultRenderRunsTheAtomicsPipelineOrTheCurrentOne)
{
    GxClump* clump = GxClumpCreate();
    GxAtomic* own = GxAtomicCreate();
    GxAtomic* plain = GxAtomicCreate();
    GxClumpSetFrame(clump, GxFrameCreate());
    GxAtomicSetFrame(own, static_cast<GxFrame*>(clump->object.parent));
    GxAtomicSetFrame(plain, static_cast<GxFrame*>(clump->object.parent));
    GxClumpAddAtomic(clump, own);
    GxClumpAddAtomic(clump, plain);
    own->pipeline = pipeline;
    GxPipelineModuleBlock* pipelines = GxPipelineGetModuleBlock();
    ASSERT_NE(pipelines, nullptr);
    GxPipeline* saved = pipelines->currentAtomicPipeline;
    EXPECT_EQ(GxAtomicDefaultRenderCallback(own), own);
    EXPECT_EQ(executed, (std::vector<void*>{own}));
    pipelines->currentAtomicPipeline = pipeline;
    executed.clear();
    EXPECT_EQ(GxClumpRender(clump), clump);
    EXPECT_EQ(executed, (std::vector<void*>{plain, own}));
    failRun = true;
    EXPECT_EQ(GxAtomicDefaultRenderCallback(own), nullptr);
    EXPECT_EQ(GxClumpRender(clump), nullptr);
    pipelines->currentAtomicPipeline = saved;
    GxClumpDestroy(clump);
    GxTestTakeError();
}

TEST_F(Rights, RightsSizeFollowsThePipelinesOwner)
{
    GxAtomic* atomic = GxAtomicCreate();
    EXPECT_EQ(GxAtomicRightsStreamGetSize(atomic, 0, 0), 0);
    atomic->pipeline = pipeline;
    EXPECT_EQ(GxAtomicRightsStreamGetSize(atomic, 0, 0), 0);
    pipeline->ownerPluginId = 0x116;
    EXPECT_EQ(GxAtomicRightsStreamGetSize(atomic, 0, 0), 8);
    // A rights chunk of 4 bytes sets only the plugin id.
    const std::vector<GxUInt8> four = {0x16, 0x01, 0, 0};
    GxStream* stream = GxWorldTestOpen(four);
    EXPECT_EQ(GxAtomicRightsStreamRead(stream, 4, atomic, 0, 0), stream);
    GxStreamClose(stream, nullptr);
    stream = GxWorldTestOpen(four);
    EXPECT_EQ(GxAtomicRightsStreamRead(stream, 2, atomic, 0, 0), nullptr);
    GxStreamClose(stream, nullptr);
    atomic->pipeline = nullptr;
    GxAtomicDestroy(atomic);
    GxTestTakeError();
}
