// Sub-cameras: the camera's life in its scene, the flight along the paths and the view never taking the pointer.
#include "ui/toolkit/subcamera.h"

#include <cmath>
#include <memory>
#include <utility>

#include "engine/world/camera.h"
#include "engine/world/spline.h"
#include "engine/world/world.h"
#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/spline.h"
#include "gfx/world/world.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

// A scene that counts its draws and updates.
class CountingWorld : public CFerroxWorld {
public:
    void Render(GxCamera* camera) override
    {
        renders++;
        CFerroxWorld::Render(camera);
    }
    void Update(float dt) override
    {
        updated += dt;
        CFerroxWorld::Update(dt);
    }
    int renders = 0;
    float updated = 0.0f;
};

class SubCameraTest : public UiWorldTest {
protected:
    void SetUp() override
    {
        UiWorldTest::SetUp();
        if (HasFatalFailure())
            return;
        game->m_pCamera = std::make_unique<CFerroxCamera>();
        ASSERT_EQ(1, game->m_pCamera->Create(64, 64, 1));
    }
    FerroxWidgetRecord View(CFerroxWorld* scene, CFerroxSpline* position = nullptr, CFerroxSpline* target = nullptr)
    {
        FerroxWidgetRecord record = {};
        record.x = 8;
        record.y = 8;
        record.width = 32;
        record.height = 24;
        record.scene = scene;
        record.positionSpline = position;
        record.targetSpline = target;
        return record;
    }
    static GxMatrix* Pose(CFerroxSubCamera& view) { return GxFrameGetMatrix(GxCameraGetFrame(view.GetCamera())); }
};

TEST_F(SubCameraTest, ReleaseTakesTheCameraOutOfItsSceneOnceOnly)
{
    CountingWorld world;
    ASSERT_EQ(1, world.Create(nullptr, nullptr));
    CFerroxSubCamera view;
    const FerroxWidgetRecord record = View(&world);
    view.Configure(&record);
    ASSERT_NE(view.GetCamera(), nullptr);
    EXPECT_EQ(GxCameraGetWorld(view.GetCamera()), world.GetGraphicsWorld());
    EXPECT_EQ(view.GetCamera()->frameBuffer->width, 32);
    EXPECT_EQ(view.GetCamera()->frameBuffer->height, 24);
    // Turned half round, 10 up and 0.1 behind.
    EXPECT_NEAR(Pose(view)->at.z, -1.0f, 1e-5f);
    EXPECT_NEAR(Pose(view)->pos.y, 10.0f, 1e-5f);
    EXPECT_NEAR(Pose(view)->pos.z, 0.1f, 1e-5f);

    view.Release();
    EXPECT_EQ(view.GetCamera(), nullptr);
    EXPECT_EQ(view.GetScene(), nullptr);
    // A second Release (the destructor's too) destroys nothing again: the sanitizer would see it.
    view.Release();

    // A scene released first has let the camera go; the view's Release then finds no world to leave.
    CFerroxSubCamera late;
    late.Configure(&record);
    ASSERT_NE(late.GetCamera(), nullptr);
    world.Release();
    EXPECT_EQ(GxCameraGetWorld(late.GetCamera()), nullptr);
    late.Render(0.0f, 0.0f);
    late.Release();
}

TEST_F(SubCameraTest, ViewOfAMissingLevelDrawsNothingAndStillMoves)
{
    CountingWorld world;
    EXPECT_EQ(0, world.Create(Path("missing.gxs").c_str(), nullptr));
    CFerroxSpline missingPath, missingTarget;
    EXPECT_EQ(0, missingPath.Read(Path("missing-spl.gxs").c_str()));
    EXPECT_EQ(0, missingTarget.Read(Path("missing-spl2.gxs").c_str()));
    CFerroxSplineSubCamera view;
    const FerroxWidgetRecord record = View(&world, &missingPath, &missingTarget);
    view.Configure(&record);
    ASSERT_NE(view.GetCamera(), nullptr);
    const GxMatrix before = *Pose(view);
    game->m_times[0] = 1.0f;
    view.Update();
    view.Render(0.0f, 0.0f);
    EXPECT_EQ(world.renders, 0);
    EXPECT_FLOAT_EQ(view.GetParameter(), 0.02f);
    EXPECT_FLOAT_EQ(Pose(view)->pos.y, before.pos.y);

    // Without a game camera there is no view camera at all; it neither draws nor crashes.
    game->m_pCamera.reset();
    CFerroxSplineSubCamera orphan;
    orphan.Configure(&record);
    EXPECT_EQ(orphan.GetCamera(), nullptr);
    orphan.Update();
    orphan.Render(0.0f, 0.0f);
    EXPECT_EQ(world.renders, 0);
}

TEST_F(SubCameraTest, PathParameterAdvancesByFrameTimeAndWraps)
{
    CountingWorld world;
    ASSERT_EQ(1, world.Create(nullptr, nullptr));
    const GxV3d points[4] = {{0, 5, 0}, {10, 5, 0}, {20, 5, 0}, {30, 5, 0}};
    CFerroxSpline path;
    ASSERT_EQ(1, path.Create(points, 4, "path"));
    CFerroxSplineSubCamera view;
    const FerroxWidgetRecord record = View(&world, &path);
    view.Configure(&record);
    EXPECT_NEAR(Pose(view)->pos.x, 0.0f, 1e-4f);
    game->m_times[0] = 25.0f;
    view.Update();
    EXPECT_FLOAT_EQ(view.GetParameter(), 0.5f);
    EXPECT_NEAR(world.updated, 25.0f, 1e-5f);
    EXPECT_GT(Pose(view)->pos.x, 5.0f);
    EXPECT_LT(Pose(view)->pos.x, 25.0f);
    view.Update();
    EXPECT_FLOAT_EQ(view.GetParameter(), 0.0f);

    // With neither path the parameter stays and so does the pose.
    CFerroxSplineSubCamera still;
    const FerroxWidgetRecord bare = View(&world);
    still.Configure(&bare);
    const GxMatrix before = *Pose(still);
    still.Update();
    EXPECT_EQ(still.GetParameter(), 0.0f);
    EXPECT_EQ(Pose(still)->pos.z, before.pos.z);
}

TEST_F(SubCameraTest, TargetOnlyTurnsTheCameraFromWhereItStands)
{
    CountingWorld world;
    ASSERT_EQ(1, world.Create(nullptr, nullptr));
    // The target runs along x at the camera's height and 10 in front of it.
    const GxV3d points[4] = {{-30, 10, -10}, {-10, 10, -10}, {10, 10, -10}, {30, 10, -10}};
    CFerroxSpline target;
    ASSERT_EQ(1, target.Create(points, 4, "target"));
    CFerroxSplineSubCamera view;
    const FerroxWidgetRecord record = View(&world, nullptr, &target);
    view.Configure(&record);
    game->m_times[0] = 25.0f;  // halfway: the target stands at x 0, straight ahead
    view.Update();
    const GxMatrix* pose = Pose(view);
    EXPECT_NEAR(pose->pos.x, 0.0f, 1e-5f);
    EXPECT_NEAR(pose->pos.y, 10.0f, 1e-5f);
    EXPECT_NEAR(pose->pos.z, 0.1f, 1e-5f);
    GxV3d target0;
    GxMatrix at;
    target.FindMatrix(0.5f, &at);
    target0 = at.pos;
    GxV3d towards = {target0.x - pose->pos.x, target0.y - pose->pos.y, target0.z - pose->pos.z};
    const float length = std::sqrt(towards.x * towards.x + towards.y * towards.y + towards.z * towards.z);
    EXPECT_NEAR(pose->at.x, towards.x / length, 1e-4f);
    EXPECT_NEAR(pose->at.z, towards.z / length, 1e-4f);
    // Upright: right is level and up has no downward part.
    EXPECT_NEAR(pose->right.y, 0.0f, 1e-5f);
    EXPECT_GT(pose->up.y, 0.9f);
    // Later the target has moved on to +x and the camera, still where it was, turns after it.
    game->m_times[0] = 10.0f;
    view.Update();
    EXPECT_NEAR(Pose(view)->pos.z, 0.1f, 1e-5f);
    EXPECT_GT(Pose(view)->at.x, 0.3f);
}

// Routes presses and records them.
class PressCanvas : public CFerroxCanvas {
public:
    void OnWidgetEvent(int32_t index, int32_t event) override { events.push_back({index, event}); }
    std::vector<std::pair<int32_t, int32_t>> events;
};

TEST_F(SubCameraTest, ViewIsNeverHitSoAPressReachesTheWidgetBehindIt)
{
    PressCanvas canvas;
    canvas.AddWidget(std::make_unique<CFerroxWidget>());  // background
    auto owned = std::make_unique<CFerroxSubCamera>();
    CFerroxSubCamera* view = owned.get();
    const FerroxWidgetRecord record = View(nullptr);
    view->Configure(&record);
    canvas.AddWidget(std::move(owned));
    auto below = std::make_unique<CFerroxWidget>();
    FerroxWidgetRecord area = {};
    area.x = 0;
    area.y = 0;
    area.width = 64;
    area.height = 64;
    below->Configure(&area);
    canvas.AddWidget(std::move(below));
    mouse->GetPosition()->x = 20.0f;
    mouse->GetPosition()->y = FerroxGetScreenHeight() - 20.0f;
    EXPECT_EQ(view->HitTest(nullptr), 0);
    mouse->GetPosition()->left = FERROX_BUTTON_DOWN;
    canvas.Update();
    ASSERT_FALSE(canvas.events.empty());
    EXPECT_EQ(canvas.events.front(), std::make_pair(1, static_cast<int32_t>(FERROX_WIDGET_NOT_OVER)));
    EXPECT_EQ(canvas.events.back(), std::make_pair(2, static_cast<int32_t>(FERROX_WIDGET_PRESSED)));
    canvas.Release();
}

}  // namespace
