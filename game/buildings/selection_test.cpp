// The selection marker on the authored London level, drawn on the OpenGL back end: made once from the template
// with the ring model, and seen round the feet of the selected shopper only; the game's frame of the level, which
// hands the ring's clump to its callback.
#include <memory>
#include <string>

#include "engine/world/picker_testing.h"
#include "game/buildings/placement_testing.h"
#include "game/shell/camera.h"
#include "game/world/levelmanager.h"
#include "game/world/objectmgr_testing.h"
#include "game/world/world.h"
#include "gfx/core/camera.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/testsupport/demo_scene.h"

namespace {

constexpr GxInt32 kSize = 32;
constexpr float kEyeHeight = 3.0f;
constexpr float kLookDown = 90.0f;
constexpr float kViewSize = 0.57735f;
constexpr float kRingRadius = 0.8f;
// How far red and green must stand above blue for a pixel to count as the ring's yellow.
constexpr int kYellowMargin = 60;

// A shopper standing where the test puts it.
class StandingShopper : public CFerroxObject {
public:
    GxV3d* GetPosition() override { return &at; }
    GxV3d at = {0.0f, 0.0f, 0.0f};
};

StandingShopper* g_shopper = nullptr;
int IsTestShopper(CFerroxObject* object) { return object == g_shopper; }

int g_clumpCallbacks = 0;
GxClump* CountClumpCallback(GxClump* clump, void*)
{
    g_clumpCallbacks++;
    return clump;
}

// The London level on the OpenGL back end with the game data loaded, and the game's camera in its world.
class SelectionMarker : public LevelGLDraw {
protected:
    SelectionMarker() : LevelGLDraw(kSize) {}
    static void TearDownTestSuite() { RemoveAuthoredRoot(); }
    void SetUp() override
    {
        LevelGLDraw::SetUp();
        if (!Ready())
            return;
        root = AuthoredRoot();
        if (root.empty())
            GTEST_SKIP() << "needs mkcontent and MALL_SOURCE_DIR";
        ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
        RegisterBuildingClasses();
        game = CGame::Instance(nullptr);
        game->SetNotices(&notices);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(root);
        ASSERT_EQ(1, setup.Load("./setup.xml"));
        g_pFerroxSetupTree = &setup;
        ASSERT_EQ(1, data.Load("./data.xml"));
        CDynamicObjectManager::Instance()->LoadObjectData(&data);
        level = std::make_unique<CLevelManager>();
        level->SetLevel(0);
        ASSERT_EQ(1, level->CreateWorld());
        game->m_pCamera = std::make_unique<CCamera>();
        camera = static_cast<CCamera*>(game->m_pCamera.get());
        ASSERT_EQ(1, camera->Create(kSize, kSize, 1));
        camera->Resize(nullptr, kViewSize);
        ASSERT_EQ(0, camera->AddToWorld(level->GetWorld()->GetGraphicsWorld()));
    }
    void TearDown() override
    {
        if (camera && level && level->GetWorld())
            camera->RemoveFromWorld(level->GetWorld()->GetGraphicsWorld());
        // The marker goes before the templates it was made from, as the game's release has it.
        if (game && game->m_pSelectionIndicator) {
            game->m_pSelectionIndicator->RemoveFromWorld();
            game->m_pSelectionIndicator.reset();
        }
        if (level)
            level->UnloadLevel();
        level.reset();
        CDynamicObjectManager::DestroyInstance();
        CGame::DestroyInstance(nullptr);
        ResetObjectClassHooks();
        ResetBuildingHooks();
        g_shopper = nullptr;
        g_pFerroxSetupTree = nullptr;
        if (!previous.empty())
            std::filesystem::current_path(previous);
        LevelGLDraw::TearDown();
    }
    // Yellow pixels of a frame of the world seen from straight above the shopper.
    int YellowPixels()
    {
        game->PlaceSelectionIndicator();
        GxCamera* graphics = camera->GetGraphicsCamera();
        const GxRGBA black = {0, 0, 0, 255};
        if (camera->Clear(&black, 3) != 0 || camera->BeginUpdate() != 0)
            return -1;
        level->GetWorld()->Render(graphics);
        level->GetWorld()->RenderSecondPass();
        camera->EndUpdate();
        GxRaster* raster = graphics->frameBuffer;
        const GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        if (!bits)
            return -1;
        int count = 0;
        for (GxInt32 y = 0; y < raster->height; y++) {
            const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
            for (GxInt32 x = 0; x < raster->width; x++) {
                const int r = static_cast<int>((row[x] >> 16) & 0xFF), g = static_cast<int>((row[x] >> 8) & 0xFF);
                const int b = static_cast<int>(row[x] & 0xFF);
                if (r - b > kYellowMargin && g - b > kYellowMargin)
                    count++;
            }
        }
        GxRasterUnlock(raster);
        return count;
    }

    std::string root;
    std::filesystem::path previous;
    CGame* game = nullptr;
    RecordingNotices notices;
    CFerroxTagTree setup;
    CFerroxTagTree data;
    std::unique_ptr<CLevelManager> level;
    CCamera* camera = nullptr;  // the game's; it deletes it
    StandingShopper shopper;
};

TEST_F(SelectionMarker, TheRingLiesUnderTheSelectedShopperAndNowhereElse)
{
    game->CreateSelectionIndicator();
    CFerroxObject* marker = game->m_pSelectionIndicator.get();
    ASSERT_NE(nullptr, marker) << "the game data has a template with the ring model";
    ASSERT_NE(nullptr, marker->GetModel());
    EXPECT_NE(std::string::npos, std::string(marker->GetModel()->GetName()).find("people/select.gxs"));
    game->CreateSelectionIndicator();
    EXPECT_EQ(marker, game->m_pSelectionIndicator.get()) << "made once";
    marker->AddToWorld(level->GetWorld());

    ObjectClassHooks hooks = {};
    hooks.isOfKind[OBJECT_LIST_SHOPPERS] = IsTestShopper;
    CDynamicObjectManager::SetClassHooks(hooks);
    g_shopper = &shopper;
    shopper.at = {20.0f, 0.0f, -20.0f};  // on the plot's ground
    const GxV3d eye = {shopper.at.x, shopper.at.y + kEyeHeight, shopper.at.z};
    camera->SetPosition(&eye);
    camera->Pitch(nullptr, kLookDown, 0);

    EXPECT_EQ(0, YellowPixels()) << "nothing selected: the ring is out of sight";
    game->m_pSelectedObject = &shopper;
    EXPECT_GT(YellowPixels(), 20) << "a ring round the shopper's feet";
    EXPECT_NEAR(shopper.at.x, marker->GetPosition()->x, 1e-4f);
    EXPECT_NEAR(shopper.at.z, marker->GetPosition()->z, 1e-4f);
    // A click on the ring never finds the ring (the level's own ground is no model the picker tests).
    FerroxLinePicker picker;
    picker.SetScene(level->GetWorld(), camera);
    const float onRing = shopper.at.x + kRingRadius;
    const GxLine down = {{onRing, 10.0f, shopper.at.z}, {onRing, -10.0f, shopper.at.z}};
    GxV3d point = {0.0f, 0.0f, 0.0f};
    picker.PickLine(down, nullptr, &point);
    EXPECT_NE(marker->GetModel()->GetClump(), picker.GetPickedClump());
    // A selected object that is no character is not marked.
    StandingShopper shop;
    shop.at = shopper.at;
    game->m_pSelectedObject = &shop;
    EXPECT_EQ(0, YellowPixels());
    game->m_pSelectedObject = nullptr;
}

// The level's frame hands each clump in view to its own callback before the world is drawn: a character's
// skeleton advances only there.
TEST_F(SelectionMarker, TheLevelsFrameRunsTheCallbacksOfTheClumpsInView)
{
    game->CreateSelectionIndicator();
    CFerroxObject* marker = game->m_pSelectionIndicator.get();
    ASSERT_NE(nullptr, marker);
    marker->AddToWorld(level->GetWorld());
    ASSERT_EQ(0, marker->GetModel()->SetClumpCallback(CountClumpCallback));
    ObjectClassHooks hooks = {};
    hooks.isOfKind[OBJECT_LIST_SHOPPERS] = IsTestShopper;
    CDynamicObjectManager::SetClassHooks(hooks);
    g_shopper = &shopper;
    shopper.at = {20.0f, 0.0f, -20.0f};
    game->m_pSelectedObject = &shopper;
    const GxV3d eye = {shopper.at.x, shopper.at.y + kEyeHeight, shopper.at.z};
    camera->SetPosition(&eye);
    camera->Pitch(nullptr, kLookDown, 0);

    // The level goes to the game for the frame and comes back for the fixture's teardown.
    game->m_pLevelManager = std::move(level);
    game->m_levelLoaded = 1;
    game->SetState(kGameStateInGame);
    g_clumpCallbacks = 0;
    game->Render();
    game->m_levelLoaded = 0;
    level.reset(static_cast<CLevelManager*>(game->m_pLevelManager.release()));
    game->m_pSelectedObject = nullptr;
    EXPECT_EQ(1, g_clumpCallbacks);
}

}  // namespace
