// Keyframe toolkit: scheme table, interpolator stepping, looping and callbacks, bindings and the animation chunk.
#include <cmath>
#include <cstring>
#include <vector>

#include "gfx/anim/anim_local.h"
#include "gfx/anim/anim_testing.h"

namespace {

// Node n's key k moves along x to 10 x k x (n + 1) and turns by k quarter turns about y.
void FillLinear(GxInt32 node, GxInt32 key, GxAnimStdKeyFrame* frame, void*)
{
    frame->t = {10.0f * static_cast<GxReal>(key * (node + 1)), 0.0f, 0.0f};
}

GxAnimation* Linear(GxInt32 nodes, std::vector<GxReal> times)
{
    return GxAnimStdAnimationBuild(nodes, static_cast<GxInt32>(times.size()), times.data(), FillLinear, nullptr);
}

GxReal NodeX(GxAnimInterpolator* interp, GxInt32 node)
{
    return reinterpret_cast<GxAnimStdInterpFrame*>(GxAnimInterpolatorGetFrame(interp, node))->t.x;
}

GxAnimInterpolator* Counting(GxAnimInterpolator* interp, void* data)
{
    ++*static_cast<int*>(data);
    return interp;
}

GxAnimInterpolator* Once(GxAnimInterpolator*, void* data)
{
    ++*static_cast<int*>(data);
    return nullptr;
}

class KeyframeTest : public AnimTest {};

TEST_F(KeyframeTest, SchemeTableRefusesDuplicatesAndAFullTable)
{
    GxAnimInterpolatorInfo info = *GxAnimGetInterpolatorInfo(gxHANIMSTDKEYFRAMETYPEID);
    EXPECT_FALSE(GxAnimRegisterInterpolatorInfo(&info));
    EXPECT_EQ(GxAnimTestTakeError(), std::make_pair(static_cast<GxInt32>(gxPLUGINANIM), 0));
    for (GxInt32 id = 100; id < 100 + gxANIMMAXSCHEMES - 1; id++) {
        info.typeID = id;
        ASSERT_TRUE(GxAnimRegisterInterpolatorInfo(&info));
    }
    info.typeID = 999;
    EXPECT_FALSE(GxAnimRegisterInterpolatorInfo(&info));
    EXPECT_EQ(GxAnimTestTakeError(), std::make_pair(static_cast<GxInt32>(gxPLUGINANIM), 1));
    EXPECT_EQ(GxAnimationCreate(12345, 2, 0, 1.0f), nullptr);
    EXPECT_EQ(GxAnimTestTakeError().second, gxANIMERRNOSCHEME);
}

TEST_F(KeyframeTest, AdvancesThroughKeysAndLandsOnExactTimes)
{
    GxAnimation* anim = Linear(2, {0.0f, 0.5f, 1.0f});
    ASSERT_NE(anim, nullptr);
    EXPECT_EQ(GxAnimationGetNumNodes(anim), 2);
    EXPECT_EQ(anim->customData, nullptr);
    GxAnimInterpolator* interp = GxAnimInterpolatorCreate(2, sizeof(GxAnimStdInterpFrame));
    ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(interp, anim));
    EXPECT_FLOAT_EQ(NodeX(interp, 1), 0.0f);

    GxAnimInterpolatorAddAnimTime(interp, 0.0f);
    GxAnimInterpolatorAddAnimTime(interp, -1.0f);
    EXPECT_FLOAT_EQ(interp->currentTime, 0.0f);

    GxAnimInterpolatorAddAnimTime(interp, 0.25f);
    EXPECT_FLOAT_EQ(NodeX(interp, 0), 5.0f);
    GxAnimInterpolatorAddAnimTime(interp, 0.5f);  // 0.75: past the middle key
    EXPECT_FLOAT_EQ(NodeX(interp, 0), 15.0f);
    EXPECT_FLOAT_EQ(NodeX(interp, 1), 30.0f);
    int loops = 0;
    GxAnimInterpolatorSetAnimLoopCallback(interp, Counting, &loops);
    GxAnimInterpolatorAddAnimTime(interp, 0.25f);  // exactly the duration: no wrap
    EXPECT_FLOAT_EQ(interp->currentTime, 1.0f);
    EXPECT_FLOAT_EQ(NodeX(interp, 0), 20.0f);
    EXPECT_EQ(loops, 0);
    GxAnimInterpolatorAddAnimTime(interp, 3.25f);  // several durations in one step: one wrap
    EXPECT_EQ(loops, 1);
    EXPECT_NEAR(interp->currentTime, 0.25f, 1e-5f);
    EXPECT_NEAR(NodeX(interp, 1), 10.0f, 1e-3f);
    GxAnimInterpolatorDestroy(interp);
    GxAnimationDestroy(anim);
}

TEST_F(KeyframeTest, TimeCallbackFiresOnlyWhenCrossedAndUninstallsOnNull)
{
    GxAnimation* anim = Linear(1, {0.0f, 1.0f});
    GxAnimInterpolator* interp = GxAnimInterpolatorCreate(1, sizeof(GxAnimStdInterpFrame));
    ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(interp, anim));
    int calls = 0;
    GxAnimInterpolatorSetAnimCallback(interp, Counting, 0.5f, &calls);
    GxAnimInterpolatorAddAnimTime(interp, 0.4f);
    GxAnimInterpolatorAddAnimTime(interp, 0.2f);  // 0.4 -> 0.6
    EXPECT_EQ(calls, 1);
    GxAnimInterpolatorSetCurrentAnim(interp, anim);
    GxAnimInterpolatorAddAnimTime(interp, 0.5f);  // 0 -> 0.5 reaches it
    EXPECT_EQ(calls, 2);
    GxAnimInterpolatorAddAnimTime(interp, 0.2f);  // 0.5 -> 0.7: already there
    EXPECT_EQ(calls, 2);

    int once = 0;
    GxAnimInterpolatorSetAnimCallback(interp, Once, 0.1f, &once);
    GxAnimInterpolatorAddAnimTime(interp, 0.5f);  // wraps to 0.2, crossing 0.1
    GxAnimInterpolatorAddAnimTime(interp, 1.0f);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(interp->pAnimCallBack, nullptr);
    GxAnimInterpolatorDestroy(interp);
    GxAnimationDestroy(anim);
}

TEST_F(KeyframeTest, DegenerateAnimationsEndAndNeverDivideByZero)
{
    // Zero duration with equal key times: the step ends, the pose is finite.
    GxAnimation* still = Linear(1, {0.0f, 0.0f});
    GxAnimInterpolator* interp = GxAnimInterpolatorCreate(1, sizeof(GxAnimStdInterpFrame));
    ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(interp, still));
    int loops = 0;
    GxAnimInterpolatorSetAnimLoopCallback(interp, Counting, &loops);
    GxAnimInterpolatorAddAnimTime(interp, 0.5f);
    EXPECT_EQ(interp->currentTime, 0.0f);
    EXPECT_EQ(loops, 1);
    EXPECT_TRUE(std::isfinite(NodeX(interp, 0)));

    // A duration too small to subtract from the time wraps by remainder, not by endless subtraction.
    GxAnimation* tiny = Linear(1, {0.0f, 1e-30f});
    ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(interp, tiny));
    GxAnimInterpolatorAddAnimTime(interp, 0.3f);
    EXPECT_LE(interp->currentTime, 1e-30f);
    GxAnimationDestroy(tiny);

    // A keyframe that follows no node's current end is passed over instead of searched for forever.
    GxAnimation* odd = Linear(1, {0.0f, 0.5f, 1.0f});
    auto* frames = static_cast<GxAnimStdKeyFrame*>(odd->pFrames);
    frames[2].prevFrame = &frames[0];
    ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(interp, odd));
    GxAnimInterpolatorAddAnimTime(interp, 0.75f);
    EXPECT_EQ(interp->pNextFrame, &frames[3]);
    GxAnimInterpolatorDestroy(interp);
    GxAnimationDestroy(still);
    GxAnimationDestroy(odd);
}

TEST_F(KeyframeTest, BindingRefusesTooFewKeyframesOrBrokenLinks)
{
    GxAnimation* anim = Linear(1, {0.0f, 1.0f});  // two keyframes: one node only
    GxAnimInterpolator* interp = GxAnimInterpolatorCreate(2, sizeof(GxAnimStdInterpFrame));
    EXPECT_FALSE(GxAnimInterpolatorSetCurrentAnim(interp, anim));
    interp->pCurrentAnim = anim;  // set by hand: the step refuses too
    EXPECT_FALSE(GxAnimInterpolatorAddAnimTime(interp, 0.1f));
    GxAnimInterpolatorDestroy(interp);

    GxAnimation* three = Linear(1, {0.0f, 0.5f, 1.0f});
    static_cast<GxAnimStdKeyFrame*>(three->pFrames)[2].prevFrame = nullptr;
    GxAnimInterpolator* one = GxAnimInterpolatorCreate(1, sizeof(GxAnimStdInterpFrame));
    EXPECT_FALSE(GxAnimInterpolatorSetCurrentAnim(one, three));
    GxAnimInterpolator* small = GxAnimInterpolatorCreate(1, sizeof(GxAnimInterpFrameHeader));
    EXPECT_FALSE(GxAnimInterpolatorSetCurrentAnim(small, anim));  // node entries too small for the scheme
    GxAnimTestTakeError();
    GxAnimInterpolatorDestroy(one);
    GxAnimInterpolatorDestroy(small);
    GxAnimationDestroy(anim);
    GxAnimationDestroy(three);
}

std::vector<GxUInt8> Written(const GxAnimation* anim)
{
    return GxWorldTestWrite([&](GxStream* s) { return GxAnimationStreamWrite(anim, s) != 0; });
}

GxAnimation* ReadBack(const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
{
    return GxWorldTestRead<GxAnimation>(bytes, gxID_ANIMANIMATION, GxAnimationStreamRead, length);
}

TEST_F(KeyframeTest, ChunkRoundTripsAndRefusesDamage)
{
    GxAnimation* anim = Linear(2, {0.0f, 0.25f, 1.0f});
    std::vector<GxUInt8> bytes = Written(anim);
    ASSERT_EQ(bytes.size(), gxCHUNKHEADERSIZE + 20u + 6u * gxHANIMSTDKEYFRAMESTREAMSIZE);
    GxAnimation* back = ReadBack(bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(Written(back), bytes);
    EXPECT_EQ(GxAnimationGetNumNodes(back), 2);
    GxAnimationDestroy(back);

    EXPECT_EQ(ReadBack(bytes, bytes.size() - 1), nullptr);  // truncated
    GxAnimTestTakeError();
    std::vector<GxUInt8> version = bytes;
    version[gxCHUNKHEADERSIZE] = 0x01;
    EXPECT_EQ(ReadBack(version), nullptr);
    EXPECT_EQ(GxAnimTestTakeError().second, gxERRNOERROR);

    // Any duration is stored as read; stepping an animation of negative or undefined length still ends.
    for (const GxReal duration : {-1.0f, std::nanf("")}) {
        std::vector<GxUInt8> odd = bytes;
        memcpy(&odd[gxCHUNKHEADERSIZE + 16], &duration, sizeof(duration));
        GxAnimation* read = ReadBack(odd);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(memcmp(&read->duration, &duration, sizeof(duration)), 0);
        GxAnimInterpolator* interp = GxAnimInterpolatorCreate(2, sizeof(GxAnimStdInterpFrame));
        ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(interp, read));
        EXPECT_TRUE(GxAnimInterpolatorAddAnimTime(interp, 0.5f));
        GxAnimInterpolatorDestroy(interp);
        GxAnimationDestroy(read);
    }

    std::vector<GxUInt8> link = bytes;  // last keyframe's link beyond the keyframes
    link[link.size() - 4] = 6 * gxHANIMSTDKEYFRAMESTREAMSIZE;
    GxAnimTestTakeError();
    EXPECT_EQ(ReadBack(link), nullptr);
    EXPECT_EQ(GxAnimTestTakeError().second, gxERRNOERROR);  // damage fails the read with no error of its own

    std::vector<GxUInt8> count = bytes;  // a count the chunk cannot hold is refused before allocating
    count[gxCHUNKHEADERSIZE + 8] = 0xFF;
    count[gxCHUNKHEADERSIZE + 11] = 0x7F;
    EXPECT_EQ(ReadBack(count), nullptr);
    EXPECT_EQ(GxAnimTestTakeError().second, gxERRNOERROR);
    GxAnimationDestroy(anim);
}

// Stores keyframe k's link as `offset`.
void SetLink(std::vector<GxUInt8>& bytes, GxInt32 k, GxUInt32 offset)
{
    const size_t at = gxCHUNKHEADERSIZE + 20 + static_cast<size_t>(k + 1) * gxHANIMSTDKEYFRAMESTREAMSIZE - 4;
    for (int b = 0; b < 4; b++) {
        bytes[at + b] = static_cast<GxUInt8>(offset >> (8 * b));
    }
}

const void* LinkOf(const GxAnimation* anim, GxInt32 k)
{
    return static_cast<const GxAnimKeyFrameHeader*>(GxAnimationGetFrame(anim, k))->prevFrame;
}

TEST_F(KeyframeTest, StoredLinksNameKeyframesByRoundingDown)
{
    for (GxInt32 nodes : {2, 4}) {
        GxAnimation* anim = Linear(nodes, {0.0f, 0.5f, 1.0f});
        std::vector<GxUInt8> bytes = Written(anim);
        for (GxInt32 k = 0; k < nodes; k++) {
            SetLink(bytes, k, 0);  // first keyframes stored with offset 0 link keyframe 0
        }
        // Node 1's last keyframe names its second by an offset inside it.
        SetLink(bytes, 2 * nodes + 1, (nodes + 1) * gxHANIMSTDKEYFRAMESTREAMSIZE + 17);
        GxAnimation* back = ReadBack(bytes);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(LinkOf(back, 0), GxAnimationGetFrame(back, 0));
        EXPECT_EQ(LinkOf(back, 2 * nodes + 1), GxAnimationGetFrame(back, nodes + 1));
        EXPECT_EQ(GxAnimationGetNumNodes(back), 0);  // keyframe 0 following itself: no node count to be had
        EXPECT_EQ(GxAnimationGetNumNodes(anim), nodes);
        GxAnimInterpolator* interp = GxAnimInterpolatorCreate(nodes, sizeof(GxAnimStdInterpFrame));
        ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(interp, back));
        GxAnimInterpolatorAddAnimTime(interp, 0.75f);
        EXPECT_FLOAT_EQ(NodeX(interp, 1), 30.0f);
        GxAnimInterpolatorDestroy(interp);
        SetLink(bytes, 2 * nodes + 1, (nodes + 1) * gxHANIMSTDKEYFRAMESTREAMSIZE);
        EXPECT_EQ(Written(back), bytes);  // offset 0 and rounded links write back as the keyframes they name
        GxAnimationDestroy(back);
        GxAnimationDestroy(anim);
    }
}

// A stream that accepts the chunk header and the animation header, then fails.
GxBool FailAfterHeader(void* data, const void*, GxUInt32 length)
{
    auto* budget = static_cast<GxUInt32*>(data);
    if (length > *budget) {
        return 0;
    }
    *budget -= length;
    return 1;
}

TEST_F(KeyframeTest, WriteReportsAFailedKeyframeWrite)
{
    GxAnimation* anim = Linear(1, {0.0f, 1.0f});
    GxUInt32 budget = gxCHUNKHEADERSIZE + 20;
    GxStreamCustom custom = {nullptr, nullptr, FailAfterHeader, nullptr, &budget};
    GxStream* stream = GxStreamOpen(gxSTREAMCUSTOM, gxSTREAMWRITE, &custom);
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(GxAnimationStreamWrite(anim, stream));
    GxStreamClose(stream, nullptr);
    GxAnimTestTakeError();
    GxAnimationDestroy(anim);
}

}  // namespace
