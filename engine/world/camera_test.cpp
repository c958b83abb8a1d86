// Cameras on the software device: settings, motion by mode within bounds, sub-cameras, screenshots, and
// cameras in worlds rendering the clumps they see.
#include "engine/world/camera.h"
#include "engine/testsupport/files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/application/base.h"
#include "engine/application/mouse.h"
#include "engine/data/tagtree.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/frame.h"
#include "gfx/core/image.h"
#include "gfx/core/pipeline.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/world/clump.h"
#include "gfx/world/world.h"
#include "gfx/world/world_testing.h"

namespace {

// The mall's ground rectangle, as the game's camera installs it.
int InsideBounds(const GxV3d* p) { return p->x >= -40.0f && p->x <= 240.0f && p->z >= -240.0f && p->z <= 40.0f; }

class GroundCamera : public CVantorCamera {
public:
    void MoveClamped(const GxV3d* delta) override { MoveOnGround(delta, nullptr); }
};

class Camera : public GxD3D9SoftwareTest {
protected:
    Camera() : GxD3D9SoftwareTest(80, 60) {}
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        ASSERT_TRUE(GxTestFileSystemOpen());
        game.GetFrameTimes()[0] = 1.0f;
        FerroxSetGame(&game);
    }
    void TearDown() override
    {
        FerroxSetGame(nullptr);
        g_pFerroxSetupTree = nullptr;
        GxFileSystemManagerClose();
        GxD3D9SoftwareTest::TearDown();
    }
    void Settings(const std::string& text)
    {
        settings = std::make_unique<CFerroxTagTree>();
        settings->LoadFromMemory(text.data(), text.size());
        g_pFerroxSetupTree = settings.get();
    }
    CFerroxGame game;
    std::unique_ptr<CFerroxTagTree> settings;
};

std::string GameData(const std::string& body) { return "<Game_Data>\n" + body + "</Game_Data>\n"; }

std::string Key(const char* name, const char* value)
{
    return std::string("<") + name + ">\n" + value + "\n</" + name + ">\n";
}

}  // namespace

TEST_F(Camera, ClipPlanesAndBackgroundComeFromTheSettings)
{
    Settings(GameData(Key("NearClipPlane", "50") + Key("FarClipPlane", "600") + Key("FogClipPlane", "300") +
                      Key("BGr", "1") + Key("BGg", "258") + Key("BGb", "3") + Key("Bga", "4")));
    CFerroxCamera camera;
    ASSERT_EQ(1, camera.Create(80, 60, 1));
    EXPECT_FLOAT_EQ(0.5f, camera.GetGraphicsCamera()->nearPlane);
    EXPECT_FLOAT_EQ(600.0f, camera.GetGraphicsCamera()->farPlane);
    EXPECT_FLOAT_EQ(300.0f, camera.GetGraphicsCamera()->fogPlane);
    const GxRGBA* bg = FerroxGetBackgroundColour();
    EXPECT_EQ(1, bg->red);
    EXPECT_EQ(2, bg->green);  // truncated to a byte
    EXPECT_EQ(3, bg->blue);
    EXPECT_EQ(4, bg->alpha);
}

// Missing nodes, text where numbers belong and planes that make no projection fall back to the defaults.
TEST_F(Camera, DamagedSettingsGiveTheDefaults)
{
    const std::string cases[] = {
        "",
        GameData(""),
        GameData(Key("NearClipPlane", "ten") + Key("FarClipPlane", "6e") + Key("FogClipPlane", "") + Key("BGr", "red")),
        GameData(Key("NearClipPlane", "0") + Key("FarClipPlane", "600")),
        GameData(Key("NearClipPlane", "5000") + Key("FarClipPlane", "20")),
        GameData(Key("NearClipPlane", "nan") + Key("FarClipPlane", "inf")),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        Settings(text);
        CFerroxCamera camera;
        ASSERT_EQ(1, camera.Create(80, 60, 0));
        EXPECT_FLOAT_EQ(0.05f, camera.GetGraphicsCamera()->nearPlane);
        EXPECT_FLOAT_EQ(10.0f, camera.GetGraphicsCamera()->farPlane);
        EXPECT_FLOAT_EQ(5.0f, camera.GetGraphicsCamera()->fogPlane);
        const GxRGBA* bg = FerroxGetBackgroundColour();
        EXPECT_EQ(104, bg->red);
        EXPECT_EQ(188, bg->blue);
        EXPECT_EQ(255, bg->alpha);
    }
    g_pFerroxSetupTree = nullptr;
    CFerroxCamera camera;
    ASSERT_EQ(1, camera.Create(80, 60, 0));
    EXPECT_FLOAT_EQ(0.05f, camera.GetGraphicsCamera()->nearPlane);
}

TEST_F(Camera, GlideStaysInsideTheGroundBoundsAndRaiseMovesStraightUp)
{
    GroundCamera camera;
    ASSERT_EQ(1, camera.Create(80, 60, 1));
    camera.SetMoveValidator(InsideBounds);
    camera.m_mode = VANTOR_CAMERA_GLIDE;
    camera.m_keepMotion = 1;
    camera.m_motion[2] = 30.0f;  // forward: +z for an unturned camera
    camera.Update();
    EXPECT_FLOAT_EQ(30.0f, camera.GetPosition()->z);  // ramp reached 1.0 in one second
    camera.Update();
    EXPECT_FLOAT_EQ(30.0f, camera.GetPosition()->z);  // 60 would leave the ground: undone
    camera.m_motion[2] = 0.0f;
    camera.m_motion[0] = -50.0f;  // x -50 is off the ground
    camera.Update();
    EXPECT_FLOAT_EQ(0.0f, camera.GetPosition()->x);
    camera.m_motion[0] = 50.0f;
    camera.Update();
    EXPECT_FLOAT_EQ(30.0f, camera.GetPosition()->z);
    EXPECT_FLOAT_EQ(50.0f, camera.GetPosition()->x);
    // Without keep-motion the request is used once.
    camera.m_keepMotion = 0;
    camera.Update();
    EXPECT_FLOAT_EQ(0.0f, camera.m_motion[0]);

    camera.m_mode = VANTOR_CAMERA_RAISE;
    camera.m_motion[1] = -1.2f;
    const GxV3d before = *camera.GetPosition();
    camera.Update();
    EXPECT_NEAR(12.0f, std::fabs(camera.GetPosition()->y - before.y), 1e-4f);
    EXPECT_FLOAT_EQ(before.x, camera.GetPosition()->x);
    EXPECT_FLOAT_EQ(before.z, camera.GetPosition()->z);
    EXPECT_FLOAT_EQ(0.0f, camera.m_motion[1]);
}

TEST_F(Camera, PitchRequestsOutsideTheRangeAreIgnoredAndLockedModeIgnoresThem)
{
    GroundCamera camera;
    ASSERT_EQ(1, camera.Create(80, 60, 1));
    camera.m_mode = VANTOR_CAMERA_TURN;
    camera.m_pitchInput = 100.0f;  // 10 degrees
    camera.Update();
    EXPECT_FLOAT_EQ(10.0f, camera.GetPitchTotal());
    EXPECT_FLOAT_EQ(0.0f, camera.m_pitchInput);
    camera.PitchClamped(nullptr, -5.1f, 1);  // 4.9: ignored, not clipped
    EXPECT_FLOAT_EQ(10.0f, camera.GetPitchTotal());
    camera.PitchClamped(nullptr, 70.1f, 1);  // 80.1
    EXPECT_FLOAT_EQ(10.0f, camera.GetPitchTotal());
    camera.PitchClamped(nullptr, 70.0f, 1);
    EXPECT_FLOAT_EQ(80.0f, camera.GetPitchTotal());
    camera.m_mode = VANTOR_CAMERA_LOCKED;
    camera.PitchClamped(nullptr, -10.0f, 1);
    EXPECT_FLOAT_EQ(80.0f, camera.GetPitchTotal());
    // Yaw turns about the world's up axis: the view's height over the ground does not change.
    const float atY = camera.GetAt()->y;
    camera.Yaw(nullptr, 90.0f, 1);
    EXPECT_NEAR(atY, camera.GetAt()->y, 1e-5f);
    EXPECT_FLOAT_EQ(90.0f, camera.GetYawTotal());
}

// Looking straight down the heading has no level part: a move along it goes nowhere.
TEST_F(Camera, AMoveAlongAHeadingStraightDownLeavesThePositionAlone)
{
    GroundCamera camera;
    ASSERT_EQ(1, camera.Create(80, 60, 1));
    GxFrame* frame = GxCameraGetFrame(camera.GetGraphicsCamera());
    const GxV3d across = {1.0f, 0.0f, 0.0f};
    GxFrameRotate(frame, &across, 90.0f, gxCOMBINEREPLACE);
    const GxV3d before = *camera.GetPosition();
    const GxV3d ahead = {0.0f, 0.0f, 2.0f};
    camera.MoveOnGround(&ahead, nullptr);
    EXPECT_EQ(before.x, camera.GetPosition()->x);
    EXPECT_EQ(before.y, camera.GetPosition()->y);
    EXPECT_EQ(before.z, camera.GetPosition()->z);
    // Sideways it still moves.
    const GxV3d aside = {1.0f, 0.0f, 0.0f};
    camera.MoveOnGround(&aside, nullptr);
    EXPECT_NEAR(1.0f, std::fabs(camera.GetPosition()->x - before.x), 1e-4f);
}

// A camera that was never made reports each forwarded call as failed.
TEST_F(Camera, ForwardersWithoutACameraFail)
{
    GroundCamera camera;
    EXPECT_EQ(1, camera.ShowRaster(nullptr));
    EXPECT_EQ(1, camera.Clear(nullptr, 3));
    EXPECT_EQ(1, camera.RenderVisibleClumps());
    EXPECT_EQ(1, camera.PushRasterContext());
}

TEST_F(Camera, SubCameraSharesTheRastersAndCopiesTheDistances)
{
    Settings(GameData(Key("NearClipPlane", "20") + Key("FarClipPlane", "90")));
    CFerroxCamera camera;
    ASSERT_EQ(1, camera.Create(80, 60, 1));
    const GxRect rect = {10, 10, 40, 20};
    GxCamera* sub = camera.CreateSubCamera(&rect);
    ASSERT_NE(nullptr, sub);
    EXPECT_EQ(40, sub->frameBuffer->width);
    EXPECT_EQ(20, sub->frameBuffer->height);
    EXPECT_FLOAT_EQ(0.2f, sub->nearPlane);
    EXPECT_FLOAT_EQ(90.0f, sub->farPlane);
    EXPECT_NEAR(0.57735f, sub->viewWindow.x, 1e-4f);
    EXPECT_NEAR(0.57735f * 0.5f, sub->viewWindow.y, 1e-4f);
    const GxRect none = {0, 0, 0, 0};
    EXPECT_EQ(nullptr, camera.CreateSubCamera(&none));
    GxFrame* frame = GxCameraGetFrame(sub);
    GxObjectSetFrame(&sub->object, nullptr);
    GxRasterDestroy(sub->frameBuffer);
    GxRasterDestroy(sub->zBuffer);
    GxCameraDestroy(sub);
    GxFrameDestroy(frame);
}

TEST_F(Camera, ScreenshotIsResampledToTheThumbnailSize)
{
    CFerroxCamera camera;
    ASSERT_EQ(1, camera.Create(80, 60, 1));
    const GxRGBA red = {200, 10, 20, 255};
    ASSERT_EQ(0, camera.Clear(&red, 3));
    const std::string path =
        (std::filesystem::temp_directory_path() / ("ferrox_camera_shot_" + FerroxTestRunTag() + ".bmp")).string();
    ASSERT_EQ(0, camera.SaveScreenshot(path.c_str(), 16, 12));
    ASSERT_TRUE(GxImageRegisterImageFormat("bmp", GxImageReadBMP, nullptr));
    GxImage* image = GxImageReadBMP(path.c_str());
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(16, image->width);
    EXPECT_EQ(12, image->height);
    const GxUInt8* pixel = image->pixels + 5 * image->stride + 7 * (image->depth / 8);
    if (image->depth >= 24) {
        EXPECT_EQ(200, pixel[0]);
        EXPECT_EQ(10, pixel[1]);
        EXPECT_EQ(20, pixel[2]);
    }
    GxImageDestroy(image);
    // The frame buffer's own size is written as it is.
    ASSERT_EQ(0, camera.SaveScreenshot(path.c_str(), 80, 60));
    image = GxImageReadBMP(path.c_str());
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(80, image->width);
    GxImageDestroy(image);
    std::remove(path.c_str());
    EXPECT_EQ(1, camera.SaveScreenshot(path.c_str(), 0, 12));
}

TEST_F(Camera, ResizeSetsTheViewWindowForTheRectangle)
{
    CFerroxCamera camera;
    ASSERT_EQ(1, camera.Create(80, 60, 1));
    ASSERT_EQ(1, camera.Resize(nullptr, 0.5f));
    EXPECT_FLOAT_EQ(0.5f, camera.GetGraphicsCamera()->viewWindow.x);
    EXPECT_FLOAT_EQ(0.375f, camera.GetGraphicsCamera()->viewWindow.y);
    const GxRect tall = {0, 0, 30, 60};
    ASSERT_EQ(1, camera.Resize(&tall, 0.5f));
    EXPECT_FLOAT_EQ(0.25f, camera.GetGraphicsCamera()->viewWindow.x);
    EXPECT_FLOAT_EQ(0.5f, camera.GetGraphicsCamera()->viewWindow.y);
    EXPECT_EQ(30, camera.GetWidth());
    const GxRect empty = {0, 0, 0, 60};
    EXPECT_EQ(0, camera.Resize(&empty, 0.5f));
    // A rectangle reaching past the frame buffer is refused and changes nothing.
    const GxRect outside = {60, 0, 40, 60};
    EXPECT_EQ(0, camera.Resize(&outside, 0.5f));
    EXPECT_EQ(30, camera.GetWidth());
    EXPECT_FLOAT_EQ(0.25f, camera.GetGraphicsCamera()->viewWindow.x);
}

namespace {

std::vector<GxClump*> g_rendered;

GxClump* RecordRender(GxClump* clump, void*)
{
    g_rendered.push_back(clump);
    return clump;
}

GxClump* RecordAndStop(GxClump* clump, void* data)
{
    RecordRender(clump, data);
    return nullptr;
}

class CameraInWorld : public Camera {
protected:
    void AttachPlugins() override { ASSERT_TRUE(GxWorldPluginAttach()); }
    void SetUp() override
    {
        Camera::SetUp();
        g_rendered.clear();
        const GxBBox box = {{50, 50, 50}, {-50, -50, -50}};
        for (GxWorld*& world : worlds) {
            world = GxWorldCreate(&box);
            ASSERT_NE(world, nullptr);
        }
    }
    void TearDown() override
    {
        for (GxClump* clump : clumps) {
            GxClumpDestroy(clump);
        }
        for (GxWorld* world : worlds) {
            if (world) {
                GxWorldDestroy(world);
            }
        }
        Camera::TearDown();
    }
    // A clump in worlds[0] with one atomic of bounding radius 1 at each of `points`, rendered by RecordRender.
    GxClump* AddClump(std::vector<GxV3d> points)
    {
        GxClump* clump = GxClumpCreate();
        GxFrame* root = GxFrameCreate();
        GxClumpSetFrame(clump, root);
        for (const GxV3d& at : points) {
            GxFrame* frame = GxFrameCreate();
            GxFrameTranslate(frame, &at, 0);
            GxFrameAddChild(root, frame);
            GxAtomic* atomic = GxAtomicCreate();
            GxAtomicSetFrame(atomic, frame);
            GxGeometry* box = GxWorldTestBox(nullptr, nullptr, 0.5f);
            GxAtomicSetGeometry(atomic, box, 0);
            GxGeometryDestroy(box);
            atomic->boundingSphere = GxSphere{{0, 0, 0}, 1.0f};
            GxAtomicSetGeometry(atomic, atomic->geometry, 1);
            GxClumpAddAtomic(clump, atomic);
        }
        GxClumpSetCallback(clump, RecordRender);
        GxWorldAddClump(worlds[0], clump);
        clumps.push_back(clump);
        return clump;
    }
    GxWorld* worlds[2] = {};
    std::vector<GxClump*> clumps;
};

}  // namespace

TEST_F(CameraInWorld, AddedToOneWorldAtATimeAndRemovedFromTheOneItIsIn)
{
    CFerroxCamera camera;
    EXPECT_EQ(1, camera.AddToWorld(worlds[0]));  // no graphics camera yet
    EXPECT_EQ(1, camera.RemoveFromWorld(nullptr));
    ASSERT_EQ(1, camera.Create(80, 60, 1));
    GxCamera* graphics = camera.GetGraphicsCamera();

    EXPECT_EQ(1, camera.RemoveFromWorld(worlds[0]));
    EXPECT_EQ(0, camera.AddToWorld(worlds[0]));
    EXPECT_EQ(worlds[0], GxCameraGetWorld(graphics));
    EXPECT_EQ(1, camera.AddToWorld(worlds[1]));
    EXPECT_EQ(worlds[0], GxCameraGetWorld(graphics)) << "a second add moved the camera";
    EXPECT_EQ(1, camera.AddToWorld(nullptr));

    // Naming another world still takes the camera out of the one it is in.
    EXPECT_EQ(0, camera.RemoveFromWorld(worlds[1]));
    EXPECT_EQ(nullptr, GxCameraGetWorld(graphics));
    EXPECT_EQ(1, camera.RemoveFromWorld(worlds[0]));

    EXPECT_EQ(0, camera.AddToWorld(worlds[1]));
    EXPECT_EQ(0, camera.RemoveFromWorld(nullptr));
    EXPECT_EQ(nullptr, GxCameraGetWorld(graphics));
}

TEST_F(CameraInWorld, VisibleClumpsAreRenderedOnceEach)
{
    Settings(GameData(Key("NearClipPlane", "10") + Key("FarClipPlane", "30")));
    CFerroxCamera camera;
    ASSERT_EQ(1, camera.Create(80, 60, 1));
    GxClump* twoAtomics = AddClump({{-0.5f, 0, 8}, {0.5f, 0, 9}});
    GxClump* ahead = AddClump({{0, 1, 15}});
    AddClump({{0, 0, -8}});  // behind the camera
    AddClump({{0, 0, 45}});  // beyond the far plane

    EXPECT_EQ(0, camera.RenderVisibleClumps());
    EXPECT_TRUE(g_rendered.empty()) << "rendered while in no world";

    ASSERT_EQ(0, camera.AddToWorld(worlds[0]));
    GxFrameSyncDirty();
    for (int pass = 1; pass <= 2; pass++) {
        g_rendered.clear();
        EXPECT_EQ(0, camera.RenderVisibleClumps());
        std::vector<GxClump*> sorted = g_rendered;
        std::sort(sorted.begin(), sorted.end());
        std::vector<GxClump*> expected = {twoAtomics, ahead};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, sorted) << "pass " << pass;
    }

    // A clump's callback returning null ends the walk.
    GxClumpSetCallback(twoAtomics, RecordAndStop);
    GxClumpSetCallback(ahead, RecordAndStop);
    g_rendered.clear();
    EXPECT_EQ(0, camera.RenderVisibleClumps());
    EXPECT_EQ(1u, g_rendered.size());

    ASSERT_EQ(0, camera.RemoveFromWorld(worlds[0]));
    g_rendered.clear();
    EXPECT_EQ(0, camera.RenderVisibleClumps());
    EXPECT_TRUE(g_rendered.empty()) << "rendered after leaving the world";
}

namespace {

// The engine on the software device in the 1024 x 768 full-screen mode, its window's client area that size.
class FullScreenCamera : public GxD3D9SoftwareTest {
protected:
    FullScreenCamera() : GxD3D9SoftwareTest(1024, 768, false) {}
    void SetUp() override
    {
        GxTestEngineSetup setup;
        setup.width = 1024;
        setup.height = 768;
        setup.start = false;
        setup.files = false;
        engine.emplace(setup);
        GX_ASSERT_ENGINE_STARTED(*engine);
        window = engine->Window();
        ASSERT_TRUE(GxEngineOpen(engine->WindowSlot()));
        GxInt32 chosen = -1;
        for (GxInt32 i = 0; i < GxEngineGetNumVideoModes(); ++i) {
            GxVideoMode mode = {};
            if (GxEngineGetVideoModeInfo(&mode, i) && (mode.flags & 1) && mode.width == 1024 && mode.height == 768)
                chosen = i;
        }
        ASSERT_GE(chosen, 0);
        ASSERT_TRUE(GxEngineSetVideoMode(chosen));
        ASSERT_TRUE(GxEngineStart());
        FerroxSetGame(&game);
    }
    void TearDown() override
    {
        FerroxSetGame(nullptr);
        GxD3D9SoftwareTest::TearDown();
    }
    CFerroxGame game;
};

}  // namespace

// The game makes its camera for the 800 x 600 virtual screen; in a larger full-screen mode the camera's frame
// buffer is still the whole screen, and the mouse works in its pixels.
TEST_F(FullScreenCamera, TheFrameBufferIsTheWholeScreenOfALargerMode)
{
    CFerroxCamera camera;
    ASSERT_EQ(1, camera.Create(800, 600, 1));
    ASSERT_EQ(1, camera.Resize(nullptr, 0.57735f));
    EXPECT_EQ(1024, camera.GetWidth());
    EXPECT_EQ(768, camera.GetHeight());
    EXPECT_EQ(1024, camera.GetGraphicsCamera()->zBuffer->width);
    EXPECT_FLOAT_EQ(0.75f * 0.57735f, camera.GetGraphicsCamera()->viewWindow.y);
    game.SetScreenSize(camera.GetWidth(), camera.GetHeight());
    CFerroxMouse mouse;
    const FerroxMousePosition* at = mouse.MoveTo(1000.0f, 700.0f);
    EXPECT_FLOAT_EQ(1000.0f, at->x);
    EXPECT_FLOAT_EQ(700.0f, at->y);
    at = mouse.MoveTo(1100.0f, 800.0f);
    EXPECT_FLOAT_EQ(1024.0f, at->x);
    EXPECT_FLOAT_EQ(768.0f, at->y);
}
