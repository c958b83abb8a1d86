// Tests of frame hierarchies, the dirty list and synchronisation, cloning and the frame-list chunk.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/frame.h"
#include "gfx/core/frame_local.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/plugin.h"
#include "gfx/core/stream.h"
#include "gfx/testsupport/engine_gtest.h"

namespace {

// Live blocks carrying the frame module's id (0x0E).
long LiveFrameBlocks() { return GxTestLiveBlocks(0xFFFF, 0x0E); }

// A frame extension: a tag that streams as 4 bytes, plus counters.
constexpr GxUInt32 kTestPluginID = 0x7F01;
struct TestExtension {
    GxInt32 tag;
    GxInt32 copies;
};
GxInt32 extensionOffset = -1;
GxInt32 constructorCalls = 0;
GxInt32 failConstructorAt = -1;   // the nth constructor call fails
std::vector<GxInt32> copiedTags;  // the source tags the copy callback saw, in order
bool failExtensionRead = false;

TestExtension* Ext(GxFrame* frame)
{
    return reinterpret_cast<TestExtension*>(reinterpret_cast<char*>(frame) + extensionOffset);
}

void* ExtConstruct(void* object, GxInt32 offset, GxInt32)
{
    if (constructorCalls++ == failConstructorAt) {
        return nullptr;
    }
    auto* ext = reinterpret_cast<TestExtension*>(static_cast<char*>(object) + offset);
    ext->tag = 0;
    ext->copies = 0;
    return object;
}

void* ExtCopy(void* dst, const void* src, GxInt32 offset, GxInt32)
{
    auto* to = reinterpret_cast<TestExtension*>(static_cast<char*>(dst) + offset);
    const auto* from = reinterpret_cast<const TestExtension*>(static_cast<const char*>(src) + offset);
    to->tag = from->tag;
    to->copies = from->copies + 1;
    copiedTags.push_back(from->tag);
    return dst;
}

GxStream* ExtRead(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32)
{
    auto* ext = reinterpret_cast<TestExtension*>(static_cast<char*>(object) + offset);
    if (failExtensionRead || length != 4 || GxStreamRead(stream, &ext->tag, 4) != 4) {
        return nullptr;
    }
    return stream;
}

GxStream* ExtWrite(GxStream* stream, GxInt32, const void* object, GxInt32 offset, GxInt32)
{
    const auto* ext = reinterpret_cast<const TestExtension*>(static_cast<const char*>(object) + offset);
    return GxStreamWrite(stream, &ext->tag, 4);
}

GxInt32 ExtSize(const void* object, GxInt32 offset, GxInt32)
{
    const auto* ext = reinterpret_cast<const TestExtension*>(static_cast<const char*>(object) + offset);
    return ext->tag != 0 ? 4 : 0;
}

// Counts every call of the matrix product routine.
GxInt32 multiplies = 0;
GxMatrix* CountingMultiply(GxMatrix* dst, const GxMatrix* a, const GxMatrix* b)
{
    multiplies++;
    return GxMatrixMultiplyX87(dst, a, b);
}

// An object attached to a frame whose sync callback counts calls.
struct TestObject {
    GxFramedObject framed;
    GxInt32 syncs = 0;
    GxFrame* dirtyOnSync = nullptr;
};

GxFramedObject* TestSync(GxFramedObject* object)
{
    auto* test = reinterpret_cast<TestObject*>(object);
    test->syncs++;
    if (test->dirtyOnSync != nullptr) {
        GxFrameSetDirty(test->dirtyOnSync);
    }
    return object;
}

void Attach(TestObject* object, GxFrame* frame)
{
    std::memset(&object->framed, 0, sizeof(object->framed));
    object->framed.object.type = gxOBJECTTYPEATOMIC;
    object->framed.sync = TestSync;
    GxObjectSetFrame(&object->framed, frame);
}

std::vector<GxFrame*> DirtyRoots()
{
    std::vector<GxFrame*> roots;
    GxLink* head = &GxEngineInstance->dirtyFrameList;
    for (GxLink* l = head->next; l != head; l = l->next) {
        roots.push_back(GxLinkGetData(l, GxFrame, inDirtyListLink));
    }
    return roots;
}

GxUInt8 Flags(const GxFrame* frame) { return frame->object.privateFlags; }

// The engine started with a registered frame extension. Free lists are off so
// every frame is its own counted block.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        constructorCalls = 0;
        failConstructorAt = -1;
        failExtensionRead = false;
        multiplies = 0;
        GxTestEngineSetup setup = GxTestRecordingSetup([] {
            extensionOffset =
                GxFrameRegisterPlugin(sizeof(TestExtension), kTestPluginID, ExtConstruct, nullptr, ExtCopy);
            return extensionOffset >= static_cast<GxInt32>(sizeof(GxFrame)) &&
                   GxFrameRegisterPluginStream(kTestPluginID, ExtRead, ExtWrite, ExtSize) >= 0;
        });
        setup.memory = GxTestMemoryReset();
        setup.initFlags = 1;
        engine.emplace(setup);
        GX_ASSERT_ENGINE_STARTED(*engine);
    }
    void TearDown() override { engine.reset(); }
    std::optional<GxTestEngine> engine;

    GxFrame* NewFrame(float x = 0.0f)
    {
        GxFrame* frame = GxFrameCreate();
        EXPECT_NE(frame, nullptr);
        if (x != 0.0f) {
            const GxV3d t = {x, 0.0f, 0.0f};
            GxFrameTranslate(frame, &t, gxCOMBINEREPLACE);
        }
        return frame;
    }

    // root with children A, B (A first), A1 under A, B1 under B.
    void BuildTree(GxFrame** f)
    {
        for (int i = 0; i < 5; i++) {
            f[i] = NewFrame(float(i + 1));
            Ext(f[i])->tag = 100 + i;
        }
        GxFrameAddChild(f[0], f[2]);
        GxFrameAddChild(f[0], f[1]);
        GxFrameAddChild(f[1], f[3]);
        GxFrameAddChild(f[2], f[4]);
    }

    std::vector<GxUInt8> WriteList(GxFrame* root)
    {
        GxFrameList list;
        EXPECT_NE(GxFrameListInitialize(&list, root), nullptr);
        GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
        EXPECT_NE(GxFrameListStreamWrite(&list, stream), nullptr);
        std::vector<GxUInt8> bytes = GxTestCloseWriteStream(stream);
        GxFrameListDeinitialize(&list);
        return bytes;
    }

    // Finds the frame-list chunk, then reads the list as a clump would.
    GxFrameList* ReadList(const std::vector<GxUInt8>& bytes, GxFrameList* list)
    {
        GxMemory memory = {const_cast<GxUInt8*>(bytes.data()), static_cast<GxUInt32>(bytes.size())};
        GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
        GxFrameList* result = nullptr;
        if (stream != nullptr && GxStreamFindChunk(stream, 0x0E, nullptr, nullptr)) {
            result = GxFrameListStreamRead(stream, list);
        }
        if (stream != nullptr) {
            GxStreamClose(stream, nullptr);
        }
        return result;
    }
};

TEST_F(FrameTest, NewFrameIsAnUnlistedIdentityRoot)
{
    GxFrame* frame = NewFrame();
    EXPECT_EQ(frame->object.type, gxOBJECTTYPEFRAME);
    EXPECT_EQ(GxFrameGetRoot(frame), frame);
    EXPECT_EQ(GxFrameGetParent(frame), nullptr);
    EXPECT_EQ(frame->modelling.flags, 0x20003u);
    EXPECT_EQ(GxFrameGetWorldMatrix(frame)->flags, 0x20003u);
    EXPECT_EQ(GxFrameIsDirty(frame), 0);
    EXPECT_TRUE(DirtyRoots().empty());
    EXPECT_EQ(constructorCalls, 1);
    EXPECT_TRUE(GxFrameDestroy(frame));
    EXPECT_EQ(LiveFrameBlocks(), 0);
}

TEST_F(FrameTest, WorldMatricesAreComputedOnceAndMatchTheParentChain)
{
    GxFrame* root = NewFrame();
    GxFrame* child = NewFrame();
    GxFrame* grandChild = NewFrame();
    GxFrameAddChild(root, child);
    GxFrameAddChild(child, grandChild);
    const GxV3d axis = {0.0f, 1.0f, 0.0f};
    const GxV3d t1 = {1.0f, 2.0f, 3.0f};
    const GxV3d t2 = {0.0f, 0.0f, 5.0f};
    GxFrameRotate(root, &axis, 90.0f, gxCOMBINEREPLACE);
    GxFrameTranslate(child, &t1, gxCOMBINEREPLACE);
    GxFrameTranslate(grandChild, &t2, gxCOMBINEREPLACE);
    GxFrameSyncDirty();

    GxMatrixSetMultiplyFunction(CountingMultiply);
    GxFrameTranslate(child, &t1, gxCOMBINEPOSTCONCAT);
    GxFrameTranslate(child, &t1, gxCOMBINEPOSTCONCAT);
    ASSERT_EQ(DirtyRoots(), std::vector<GxFrame*>{root});
    EXPECT_EQ(Flags(root) & 0x03, 0x03);
    EXPECT_EQ(Flags(child) & 0x0C, 0x0C);
    GxFrameSyncDirty();
    // The child and the grandchild below it, each once.
    EXPECT_EQ(multiplies, 2);
    EXPECT_TRUE(DirtyRoots().empty());
    EXPECT_EQ(Flags(root) & 0x0F, 0);
    EXPECT_EQ(Flags(child) & 0x0C, 0);

    // The root turns +z into +x: the grandchild at child (3, 6, 9) + (0, 0, 5) in root space.
    const GxMatrix* world = GxFrameGetWorldMatrix(grandChild);
    EXPECT_NEAR(world->pos.x, 14.0f, 1e-3);
    EXPECT_NEAR(world->pos.y, 6.0f, 1e-3);
    EXPECT_NEAR(world->pos.z, -3.0f, 1e-3);
    EXPECT_EQ(multiplies, 2);
    GxMatrixSetMultiplyFunction(nullptr);
    GxFrameDestroyHierarchy(root);
    EXPECT_EQ(LiveFrameBlocks(), 0);
}

TEST_F(FrameTest, WorldMatrixOnDemandKeepsObjectsPendingUntilSync)
{
    GxFrame* root = NewFrame();
    GxFrame* child = NewFrame();
    GxFrame* grandChild = NewFrame();
    GxFrameAddChild(root, child);
    GxFrameAddChild(child, grandChild);
    TestObject onRoot;
    TestObject onGrandChild;
    Attach(&onRoot, root);
    Attach(&onGrandChild, grandChild);
    GxFrameSyncDirty();
    onRoot.syncs = onGrandChild.syncs = 0;

    const GxV3d t = {2.0f, 0.0f, 0.0f};
    GxFrameTranslate(child, &t, gxCOMBINEREPLACE);
    EXPECT_NEAR(GxFrameGetWorldMatrix(grandChild)->pos.x, 2.0f, 1e-6);
    EXPECT_EQ(DirtyRoots(), std::vector<GxFrame*>{root});
    EXPECT_EQ(Flags(root) & 0x03, 0x02);
    EXPECT_EQ(onGrandChild.syncs, 0);

    GxFrameSyncDirty();
    EXPECT_EQ(onRoot.syncs, 1);
    EXPECT_EQ(onGrandChild.syncs, 1);
    EXPECT_TRUE(DirtyRoots().empty());
    GxLinkRemove(&onRoot.framed.inFrameList);
    GxLinkRemove(&onGrandChild.framed.inFrameList);
    GxFrameDestroyHierarchy(root);
}

TEST_F(FrameTest, ReparentingMovesTheDirtyListing)
{
    GxFrame* a = NewFrame(1.0f);
    GxFrame* b = NewFrame(2.0f);
    ASSERT_EQ(DirtyRoots().size(), 2u);
    EXPECT_EQ(GxFrameAddChild(a, b), a);
    EXPECT_EQ(DirtyRoots(), std::vector<GxFrame*>{a});
    EXPECT_EQ(Flags(b) & 0x03, 0);
    EXPECT_EQ(GxFrameGetRoot(b), a);
    GxFrameSyncDirty();
    EXPECT_NEAR(GxFrameGetWorldMatrix(b)->pos.x, 3.0f, 1e-6);

    // The no-update form keeps a dirty child's pending work on its new root.
    GxFrame* c = NewFrame(4.0f);
    EXPECT_EQ(GxFrameAddChildNoUpdate(b, c), b);
    EXPECT_EQ(DirtyRoots(), std::vector<GxFrame*>{a});
    EXPECT_EQ(GxFrameGetRoot(c), a);
    GxFrameSyncDirty();
    EXPECT_NEAR(GxFrameGetWorldMatrix(c)->pos.x, 7.0f, 1e-6);

    // Moving a subtree to another hierarchy re-roots all of it.
    GxFrame* d = NewFrame(10.0f);
    GxFrameSyncDirty();
    GxFrameAddChild(d, b);
    EXPECT_EQ(a->child, nullptr);
    EXPECT_EQ(GxFrameGetRoot(c), d);
    EXPECT_EQ(DirtyRoots(), std::vector<GxFrame*>{d});
    EXPECT_NEAR(GxFrameGetWorldMatrix(c)->pos.x, 16.0f, 1e-6);

    // A cycle is refused and changes nothing.
    EXPECT_EQ(GxFrameAddChild(c, d), nullptr);
    EXPECT_EQ(GxFrameAddChild(c, c), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNULLARG);
    EXPECT_EQ(GxFrameGetRoot(c), d);
    EXPECT_EQ(GxFrameCount(d), 3);

    EXPECT_EQ(GxFrameTranslate(c, &c->modelling.pos, 3), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDENUM);
    GxFrameDestroyHierarchy(a);
    GxFrameDestroyHierarchy(d);
    EXPECT_TRUE(GxFrameDestroyHierarchy(nullptr));
    EXPECT_TRUE(DirtyRoots().empty());
    EXPECT_EQ(LiveFrameBlocks(), 0);
}

TEST_F(FrameTest, DestroyingInnerFramesLeavesConsistentRoots)
{
    GxFrame* f[5];
    BuildTree(f);
    GxFrameSyncDirty();
    TestObject onA;
    Attach(&onA, f[1]);

    // The root with children A and B goes: two roots, each over its own subtree,
    // with worlds that no longer carry the old root's translation.
    EXPECT_TRUE(GxFrameDestroy(f[0]));
    for (int i : {1, 2}) {
        EXPECT_EQ(GxFrameGetParent(f[i]), nullptr);
        EXPECT_EQ(GxFrameGetRoot(f[i]), f[i]);
        EXPECT_EQ(f[i]->next, nullptr);
        EXPECT_EQ(GxFrameGetRoot(f[i + 2]), f[i]);
        EXPECT_EQ(GxFrameCount(f[i]), 2);
    }
    GxFrameSyncDirty();
    EXPECT_NEAR(GxFrameGetWorldMatrix(f[4])->pos.x, 8.0f, 1e-6);

    // A goes: A1 becomes a root; the object left on A is unlinked safely.
    EXPECT_TRUE(GxFrameDestroy(f[1]));
    EXPECT_EQ(GxFrameGetRoot(f[3]), f[3]);
    EXPECT_NEAR(GxFrameGetWorldMatrix(f[3])->pos.x, 4.0f, 1e-6);
    GxLinkRemove(&onA.framed.inFrameList);

    // Destroying a hierarchy given a non-root detaches it from its parent first.
    GxFrameDestroyHierarchy(f[4]);
    EXPECT_EQ(f[2]->child, nullptr);
    GxFrameDestroyHierarchy(f[2]);
    GxFrameDestroyHierarchy(f[3]);
    EXPECT_TRUE(DirtyRoots().empty());
    EXPECT_EQ(LiveFrameBlocks(), 0);
}

TEST_F(FrameTest, DeepChainsAreWalkedWithoutRecursion)
{
    constexpr int kDepth = 100000;
    GxFrame* root = NewFrame(1.0f);
    GxFrame* last = root;
    for (int i = 1; i < kDepth; i++) {
        GxFrame* frame = NewFrame(1.0f);
        ASSERT_EQ(GxFrameAddChild(last, frame), last);
        last = frame;
    }
    GxFrameSyncDirty();
    EXPECT_NEAR(GxFrameGetWorldMatrix(last)->pos.x, float(kDepth), 1.0f);
    EXPECT_EQ(GxFrameCount(root), kDepth);
    GxFrameList list;
    ASSERT_NE(GxFrameListInitialize(&list, root), nullptr);
    EXPECT_EQ(list.frames[kDepth - 1], last);
    GxFrameListDeinitialize(&list);
    GxFrame* clone = GxFrameCloneHierarchy(root);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(GxFrameCount(clone), kDepth);
    GxFrameDestroyHierarchy(clone);
    GxFrameDestroyHierarchy(root);
    EXPECT_EQ(LiveFrameBlocks(), 0);
}

TEST_F(FrameTest, FrameListOrderAndChildWalk)
{
    GxFrame* f[5];
    BuildTree(f);
    GxFrameList list;
    ASSERT_EQ(GxFrameListInitialize(&list, f[0]), &list);
    ASSERT_EQ(list.numFrames, 5);
    const GxFrame* expected[5] = {f[0], f[1], f[2], f[4], f[3]};  // root, A, B, B1, A1
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(list.frames[i], expected[i]) << i;
    }
    GxInt32 index = -1;
    EXPECT_TRUE(GxFrameListFindFrame(&list, f[3], &index));
    EXPECT_EQ(index, 4);
    GxFrame* outside = NewFrame();
    EXPECT_FALSE(GxFrameListFindFrame(&list, outside, &index));
    GxFrameListDeinitialize(&list);

    std::vector<GxFrame*> visited;
    GxFrameForAllChildren(
        f[0],
        [](GxFrame* frame, void* data) -> GxFrame* {
            static_cast<std::vector<GxFrame*>*>(data)->push_back(frame);
            return nullptr;  // stop after the first
        },
        &visited);
    EXPECT_EQ(visited, std::vector<GxFrame*>{f[1]});
    GxFrameDestroyHierarchy(f[0]);
    GxFrameDestroy(outside);
}

TEST_F(FrameTest, CloneCopiesMatricesExtensionsAndReversesChildOrder)
{
    GxFrame* f[5];
    BuildTree(f);
    GxFrameSyncDirty();
    copiedTags.clear();
    GxFrame* clone = GxFrameCloneHierarchy(f[0]);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(GxFrameCount(clone), 5);
    // Each clone's extensions are made after its children's: A1, A, B1, B, then the root.
    EXPECT_EQ(copiedTags, (std::vector<GxInt32>{103, 101, 104, 102, 100}));
    // Children of a clone come in reverse: the first child is B's clone.
    ASSERT_NE(clone->child, nullptr);
    EXPECT_EQ(Ext(clone->child)->tag, 102);
    EXPECT_EQ(Ext(clone->child->next)->tag, 101);
    EXPECT_EQ(Ext(clone->child->child)->tag, 104);
    EXPECT_EQ(Ext(clone->child)->copies, 1);
    EXPECT_EQ(GxFrameGetRoot(clone->child->child), clone);
    // The source's root pointers are restored.
    for (GxFrame* frame : f) {
        EXPECT_EQ(GxFrameGetRoot(frame), f[0]);
    }
    EXPECT_EQ(DirtyRoots(), std::vector<GxFrame*>{clone});
    EXPECT_NEAR(GxFrameGetWorldMatrix(clone->child->child)->pos.x, 9.0f, 1e-6);

    // Clone of a subtree, restored to the subtree's own hierarchy.
    GxFrame* sub = GxFrameCloneHierarchy(f[2]);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(GxFrameGetRoot(f[4]), f[0]);
    EXPECT_EQ(GxFrameCount(sub), 2);

    GxFrameDestroyHierarchy(sub);
    GxFrameDestroyHierarchy(clone);
    GxFrameDestroyHierarchy(f[0]);
    EXPECT_EQ(LiveFrameBlocks(), 0);
}

TEST_F(FrameTest, FailedCloneFreesItsFramesAndRestoresTheSource)
{
    GxFrame* f[5];
    BuildTree(f);
    GxFrameSyncDirty();
    for (int failAt = 0; failAt < 5; failAt++) {
        failConstructorAt = constructorCalls + failAt;
        EXPECT_EQ(GxFrameCloneHierarchy(f[0]), nullptr) << failAt;
        EXPECT_EQ(LiveFrameBlocks(), 5) << failAt;
        for (GxFrame* frame : f) {
            EXPECT_EQ(GxFrameGetRoot(frame), f[0]) << failAt;
        }
        EXPECT_TRUE(DirtyRoots().empty()) << failAt;
    }
    failConstructorAt = -1;
    GxFrameDestroyHierarchy(f[0]);
}

TEST_F(FrameTest, SyncCallbackDirtyingAnotherFrameIsHandledNextPass)
{
    GxFrame* a = NewFrame();
    GxFrame* b = NewFrame();
    GxFrameSyncDirty();
    TestObject onA;
    Attach(&onA, a);
    onA.dirtyOnSync = b;
    GxFrameSetDirty(a);
    GxFrameSyncDirty();
    EXPECT_EQ(onA.syncs, 1);
    EXPECT_EQ(DirtyRoots(), std::vector<GxFrame*>{b});
    onA.dirtyOnSync = a;
    GxFrameSyncDirty();
    EXPECT_TRUE(DirtyRoots().empty());
    GxFrameSetDirty(a);
    GxFrameSyncDirty();
    // A callback re-dirtying its own frame waits for the next pass instead of looping, with all of its work listed.
    EXPECT_EQ(onA.syncs, 2);
    EXPECT_EQ(DirtyRoots(), std::vector<GxFrame*>{a});
    EXPECT_EQ(Flags(a) & 0x0F, 0x0F);
    GxLinkRemove(&onA.framed.inFrameList);
    GxFrameDestroy(a);
    GxFrameDestroy(b);
    EXPECT_TRUE(DirtyRoots().empty());
}

// World matrix by the parent chain, without the frame module's walks.
GxMatrix ChainWorld(const GxFrame* frame)
{
    GxMatrix world = frame->modelling;
    for (const GxFrame* p = GxFrameGetParent(frame); p != nullptr; p = GxFrameGetParent(p)) {
        GxMatrix next;
        GxMatrixMultiply(&next, &world, &p->modelling);
        world = next;
    }
    return world;
}

void ExpectWorldsMatchChains(const std::vector<GxFrame*>& frames, const char* when)
{
    for (size_t i = 0; i < frames.size(); i++) {
        const GxMatrix expected = ChainWorld(frames[i]);
        EXPECT_NEAR(frames[i]->ltm.pos.x, expected.pos.x, 1e-3) << when << " frame " << i;
        EXPECT_NEAR(frames[i]->ltm.pos.y, expected.pos.y, 1e-3) << when << " frame " << i;
        EXPECT_NEAR(frames[i]->ltm.pos.z, expected.pos.z, 1e-3) << when << " frame " << i;
        EXPECT_NEAR(frames[i]->ltm.right.x, expected.right.x, 1e-4) << when << " frame " << i;
    }
}

// Every change of shape between passes (reparenting, sibling order, destruction, new objects) is seen, and a move
// recomputes only the frames below the moved one.
TEST_F(FrameTest, LargeHierarchiesFollowEveryShapeChange)
{
    constexpr int kFrames = 60;
    std::vector<GxFrame*> f;
    const GxV3d axis = {0.0f, 0.0f, 1.0f};
    for (int i = 0; i < kFrames; i++) {
        f.push_back(NewFrame(float(i % 5 + 1)));
        GxFrameRotate(f.back(), &axis, float(i * 7), gxCOMBINEPOSTCONCAT);
        if (i > 0) {
            GxFrameAddChild(f[(i - 1) / 3], f.back());
        }
    }
    GxFrameSyncDirty();
    GxFrameSyncDirty();
    ExpectWorldsMatchChains(f, "built");

    // Moving one frame recomputes it and exactly the frames below it.
    GxMatrixSetMultiplyFunction(CountingMultiply);
    GxFrameTranslate(f[1], &axis, gxCOMBINEPOSTCONCAT);
    GxFrameSyncDirty();
    EXPECT_EQ(multiplies, GxFrameCount(f[1]));
    GxMatrixSetMultiplyFunction(nullptr);
    ExpectWorldsMatchChains(f, "moved");

    // A subtree moved under another branch, then another under a leaf.
    GxFrameAddChild(f[50], f[2]);
    GxFrameSyncDirty();
    ExpectWorldsMatchChains(f, "reparented");
    GxFrameAddChild(f[59], f[3]);
    GxFrameSyncDirty();
    ExpectWorldsMatchChains(f, "under a leaf");

    // An object attached between passes is synchronised.
    GxFrameTranslate(f[0], &axis, gxCOMBINEPOSTCONCAT);
    GxFrameSyncDirty();
    TestObject late;
    Attach(&late, f[40]);
    GxFrameTranslate(f[0], &axis, gxCOMBINEPOSTCONCAT);
    EXPECT_NEAR(GxFrameGetWorldMatrix(f[40])->pos.x, ChainWorld(f[40]).pos.x, 1e-3);
    GxFrameSyncDirty();
    EXPECT_EQ(late.syncs, 1);
    ExpectWorldsMatchChains(f, "object added");
    GxLinkRemove(&late.framed.inFrameList);

    // An inner frame destroyed: its children become roots of their own.
    GxFrame* inner = f[4];
    std::vector<GxFrame*> orphans;
    for (GxFrame* c = inner->child; c != nullptr; c = c->next) {
        orphans.push_back(c);
    }
    ASSERT_FALSE(orphans.empty());
    GxFrameDestroy(inner);
    f.erase(f.begin() + 4);
    GxFrameTranslate(f[0], &axis, gxCOMBINEPOSTCONCAT);
    GxFrameSyncDirty();
    ExpectWorldsMatchChains(f, "destroyed");
    for (GxFrame* orphan : orphans) {
        EXPECT_EQ(GxFrameGetRoot(orphan), orphan);
        GxFrameDestroyHierarchy(orphan);
    }
    GxFrameDestroyHierarchy(f[0]);
    EXPECT_TRUE(DirtyRoots().empty());
    EXPECT_EQ(LiveFrameBlocks(), 0);
}

TEST_F(FrameTest, FrameListReadAddsEachChildFirstSoARewriteSwapsSiblings)
{
    GxFrame* f[5];
    BuildTree(f);
    const GxV3d axis = {1.0f, 1.0f, 0.0f};
    GxFrameRotate(f[3], &axis, 30.0f, gxCOMBINEPRECONCAT);
    Ext(f[2])->tag = 0;  // a frame without extension data
    const std::vector<GxUInt8> first = WriteList(f[0]);

    GxFrameList list;
    ASSERT_EQ(ReadList(first, &list), &list);
    ASSERT_EQ(list.numFrames, 5);
    EXPECT_EQ(Ext(list.frames[4])->tag, 103);
    EXPECT_EQ(list.frames[4]->modelling.flags, 3u);
    EXPECT_EQ(GxFrameGetParent(list.frames[4]), list.frames[1]);
    EXPECT_EQ(GxFrameGetRoot(list.frames[3]), list.frames[0]);
    // Stream order root, A, B, B1, A1; each child read goes first, so B now leads A.
    EXPECT_EQ(list.frames[0]->child, list.frames[2]);
    EXPECT_EQ(list.frames[2]->next, list.frames[1]);
    const std::vector<GxUInt8> second = WriteList(list.frames[0]);
    ASSERT_EQ(first.size(), second.size());
    EXPECT_NE(first, second);
    GxFrameList twice;
    ASSERT_EQ(ReadList(second, &twice), &twice);
    const std::vector<GxUInt8> third = WriteList(twice.frames[0]);
    ASSERT_EQ(first.size(), third.size());
    for (size_t i = 0; i < first.size(); i++) {
        ASSERT_EQ(first[i], third[i]) << "first difference at byte " << i;
    }
    GxFrameDestroyHierarchy(twice.frames[0]);
    GxFrameListDeinitialize(&twice);

    // Layout: chunk 0x0E, size, then a struct chunk of count x 56 + 4.
    GxFrameList again;
    GxFrameListInitialize(&again, list.frames[0]);
    GxUInt32 word[3];
    std::memcpy(word, first.data(), 12);
    EXPECT_EQ(word[0], 0x0Eu);
    EXPECT_EQ(word[1], first.size() - 12);
    EXPECT_EQ(static_cast<GxInt32>(word[1]), GxFrameListStreamGetSize(&again));
    EXPECT_EQ(word[2], 0x1C02000Au);
    std::memcpy(word, first.data() + 12, 12);
    EXPECT_EQ(word[0], 1u);
    EXPECT_EQ(word[1], 5u * 56u + 4u);
    GxFrameListDeinitialize(&again);

    GxFrameDestroyHierarchy(list.frames[0]);
    GxFrameListDeinitialize(&list);
    GxFrameDestroyHierarchy(f[0]);
    EXPECT_EQ(LiveFrameBlocks(), 0);
}

TEST_F(FrameTest, FrameListReadRecomputesFlags)
{
    GxFrame* root = NewFrame();
    const GxV3d scale = {1.05f, 1.05f, 1.05f};
    GxMatrixScale(&root->modelling, &scale, gxCOMBINEREPLACE);
    root->modelling.flags = 3;
    GxFrame* mirrored = NewFrame();
    const GxV3d flip = {-1.0f, 1.0f, 1.0f};
    GxMatrixScale(&mirrored->modelling, &flip, gxCOMBINEREPLACE);
    GxFrameAddChild(root, mirrored);
    std::vector<GxUInt8> bytes = WriteList(root);
    GxFrameList list;
    ASSERT_NE(ReadList(bytes, &list), nullptr);
    EXPECT_EQ(list.frames[0]->modelling.flags, 0u);
    EXPECT_EQ(list.frames[1]->modelling.flags, 0u);  // determinant -1
    GxFrameDestroyHierarchy(list.frames[0]);
    GxFrameListDeinitialize(&list);
    GxFrameDestroyHierarchy(root);
}

TEST_F(FrameTest, BadFrameListsAreRefusedWithoutLeaks)
{
    GxFrame* f[5];
    BuildTree(f);
    const std::vector<GxUInt8> good = WriteList(f[0]);
    GxFrameDestroyHierarchy(f[0]);
    GxFrameSyncDirty();
    ASSERT_EQ(LiveFrameBlocks(), 0);

    auto expectRefused = [&](const std::vector<GxUInt8>& bytes, const char* what) {
        GxFrameList list = {nullptr, 0};
        EXPECT_EQ(ReadList(bytes, &list), nullptr) << what;
        EXPECT_EQ(list.frames, nullptr) << what;
        EXPECT_EQ(LiveFrameBlocks(), 0) << what;
        EXPECT_TRUE(DirtyRoots().empty()) << what;
        EXPECT_NE(GxTestTakeErrorCode(), gxERRNOERROR) << what;
    };
    const size_t countAt = 24;
    const size_t recordAt = 28;
    auto withWord = [&](size_t at, GxUInt32 value) {
        std::vector<GxUInt8> bytes = good;
        std::memcpy(bytes.data() + at, &value, 4);
        return bytes;
    };
    // The parent of frame 2 claimed to be frame 2 or 3.
    expectRefused(withWord(recordAt + 2 * 56 + 48, 2), "parent is itself");
    expectRefused(withWord(recordAt + 2 * 56 + 48, 3), "parent comes later");
    expectRefused(withWord(recordAt + 48, 0), "root with a parent");
    expectRefused(withWord(countAt, 0xFFFFFFFFu), "negative count");
    expectRefused(withWord(countAt, 0), "no frames");
    expectRefused(withWord(countAt, 6), "count beyond the struct chunk");
    expectRefused(withWord(countAt, 0x7FFFFFFFu), "huge count");
    expectRefused(withWord(16, 2), "struct chunk too small for its count");
    expectRefused(withWord(20, 0x00000310u), "struct chunk of an old version");
    failExtensionRead = true;
    expectRefused(good, "extension read fails");
    failExtensionRead = false;
    failConstructorAt = constructorCalls + 3;
    expectRefused(good, "frame creation fails");
    failConstructorAt = -1;

    for (size_t length = 0; length < good.size(); length++) {
        expectRefused(std::vector<GxUInt8>(good.begin(), good.begin() + length), "truncated");
    }
}

}  // namespace
