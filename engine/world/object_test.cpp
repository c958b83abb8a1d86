// World objects: defaults, yaw wrapping and facing, the animation timer, shared, cloned and copied models,
// animation choice on a skeleton, and the position-and-yaw line written and read back.
#include "engine/world/object.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data/file.h"
#include "engine/testsupport/objects.h"

namespace {

const GxV3d kUp = {0.0f, 1.0f, 0.0f};

// The factory an object names on its second state line.
class NamedFactory : public CFerroxBase {
public:
    explicit NamedFactory(const char* name) { SetName(name); }
};

class Objects : public FerroxObjectTest {
protected:
    void SetUp() override
    {
        FerroxObjectTest::SetUp();
        if (HasFatalFailure())
            return;
        GxClump* clump = FerroxTaggedClump({"body"});
        ASSERT_NE(nullptr, clump);
        CFerroxComposite* model = FerroxModelFromClump("shop/chair.gxs", clump);
        GxClumpDestroy(clump);
        ASSERT_NE(nullptr, model);
        record = pool.AddOrAddRef(new FerroxModelRecord{1, model}, 1);
        set.AddModel(record);
    }
    void TearDown() override
    {
        set.Release();
        pool.Release();
        animations.Release();
        FerroxObjectTest::TearDown();
    }
    FerroxObjectDescriptor Descriptor(int32_t mode)
    {
        FerroxObjectDescriptor descriptor = {};
        descriptor.assetSet = &set;
        descriptor.modelMode = mode;
        return descriptor;
    }
    static GxGeometry* FirstGeometry(CFerroxComposite* model)
    {
        GxGeometry* found = nullptr;
        GxClumpForAllAtomics(
            model->GetClump(),
            [](GxAtomic* atomic, void* data) -> GxAtomic* {
                *static_cast<GxGeometry**>(data) = atomic->geometry;
                return nullptr;
            },
            &found);
        return found;
    }
    FerroxModelPool pool;
    FerroxAnimPool animations;
    CFerroxAssetSet set;
    FerroxModelRecord* record = nullptr;
};

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(ObjectState, FreshObjectsTurnAndCountDown)
{
    CFerroxObject object;
    EXPECT_EQ(1, object.IsAnimationLooped());
    EXPECT_EQ(0, object.IsAnimationFinished());
    EXPECT_FLOAT_EQ(10.0f, object.GetAnimationTimer());
    EXPECT_EQ(0.0f, object.GetRotation()[1]);
    EXPECT_EQ(nullptr, object.GetPosition());

    // Adding wraps once; setting stores the angle as given.
    object.RotateYaw(&kUp, 350.0f, 0);
    object.RotateYaw(&kUp, 20.0f, 1);
    EXPECT_FLOAT_EQ(10.0f, object.GetRotation()[1]);
    object.RotateYaw(&kUp, -20.0f, 1);
    EXPECT_FLOAT_EQ(350.0f, object.GetRotation()[1]);
    object.RotateYaw(&kUp, 0.0f, 0);
    object.RotateYaw(&kUp, 800.0f, 2);
    EXPECT_FLOAT_EQ(440.0f, object.GetRotation()[1]);
    object.RotateYaw(&kUp, 400.0f, 0);
    EXPECT_FLOAT_EQ(400.0f, object.GetRotation()[1]);

    // The timer runs down past zero once, then stays.
    object.SetAnimationTimer(0.2f);
    object.Update(0.5f);
    EXPECT_NEAR(-0.3f, object.GetAnimationTimer(), 1e-6f);
    object.Update(0.5f);
    EXPECT_NEAR(-0.3f, object.GetAnimationTimer(), 1e-6f);
    EXPECT_FLOAT_EQ(0.5f, object.GetLastTimeStep());
}

TEST_F(Objects, SharedClonedAndCopiedModels)
{
    CFerroxComposite* pooled = record->asset;
    GxGeometry* pooledGeometry = FirstGeometry(pooled);
    {
        CFerroxObject shared;
        const FerroxObjectDescriptor descriptor = Descriptor(FERROX_MODEL_SHARED);
        shared.Setup(&descriptor);
        EXPECT_EQ(pooled, shared.GetModel());
        EXPECT_EQ(&shared, pooled->GetOwner());
        EXPECT_EQ(2, record->refCount);
    }
    // The object gave its count back and left the model to the pool.
    EXPECT_EQ(1, record->refCount);
    EXPECT_EQ(nullptr, pooled->GetOwner());
    ASSERT_NE(nullptr, pooled->GetClump());

    CFerroxObject cloned;
    FerroxObjectDescriptor descriptor = Descriptor(FERROX_MODEL_CLONE);
    cloned.Setup(&descriptor);
    ASSERT_NE(nullptr, cloned.GetModel());
    EXPECT_NE(pooled, cloned.GetModel());
    EXPECT_NE(pooled->GetClump(), cloned.GetModel()->GetClump());
    EXPECT_EQ(pooledGeometry, FirstGeometry(cloned.GetModel()));
    EXPECT_EQ(1, record->refCount);

    CFerroxObject copied;
    descriptor = Descriptor(FERROX_MODEL_COPY);
    copied.Setup(&descriptor);
    ASSERT_NE(nullptr, copied.GetModel());
    GxGeometry* own = FirstGeometry(copied.GetModel());
    ASSERT_NE(nullptr, own);
    EXPECT_NE(pooledGeometry, own);
    // Scaling the copy leaves the pooled model as it was.
    const float before = pooledGeometry->morphTarget[0].verts[0].x;
    const FerroxScaleRecord twice = {2.0f, 2.0f, 1.0f, 1.0f};
    copied.GetModel()->ScaleGeometry(&twice);
    EXPECT_FLOAT_EQ(before, pooledGeometry->morphTarget[0].verts[0].x);
    EXPECT_FLOAT_EQ(2.0f * before, own->morphTarget[0].verts[0].x);

    // A set without models gives an object without a model, not a crash.
    CFerroxAssetSet empty;
    FerroxObjectDescriptor none = {};
    none.assetSet = &empty;
    CFerroxObject bare;
    bare.Setup(&none);
    EXPECT_EQ(nullptr, bare.GetModel());
    EXPECT_EQ(0.0f, bare.DistanceSquaredTo(&kUp));
}

TEST_F(Objects, FacingTurnsInPlace)
{
    CFerroxObject object;
    const FerroxObjectDescriptor descriptor = Descriptor(FERROX_MODEL_COPY);
    object.Setup(&descriptor);
    const GxV3d at = {1.0f, 0.0f, 1.0f};
    object.Translate(&at, 0);
    const GxV3d ahead = {1.0f, 0.0f, 5.0f};
    object.FaceTowards(&ahead);
    EXPECT_NEAR(0.0f, object.GetRotation()[1], 1e-4f);
    const GxV3d right = {5.0f, 0.0f, 1.0f};
    object.FaceTowards(&right);
    EXPECT_NEAR(90.0f, object.GetRotation()[1], 1e-4f);
    const GxV3d* p = object.GetPosition();
    EXPECT_NEAR(1.0f, p->x, 1e-5f);
    EXPECT_NEAR(1.0f, p->z, 1e-5f);
    EXPECT_NEAR(16.0f, object.DistanceSquaredTo(&right), 1e-4f);
    // The frame looks along +x: its "at" row turned from +z by the yaw.
    const GxMatrix* frame = GxFrameGetMatrix(object.GetModel()->GetFrame());
    EXPECT_NEAR(1.0f, frame->at.x, 1e-5f);
}

TEST_F(Objects, StateLineIsWrittenAndReadBack)
{
    CFerroxIOObject saved;
    NamedFactory factory("shopFactory");
    FerroxObjectDescriptor descriptor = Descriptor(FERROX_MODEL_COPY);
    descriptor.factory = &factory;
    saved.Setup(&descriptor);
    EXPECT_EQ(&set, saved.GetAssetSet());
    const GxV3d where = {1.0f, 0.0f, -2.5f};
    saved.RotateYaw(&kUp, 90.0f, 0);
    saved.Translate(&where, 2);
    const std::string path = Path("object.fds");
    CFerroxFile out;
    ASSERT_EQ(0, out.Open(path.c_str(), 0));
    EXPECT_EQ(0, saved.Save(&out));
    ASSERT_EQ(0, out.Close());
    EXPECT_EQ("shop/chair.gxs\r\nshopFactory\r\n1.00000,0.00000,-2.50000,90.0000\r\n", ReadText(path));

    // Read back over another position and turn; the line replaces both.
    CFerroxIOObject loaded;
    loaded.Setup(&descriptor);
    const GxV3d elsewhere = {7.0f, 3.0f, 7.0f};
    loaded.RotateYaw(&kUp, 45.0f, 0);
    loaded.Translate(&elsewhere, 2);
    CFerroxFile in;
    ASSERT_EQ(0, in.Open(path.c_str(), 1));
    std::string skipped;
    in.ReadLine(skipped);
    in.ReadLine(skipped);
    EXPECT_EQ(0, loaded.Load(&in));
    in.Close();
    const GxV3d* p = loaded.GetPosition();
    EXPECT_NEAR(1.0f, p->x, 1e-5f);
    EXPECT_NEAR(0.0f, p->y, 1e-5f);
    EXPECT_NEAR(-2.5f, p->z, 1e-5f);
    EXPECT_FLOAT_EQ(90.0f, loaded.GetRotation()[1]);
    EXPECT_NEAR(1.0f, GxFrameGetMatrix(loaded.GetModel()->GetFrame())->at.x, 1e-5f);

    // A line with too few numbers, or with text or no finite number where a number belongs, is refused and
    // changes nothing.
    for (const char* line : {"4.0,5.0,6.0\r\n", "4.0,five,6.0,30.0\r\n", "\r\n", "nan,0.0,0.0,0.0\r\n",
                             "4.0,inf,6.0,30.0\r\n", "4.0,1e39,6.0,30.0\r\n", "4.0,x,5.0,6.0,30.0\r\n"}) {
        WriteBytes(path, FerroxBytes(line, line + std::strlen(line)));
        CFerroxFile shortFile;
        ASSERT_EQ(0, shortFile.Open(path.c_str(), 1));
        EXPECT_EQ(1, loaded.Load(&shortFile)) << line;
        shortFile.Close();
        EXPECT_NEAR(1.0f, loaded.GetPosition()->x, 1e-5f) << line;
        EXPECT_FLOAT_EQ(90.0f, loaded.GetRotation()[1]) << line;
    }
}

TEST_F(Objects, PartsAreChosenHiddenAndGathered)
{
    GxClump* clump = FerroxTaggedClump({"body", "head1", "head2", "head3", "ANIM_water01"});
    ASSERT_NE(nullptr, clump);
    CFerroxComposite* model = FerroxModelFromClump("people/woman", clump);
    GxClumpDestroy(clump);
    ASSERT_NE(nullptr, model);
    CFerroxAssetSet people;
    people.AddModel(pool.AddOrAddRef(new FerroxModelRecord{1, model}, 1));
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = &people;
    descriptor.modelMode = FERROX_MODEL_CLONE;
    CFerroxObject woman;
    woman.Setup(&descriptor);
    CFerroxComposite* own = woman.GetModel();
    ASSERT_NE(nullptr, own);

    std::vector<GxMaterial*> seen;
    FerroxPartData data = {"head", nullptr,
                           [](GxMaterial* material, void* d) {
                               static_cast<std::vector<GxMaterial*>*>(d)->push_back(material);
                               return material;
                           },
                           &seen};
    const GxUInt8 shown = gxATOMICCOLLISIONTEST | gxATOMICRENDER;
    for (int round = 0; round < 8; round++) {
        GxAtomic* head = woman.ChooseRandomPart("head", 4, &data);
        ASSERT_NE(nullptr, head);
        int visible = 0;
        for (const char* tag : {"head1", "head2", "head3"})
            visible += (own->FindPart(tag)->object.object.flags & shown) == shown ? 1 : 0;
        EXPECT_EQ(1, visible);
        EXPECT_EQ(shown, head->object.object.flags & shown);
        EXPECT_EQ(head, data.part);
        EXPECT_EQ(head->geometry->matList.materials[0], seen.back());
    }
    // One variant counted leaves none to choose from: nothing is divided by zero.
    EXPECT_EQ(nullptr, woman.ChooseRandomPart("head", 1, &data));
    FerroxPartData body = {"body", nullptr, data.materialCallback, &seen};
    woman.ApplyPartMaterials(&body);
    EXPECT_EQ(own->FindPart("body"), body.part);
    EXPECT_EQ(body.part->geometry->matList.materials[0], seen.back());

    std::vector<GxFrame*> frames;
    woman.AttachTo(&frames);
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ(own->FindPart("ANIM_water01")->object.object.parent, frames[0]);

    woman.DisableCollision();
    woman.DisableRender();
    for (const char* tag : {"body", "head1", "ANIM_water01"})
        EXPECT_EQ(0, own->FindPart(tag)->object.object.flags & shown) << tag;
    // The pooled model keeps its own flags.
    EXPECT_EQ(shown, model->FindPart("body")->object.object.flags & shown);
}

namespace {

// A model whose second frame carries a one-node skeleton.
GxClump* SkeletonClump()
{
    GxClump* clump = FerroxTaggedClump({"body"});
    if (!clump)
        return nullptr;
    GxFrame* root = static_cast<GxFrame*>(clump->object.parent);
    const GxInt32 flags[1] = {0};
    const GxInt32 ids[1] = {1};
    GxAnimHierarchy* hierarchy = GxAnimHierarchyCreate(1, flags, ids, 0, gxHANIMSTDKEYFRAMESTREAMSIZE);
    if (!hierarchy)
        return nullptr;
    GxFrameSetNodeID(root->child, 1);
    GxFrameSetAnimHierarchy(root->child, hierarchy);
    return clump;
}

}  // namespace

TEST_F(Objects, AnimationsAreChosenByNameOnTheSkeleton)
{
    GxClump* clump = SkeletonClump();
    ASSERT_NE(nullptr, clump);
    CFerroxComposite* model = FerroxModelFromClump("people/man.gxs", clump);
    GxClumpDestroy(clump);
    ASSERT_NE(nullptr, model);
    FerroxModelRecord* man = pool.AddOrAddRef(new FerroxModelRecord{1, model}, 1);
    CFerroxAssetSet people;
    people.AddModel(man);
    for (const auto& entry : {std::make_pair("man_walk", 1.0f), std::make_pair("man_idle", 2.0f)}) {
        CFerroxAnim* animation = new CFerroxAnim();
        animation->SetName(entry.first);
        const FerroxBytes bytes = FerroxAnimationChunk(entry.second);
        GxStream* stream = GxWorldTestOpen(bytes);
        GxUInt32 length = 0, version = 0;
        ASSERT_TRUE(GxStreamFindChunk(stream, gxID_ANIMANIMATION, &length, &version));
        ASSERT_EQ(1, animation->Read(stream));
        GxStreamClose(stream, nullptr);
        people.AddAnimation(animations.AddOrAddRef(new FerroxAnimRecord{1, animation}, 1));
    }
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = &people;
    descriptor.modelMode = FERROX_MODEL_SHARED;
    auto walker = std::make_unique<CFerroxObject>();
    walker->Setup(&descriptor);
    ASSERT_NE(nullptr, walker->GetHierarchy());
    EXPECT_EQ(walker.get(), GetClumpOwner(model->GetClump()));
    EXPECT_EQ(2, animations.GetRecord(0)->refCount);

    walker->PlayAnimation("idle", 1, 0.0f);
    EXPECT_STREQ("man_idle", walker->GetCurrentAnimation()->GetName());
    EXPECT_FLOAT_EQ(2.0f, walker->GetAnimationTimer());
    walker->PlayAnimation("walk", 0, 0.0f);
    EXPECT_STREQ("man_walk", walker->GetCurrentAnimation()->GetName());
    EXPECT_FLOAT_EQ(1.0f, walker->GetAnimationTimer());
    EXPECT_EQ(0, walker->IsAnimationLooped());
    walker->PlayAnimation("idle", 1, 0.0f);
    walker->PlayAnimation("", 1, 0.0f);
    EXPECT_STREQ("man_walk", walker->GetCurrentAnimation()->GetName());
    // No match keeps the current one; a duration given wins over the animation's.
    walker->PlayAnimation("run", 1, 3.5f);
    EXPECT_STREQ("man_walk", walker->GetCurrentAnimation()->GetName());
    EXPECT_FLOAT_EQ(3.5f, walker->GetAnimationTimer());

    // The end of a played-once animation marks it finished; a looped one starts again.
    walker->PlayAnimation("walk", 0, 0.0f);
    CFerroxObject::OnAnimationEnd(walker->GetHierarchy()->currentAnim, walker.get());
    EXPECT_EQ(1, walker->IsAnimationFinished());

    // The skeleton advances by the last time step when the clump's callback runs.
    walker->PlayAnimation("walk", 1, 0.0f);
    walker->Update(0.25f);
    CFerroxObject::AdvanceHierarchyCallback(model->GetClump(), nullptr);
    EXPECT_NEAR(0.25f, walker->GetHierarchy()->currentAnim->currentTime, 1e-5f);

    // Once the object is gone the pooled model no longer leads to it.
    walker.reset();
    EXPECT_EQ(nullptr, GetClumpOwner(model->GetClump()));
    EXPECT_EQ(1, animations.GetRecord(0)->refCount);
    EXPECT_EQ(model->GetClump(), CFerroxObject::AdvanceHierarchyCallback(model->GetClump(), nullptr));
    people.Release();
}
