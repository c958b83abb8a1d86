// Tests of the clump module: rendering and iteration over atomics, bounding spheres and clean-up at close.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gfx/core/camera.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/pipeline.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/world/clump.h"
#include "gfx/world/world.h"

namespace {

std::vector<GxAtomic*> rendered;
GxAtomic* failing = nullptr;
bool refuseConstruction = false;

void* ConstructUnlessRefused(void* object, GxInt32, GxInt32) { return refuseConstruction ? nullptr : object; }
void* DestructNothing(void* object, GxInt32, GxInt32) { return object; }

GxAtomic* RecordRender(GxAtomic* atomic)
{
    rendered.push_back(atomic);
    return atomic == failing ? nullptr : atomic;
}

class Clump : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(GxTestRecordingSetup([] {
            return GxWorldPluginAttach() != 0 &&
                   GxAtomicRegisterPlugin(4, 0xF0F1, ConstructUnlessRefused, DestructNothing, nullptr) >= 0 &&
                   GxClumpRegisterPlugin(4, 0xF0F1, ConstructUnlessRefused, DestructNothing, nullptr) >= 0;
        }));
        GX_ASSERT_ENGINE_STARTED(*engine);
        rendered.clear();
        failing = nullptr;
        refuseConstruction = false;
        geometry = GxGeometryCreate(0, 0, 0);
        ASSERT_NE(geometry, nullptr);
        ASSERT_EQ(GxGeometryAddMorphTargets(geometry, 1), 1);
        geometry->morphTarget[0].boundingSphere = GxSphere{{0.0f, 0.0f, 0.0f}, 1.0f};
        geometry->morphTarget[1].boundingSphere = GxSphere{{4.0f, 2.0f, 0.0f}, 3.0f};
    }
    void TearDown() override
    {
        GxGeometryDestroy(geometry);
        engine.reset();
    }
    std::optional<GxTestEngine> engine;

    // Atomics come out of a clump most recently added first.
    GxClump* ClumpOfThree(GxAtomic* atomics[3])
    {
        GxClump* clump = GxClumpCreate();
        GxClumpSetFrame(clump, GxFrameCreate());
        for (GxInt32 i = 2; i >= 0; i--) {
            atomics[i] = GxAtomicCreate();
            GxAtomicSetFrame(atomics[i], static_cast<GxFrame*>(clump->object.parent));
            GxAtomicSetRenderCallBack(atomics[i], RecordRender);
            GxClumpAddAtomic(clump, atomics[i]);
        }
        return clump;
    }

    GxGeometry* geometry = nullptr;
};

GxAtomic* DestroyAndCount(GxAtomic* atomic, void* data)
{
    (*static_cast<GxInt32*>(data))++;
    GxAtomicDestroy(atomic);
    return atomic;
}

GxAtomic* StopAtSecond(GxAtomic* atomic, void* data)
{
    return ++(*static_cast<GxInt32*>(data)) == 2 ? nullptr : atomic;
}

}  // namespace

TEST_F(Clump, RenderSkipsHiddenAtomicsAndReportsFailures)
{
    GxAtomic* atomics[3];
    GxClump* clump = ClumpOfThree(atomics);
    atomics[1]->object.object.flags &= static_cast<GxUInt8>(~gxATOMICRENDER);
    EXPECT_EQ(GxClumpRender(clump), clump);
    EXPECT_EQ(rendered, (std::vector<GxAtomic*>{atomics[0], atomics[2]}));

    atomics[1]->object.object.flags |= gxATOMICRENDER;
    failing = atomics[0];
    rendered.clear();
    EXPECT_EQ(GxClumpRender(clump), nullptr);
    EXPECT_EQ(rendered.size(), 3u);
    EXPECT_EQ(rendered.back(), atomics[2]);
}

TEST_F(Clump, ForAllAtomicsSurvivesRemovalAndStopsOnNull)
{
    GxAtomic* atomics[3];
    GxClump* clump = ClumpOfThree(atomics);
    GxInt32 count = 0;
    EXPECT_EQ(GxClumpForAllAtomics(clump, StopAtSecond, &count), clump);
    EXPECT_EQ(count, 2);
    count = 0;
    GxClumpForAllAtomics(clump, DestroyAndCount, &count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(GxClumpGetNumAtomics(clump), 0);
    EXPECT_TRUE(GxClumpDestroy(clump));
}

TEST_F(Clump, WorldSphereFollowsTheFrame)
{
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetGeometry(atomic, geometry, 0);
    EXPECT_EQ(geometry->refCount, 2);
    // Without a frame the model sphere is the world sphere.
    EXPECT_EQ(GxAtomicGetWorldBoundingSphere(atomic)->radius, 1.0f);

    GxFrame* frame = GxFrameCreate();
    const GxV3d move = {10.0f, 0.0f, 0.0f};
    GxFrameTranslate(frame, &move, gxCOMBINEREPLACE);
    GxAtomicSetFrame(atomic, frame);
    atomic->boundingSphere.center = GxV3d{1.0f, 0.0f, 0.0f};
    const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(atomic);
    EXPECT_FLOAT_EQ(sphere->center.x, 11.0f);
    EXPECT_FLOAT_EQ(sphere->radius, 1.0f);

    const GxV3d scale = {1.0f, 2.0f, 1.0f};
    GxMatrix stretch;
    GxMatrixSetIdentity(&stretch);
    GxMatrixScale(&stretch, &scale, gxCOMBINEREPLACE);
    GxFrameTransform(frame, &stretch, gxCOMBINEPOSTCONCAT);
    sphere = GxAtomicGetWorldBoundingSphere(atomic);
    EXPECT_NEAR(sphere->radius, 2.0f, 1e-4f);
    GxAtomicDestroy(atomic);
    EXPECT_EQ(geometry->refCount, 1);
    EXPECT_TRUE(GxLinkIsEmpty(&frame->objectList));
    GxFrameDestroy(frame);
}

TEST_F(Clump, SphereInterpolatesBetweenMorphTargets)
{
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetGeometry(atomic, geometry, 0);
    atomic->interpolator.startMorphTarget = 0;
    atomic->interpolator.endMorphTarget = 1;
    atomic->interpolator.time = 4.0f;
    atomic->interpolator.recipTime = 0.25f;
    atomic->interpolator.position = 2.0f;
    atomic->interpolator.flags |= gxINTERPOLATORDIRTYSPHERE;
    const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(atomic);
    EXPECT_FLOAT_EQ(sphere->center.x, 2.0f);
    EXPECT_FLOAT_EQ(sphere->center.y, 1.0f);
    EXPECT_FLOAT_EQ(sphere->radius, 2.0f);
    EXPECT_FALSE(atomic->interpolator.flags & gxINTERPOLATORDIRTYSPHERE);

    atomic->interpolator.endMorphTarget = 7;  // out of range: target 0
    GxAtomicInterpolateBoundingSphere(atomic);
    EXPECT_FLOAT_EQ(atomic->boundingSphere.radius, 1.0f);
    atomic->interpolator.startMorphTarget = 1;
    atomic->interpolator.endMorphTarget = 1;
    GxAtomicInterpolateBoundingSphere(atomic);
    EXPECT_FLOAT_EQ(atomic->boundingSphere.radius, 3.0f);
}

TEST_F(Clump, CloseDestroysWhatIsLeft)
{
    for (GxInt32 i = 0; i < 2; i++) {
        GxAtomic* atomics[3];
        GxClump* clump = ClumpOfThree(atomics);
        GxFrame* root = GxFrameCreate();
        GxFrame* child = GxFrameCreate();
        GxFrameAddChild(root, child);
        GxClumpSetFrame(clump, root);
        GxAtomicSetFrame(atomics[0], child);
        GxAtomicSetGeometry(atomics[1], geometry, 0);
        GxCamera* camera = GxCameraCreate();
        ASSERT_NE(camera, nullptr);
        GxObjectSetFrame(&camera->object, child);
        ASSERT_EQ(GxClumpAddCamera(clump, camera), clump);
    }
    GxAtomic* loose = GxAtomicCreate();
    GxAtomicSetGeometry(loose, geometry, 0);
    EXPECT_EQ(geometry->refCount, 4);
    ASSERT_TRUE(GxEngineStop());  // the sanitizers catch any use of what was freed
    EXPECT_EQ(geometry->refCount, 1);
}

TEST_F(Clump, ARefusedExtensionMakesNoAtomicOrClump)
{
    refuseConstruction = true;
    EXPECT_EQ(GxAtomicCreate(), nullptr);
    EXPECT_EQ(GxClumpCreate(), nullptr);
    refuseConstruction = false;
    GxClump* clump = GxClumpCreate();
    ASSERT_NE(clump, nullptr);
    GxClumpDestroy(clump);
}

TEST_F(Clump, ANewGeometryMovesTheWorldSphere)
{
    GxAtomic* atomic = GxAtomicCreate();
    GxFrame* frame = GxFrameCreate();
    GxAtomicSetFrame(atomic, frame);
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxFrameSyncDirty();
    EXPECT_EQ(GxAtomicGetWorldBoundingSphere(atomic)->radius, 1.0f);
    GxGeometry* larger = GxGeometryCreate(0, 0, 0);
    ASSERT_NE(larger, nullptr);
    larger->morphTarget[0].boundingSphere = GxSphere{{0.0f, 0.0f, 0.0f}, 5.0f};
    GxAtomicSetGeometry(atomic, larger, 0);
    EXPECT_EQ(GxAtomicGetWorldBoundingSphere(atomic)->radius, 5.0f);
    GxAtomicDestroy(atomic);
    GxGeometryDestroy(larger);
    GxFrameDestroy(frame);
}

TEST_F(Clump, AnAtomicAddedToAnotherClumpLeavesTheFirst)
{
    GxClump* first = GxClumpCreate();
    GxClump* second = GxClumpCreate();
    GxAtomic* atomic = GxAtomicCreate();
    GxClumpAddAtomic(first, atomic);
    GxClumpAddAtomic(second, atomic);
    EXPECT_EQ(GxClumpGetNumAtomics(first), 0);
    EXPECT_EQ(GxClumpGetNumAtomics(second), 1);
    EXPECT_EQ(atomic->clump, second);
    GxClumpDestroy(first);
    GxClumpDestroy(second);
}
