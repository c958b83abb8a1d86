// The game's camera: its ground rectangle and storey heights, the view following the storey shown, and the
// whole input road from SDL events through the window, the input adapters and the game's keyboard and mouse
// to the camera's motion and the game's key record.
#include <cmath>
#include <string>
#include <utility>

#include "engine/application/app.h"
#include "engine/application/keyboard.h"
#include "engine/application/mouse.h"
#include "game/buildings/citylevel_testing.h"
#include "game/shell/camera.h"
#include "game/shell/game_testing.h"
#include "game/shell/input.h"
#include "platform/testsupport/events.h"
#include "platform/win32/input_testing.h"

namespace {

constexpr float kFrame = 0.05f;
constexpr GxInt32 kCameraWidth = 64;
constexpr GxInt32 kCameraHeight = 48;
constexpr float kDegrees = 3.14159265f / 180.0f;

// The shown storey, as the main bar's floor buttons leave it.
class ShownFloor : public CGameFloors {
public:
    void GoDown() override {}
    void GoUp() override {}
    void SelectTile(int32_t) override {}
    int32_t GetCurrentFloor() override { return floor; }
    int32_t floor = 0;
};

class GameCamera : public GameTest {
protected:
    // The engine on the software device: the camera's rasters are the driver's.
    GameCamera()
    {
        engineSetup.backend = GxTestBackend::kSoftware;
        engineSetup.width = kCameraWidth;
        engineSetup.height = kCameraHeight;
        engineSetup.start = true;
    }
    void SetUp() override
    {
        GameTest::SetUp();
        if (HasFatalFailure())
            return;
        game->m_pCamera = std::make_unique<CCamera>();
        camera = static_cast<CCamera*>(game->m_pCamera.get());
        ASSERT_EQ(1, camera->Create(kCameraWidth, kCameraHeight, 1));
        game->SetFloors(&floors);
        game->GetFrameTimes()[0] = 1.0f;
    }
    void TearDown() override
    {
        if (game)
            game->SetFloors(nullptr);
        GameTest::TearDown();
    }
    // Stands the camera at a point, tilted down by the pitch and turned by the yaw.
    void Stand(GxV3d at, float pitch, float yaw)
    {
        camera->ResetRotation();
        camera->SetPosition(&at);
        camera->Pitch(nullptr, pitch, 0);
        camera->Yaw(nullptr, yaw, 0);
    }
    GxV3d Where() { return *camera->GetPosition(); }

    CCamera* camera = nullptr;  // the game's; it deletes it
    ShownFloor floors;
};

TEST_F(GameCamera, TheGroundRectangleHoldsTheGlide)
{
    const GxV3d inside[] = {{-40.0f, 0.0f, 40.0f}, {240.0f, 0.0f, -240.0f}, {100.0f, 0.0f, -100.0f}};
    for (const GxV3d& p : inside)
        EXPECT_EQ(1, CCamera::IsInsideBounds(&p)) << p.x << "," << p.z;
    const GxV3d outside[] = {{-40.1f, 0.0f, 0.0f}, {240.1f, 0.0f, 0.0f}, {0.0f, 0.0f, 40.1f}, {0.0f, 0.0f, -240.1f}};
    for (const GxV3d& p : outside)
        EXPECT_EQ(0, CCamera::IsInsideBounds(&p)) << p.x << "," << p.z;

    // Create installed the rectangle: a glide that would leave it is undone, one that stays is made.
    Stand({200.0f, 20.0f, 0.0f}, 0.0f, 0.0f);
    camera->m_mode = VANTOR_CAMERA_GLIDE;
    camera->m_keepMotion = 1;
    camera->m_motion[0] = 30.0f;  // along the right vector, +x for an unturned camera
    camera->Update();
    EXPECT_FLOAT_EQ(230.0f, Where().x);
    camera->Update();
    EXPECT_FLOAT_EQ(230.0f, Where().x);
    camera->m_motion[0] = -30.0f;
    camera->Update();
    EXPECT_FLOAT_EQ(200.0f, Where().x);
    EXPECT_FLOAT_EQ(20.0f, Where().y);
}

TEST_F(GameCamera, HeightsFollowTheStoreyShownAndTheLockedModeIsNotHeld)
{
    Stand({10.0f, 20.0f, -10.0f}, 45.0f, 30.0f);
    floors.floor = 2;
    const GxV3d down = {0.0f, -100.0f, 0.0f};
    const GxV3d up = {0.0f, 100.0f, 0.0f};
    camera->MoveClamped(&down);
    EXPECT_FLOAT_EQ(13.0f, Where().y);  // 2 x 4 + 5
    EXPECT_FLOAT_EQ(10.0f, Where().x);
    EXPECT_FLOAT_EQ(-10.0f, Where().z);
    camera->MoveClamped(&up);
    EXPECT_FLOAT_EQ(60.0f, Where().y);
    floors.floor = 0;
    camera->MoveClamped(&down);
    EXPECT_FLOAT_EQ(5.0f, Where().y);

    // The raise mode goes through the clamp: the wheel cannot take the view under the floor.
    camera->m_mode = VANTOR_CAMERA_RAISE;
    camera->m_motion[1] = 1.0f;  // up on the wheel lowers the view by ten per second
    camera->Update();
    EXPECT_FLOAT_EQ(5.0f, Where().y);

    camera->m_mode = VANTOR_CAMERA_LOCKED;
    camera->MoveClamped(&down);
    EXPECT_FLOAT_EQ(-95.0f, Where().y);
}

// The view moves one storey with a plain move, not a clamped one: straight up or down by 4.0, whatever the height.
TEST_F(GameCamera, TheViewGoesUpAndDownOneStoreyStraight)
{
    Stand({50.0f, 20.0f, -50.0f}, 60.0f, 135.0f);
    floors.floor = 1;
    game->CameraUp();
    EXPECT_FLOAT_EQ(24.0f, Where().y);
    // Straight up: a pitched view does not drift over the ground.
    EXPECT_FLOAT_EQ(50.0f, Where().x);
    EXPECT_FLOAT_EQ(-50.0f, Where().z);
    floors.floor = 0;
    game->CameraDown();
    EXPECT_FLOAT_EQ(20.0f, Where().y);

    Stand({50.0f, 58.0f, -50.0f}, 60.0f, 0.0f);
    floors.floor = 4;
    game->CameraUp();
    EXPECT_FLOAT_EQ(62.0f, Where().y);
    Stand({50.0f, 7.0f, -50.0f}, 60.0f, 0.0f);
    floors.floor = 2;
    game->CameraDown();
    EXPECT_FLOAT_EQ(3.0f, Where().y);
}

// The application with its window on SDL's offscreen driver, the game's keyboard and mouse, and the pump of the
// main loop: SDL events become window messages, the window queues them, the adapters hand them on between
// frames, and the camera's update carries out what they asked for.
class InputRoad : public GameCamera {
protected:
    void SetUp() override
    {
        GameCamera::SetUp();
        if (HasFatalFailure())
            return;
        game->SetScreenSize(800, 600);
        game->m_pKeyboard = std::make_unique<CKeyboard>();
        game->m_pMouse = std::make_unique<CMouse>();
        g_pFerroxApp = &app;
        app.m_pGame = game;
        ASSERT_EQ(1, app.Create(nullptr));
        ShowAppWindow(app.GetWindow(), 0);
        Pump();
        app.m_queue.clear();  // what the window got while it opened, as the main loop drops it
        game->GetFrameTimes()[0] = kFrame;
    }
    void TearDown() override
    {
        app.Release();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}
        g_pFerroxApp = nullptr;
        GameCamera::TearDown();
    }
    // One pass of the main loop without the frame: the pump, then the input handed to the adapters.
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        app.DispatchInput();
    }
    void Key(UINT virtualKey, BOOL down)
    {
        ASSERT_TRUE(Win32TestPushKey(app.GetWindow(), virtualKey, down));
        Pump();
    }
    void Point(int x, int y)
    {
        ASSERT_TRUE(Win32TestPushMouseMove(app.GetWindow(), x, y));
        Pump();
    }
    void Button(UINT virtualKey, int x, int y, BOOL down)
    {
        ASSERT_TRUE(Win32TestPushMouseButton(app.GetWindow(), virtualKey, x, y, down));
        Pump();
    }

    CFerroxApp app;
};

TEST_F(InputRoad, AnArrowGlidesShiftArrowTurnsAndAScreenEdgeScrolls)
{
    Stand({100.0f, 20.0f, -100.0f}, 30.0f, 0.0f);

    // Up glides forward along the ground, faster as the ramp grows; releasing it stops the view.
    Key(VK_UP, TRUE);
    camera->Update();
    EXPECT_NEAR(-100.0f + 0.2f, Where().z, 1e-4f);  // ramp 0.05 x 80 x 0.05 s
    camera->Update();
    EXPECT_NEAR(-100.0f + 0.6f, Where().z, 1e-4f);  // then ramp 0.1
    EXPECT_FLOAT_EQ(100.0f, Where().x);
    EXPECT_FLOAT_EQ(20.0f, Where().y);
    Key(VK_UP, FALSE);
    const GxV3d stopped = Where();
    camera->Update();
    EXPECT_FLOAT_EQ(stopped.z, Where().z);

    // The pointer at the left edge scrolls toward screen left (the right vector) and is held inside the margin.
    Point(400, 300);  // the first move only primes the adapter, which skips the echo of each warp
    Point(400, 300);
    Point(3, 300);
    EXPECT_FLOAT_EQ(9.0f, game->m_pMouse->GetPosition()->x);
    camera->Update();
    EXPECT_NEAR(100.0f + 0.2f, Where().x, 1e-4f);
    camera->Update();
    EXPECT_NEAR(100.0f + 0.6f, Where().x, 1e-4f);
    Point(400, 300);  // back inside: the view stops
    const GxV3d scrolled = Where();
    camera->Update();
    EXPECT_FLOAT_EQ(scrolled.x, Where().x);

    // Shift with up turns the view 8 degrees to the left; with left it tilts the view 8 degrees up.
    const GxV3d at = *camera->GetAt();
    Key(VK_LSHIFT, TRUE);
    Key(VK_UP, TRUE);
    camera->Update();
    EXPECT_FLOAT_EQ(8.0f, camera->GetYawTotal());
    const float turned = std::atan2(camera->GetAt()->x, camera->GetAt()->z) - std::atan2(at.x, at.z);
    EXPECT_NEAR(8.0f * kDegrees, turned, 1e-4f);  // toward +x: screen left
    Key(VK_UP, FALSE);
    Key(VK_LEFT, TRUE);
    camera->Update();
    EXPECT_FLOAT_EQ(22.0f, camera->GetPitchTotal());
    Key(VK_LEFT, FALSE);
    Key(VK_LSHIFT, FALSE);
    EXPECT_EQ(VANTOR_CAMERA_NONE, camera->m_mode);
    EXPECT_FLOAT_EQ(scrolled.y, Where().y);  // turning does not move the eye
}

// On a display that refuses the warp back, the device's pointer moves on from where it is: each move of a drag
// turns the view by its own motion, 0.1 degree a pixel, the last move before a frame's update giving the turn,
// and the cursor stays put.
TEST_F(InputRoad, ADragTurnsByThePointersOwnMotionWhereTheDisplayRefusesTheWarp)
{
    Win32TestRefuseWarps(TRUE);
    Stand({100.0f, 20.0f, -100.0f}, 30.0f, 0.0f);
    Point(400, 300);
    Point(400, 300);
    Button(VK_RBUTTON, 400, 300, TRUE);
    ASSERT_EQ(VANTOR_CAMERA_TURN, camera->m_mode);
    for (int x = 410; x <= 450; x += 10) {
        Point(x, 300);
        camera->Update();
    }
    EXPECT_NEAR(-5.0f, camera->GetYawTotal(), 1e-3f);
    for (int x = 460; x <= 500; x += 10)
        Point(x, 300);  // between two frames: the last move's motion is the turn
    camera->Update();
    EXPECT_NEAR(-6.0f, camera->GetYawTotal(), 1e-3f);
    EXPECT_FLOAT_EQ(400.0f, game->m_pMouse->GetPosition()->x);
    Point(500, 350);
    camera->Update();
    EXPECT_NEAR(35.0f, camera->GetPitchTotal(), 1e-3f);
    EXPECT_NEAR(-6.0f, camera->GetYawTotal(), 1e-3f);
    EXPECT_FLOAT_EQ(300.0f, game->m_pMouse->GetPosition()->y);

    // Released away from the cursor: the release comes where the system pointer is, on the cursor.
    Button(VK_RBUTTON, 500, 350, FALSE);
    EXPECT_EQ(VANTOR_CAMERA_NONE, camera->m_mode);
    EXPECT_FLOAT_EQ(400.0f, game->m_pMouse->GetPosition()->x);
    POINT cursor = Win32CursorPos();
    ScreenToClient(app.GetWindow(), &cursor);
    EXPECT_EQ(400, cursor.x);
    EXPECT_EQ(300, cursor.y);

    // The middle button drags the same way.
    Button(VK_MBUTTON, 400, 300, TRUE);
    Point(380, 300);
    camera->Update();
    EXPECT_NEAR(-4.0f, camera->GetYawTotal(), 1e-3f);
    Button(VK_MBUTTON, 380, 300, FALSE);
    Win32TestRefuseWarps(FALSE);
}

// A name typed one key a frame reaches the game's key record key by key, a letter pressed again after its release
// too; the frame's update clears the record, so a frame without a press types nothing.
TEST_F(InputRoad, EachKeyTypedInAFrameOfItsOwnIsThatFramesKey)
{
    ASSERT_EQ(0, static_cast<CKeyboard*>(game->m_pKeyboard.get())->SetCallbacks(CGame::OnKeyDown, CGame::OnKeyUp));
    for (const char letter : std::string("essai")) {
        const UINT key = static_cast<UINT>(letter - 'a' + 'A');
        Key(key, TRUE);
        EXPECT_EQ(letter, game->GetLastKey()->keyCode) << letter;
        game->m_lastKey = FerroxKeyEvent();  // as the frame's update leaves it
        Key(key, FALSE);
        EXPECT_EQ(0, game->GetLastKey()->keyCode) << letter;
    }
}

// The authored London level with its floors and placement controller handed to the game, whose view follows
// the storey shown.
class ViewFollowsFloors : public CityLevelTest {
protected:
    void TearDown() override
    {
        // The level closes with them in the fixture's order.
        if (game && game->m_pFloorManager) {
            floors = std::move(game->m_pFloorManager);
            controller = std::move(game->m_pPlacementController);
        }
        CityLevelTest::TearDown();
    }
};

TEST_F(ViewFollowsFloors, ANewStoreyLiftsTheGroundObjectAndTheViewAndGoingDownLowersThem)
{
    OpenLevel(0);
    if (HasFatalFailure())
        return;
    CGame::FollowFloors(floors.get());
    CFloorManager* storeys = floors.get();
    CPlacementController* placement = controller.get();
    game->m_pFloorManager = std::move(floors);
    game->m_pPlacementController = std::move(controller);
    game->m_pCamera = std::make_unique<CCamera>();
    auto* camera = static_cast<CCamera*>(game->m_pCamera.get());
    ASSERT_EQ(1, camera->Create(kCameraWidth, kCameraHeight, 1));
    const GxV3d eye = {20.0f, 20.0f, -20.0f};
    camera->SetPosition(&eye);
    CFerroxObject* ground = placement->GetGroundObject();
    ASSERT_NE(nullptr, ground);
    const float groundHeight = ground->GetPosition()->y;

    storeys->AddFloor();
    ASSERT_EQ(1, storeys->GetCurrentFloorIndex());
    EXPECT_FLOAT_EQ(24.0f, camera->GetPosition()->y);
    EXPECT_FLOAT_EQ(groundHeight + kStoreyHeight, ground->GetPosition()->y);
    storeys->FloorDown(level->GetWorld());
    EXPECT_FLOAT_EQ(20.0f, camera->GetPosition()->y);
    EXPECT_FLOAT_EQ(groundHeight, ground->GetPosition()->y);
    storeys->FloorUp(nullptr, level->GetWorld());
    EXPECT_FLOAT_EQ(24.0f, camera->GetPosition()->y);
}

}  // namespace
