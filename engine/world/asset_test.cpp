// Asset loading: pools counting references, a model named twice read once, grouping into asset sets,
// chunk groups naming splines, shared resources freed with their last holder, the walk standing at each
// chunk's end whatever its handler read, and the skip of the rest of a chunk.
#include "engine/world/asset.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/testsupport/objects.h"
#include "engine/world/spline.h"
#include "gfx/fx/uvanim_testing.h"
#include "platform/testsupport/debugoutput.h"
#include "platform/win32/winbase.h"

namespace {

std::string g_debugText;
void CaptureDebug(const char* text) { g_debugText += text; }

class Assets : public FerroxObjectTest {
protected:
    void SetUp() override
    {
        FerroxObjectTest::SetUp();
        g_debugText.clear();
        StandInSetDebugOutputHook(CaptureDebug);
        StandInSetDebugOutput(FALSE);
    }
    void TearDown() override
    {
        StandInSetDebugOutputHook(nullptr);
        StandInSetDebugOutput(TRUE);
        sets.clear();
        loader.Release();
        models.Release();
        animations.Release();
        FerroxObjectTest::TearDown();
    }
    FerroxBytes Model(const char* tag = "body")
    {
        GxClump* clump = FerroxTaggedClump({tag});
        FerroxBytes bytes = clump ? FerroxClumpChunk(clump) : FerroxBytes();
        if (clump)
            GxClumpDestroy(clump);
        return bytes;
    }
    // Writes the file under the scratch folder and runs the loader over it; the walk's result.
    int Load(const std::string& name, const FerroxBytes& bytes)
    {
        const std::string path = Path(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteBytes(path, bytes);
        loader.SetTarget(&models, &animations, path.c_str());
        CFerroxStream<CFerroxAssetLoaderHlpr> stream;
        if (!stream.Read(path.c_str(), &CFerroxAssetLoaderHlpr::LoadChunk))
            return -1;
        return stream.Process(&loader);
    }
    // Groups what was loaded and keeps the sets for deletion.
    std::vector<CFerroxAssetSet*> Group()
    {
        loader.GroupAssets();
        std::vector<CFerroxAssetSet*> made;
        for (std::unique_ptr<CFerroxAssetSet>& set : loader.TakeAssetSets()) {
            made.push_back(set.get());
            sets.push_back(std::move(set));
        }
        return made;
    }
    FerroxModelPool models;
    FerroxAnimPool animations;
    CFerroxAssetLoaderHlpr loader;
    std::vector<std::unique_ptr<CFerroxAssetSet>> sets;
};

// Reads a byte of each chunk it is given, then skips the rest.
struct Skipper {
    int Chunk(CFerroxStream<Skipper>* stream)
    {
        GxUInt8 first = 0;
        GxStreamRead(stream->GetStream(), &first, 1);
        skipped.push_back(stream->SkipChunk());
        left.push_back(GxStreamBytesLeft(stream->GetStream()));
        return 1;
    }
    std::vector<int> skipped;
    std::vector<GxUInt32> left;
};

// Counts the skips asked of it.
class CountingStream : public CFerroxStream<Skipper> {
public:
    int SkipChunk() override
    {
        calls++;
        return CFerroxStream<Skipper>::SkipChunk();
    }
    int calls = 0;
};

}  // namespace

TEST_F(Assets, SkipChunkSkipsTheRestOfTheCurrentChunkForTheWalkAndItsHandler)
{
    FerroxBytes file = FerroxChunk(77, FerroxBytes(5, 1));  // unknown: the walk skips it
    FerroxAppend(file, FerroxSplineChunk("a", 4));
    WriteBytes(Path("skip.gxs"), file);
    Skipper skipper;
    CountingStream stream;
    ASSERT_NE(0, stream.Read(Path("skip.gxs").c_str(), &Skipper::Chunk));
    EXPECT_EQ(1, stream.Process(&skipper));
    EXPECT_EQ(2, stream.calls);
    EXPECT_EQ(std::vector<int>{1}, skipper.skipped);
    EXPECT_EQ(std::vector<GxUInt32>{0}, skipper.left);

    // An unknown chunk cut short fails the walk.
    FerroxBytes cut = FerroxSplineChunk("b", 4);
    FerroxAppend(cut, FerroxChunk(77, FerroxBytes(5, 1)));
    cut.resize(cut.size() - 2);
    WriteBytes(Path("cut.gxs"), cut);
    ASSERT_NE(0, stream.Read(Path("cut.gxs").c_str(), &Skipper::Chunk));
    EXPECT_EQ(0, stream.Process(&skipper));
    EXPECT_EQ(2u, skipper.skipped.size());
}

TEST_F(Assets, PoolsCountSharedAssets)
{
    CFerroxComposite* chair = new CFerroxComposite();
    chair->SetName("chair");
    FerroxModelRecord* held = models.AddOrAddRef(new FerroxModelRecord{1, chair}, 1);
    FerroxModelRecord again = {1, chair};
    EXPECT_EQ(held, models.AddOrAddRef(&again, 0));
    EXPECT_EQ(2, held->refCount);
    EXPECT_EQ(1u, models.GetCount());
    EXPECT_EQ("\nFOUND MATCH in asset pool - chair - incrementing ref count\n", g_debugText);
    EXPECT_EQ(held, models.Find("chair"));
    EXPECT_EQ(nullptr, models.Find("chai"));
    // Appending stores the record whatever it holds.
    FerroxModelRecord* second = new FerroxModelRecord{1, new CFerroxComposite()};
    EXPECT_EQ(second, models.AddOrAddRef(second, 1));
    EXPECT_EQ(2u, models.GetCount());
}

TEST_F(Assets, AModelNamedTwiceIsReadOnceAndItsBodySkipped)
{
    // The clump chunk carries bytes past the clump; the spline after it must still be found.
    FerroxBytes clump = Model();
    const GxUInt32 padded = static_cast<GxUInt32>(clump.size() - 12 + 8);
    std::memcpy(clump.data() + 4, &padded, 4);
    clump.insert(clump.end(), 8, 0xAB);
    FerroxBytes file = clump;
    FerroxAppend(file, FerroxGroupStart("slot"));
    FerroxAppend(file, FerroxSplineChunk("x", 5));
    FerroxAppend(file, FerroxGroupEnd());

    EXPECT_EQ(1, Load("shop/table.gxs", file));
    ASSERT_EQ(1u, loader.GetModels().size());
    ASSERT_EQ(1u, loader.GetSplines().size());
    const std::vector<CFerroxAssetSet*> first = Group();
    EXPECT_EQ(1, Load("shop/table.gxs", file));
    // The second naming gets a record of its own on the model read first; the pool keeps both records and
    // frees the model once when it is released.
    EXPECT_EQ(2u, models.GetCount());
    ASSERT_EQ(2u, loader.GetModels().size());
    EXPECT_NE(loader.GetModels()[0], loader.GetModels()[1]);
    EXPECT_EQ(loader.GetModels()[0]->asset, loader.GetModels()[1]->asset);
    EXPECT_EQ(1, loader.GetModels()[0]->refCount);
    EXPECT_EQ(1, loader.GetModels()[1]->refCount);
    EXPECT_EQ(2, loader.GetLoadedCount());
    EXPECT_EQ(2u, loader.GetSplines().size());
    // Each file's sets hold that file's assets only.
    const std::vector<CFerroxAssetSet*> second = Group();
    ASSERT_EQ(1u, second.size());
    EXPECT_EQ(1u, second[0]->GetSplines().size());
    EXPECT_NE(first[0]->GetSplines()[0], second[0]->GetSplines()[0]);
    EXPECT_EQ("shop", std::string(loader.GetFolderName()));
}

// A clump or animation whose chunk does not read is no asset: nothing joins the loader or the pools, and the walk
// goes on to the next chunk.
TEST_F(Assets, ChunksThatDoNotReadMakeNoRecord)
{
    FerroxBytes file = FerroxChunk(kFerroxChunkClump, FerroxBytes(16, 0xEE));
    FerroxAppend(file, FerroxGroupStart("walk"));
    FerroxAppend(file, FerroxChunk(kFerroxChunkAnimation, FerroxBytes(16, 0xEE)));
    FerroxAppend(file, FerroxSplineChunk("x", 4));
    FerroxAppend(file, FerroxGroupEnd());
    EXPECT_EQ(1, Load("shop/broken.gxs", file));
    EXPECT_TRUE(loader.GetModels().empty());
    EXPECT_TRUE(loader.GetAnimations().empty());
    EXPECT_EQ(0, loader.GetLoadedCount());
    EXPECT_EQ(0u, models.GetCount());
    EXPECT_EQ(0u, animations.GetCount());
    EXPECT_EQ(1u, loader.GetSplines().size());
}

TEST_F(Assets, ChunkGroupsNameTheirSplines)
{
    FerroxBytes file = FerroxGroupStart("outer");
    FerroxAppend(file, FerroxGroupStart("inner"));
    FerroxAppend(file, FerroxSplineChunk("a", 4));
    FerroxAppend(file, FerroxGroupEnd());
    FerroxAppend(file, FerroxSplineChunk("b", 4));
    FerroxAppend(file, FerroxChunk(77, FerroxBytes(5, 1)));  // unknown: skipped
    FerroxAppend(file, FerroxGroupEnd());
    FerroxAppend(file, FerroxSplineChunk("c", 6));
    EXPECT_EQ(1, Load("splines.gxs", file));
    ASSERT_EQ(3u, loader.GetSplines().size());
    const char* expected[] = {"inner", "outer", ""};
    for (size_t i = 0; i < 3; i++) {
        const char* name = loader.GetSplines()[i]->GetName();
        EXPECT_STREQ(expected[i], name ? name : "") << i;
    }
    // A chunk cut short ends the walk as a failure; what came before stays.
    FerroxBytes cut = FerroxSplineChunk("d", 4);
    cut.resize(cut.size() - 3);
    FerroxBytes broken = FerroxSplineChunk("e", 4);
    FerroxAppend(broken, cut);
    EXPECT_EQ(0, Load("cut.gxs", broken));
    EXPECT_EQ(4u, loader.GetSplines().size());
    CFerroxStream<CFerroxAssetLoaderHlpr> none;
    EXPECT_EQ(0, none.Read(Path("missing.gxs").c_str(), &CFerroxAssetLoaderHlpr::LoadChunk));
    EXPECT_EQ(0, none.Process(&loader));
}

TEST_F(Assets, ModelsAreGroupedByTheirLevelNames)
{
    ASSERT_EQ(1, Load("shop/chairLOD_0", Model()));
    ASSERT_EQ(1, Load("shop/table", Model()));
    ASSERT_EQ(1, Load("shop/chairLOD_1", Model()));
    std::vector<CFerroxAssetSet*> grouped = Group();
    // Without animations: one set of the stand-alone models; the level group is in none.
    ASSERT_EQ(1u, grouped.size());
    ASSERT_EQ(1u, grouped[0]->GetModels().size());
    EXPECT_NE(nullptr, std::strstr(grouped[0]->GetModels()[0]->asset->GetName(), "table"));
    EXPECT_NE(nullptr, grouped[0]->GetPtrList());
    // Level models alone still make that one set, empty.
    ASSERT_EQ(1, Load("shop/lampLOD_0", Model()));
    grouped = Group();
    ASSERT_EQ(1u, grouped.size());
    EXPECT_TRUE(grouped[0]->GetModels().empty());

    // With an animation: one set per stand-alone model in load order, then one per level group, each with
    // the animation.
    FerroxBytes walk = FerroxGroupStart("man_walk");
    FerroxAppend(walk, FerroxAnimationChunk(1.0f));
    FerroxAppend(walk, FerroxGroupEnd());
    ASSERT_EQ(1, Load("people/a", Model()));
    ASSERT_EQ(1, Load("people/manLOD_0", Model()));
    ASSERT_EQ(1, Load("people/b", Model()));
    ASSERT_EQ(1, Load("people/manLOD_1", Model()));
    ASSERT_EQ(1, Load("people/walk", walk));
    grouped = Group();
    ASSERT_EQ(3u, grouped.size());
    const char* firsts[] = {"people/a", "people/b", "people/manLOD_0"};
    const size_t sizes[] = {1, 1, 2};
    for (size_t i = 0; i < grouped.size(); i++) {
        ASSERT_EQ(1u, grouped[i]->GetAnimations().size()) << i;
        EXPECT_STREQ("man_walk", grouped[i]->GetAnimations()[0]->asset->GetName());
        ASSERT_EQ(sizes[i], grouped[i]->GetModels().size()) << i;
        EXPECT_NE(nullptr, std::strstr(grouped[i]->GetModels()[0]->asset->GetName(), firsts[i])) << i;
    }
    // A second animation of the same name is not read again: a new record points to the first.
    ASSERT_EQ(1, Load("people/again", walk));
    ASSERT_EQ(2u, animations.GetCount());
    EXPECT_EQ(animations.GetRecord(0)->asset, animations.GetRecord(1)->asset);
    EXPECT_EQ(1, animations.GetRecord(0)->refCount);
    EXPECT_EQ(1, animations.GetRecord(1)->refCount);
}

TEST_F(Assets, SharedResourcesOutliveTheLoaderAndAllButTheirLastSet)
{
    GxUVAnimDictionary* empty = GxUVAnimDictionaryCreate();
    ASSERT_NE(nullptr, empty);
    const FerroxBytes dictionary =
        GxWorldTestWrite([empty](GxStream* s) { return GxUVAnimDictionaryStreamWrite(empty, s) != nullptr; });
    GxUVAnimDictionaryDestroy(empty);
    FerroxBytes file = Model();
    FerroxAppend(file, dictionary);
    FerroxAppend(file, FerroxSplineChunk("path", 4));
    // With an animation each model makes a set of its own.
    FerroxAppend(file, FerroxGroupStart("sit"));
    FerroxAppend(file, FerroxAnimationChunk(1.0f));
    FerroxAppend(file, FerroxGroupEnd());
    ASSERT_EQ(1, Load("x/bench", file));
    ASSERT_EQ(1, Load("x/table", Model()));
    ASSERT_NE(nullptr, loader.GetUVAnimDictionary());
    std::vector<CFerroxAssetSet*> grouped = Group();
    ASSERT_EQ(2u, grouped.size());
    GxUVAnimDictionary* shared = grouped[0]->GetUVAnimDictionary();
    ASSERT_NE(nullptr, shared);
    EXPECT_EQ(shared, grouped[1]->GetUVAnimDictionary());
    CFerroxSpline* path = grouped[1]->GetSplines().at(0);
    EXPECT_EQ(path, grouped[0]->GetSplines().at(0));
    CFerroxComposite* bench = grouped[0]->GetModels().at(0)->asset;

    // The loader lets go of its holds only; the pool keeps its models.
    loader.Release();
    sets.erase(sets.begin());
    EXPECT_EQ(4, path->GetPointCount());
    EXPECT_EQ(shared, grouped[1]->GetUVAnimDictionary());
    EXPECT_EQ(shared, GxUVAnimGetCurrentDictionary());
    EXPECT_NE(nullptr, bench->GetClump());
    EXPECT_EQ(2u, models.GetCount());
    // The last set frees them, and the dictionary stops being current.
    grouped[1]->Release();
    EXPECT_EQ(nullptr, GxUVAnimGetCurrentDictionary());
    EXPECT_EQ(nullptr, grouped[1]->GetUVAnimDictionary());
    EXPECT_TRUE(grouped[1]->GetSplines().empty());
}
