// Every object model the content writes, read back from its file as the game reads it, draws on the OpenGL back
// end at every depth along the view: near, past each switch of the composite's depth rule and far beyond the
// simple level, with the level selection the file installs and with the composite's own; and each draw leaves
// every atomic a geometry for the picker to hit.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/application/base.h"
#include "engine/world/camera.h"
#include "engine/world/clumpext.h"
#include "engine/world/composite.h"
#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/raster.h"
#include "gfx/core/spline.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/testsupport/demo_scene.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/testsupport/temp_dir.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"
#include "tools/content/misc_models.h"

namespace {

constexpr GxInt32 kSize = 24;
constexpr GxUInt32 kDrawArena = 0x800000;
constexpr GxReal kNear = 0.1f;
constexpr GxReal kFar = 2000.0f;
// The view spans this many times the model's bounding radius at its depth, so a small model still covers pixels.
constexpr GxReal kViewSpan = 1.5f;
constexpr GxReal kSmallestRadius = 0.3f;
const GxRGBA kClear = {0, 0, 255, 255};
const GxV3d kAcross = {1, 0, 0};
const GxV3d kUpright = {0, 1, 0};
// Down and aside, so that no thin piece (a rail, a tile) is seen edge on.
constexpr GxReal kLookDown = 35.0f;
constexpr GxReal kLookAside = 30.0f;
const GxBBox kWorldBox = {{1000, 1000, 1000}, {-1000, -1000, -1000}};
// Around each switch of the composite's rule (8 and 10), the file's simple level (60 on) and where the file's
// own selection reaches its last levels.
const GxReal kDepths[] = {7.9f, 9.0f, 12.0f, 60.0f, 130.0f, 600.0f};

class ModelDraw : public GxTestGLDraw {
protected:
    ModelDraw() : GxTestGLDraw(kSize, kSize, kDrawArena)
    {
        engineSetup.plugins = [] {
            return GxWorldPluginAttach() && GxLODAtomicPluginAttach() && GxD3D9SectorPluginAttach() &&
                   GxUserDataPluginAttach() && GxSplinePluginAttach() && AttachClumpExtension();
        };
    }
    void SetUp() override
    {
        GxTestGLDraw::SetUp();
        if (!Ready())
            return;
        camera = GxTestCameraCreate(kSize, kSize);
        ASSERT_NE(camera, nullptr);
        GxCameraSetNearClipPlane(camera, kNear);
        GxCameraSetFarClipPlane(camera, kFar);
        // The game camera only gives the composite's rule its place and view: both look down as the game's does.
        game.m_pCamera = std::make_unique<CFerroxCamera>();
        ASSERT_EQ(1, game.m_pCamera->Create(kSize, kSize, 0));
        FerroxSetGame(&game);
        for (GxFrame* frame : {GxCameraGetFrame(camera), GxCameraGetFrame(game.m_pCamera->GetGraphicsCamera())}) {
            GxFrameRotate(frame, &kAcross, kLookDown, gxCOMBINEREPLACE);
            GxFrameRotate(frame, &kUpright, kLookAside, gxCOMBINEPOSTCONCAT);
            GxFrameSetDirty(frame);
        }
        view = GxFrameGetMatrix(GxCameraGetFrame(camera))->at;
        world = GxWorldCreate(&kWorldBox);
        ASSERT_NE(world, nullptr);
        GxWorldAddCamera(world, camera);
    }
    void TearDown() override
    {
        FerroxSetGame(nullptr);
        if (world) {
            GxWorldRemoveCamera(world, camera);
            GxWorldDestroy(world);
        }
        if (game.m_pCamera)
            game.m_pCamera->Release();
        GxTestCameraDestroy(camera);
        GxTestGLDraw::TearDown();
    }

    // Draws the model's clump with its origin `depth` ahead of the camera on its line of sight; the pixels that are
    // not the clear colour.
    int DrawnPixels(CFerroxComposite* model, GxReal depth, const GxSphere& bounds)
    {
        const GxV3d at = {view.x * depth, view.y * depth, view.z * depth};
        model->Translate(&at, 0);
        const GxV3d& c = bounds.center;
        const GxReal reach = bounds.radius + std::sqrt(c.x * c.x + c.y * c.y + c.z * c.z);
        const GxReal half = std::max(reach, kSmallestRadius) * kViewSpan / depth;
        const GxV2d window = {half, half};
        GxCameraSetViewWindow(camera, &window);
        GxRGBA background = kClear;
        if (!GxCameraClear(camera, &background, gxCAMERACLEARIMAGE | gxCAMERACLEARZ) || !GxCameraBeginUpdate(camera))
            return -1;
        GxWorldRender(world);
        GxCameraEndUpdate(camera);
        GxRaster* raster = camera->frameBuffer;
        const GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        if (!bits)
            return -1;
        const GxUInt32 clear = (static_cast<GxUInt32>(kClear.red) << 16) | (kClear.green << 8) | kClear.blue;
        int drawn = 0;
        for (GxInt32 y = 0; y < raster->height; y++) {
            const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
            drawn += static_cast<int>(
                std::count_if(row, row + raster->width, [clear](GxUInt32 argb) { return (argb & 0xFFFFFF) != clear; }));
        }
        GxRasterUnlock(raster);
        return drawn;
    }

    CFerroxGame game;
    GxCamera* camera = nullptr;
    GxV3d view = {0, 0, 1};
    GxWorld* world = nullptr;
};

// The sphere round every atomic's own geometry, in the clump's space (the clump frame holds the identity).
GxSphere ClumpBounds(GxClump* clump)
{
    GxBBox box = {{-1e9f, -1e9f, -1e9f}, {1e9f, 1e9f, 1e9f}};
    GxClumpForAllAtomics(
        clump,
        [](GxAtomic* atomic, void* data) -> GxAtomic* {
            const GxGeometry* g = atomic->geometry;
            auto* b = static_cast<GxBBox*>(data);
            const GxMatrix* m = GxFrameGetWorldMatrix(static_cast<GxFrame*>(atomic->object.object.parent));
            for (GxInt32 i = 0; g && i < g->numVertices; i++) {
                const GxV3d v = g->morphTarget[0].verts[i];
                const GxV3d p = {v.x + m->pos.x, v.y + m->pos.y, v.z + m->pos.z};
                b->sup = {std::max(b->sup.x, p.x), std::max(b->sup.y, p.y), std::max(b->sup.z, p.z)};
                b->inf = {std::min(b->inf.x, p.x), std::min(b->inf.y, p.y), std::min(b->inf.z, p.z)};
            }
            return atomic;
        },
        &box);
    const GxV3d half = {(box.sup.x - box.inf.x) * 0.5f, (box.sup.y - box.inf.y) * 0.5f, (box.sup.z - box.inf.z) * 0.5f};
    const GxV3d middle = {box.inf.x + half.x, box.inf.y + half.y, box.inf.z + half.z};
    return {middle, std::sqrt(half.x * half.x + half.y * half.y + half.z * half.z)};
}

// Atomics left without geometry.
int CountBare(GxClump* clump)
{
    int bare = 0;
    GxClumpForAllAtomics(
        clump,
        [](GxAtomic* atomic, void* data) -> GxAtomic* {
            *static_cast<int*>(data) += atomic->geometry ? 0 : 1;
            return atomic;
        },
        &bare);
    return bare;
}

GxAtomic* UseCompositeRule(GxAtomic* atomic, void*)
{
    if (GxLODAtomicGetRecord(atomic))
        GxLODAtomicSetLODCallback(atomic, CFerroxComposite::LODSelect);
    return atomic;
}

}  // namespace

TEST_F(ModelDraw, EveryObjectModelDrawsAtEveryDepthWithEitherLevelRule)
{
    if (!Ready())
        return;
    GxTestTempDir scratch("content_draw");
    std::string detail;
    ASSERT_TRUE(ContentWriteObjectModels(scratch.Dir().string(), &detail)) << detail;
    for (const std::string& path : ContentObjectModelPaths()) {
        SCOPED_TRACE(path);
        CFerroxComposite model;
        ASSERT_EQ(1, model.Load({path.c_str(), (scratch.Dir() / path.substr(2)).string().c_str()}));
        const GxSphere bounds = ClumpBounds(model.GetClump());
        GxWorldAddClump(world, model.GetClump());
        for (bool composite : {false, true}) {
            if (composite)
                GxClumpForAllAtomics(model.GetClump(), UseCompositeRule, nullptr);
            for (GxReal depth : kDepths) {
                EXPECT_GT(DrawnPixels(&model, depth, bounds), 0)
                    << "at depth " << depth << (composite ? " (composite rule)" : "");
                // The picker tests the geometry the last draw left on each atomic: a click must still find it.
                EXPECT_EQ(0, CountBare(model.GetClump())) << "at depth " << depth;
            }
        }
        model.Release();  // takes the clump out of the world
    }
}
