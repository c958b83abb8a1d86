// UV animation: schemes, material slots and matrices, dictionaries, reference counts and streams.
#include <cmath>
#include <cstring>

#include "gfx/core/plugin.h"
#include "gfx/fx/fx_testing.h"
#include "gfx/fx/uvanim_testing.h"
#include "gfx/world/material.h"
#include "gfx/world/world.h"
#include "gfx/world/world_testing.h"

namespace {

constexpr GxReal kTolerance = 1e-4f;

// A parametric animation of one node on `channel` turning from `from` to `to` radians over one second.
GxAnimation* Turning(const char* name, GxReal from, GxReal to, GxUInt32 channel)
{
    GxAnimation* animation = GxAnimationCreate(gxUVANIMPARAMKEYFRAMETYPEID, 2, 0, 1.0f);
    if (!animation) {
        return nullptr;
    }
    GxUVAnimCustomData* custom = GxUVAnimGetCustomData(animation);
    strncpy(custom->name, name, gxUVANIMNAMELENGTH - 1);
    custom->nodeToUVChannel[0] = channel;
    custom->refCount = 1;
    auto* frames = static_cast<GxUVAnimKeyFrame*>(animation->pFrames);
    const GxReal values[2][gxUVANIMVALUES] = {{from, 1, 1, 0, 0, 0}, {to, 1, 1, 0, 0, 0}};
    for (GxInt32 k = 0; k < 2; k++) {
        frames[k].prevFrame = k ? &frames[0] : nullptr;
        frames[k].time = static_cast<GxReal>(k);
        memcpy(frames[k].uv, values[k], sizeof(values[k]));
    }
    return animation;
}

// A linear animation of one node on `channel` sliding u from 0 to 1 over one second.
GxAnimation* Sliding(const char* name, GxUInt32 channel)
{
    GxAnimation* animation = GxUVAnimCreate(name);
    if (!animation) {
        return nullptr;
    }
    GxUVAnimGetCustomData(animation)->nodeToUVChannel[0] = channel;
    static_cast<GxUVAnimKeyFrame*>(animation->pFrames)[1].uv[4] = 1.0f;
    return animation;
}

std::vector<GxUInt8> WriteDictionary(const GxUVAnimDictionary* dictionary)
{
    return GxWorldTestWrite(
        [dictionary](GxStream* s) { return GxUVAnimDictionaryStreamWrite(dictionary, s) != nullptr; });
}

GxUVAnimDictionary* ReadDictionary(const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
{
    return GxWorldTestRead<GxUVAnimDictionary>(bytes, gxID_UVANIMDICT, GxUVAnimDictionaryStreamRead, length);
}

class UVAnim : public FxTest {};

TEST_F(UVAnim, CreatedAnimationIsANamedIdentity)
{
    GxAnimation* animation = GxUVAnimCreate("a name longer than thirty-two characters in all");
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(strlen(GxUVAnimGetCustomData(animation)->name), 31u);
    EXPECT_EQ(GxAnimationGetNumNodes(animation), 1);
    GxMaterial* material = GxMaterialCreate();
    ASSERT_NE(GxUVAnimMaterialSetAnim(material, 0, animation), nullptr);
    EXPECT_EQ(GxUVAnimGetCustomData(animation)->refCount, 2);
    GxUVAnimMaterialAddTime(material, 0.5f);
    GxUVAnimMaterialApply(material);
    const GxMatrix* m = GxUVAnimMaterialGetUVMatrix(material, 0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(GxUVAnimMaterialGetUVMatrix(material, 1), nullptr);
    EXPECT_FLOAT_EQ(m->right.x, 1.0f);
    EXPECT_FLOAT_EQ(m->up.y, 1.0f);
    EXPECT_FLOAT_EQ(m->pos.x, 0.0f);
    GxUVAnimDestroy(animation);
    GxMaterialDestroy(material);
}

TEST_F(UVAnim, ParametricTurnsTheShortWayAndKeyFrameInitInvertsIt)
{
    const GxReal from = 350.0f / 57.295776f;
    const GxReal to = 10.0f / 57.295776f;
    GxAnimation* animation = Turning("turn", from, to, 1);
    GxMaterial* material = GxMaterialCreate();
    ASSERT_NE(GxUVAnimMaterialSetAnim(material, 2, animation), nullptr);
    GxUVAnimMaterialAddTime(material, 0.5f);
    GxUVAnimMaterialApply(material);
    EXPECT_EQ(GxUVAnimMaterialGetUVMatrix(material, 0), nullptr);
    const GxMatrix* m = GxUVAnimMaterialGetUVMatrix(material, 1);
    ASSERT_NE(m, nullptr);
    // Halfway from 350 to 10 degrees the short way is 0 degrees: the identity, not a half turn.
    EXPECT_NEAR(m->right.x, 1.0f, kTolerance);
    EXPECT_NEAR(m->right.y, 0.0f, kTolerance);
    EXPECT_NEAR(m->pos.x, 0.0f, kTolerance);

    // A turn about the centre reads back as its angle and unit scales.
    GxUVAnimInterpFrame frame = {};
    const GxReal params[gxUVANIMVALUES] = {0.7f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f};
    memcpy(frame.uv, params, sizeof(params));
    GxMatrix built;
    animation->interpInfo->keyFrameToMatrixCB(&built, &frame);
    GxUVAnimKeyFrame back = {};
    GxUVAnimKeyFrameInit(animation, &back, nullptr, 0.0f, &built);
    for (GxInt32 i = 0; i < gxUVANIMVALUES; i++) {
        EXPECT_NEAR(back.uv[i], params[i], kTolerance) << i;
    }
    GxUVAnimDestroy(animation);
    GxMaterialDestroy(material);
}

// Interpolation divides by the keys' time span, backwards spans too; keys at one time step to the second key.
TEST_F(UVAnim, KeysInterpolateByTheirSpanAndEqualTimesStep)
{
    GxAnimation* animation = GxUVAnimCreate("span");
    ASSERT_NE(animation, nullptr);
    GxUVAnimKeyFrame a = {};
    GxUVAnimKeyFrame b = {};
    a.time = 1.0f;
    b.uv[4] = 1.0f;
    GxUVAnimInterpFrame out = {};
    animation->interpInfo->keyFrameInterpolateCB(&out, &a, &b, 0.25f, nullptr);
    EXPECT_FLOAT_EQ(out.uv[4], 0.75f);
    b.time = 1.0f;
    animation->interpInfo->keyFrameInterpolateCB(&out, &a, &b, 1.0f, nullptr);
    EXPECT_FLOAT_EQ(out.uv[4], 1.0f);
    GxUVAnimDestroy(animation);
}

TEST_F(UVAnim, SharedEntriesLiveUntilTheLastHolderGoes)
{
    GxUVAnimDictionary* dictionary = GxUVAnimDictionaryCreate();
    GxAnimation* slide = Sliding("slide", 0);
    ASSERT_NE(GxUVAnimDictionaryAddEntry(dictionary, slide), nullptr);
    GxUVAnimDestroy(slide);
    GxUVAnimSetCurrentDictionary(dictionary);

    GxMaterial* material = GxMaterialCreate();
    ASSERT_NE(GxUVAnimMaterialSetAnim(material, 0, slide), nullptr);
    EXPECT_EQ(GxAnimationStreamGetSize(slide), 20 + 4 + 64 + 2 * 32);
    const std::vector<GxUInt8> bytes =
        GxWorldTestWrite([material](GxStream* s) { return GxMaterialStreamWrite(material, s) != nullptr; });
    GxMaterial* first = GxWorldTestRead<GxMaterial>(bytes, 0x07, GxMaterialStreamRead);
    GxMaterial* second = GxWorldTestRead<GxMaterial>(bytes, 0x07, GxMaterialStreamRead);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    GxMaterial* copy = GxMaterialCreate();
    ASSERT_NE(GxPluginRegistryCopyObject(&gxMaterialTKList, copy, first), nullptr);
    EXPECT_EQ(GxUVAnimMaterialGetInterpolator(first, 0)->pCurrentAnim, slide);
    EXPECT_EQ(GxUVAnimMaterialGetInterpolator(copy, 0)->pCurrentAnim, slide);
    EXPECT_EQ(GxUVAnimGetCustomData(slide)->refCount, 5);

    GxUVAnimMaterialAddTime(second, 0.25f);
    GxUVAnimMaterialApply(second);
    EXPECT_NEAR(GxUVAnimMaterialGetUVMatrix(second, 0)->pos.x, 0.25f, kTolerance);

    GxMaterialDestroy(material);
    GxMaterialDestroy(first);
    GxMaterialDestroy(copy);
    EXPECT_TRUE(GxUVAnimDictionaryDestroy(dictionary));
    EXPECT_EQ(GxUVAnimGetCurrentDictionary(), nullptr);
    EXPECT_EQ(GxUVAnimGetCustomData(slide)->refCount, 1);
    GxUVAnimMaterialApply(second);
    EXPECT_NEAR(GxUVAnimMaterialGetUVMatrix(second, 0)->pos.x, 0.25f, kTolerance);
    GxMaterialDestroy(second);
}

TEST_F(UVAnim, UnknownNameGivesIdentityAndNoSlotWritesNothing)
{
    GxMaterial* plain = GxMaterialCreate();
    const size_t bare =
        GxWorldTestWrite([plain](GxStream* s) { return GxMaterialStreamWrite(plain, s) != nullptr; }).size();
    GxAnimation* slide = Sliding("nowhere", 0);
    GxMaterial* material = GxMaterialCreate();
    GxUVAnimMaterialSetAnim(material, 5, slide);
    GxUVAnimDestroy(slide);
    const std::vector<GxUInt8> bytes =
        GxWorldTestWrite([material](GxStream* s) { return GxMaterialStreamWrite(material, s) != nullptr; });
    EXPECT_EQ(bytes.size(), bare + 12 + 16 + 32);
    GxMaterial* read = GxWorldTestRead<GxMaterial>(bytes, 0x07, GxMaterialStreamRead);
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(GxUVAnimMaterialHasAnimation(read));
    EXPECT_EQ(GxUVAnimMaterialGetInterpolator(read, 0), nullptr);
    GxAnimInterpolator* interp = GxUVAnimMaterialGetInterpolator(read, 5);
    ASSERT_NE(interp, nullptr);
    EXPECT_STREQ(GxUVAnimGetCustomData(interp->pCurrentAnim)->name, "nowhere");
    GxUVAnimMaterialAddTime(read, 0.5f);
    GxUVAnimMaterialApply(read);
    EXPECT_NEAR(GxUVAnimMaterialGetUVMatrix(read, 0)->pos.x, 0.0f, kTolerance);
    EXPECT_FALSE(GxUVAnimMaterialHasAnimation(plain));
    GxMaterialDestroy(read);
    GxMaterialDestroy(material);
    GxMaterialDestroy(plain);
}

TEST_F(UVAnim, DictionariesReadBackIdenticalAndRefuseEveryTruncation)
{
    GxUVAnimDictionary* dictionary = GxUVAnimDictionaryCreate();
    GxAnimation* slide = Sliding("slide", 0);
    GxAnimation* turn = Turning("turn", 0.0f, 1.0f, 1);
    GxUVAnimDictionaryAddEntry(dictionary, slide);
    GxUVAnimDictionaryAddEntry(dictionary, turn);
    GxUVAnimDestroy(slide);
    GxUVAnimDestroy(turn);
    const std::vector<GxUInt8> bytes = WriteDictionary(dictionary);
    ASSERT_EQ(bytes.size(), 12 + GxUVAnimDictionaryStreamGetSize(dictionary));

    GxUVAnimDictionary* read = ReadDictionary(bytes);
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->numEntries, 2);
    EXPECT_EQ(GxUVAnimGetCustomData(read->entries[0])->refCount, 1);
    EXPECT_EQ(GxUVAnimDictionaryFindEntry(read, "turn"), read->entries[1]);
    EXPECT_EQ(GxUVAnimDictionaryFindEntry(read, "tur"), nullptr);
    EXPECT_EQ(WriteDictionary(read), bytes);
    GxUVAnimDictionaryDestroy(read);

    for (size_t length = 0; length < bytes.size(); length++) {
        GxUVAnimDictionary* cut = ReadDictionary(bytes, length);
        EXPECT_EQ(cut, nullptr) << length;
    }
    GxTestTakeError();
    GxUVAnimDictionaryDestroy(dictionary);
}

// Stored links name keyframes as first + index x 32, whichever way they point. An unlinked keyframe 0 is written
// naming keyframe 1, so an animation read back counts the nodes it was written with.
TEST_F(UVAnim, KeyframeLinksNameKeyframesByIndex)
{
    constexpr GxInt32 kNodes = 2;
    GxAnimation* animation = GxAnimationCreate(gxUVANIMLINEARKEYFRAMETYPEID, 2 * kNodes, 0, 1.0f);
    ASSERT_NE(animation, nullptr);
    GxUVAnimCustomData* custom = GxUVAnimGetCustomData(animation);
    strncpy(custom->name, "pair", gxUVANIMNAMELENGTH - 1);
    custom->refCount = 1;
    auto* frames = static_cast<GxUVAnimKeyFrame*>(animation->pFrames);
    for (GxInt32 k = 0; k < 2 * kNodes; k++) {
        frames[k].prevFrame = k < kNodes ? nullptr : &frames[k - kNodes];
        frames[k].time = k < kNodes ? 0.0f : 1.0f;
    }
    ASSERT_EQ(GxAnimationGetNumNodes(animation), kNodes);
    GxUVAnimDictionary* dictionary = GxUVAnimDictionaryCreate();
    GxUVAnimDictionaryAddEntry(dictionary, animation);
    GxUVAnimDestroy(animation);
    std::vector<GxUInt8> bytes = WriteDictionary(dictionary);
    GxUVAnimDictionaryDestroy(dictionary);
    // Keyframe k's link is the last word of its 32 bytes, the keyframes ending the stream.
    const auto linkAt = [&bytes](GxInt32 k) { return bytes.size() - (2 * kNodes - k) * 32 + 28; };
    GxUInt32 firstLink = 0;
    memcpy(&firstLink, &bytes[linkAt(0)], sizeof(firstLink));
    EXPECT_EQ(firstLink, 1u);

    GxUVAnimDictionary* read = ReadDictionary(bytes);
    ASSERT_NE(read, nullptr);
    GxAnimation* back = read->entries[0];
    frames = static_cast<GxUVAnimKeyFrame*>(back->pFrames);
    EXPECT_EQ(GxAnimationGetNumNodes(back), kNodes);
    EXPECT_EQ(frames[2].prevFrame, &frames[0]);
    EXPECT_EQ(frames[3].prevFrame, &frames[1]);
    GxUVAnimDictionaryDestroy(read);

    // Keyframe 0 stored naming itself follows itself; a link to a later keyframe is kept as stored.
    const GxUInt32 self = 0;
    const GxUInt32 later = 3;
    memcpy(&bytes[linkAt(0)], &self, sizeof(self));
    memcpy(&bytes[linkAt(1)], &later, sizeof(later));
    read = ReadDictionary(bytes);
    ASSERT_NE(read, nullptr);
    frames = static_cast<GxUVAnimKeyFrame*>(read->entries[0]->pFrames);
    EXPECT_EQ(frames[0].prevFrame, &frames[0]);
    EXPECT_EQ(frames[1].prevFrame, &frames[3]);
    EXPECT_EQ(GxAnimationGetNumNodes(read->entries[0]), 0);
    GxUVAnimDictionaryDestroy(read);
}

TEST_F(UVAnim, ReadersRefuseHostileCountsLinksAndNames)
{
    GxUVAnimDictionary* dictionary = GxUVAnimDictionaryCreate();
    GxAnimation* slide = Sliding("slide", 0);
    GxUVAnimDictionaryAddEntry(dictionary, slide);
    GxUVAnimDestroy(slide);
    std::vector<GxUInt8> bytes = WriteDictionary(dictionary);
    GxUVAnimDictionaryDestroy(dictionary);

    // An entry count the bytes cannot hold allocates nothing and fails.
    std::vector<GxUInt8> counted = bytes;
    const GxUInt32 huge = 0x10000000;
    memcpy(&counted[24], &huge, sizeof(huge));
    EXPECT_EQ(ReadDictionary(counted), nullptr);

    // A previous-keyframe index past the last keyframe fails the read.
    std::vector<GxUInt8> linked = bytes;
    const size_t lastLink = linked.size() - 4;
    for (const GxUInt32 wild : {2u, 0x7FFFFFFu}) {
        memcpy(&linked[lastLink], &wild, sizeof(wild));
        EXPECT_EQ(ReadDictionary(linked), nullptr) << wild;
    }
    EXPECT_EQ(GxTestTakeErrorCode(), gxUVANIMERRBADDATA);
    GxUVAnimDictionary* read = nullptr;

    // A stored name that fills all 32 bytes is still found, and the comparison stops there.
    std::vector<GxUInt8> named = bytes;
    const size_t nameAt = 28 + 12 + 20 + 4;
    memset(&named[nameAt], 'x', gxUVANIMNAMELENGTH);
    read = ReadDictionary(named);
    ASSERT_NE(read, nullptr);
    const std::string full(gxUVANIMNAMELENGTH, 'x');
    EXPECT_EQ(GxUVAnimDictionaryFindEntry(read, (full + "tail").c_str()), read->entries[0]);
    GxUVAnimDictionaryDestroy(read);

    // A material record naming more slots than it holds fails the material read.
    GxAnimation* anim = Sliding("slide", 0);
    GxMaterial* material = GxMaterialCreate();
    GxUVAnimMaterialSetAnim(material, 0, anim);
    GxUVAnimDestroy(anim);
    std::vector<GxUInt8> record =
        GxWorldTestWrite([material](GxStream* s) { return GxMaterialStreamWrite(material, s) != nullptr; });
    GxMaterialDestroy(material);
    const size_t maskAt = record.size() - 32 - 4;
    const GxUInt32 threeSlots = 0x7;
    memcpy(&record[maskAt], &threeSlots, sizeof(threeSlots));
    EXPECT_EQ(GxWorldTestRead<GxMaterial>(record, 0x07, GxMaterialStreamRead), nullptr);
    for (size_t length = record.size() - 40; length < record.size(); length++) {
        EXPECT_EQ(GxWorldTestRead<GxMaterial>(record, 0x07, GxMaterialStreamRead, length), nullptr) << length;
    }
    GxTestTakeError();
}

}  // namespace
