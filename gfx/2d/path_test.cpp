// The 2D toolkit's device, transformation stack, path building, miters and curve flattening.
#include <cmath>

#include "gfx/2d/twod_testing.h"

namespace {

using Path2D = Gx2DTest;

TEST_F(Path2D, TransformStackHoldsThirtyTwoLevelsEachWithItsOwnMatrix)
{
    for (GxInt32 level = 1; level < gx2DCTMSTACKDEPTH; level++) {
        ASSERT_TRUE(Gx2DCTMPush()) << level;
        Gx2DCTMTranslate(1.0f, 0.0f);
    }
    EXPECT_FALSE(Gx2DCTMPush());
    EXPECT_FLOAT_EQ(Gx2DCTMGet()->pos.x, 31.0f);
    for (GxInt32 level = gx2DCTMSTACKDEPTH - 2; level >= 0; level--) {
        ASSERT_TRUE(Gx2DCTMPop());
        EXPECT_FLOAT_EQ(Gx2DCTMGet()->pos.x, static_cast<GxReal>(level));
    }
    EXPECT_FALSE(Gx2DCTMPop());
}

TEST_F(Path2D, PixelVectorsAndClipPathFollowTheCameraAndTheTransform)
{
    GxV2d xStep, yStep, origin;
    ASSERT_TRUE(Gx2DDeviceGetPixelVectors(&xStep, &yStep, &origin));
    EXPECT_TRUE(Gx2DTestNear(xStep.x, 1.0f / 480.0f, 1e-6f));
    EXPECT_TRUE(Gx2DTestNear(xStep.y, 0.0f, 1e-6f));
    EXPECT_TRUE(Gx2DTestNear(yStep.y, 1.0f / 480.0f, 1e-6f));
    EXPECT_TRUE(Gx2DTestNear(origin.x, 0.0f) && Gx2DTestNear(origin.y, 0.0f));

    // A 4:3 view spans 0..1.333 by 0..1 in user space.
    Gx2DPath* clip = Gx2DPathCreate();
    ASSERT_TRUE(Gx2DDeviceGetClipPath(clip));
    Gx2DRect box;
    Gx2DPathGetBBox(clip, &box);
    EXPECT_TRUE(Gx2DTestNear(box.x, 0.0f) && Gx2DTestNear(box.y, 0.0f));
    EXPECT_TRUE(Gx2DTestNear(box.w, 4.0f / 3.0f) && Gx2DTestNear(box.h, 1.0f));

    // Scaling user space by 2 halves every pixel vector; a translation moves the origin against it.
    Gx2DCTMPush();
    Gx2DCTMScale(2.0f, 2.0f);
    Gx2DCTMTranslate(0.25f, 0.0f);
    Gx2DDeviceGetPixelVectors(&xStep, &yStep, &origin);
    EXPECT_TRUE(Gx2DTestNear(xStep.x, 1.0f / 960.0f, 1e-6f));
    EXPECT_TRUE(Gx2DTestNear(origin.x, -0.25f));
    Gx2DCTMPop();
    Gx2DPathDestroy(clip);

    EXPECT_FALSE(Gx2DDeviceSetLayerDepth(0.0f));
    EXPECT_FALSE(Gx2DDeviceSetLayerDepth(-1.0f));
    EXPECT_TRUE(Gx2DDeviceSetLayerDepth(2.0f));
}

GxInt32 endedUpdates = 0;
GxCamera* CountEndUpdate(GxCamera* camera)
{
    endedUpdates++;
    return camera;
}

TEST_F(Path2D, DeviceCamerasEndTheirUpdateThroughTheHookEvenAfterReopening)
{
    EXPECT_EQ(camera->endUpdate, Gx2DCameraEndUpdateHook);
    GxCamera* second = GxTestCameraCreate(kWidth, kHeight);
    ASSERT_NE(second, nullptr);
    second->endUpdate = CountEndUpdate;
    endedUpdates = 0;
    ASSERT_TRUE(Gx2DDeviceSetCamera(second));
    EXPECT_EQ(second->endUpdate, Gx2DCameraEndUpdateHook);
    EXPECT_EQ(Gx2DCameraEndUpdateHook(second), second);
    EXPECT_EQ(endedUpdates, 1);
    // The hook is never taken off, so the callback behind it outlives a close and an open.
    Gx2DClose();
    ASSERT_TRUE(Gx2DTestOpen(second));
    EXPECT_EQ(GxCameraEndUpdate(second), second);
    EXPECT_EQ(endedUpdates, 2);
    Gx2DClose();
    GxTestCameraDestroy(second);
    ASSERT_TRUE(Gx2DTestOpen(camera));
}

TEST_F(Path2D, RectangleIsOneClosedSubpathWithMiteredSeam)
{
    Gx2DPath* path = Gx2DPathCreate();
    Gx2DPathRect(path, 0.0f, 0.0f, 1.0f, 1.0f);
    ASSERT_EQ(path->next, nullptr);
    ASSERT_EQ(Gx2DPathGetNumPoints(path), 5);
    EXPECT_TRUE(path->closed);
    const Gx2DPoint* p = Gx2DPathGetPoints(path);
    EXPECT_EQ(p[0].kind, gx2DPOINTMOVETO);
    EXPECT_EQ(p[4].kind, gx2DPOINTLINETO);
    for (GxInt32 i : {0, 4}) {
        EXPECT_TRUE(Gx2DTestNear(p[i].normal.x, -1.0f) && Gx2DTestNear(p[i].normal.y, -1.0f)) << i;
    }
    // The corner (1, 0) between the bottom and right edges: the miter of (0, -1) and (1, 0).
    EXPECT_TRUE(Gx2DTestNear(p[1].normal.x, 1.0f) && Gx2DTestNear(p[1].normal.y, -1.0f));
    EXPECT_TRUE(Gx2DTestNear(p[4].distance, 4.0f));

    // Closing again where the last point already is the first appends nothing.
    Gx2DPathEmpty(path);
    Gx2DPathMoveto(path, 0.0f, 0.0f);
    Gx2DPathLineto(path, 1.0f, 0.0f);
    EXPECT_TRUE(Gx2DTestNear(Gx2DPathGetPoints(path)[0].normal.y, -1.0f));  // the first segment's normal
    Gx2DPathLineto(path, 0.0f, 1.0f);
    Gx2DPathLineto(path, 0.0f, 0.0f);
    Gx2DPathClosePath(path);
    EXPECT_EQ(Gx2DPathGetNumPoints(path), 4);

    // A moveto on an empty subpath adds a start record; a second one starts a new subpath.
    Gx2DPathEmpty(path);
    Gx2DPathMoveto(path, 0.0f, 0.0f);
    EXPECT_EQ(path->next, nullptr);
    Gx2DPathMoveto(path, 1.0f, 1.0f);
    ASSERT_NE(path->next, nullptr);
    EXPECT_EQ(path->current, path->next);
    // Single-point subpaths go; locking and unlocking keep the records.
    Gx2DPathLineto(path, 2.0f, 1.0f);
    Gx2DPath* kept = Gx2DPathLock(Gx2DPathRemoveSinglePoints(path));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->next, nullptr);
    EXPECT_EQ(kept->count, 2);
    Gx2DPathUnlock(kept);
    Gx2DPathLineto(kept, 3.0f, 1.0f);
    EXPECT_EQ(Gx2DPathGetNumPoints(kept), 3);
    Gx2DPathDestroy(kept);
}

TEST_F(Path2D, ReversingAndRepeatedPointsNeverGiveNonFiniteNormals)
{
    Gx2DPath* path = Gx2DPathCreate();
    Gx2DPathMoveto(path, 0.0f, 0.0f);
    Gx2DPathLineto(path, 1.0f, 0.0f);
    Gx2DPathLineto(path, 0.0f, 0.0f);  // straight back
    Gx2DPathLineto(path, 0.0f, 0.0f);  // no length at all
    Gx2DPathLineto(path, 0.0f, 1.0f);
    Gx2DPathClosePath(path);
    const Gx2DPoint* p = Gx2DPathGetPoints(path);
    for (GxInt32 i = 0; i < Gx2DPathGetNumPoints(path); i++) {
        EXPECT_TRUE(std::isfinite(p[i].normal.x) && std::isfinite(p[i].normal.y)) << i;
        EXPECT_TRUE(std::isfinite(p[i].distance)) << i;
    }
    // At the turn the band takes the new segment's normal: (0, 1) for the way back.
    EXPECT_TRUE(Gx2DTestNear(p[1].normal.x, 0.0f) && Gx2DTestNear(p[1].normal.y, 1.0f));
    Gx2DPathDestroy(path);
}

TEST_F(Path2D, CurvesFlattenByToleranceUpToTheSubdivisionDepth)
{
    Gx2DPath* path = Gx2DPathCreate();
    // Control points on the chord: flat at once, one segment.
    Gx2DPathMoveto(path, 0.0f, 0.0f);
    Gx2DPathCurveto(path, 0.25f, 0.0f, 0.75f, 0.0f, 1.0f, 0.0f);
    EXPECT_FALSE(path->flat);
    Gx2DPath* scratch = Gx2DScratchPathGet();
    Gx2DPathFlatten(scratch, path);
    EXPECT_EQ(Gx2DPathGetNumPoints(scratch), 2);

    // A curve bent far beyond the tolerance at every level: 2^7 segments.
    Gx2DPathEmpty(path);
    Gx2DCTMPush();
    Gx2DCTMScale(1.0e4f, 1.0e4f);
    Gx2DPathMoveto(path, 0.0f, 0.0f);
    Gx2DPathCurveto(path, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f);
    scratch = Gx2DScratchPathGet();
    Gx2DPathFlatten(scratch, path);
    EXPECT_EQ(Gx2DPathGetNumPoints(scratch), 1 + 128);
    const Gx2DPoint* p = Gx2DPathGetPoints(scratch);
    EXPECT_TRUE(Gx2DTestNear(p[128].pos.x, 1.0f) && Gx2DTestNear(p[128].pos.y, 0.0f));
    // The curve's highest point is 0.75 up, at its middle.
    Gx2DRect box;
    Gx2DPathGetBBox(path, &box);
    EXPECT_TRUE(Gx2DTestNear(box.h, 0.75f, 1e-3f));
    EXPECT_TRUE(Gx2DTestNear(box.w, 1.0f, 1e-3f));
    Gx2DCTMPop();

    // At the normal tolerance the same curve needs far fewer segments.
    scratch = Gx2DScratchPathGet();
    Gx2DPathFlatten(scratch, path);
    EXPECT_LT(Gx2DPathGetNumPoints(scratch), 1 + 128);
    EXPECT_GT(Gx2DPathGetNumPoints(scratch), 8);
    Gx2DPathDestroy(path);
}

}  // namespace
