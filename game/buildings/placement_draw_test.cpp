// The build-mode boxes as the player sees them: the authored London level on the OpenGL back end, a camera
// straight above a cell, the world drawn as the game draws it and then the controller's cursor box; the pixel
// under the camera must read green where the held object fits and red where it does not.
#include <cmath>
#include <memory>

#include "game/buildings/placement_testing.h"
#include "game/buildings/shop.h"
#include "game/world/levelmanager.h"
#include "game/world/world.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/demo_scene.h"

namespace {

constexpr GxInt32 kSize = 32;
constexpr float kEyeHeight = 12.0f;
constexpr float kLookDown = 90.0f;
// The cursor box is two units across: this far past the middle of the entrance cell is still on it.
constexpr float kPastEntrance = 0.6f;
// How far one channel must stand above the other to count as that colour.
constexpr int kClearMargin = 24;

struct Pixel {
    int r, g, b;
};

class PlacementDraw : public LevelGLDraw {
protected:
    PlacementDraw() : LevelGLDraw(kSize) {}
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
        camera = GxTestCameraCreate(kSize, kSize);
        ASSERT_NE(camera, nullptr);
        GxCameraSetNearClipPlane(camera, 0.1f);
        GxCameraSetFarClipPlane(camera, 100.0f);
        RegisterBuildingClasses();
        game = CGame::Instance(nullptr);
        game->SetNotices(&notices);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(root);
        ASSERT_EQ(1, setup.Load("./setup.xml"));
        g_pFerroxSetupTree = &setup;
        ASSERT_EQ(1, data.Load("./data.xml"));
        manager = CDynamicObjectManager::Instance();
        manager->LoadObjectData(&data);
        OpenLondon();
    }
    void TearDown() override
    {
        controller.reset();
        if (manager)
            manager->Reset();
        if (camera && level && level->GetWorld())
            GxWorldRemoveCamera(level->GetWorld()->GetGraphicsWorld(), camera);
        if (level)
            level->UnloadLevel();
        level.reset();
        CDynamicObjectManager::SetSeam(nullptr);
        seam.reset();
        floors.reset();
        CDynamicObjectManager::DestroyInstance();
        CGame::DestroyInstance(nullptr);
        CDynamicObjectManager::ResetClassHooks();
        CFloorManager::SetCellFilter(nullptr);
        ResetBuildingHooks();
        g_pFerroxSetupTree = nullptr;
        if (!previous.empty())
            std::filesystem::current_path(previous);
        if (camera)
            GxTestCameraDestroy(camera);
        LevelGLDraw::TearDown();
    }
    void OpenLondon()
    {
        floors = std::make_unique<CFloorManager>();
        floors->Create(&data);
        level = std::make_unique<CLevelManager>();
        level->SetLevel(0);
        ASSERT_EQ(1, level->CreateWorld());
        seam = std::make_unique<CGameObjectSeam>(floors.get(), level.get());
        CDynamicObjectManager::SetSeam(seam.get());
        manager->SwapCityTemplates();
        ASSERT_NE(nullptr, Ground());
        controller = std::make_unique<CPlacementController>();
        controller->Create(floors.get(), level->GetWorld());
        floors->SetHooks(controller->FloorHooks());
        floors->SetWorld(level->GetWorld());
        GxWorldAddCamera(level->GetWorld()->GetGraphicsWorld(), camera);
    }
    CFerroxBlockMesh* Ground() const { return floors->FindBaseFloor(1); }
    int Cell(int row, int column) const { return (row + 1) * Ground()->GetRows() + column + 1; }
    GxV3d At(int cell) const
    {
        return {static_cast<float>(Ground()->GetCellWorldX(cell, 1)), Ground()->GetOrigin().y,
                static_cast<float>(Ground()->GetCellWorldZ(cell, 1))};
    }
    void Lay(int first, int last)
    {
        controller->SetMode(PLACEMENT_LAY, level->GetWorld(), 0, nullptr, nullptr);
        controller->Update(At(first));
        controller->BeginDrag(At(first));
        controller->Update(At(last));
        ASSERT_EQ(0, controller->LayFloorArea(At(last), level->GetWorld()));
        controller->SetMode(PLACEMENT_IDLE, level->GetWorld(), 0, nullptr, nullptr);
    }
    // Holds a shop with the pointer at the cell and returns a point of the cursor box in front of its entrance,
    // clear of the shop's front, which hangs over the entrance cell.
    GxV3d HoldShopAt(int cell)
    {
        controller->SetMode(PLACEMENT_OBJECT, level->GetWorld(), 0, manager->FindTemplate("SHOP_FASHION", 0),
                            manager->FindFactory(kShopFactoryName, nullptr));
        controller->Update(At(cell));
        auto* held = dynamic_cast<CPathableObject*>(controller->GetHeldObject());
        GxV3d entrance = {};
        if (!held || held->GetEntranceCount() < 1 ||
            !Ground()->GetCellPosition(held->GetEntranceCell(0), &entrance, 0)) {
            ADD_FAILURE() << "the held shop has no entrance on the grid";
            return entrance;
        }
        const GxV3d* middle = held->GetPosition();
        const float dx = entrance.x - middle->x, dz = entrance.z - middle->z;
        const float length = std::sqrt(dx * dx + dz * dz);
        if (length > 0.0f) {
            entrance.x += dx / length * kPastEntrance;
            entrance.z += dz / length * kPastEntrance;
        }
        return entrance;
    }
    void LookDownAt(const GxV3d& point)
    {
        GxFrame* frame = GxCameraGetFrame(camera);
        const GxV3d right = {1.0f, 0.0f, 0.0f};
        const GxV3d eye = {point.x, point.y + kEyeHeight, point.z};
        GxFrameRotate(frame, &right, kLookDown, gxCOMBINEREPLACE);
        GxFrameTranslate(frame, &eye, gxCOMBINEPOSTCONCAT);
    }
    // One frame as the game makes it (the objects updated, so that what was removed is gone; the world with its
    // translucent flush; then the controller), and the pixel in the middle.
    Pixel Draw()
    {
        manager->Update(0.0f);
        GxRGBA black = {0, 0, 0, 255};
        if (!GxCameraClear(camera, &black, 3) || !GxCameraBeginUpdate(camera))
            return {-1, -1, -1};
        level->GetWorld()->Render(camera);
        controller->Render();
        GxCameraEndUpdate(camera);
        GxRaster* raster = camera->frameBuffer;
        const GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        if (!bits)
            return {-1, -1, -1};
        const GxUInt32 pixel = *reinterpret_cast<const GxUInt32*>(
            bits + static_cast<size_t>(kSize / 2) * raster->stride + 4 * (kSize / 2));
        GxRasterUnlock(raster);
        return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                static_cast<int>(pixel & 0xFF)};
    }
    // The frame over the cursor box of a shop held at the cell, then the same view with nothing held.
    void DrawWithAndWithout(int cell, Pixel* with, Pixel* without)
    {
        LookDownAt(HoldShopAt(cell));
        *with = Draw();
        controller->SetMode(PLACEMENT_IDLE, level->GetWorld(), 0, nullptr, nullptr);
        *without = Draw();
    }

    // A lay drag on the storey from `first` to `last`, seen from above the middle of the rectangle, then the
    // same view once the drag is dropped.
    void DrawDrag(CFerroxBlockMesh* storey, int first, int last, Pixel* with, Pixel* without)
    {
        const GxV3d from = {static_cast<float>(storey->GetCellWorldX(first, 1)), storey->GetOrigin().y,
                            static_cast<float>(storey->GetCellWorldZ(first, 1))};
        const GxV3d to = {static_cast<float>(storey->GetCellWorldX(last, 1)), storey->GetOrigin().y,
                          static_cast<float>(storey->GetCellWorldZ(last, 1))};
        controller->SetMode(PLACEMENT_LAY, level->GetWorld(), 0, nullptr, nullptr);
        controller->Update(from);
        controller->BeginDrag(from);
        controller->Update(to);
        LookDownAt({(from.x + to.x) * 0.5f, from.y, (from.z + to.z) * 0.5f});
        *with = Draw();
        controller->SetMode(PLACEMENT_IDLE, level->GetWorld(), 0, nullptr, nullptr);
        *without = Draw();
    }

    std::string root;
    std::filesystem::path previous;
    GxCamera* camera = nullptr;
    CGame* game = nullptr;
    RecordingNotices notices;
    CFerroxTagTree setup;
    CFerroxTagTree data;
    CDynamicObjectManager* manager = nullptr;
    std::unique_ptr<CFloorManager> floors;
    std::unique_ptr<CLevelManager> level;
    std::unique_ptr<CGameObjectSeam> seam;
    std::unique_ptr<CPlacementController> controller;
};

::testing::AssertionResult Differs(const Pixel& a, const Pixel& b)
{
    if (a.r != b.r || a.g != b.g || a.b != b.b)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "both " << a.r << "," << a.g << "," << a.b;
}

TEST_F(PlacementDraw, CursorBoxGreenWhereTheShopFitsRedWhereItOverlaps)
{
    Pixel with = {}, without = {};
    DrawWithAndWithout(Cell(10, 10), &with, &without);
    EXPECT_GT(with.g, with.r + kClearMargin) << "fits: " << with.r << "," << with.g << "," << with.b;
    EXPECT_TRUE(Differs(with, without)) << "no box drawn";

    // A second shop over the first cannot go in.
    controller->SetMode(PLACEMENT_OBJECT, level->GetWorld(), 0, manager->FindTemplate("SHOP_FASHION", 0),
                        manager->FindFactory(kShopFactoryName, nullptr));
    controller->Update(At(Cell(10, 10)));
    ASSERT_EQ(0, controller->PlaceHeldObject(At(Cell(10, 10)), level->GetWorld(), 0));
    DrawWithAndWithout(Cell(10, 10), &with, &without);
    EXPECT_GT(with.r, with.g + kClearMargin) << "overlaps: " << with.r << "," << with.g << "," << with.b;
    EXPECT_TRUE(Differs(with, without)) << "no box drawn";
}

// The dragged rectangle's box is an object of the world, drawn at the translucent flush: green over a laid
// ground, red on the storey above where the ground under it has no tiles.
TEST_F(PlacementDraw, AreaBoxGreenOverTheGroundRedWhereNothingIsLaidBelow)
{
    Pixel with = {}, without = {};
    DrawDrag(Ground(), Cell(8, 8), Cell(12, 12), &with, &without);
    EXPECT_GT(with.g, with.r + kClearMargin) << "ground: " << with.r << "," << with.g << "," << with.b;
    EXPECT_TRUE(Differs(with, without)) << "no box drawn";

    floors->AddFloor();
    ASSERT_EQ(2, floors->GetBuiltFloors());
    floors->GoToFloor(1, level->GetWorld());
    DrawDrag(Ground()->GetUpper(), Cell(8, 8), Cell(12, 12), &with, &without);
    EXPECT_GT(with.r, with.g + kClearMargin) << "upper: " << with.r << "," << with.g << "," << with.b;
    EXPECT_TRUE(Differs(with, without)) << "no box drawn";
}

}  // namespace
