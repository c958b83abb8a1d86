// Head variants on the character files: tagged under the head bone, the rest of the file still readable, the body's
// texture kept, files that are not characters (or are dressed already) left alone, and damaged bytes refused.
#include "tools/content/dress_writer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/world/asset.h"
#include "engine/world/composite.h"
#include "gfx/core/bytes.h"
#include "gfx/core/frame.h"
#include "gfx/core/texture.h"
#include "tools/content/model_testing.h"

namespace {

namespace fs = std::filesystem;

std::vector<GxUInt8> ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<GxUInt8>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class DressWriter : public ContentCharacterTest {};

struct Tagged {
    std::vector<std::string> tags;
    std::vector<std::string> shown;
    GxInt32 headID;
    std::vector<GxInt32> handIDs;
    bool underHead = true;
    bool bagsInHands = true;
};

GxAtomic* CollectTag(GxAtomic* atomic, void* data)
{
    auto* tagged = static_cast<Tagged*>(data);
    auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    if (GxFrameGetUserDataArrayCount(frame) > 0) {
        tagged->tags.emplace_back(GxUserDataArrayGetString(GxFrameGetUserDataArray(frame, 0), 0));
        if (atomic->object.object.flags & gxATOMICRENDER) {
            tagged->shown.push_back(tagged->tags.back());
        }
        const std::string& tag = tagged->tags.back();
        const GxInt32 parent = GxFrameGetNodeID(GxFrameGetParent(frame));
        if (tag.compare(0, 4, "head") == 0)
            tagged->underHead = tagged->underHead && parent == tagged->headID;
        else
            tagged->bagsInHands = tagged->bagsInHands && std::find(tagged->handIDs.begin(), tagged->handIDs.end(),
                                                                   parent) != tagged->handIDs.end();
    }
    return atomic;
}

// The texture names of every material of the clump ("" for an untextured one).
std::vector<std::string> TextureNames(GxClump* clump)
{
    std::vector<std::string> names;
    GxClumpForAllAtomics(
        clump,
        [](GxAtomic* atomic, void* data) -> GxAtomic* {
            const GxGeometry* geometry = atomic->geometry;
            for (GxInt32 m = 0; m < geometry->matList.numMaterials; m++) {
                const GxTexture* texture = geometry->matList.materials[m]->texture;
                static_cast<std::vector<std::string>*>(data)->push_back(texture ? texture->name : "");
            }
            return atomic;
        },
        &names);
    return names;
}

}  // namespace

TEST_F(DressWriter, DressedCharactersKeepTheirBodyTextureWhenLoadedAsTheGameLoadsThem)
{
    const fs::path person = dir / "person.gxs";
    ASSERT_TRUE(ContentHumanoidFileWrite(person.string().c_str(), kContentTestPlan));
    auto clothed = [](GxClump* clump) {
        const std::vector<std::string> names = TextureNames(clump);
        return std::count(names.begin(), names.end(), "hum_cloth");
    };
    long undressed = 0;
    const long heads = static_cast<long>(std::size(CONTENTHEADVARIANTS));
    const long bags = static_cast<long>(std::size(CONTENTBAGS));
    {
        CFerroxComposite model;
        ASSERT_EQ(1, model.Load({"person", person.string().c_str()}));
        undressed = clothed(model.GetClump());
        ASSERT_LT(0, undressed);
    }
    std::string detail;
    ASSERT_TRUE(ContentDressCharacters(dir.string(), &detail)) << detail;

    // Through the templates' asset loader.
    FerroxModelPool models;
    FerroxAnimPool animations;
    {
        CFerroxAssetLoaderHlpr loader;
        loader.SetTarget(&models, &animations, person.string().c_str());
        CFerroxStream<CFerroxAssetLoaderHlpr> stream;
        ASSERT_TRUE(stream.Read(person.string().c_str(), &CFerroxAssetLoaderHlpr::LoadChunk));
        EXPECT_EQ(1, stream.Process(&loader));
        loader.GroupAssets();
        const std::vector<std::unique_ptr<CFerroxAssetSet>> sets = loader.TakeAssetSets();
        ASSERT_EQ(1u, sets.size());
        ASSERT_EQ(1u, sets[0]->GetModels().size());
        // Every textured part of the body keeps its texture, and the heads and bags wear it too (drawn like the
        // body, they change no texture or combiner state between the two).
        EXPECT_EQ(undressed + heads + bags, clothed(sets[0]->GetModels()[0]->asset->GetClump()));
        // A character's own copy, made when another file's dictionary is current.
        GxTexDictionary* other = GxTexDictionaryCreate();
        ASSERT_NE(nullptr, other);
        GxTexDictionarySetCurrent(other);
        CFerroxComposite own;
        const FerroxLODSetup setup = {"person", nullptr, &sets[0]->GetModels(), 0, nullptr, nullptr};
        ASSERT_EQ(1, own.SetupLOD(&setup));
        EXPECT_EQ(undressed + heads + bags, clothed(own.GetClump()));
        own.Release();
        GxTexDictionaryDestroy(other);
    }
    // Through the composite model's file reader.
    CFerroxComposite model;
    ASSERT_EQ(1, model.Load({"person", person.string().c_str()}));
    EXPECT_EQ(undressed + heads + bags, clothed(model.GetClump()));
}

// What a character wears is skinned to the bone it hangs from, with as many weights per vertex as the body at each
// level of detail: drawn through the body's pipeline with the body's generated shader, near and far.
TEST_F(DressWriter, WornPartsAreSkinnedToTheirBoneLikeTheBodyAtEveryLevel)
{
    const fs::path person = dir / "person.gxs";
    ASSERT_TRUE(ContentHumanoidFileWrite(person.string().c_str(), kContentTestPlan));
    std::string detail;
    ASSERT_TRUE(ContentDressCharacters(dir.string(), &detail)) << detail;
    CFerroxComposite model;
    ASSERT_EQ(1, model.Load({"person", person.string().c_str()}));
    GxInt32 ids[CONTENTHUMANOIDBONES];
    GxInt32 flags[CONTENTHUMANOIDBONES];
    ContentHumanoidNodes(ids, flags);
    std::vector<GxAtomic*> atomics;
    GxClumpForAllAtomics(
        model.GetClump(),
        [](GxAtomic* atomic, void* data) {
            static_cast<std::vector<GxAtomic*>*>(data)->push_back(atomic);
            return atomic;
        },
        &atomics);
    auto weights = [](const GxGeometry* geometry) {
        const GxSkin* skin = geometry ? GxSkinGeometryGetSkin(geometry) : nullptr;
        return skin ? skin->maxNumWeightsForVertex : 0u;
    };
    auto bodyIt = std::find_if(atomics.begin(), atomics.end(), [](GxAtomic* a) {
        return GxFrameGetUserDataArrayCount(static_cast<GxFrame*>(a->object.object.parent)) == 0;
    });
    ASSERT_NE(atomics.end(), bodyIt);
    GxLODAtomicRecord* body = GxLODAtomicGetRecord(*bodyIt);
    ASSERT_NE(nullptr, body);
    GxInt32 farLevel = gxLODATOMICMAXLEVELS - 1;
    while (farLevel > 0 && body->geometry[farLevel] == nullptr) {
        farLevel--;
    }
    ASSERT_LT(0, farLevel);
    ASSERT_NE(weights((*bodyIt)->geometry), weights(body->geometry[farLevel])) << "the two levels tell apart";
    int parts = 0;
    for (GxAtomic* atomic : atomics) {
        auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
        if (atomic == *bodyIt) {
            continue;
        }
        parts++;
        const GxLODAtomicRecord* levels = GxLODAtomicGetRecord(atomic);
        ASSERT_NE(nullptr, levels);
        EXPECT_EQ(weights((*bodyIt)->geometry), weights(atomic->geometry));
        EXPECT_EQ(weights(body->geometry[farLevel]), weights(levels->geometry[farLevel]));
        // Every vertex on the bone of the frame the part hangs from, at full weight; the part's frame sits on the
        // bone, and the bone's skin-to-bone matrix is the identity: skinned, it lies where it lay as a rigid part.
        const GxInt32 node = GxFrameGetNodeID(GxFrameGetParent(frame));
        const GxInt32 bone = static_cast<GxInt32>(std::find(ids, ids + CONTENTHUMANOIDBONES, node) - ids);
        ASSERT_LT(bone, CONTENTHUMANOIDBONES);
        EXPECT_GT(1e-6f, GxMatrixIdentityError(GxFrameGetMatrix(frame)));
        for (const GxGeometry* geometry : {atomic->geometry, levels->geometry[farLevel]}) {
            const GxSkin* skin = GxSkinGeometryGetSkin(geometry);
            EXPECT_GT(1e-6f, GxMatrixIdentityError(&skin->skinToBoneMatrices[bone]));
            for (GxUInt32 v = 0; v < skin->numVertices; v++) {
                ASSERT_EQ(static_cast<GxUInt32>(bone), skin->vertexBoneIndices[v] & 0xFF);
                ASSERT_EQ(1.0f, skin->vertexBoneWeights[v * gxSKINMAXWEIGHTS]);
            }
        }
    }
    EXPECT_EQ(5, parts) << "three heads and two bags";
}

TEST_F(DressWriter, CharactersGetThreeHeadsAndTwoHiddenBagsAndKeepTheRest)
{
    const fs::path person = dir / "person.gxs";
    const fs::path other = dir / "other.gxs";
    ASSERT_TRUE(ContentHumanoidFileWrite(person.string().c_str(), kContentTestPlan));
    std::ofstream(other, std::ios::binary) << "not a model";
    std::string detail;
    ASSERT_TRUE(ContentDressCharacters(dir.string(), &detail)) << detail;
    const std::vector<GxUInt8> untouched = ReadBytes(other);
    EXPECT_EQ("not a model", std::string(untouched.begin(), untouched.end()));

    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, person.string().c_str());
    ASSERT_NE(nullptr, stream);
    ASSERT_TRUE(GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr));
    GxClump* clump = GxClumpStreamRead(stream);
    ASSERT_NE(nullptr, clump);
    GxInt32 ids[CONTENTHUMANOIDBONES];
    GxInt32 flags[CONTENTHUMANOIDBONES];
    ContentHumanoidNodes(ids, flags);
    Tagged tagged;
    tagged.headID = ids[4];
    tagged.handIDs = {ids[7], ids[10]};
    GxClumpForAllAtomics(clump, CollectTag, &tagged);
    std::sort(tagged.tags.begin(), tagged.tags.end());
    EXPECT_EQ((std::vector<std::string>{"bagr", "bagy", "head1", "head2", "head3"}), tagged.tags);
    EXPECT_TRUE(tagged.underHead);
    EXPECT_TRUE(tagged.bagsInHands);
    EXPECT_EQ(std::vector<std::string>{"head1"}, tagged.shown)
        << "one head drawn until a character chooses, no bags until a purchase";
    GxClumpDestroy(clump);
    // The animation groups after the clump still read.
    size_t animations = 0;
    while (GxStreamFindChunk(stream, gxID_ANIMANIMATION, nullptr, nullptr)) {
        GxAnimation* animation = GxAnimationStreamRead(stream);
        ASSERT_NE(nullptr, animation);
        GxAnimationDestroy(animation);
        animations++;
    }
    GxStreamClose(stream, nullptr);
    EXPECT_EQ(ContentHumanoidAnimationNames().size(), animations);

    // Every entry of the table of contents still points at a chunk of its type.
    const std::vector<GxUInt8> bytes = ReadBytes(person);
    const GxUInt32 entries = GxBytesGetU32(&bytes[12]);
    for (GxUInt32 i = 0; i < entries; i++) {
        const GxUInt8* entry = &bytes[16 + i * gxTOCENTRYSIZE];
        ASSERT_LT(GxBytesGetU32(entry + 8), bytes.size());
        EXPECT_EQ(GxBytesGetU32(entry), GxBytesGetU32(&bytes[GxBytesGetU32(entry + 8)]));
    }

    // A second pass finds the heads there and leaves the file as it is.
    ASSERT_TRUE(ContentDressCharacters(dir.string(), &detail)) << detail;
    EXPECT_EQ(bytes, ReadBytes(person));
}

TEST_F(DressWriter, DamagedFilesAreRefused)
{
    const fs::path person = dir / "person.gxs";
    ASSERT_TRUE(ContentHumanoidFileWrite(person.string().c_str(), kContentTestPlan));
    const std::vector<GxUInt8> bytes = ReadBytes(person);
    ASSERT_FALSE(ContentDressCharacterBytes(bytes).empty());
    // Cut anywhere up to the clump's end; what follows the clump is carried over as it is.
    const GxUInt32 clumpAt = GxBytesGetU32(&bytes[16 + gxTOCENTRYSIZE + 8]);
    const size_t clumpEnd = clumpAt + 12 + GxBytesGetU32(&bytes[clumpAt + 4]);
    for (size_t length = 0; length < clumpEnd; length += clumpEnd / 40 + 1) {
        EXPECT_TRUE(ContentDressCharacterBytes(std::vector<GxUInt8>(bytes.begin(), bytes.begin() + length)).empty())
            << "cut at " << length;
        GxTestTakeError();
    }
    // A table of contents pointing past the end, or at something other than a clump.
    std::vector<GxUInt8> broken = bytes;
    GxBytesPutU32(&broken[16 + gxTOCENTRYSIZE + 8], static_cast<GxUInt32>(bytes.size()));
    EXPECT_TRUE(ContentDressCharacterBytes(broken).empty());
    broken = bytes;
    GxBytesPutU32(&broken[16 + gxTOCENTRYSIZE + 8], 0);
    EXPECT_TRUE(ContentDressCharacterBytes(broken).empty());
    // An images dictionary that claims a second texture runs into the clump: dressing would drop the body's texture.
    broken = bytes;
    const GxUInt32 dictionaryAt = GxBytesGetU32(&bytes[16 + 8]);
    ASSERT_EQ(gxID_IMAGEDICTIONARY, GxBytesGetU32(&bytes[dictionaryAt]));
    broken[dictionaryAt + 12] = 2;
    EXPECT_TRUE(ContentDressCharacterBytes(broken).empty());
    GxTestTakeError();
}
