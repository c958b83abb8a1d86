// Build mode as the player sees it: the authored London level on the OpenGL back end, a camera straight above,
// the world drawn as the game draws it and then the controller. The pixel under the camera must read green
// where the held object fits and red where it does not; a dragged rectangle shows its box and nothing else; the
// walls of a room stand on its floor's outline and round a hole in it, closed at the corners.
#include <cmath>
#include <memory>
#include <vector>

#include "engine/application/base.h"
#include "game/buildings/placement_testing.h"
#include "game/buildings/shop.h"
#include "game/world/levelmanager.h"
#include "game/world/objectmgr_testing.h"
#include "game/world/world.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/demo_scene.h"

namespace {

constexpr GxInt32 kSize = 32;
// The picture of a room: straight down, without perspective, this many pixels over twice the view window.
constexpr GxInt32 kPictureSize = 256;
constexpr float kPictureWindow = 12.0f;
constexpr bool kControllerOnly = true;
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
    explicit PlacementDraw(GxInt32 size = kSize) : LevelGLDraw(size), size(size) {}
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
        camera = GxTestCameraCreate(size, size);
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
        ResetObjectClassHooks();
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
    // The middle of a cell of the storey (the ground by default).
    GxV3d At(int cell, CFerroxBlockMesh* storey = nullptr) const
    {
        storey = storey ? storey : Ground();
        return {static_cast<float>(storey->GetCellWorldX(cell, 1)), storey->GetOrigin().y,
                static_cast<float>(storey->GetCellWorldZ(cell, 1))};
    }
    // The pointer pressed at `from` and moved to `to`, in the mode given.
    void Drag(PlacementMode mode, const GxV3d& from, const GxV3d& to)
    {
        controller->SetMode(mode, level->GetWorld(), 0, nullptr, nullptr);
        controller->Update(from);
        controller->BeginDrag(from);
        controller->Update(to);
    }
    void Lay(int first, int last)
    {
        Drag(PLACEMENT_LAY, At(first), At(last));
        ASSERT_EQ(0, controller->LayFloorArea(At(last), level->GetWorld()));
        controller->SetMode(PLACEMENT_IDLE, level->GetWorld(), 0, nullptr, nullptr);
    }
    // Holds a shop with the pointer at the cell and returns a point of the cursor box in front of its entrance,
    // clear of the shop's front, which hangs over the entrance cell.
    GxV3d HoldShopAt(int cell)
    {
        controller->SetMode(PLACEMENT_OBJECT, level->GetWorld(), 0, manager->FindTemplate("SHOP_FASHION", 0),
                            manager->FindFactory(kShopFactoryName, level->GetWorld()));
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
    // One frame as the game makes it (the objects updated, so that what was removed is gone; the world; the
    // floors; the controller; the world's translucent pass; or the controller alone), and the pixel in the middle.
    Pixel Draw(bool controllerOnly = false)
    {
        manager->Update(0.0f);
        GxRGBA black = {0, 0, 0, 255};
        frame.clear();
        if (!GxCameraClear(camera, &black, 3) || !GxCameraBeginUpdate(camera))
            return {-1, -1, -1};
        if (!controllerOnly) {
            level->GetWorld()->Render(camera);
            floors->Render();
        }
        controller->Render();
        if (!controllerOnly)
            level->GetWorld()->RenderSecondPass();
        GxCameraEndUpdate(camera);
        GxRaster* raster = camera->frameBuffer;
        const GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        if (!bits)
            return {-1, -1, -1};
        for (GxInt32 y = 0; y < size; y++)
            for (GxInt32 x = 0; x < size; x++) {
                const GxUInt32 pixel =
                    *reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride + 4 * x);
                frame.push_back({static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                                 static_cast<int>(pixel & 0xFF)});
            }
        GxRasterUnlock(raster);
        return PixelAt(size / 2, size / 2);
    }
    // A pixel of the last frame.
    Pixel PixelAt(int x, int y) const { return frame[static_cast<size_t>(y) * size + x]; }
    // How many pixels of the last frame read magenta, the colour debugging outlines are drawn in.
    int MagentaPixels() const
    {
        int count = 0;
        for (const Pixel& p : frame)
            count += p.r > 200 && p.b > 200 && p.g < 80 ? 1 : 0;
        return count;
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
        const GxV3d from = At(first, storey), to = At(last, storey);
        Drag(PLACEMENT_LAY, from, to);
        LookDownAt({(from.x + to.x) * 0.5f, from.y, (from.z + to.z) * 0.5f});
        *with = Draw();
        controller->SetMode(PLACEMENT_IDLE, level->GetWorld(), 0, nullptr, nullptr);
        *without = Draw();
    }

    GxInt32 size;
    std::vector<Pixel> frame;
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
    // The ground storey takes a shop on bare ground as on laid floor.
    DrawWithAndWithout(Cell(10, 10), &with, &without);
    EXPECT_GT(with.g, with.r + kClearMargin) << "bare ground: " << with.r << "," << with.g << "," << with.b;
    Lay(Cell(4, 4), Cell(16, 16));
    DrawWithAndWithout(Cell(10, 10), &with, &without);
    EXPECT_GT(with.g, with.r + kClearMargin) << "fits: " << with.r << "," << with.g << "," << with.b;
    EXPECT_TRUE(Differs(with, without)) << "no box drawn";

    // A second shop over the first cannot go in.
    controller->SetMode(PLACEMENT_OBJECT, level->GetWorld(), 0, manager->FindTemplate("SHOP_FASHION", 0),
                        manager->FindFactory(kShopFactoryName, level->GetWorld()));
    controller->Update(At(Cell(10, 10)));
    ASSERT_EQ(0, controller->PlaceHeldObject(At(Cell(10, 10)), level->GetWorld(), 0));
    DrawWithAndWithout(Cell(10, 10), &with, &without);
    EXPECT_GT(with.r, with.g + kClearMargin) << "overlaps: " << with.r << "," << with.g << "," << with.b;
    EXPECT_TRUE(Differs(with, without)) << "no box drawn";
}

// The dragged rectangle's box is an object of the world, drawn at the translucent flush: green over a laid
// ground, red on the storey above where the ground under it has no tiles. Build mode draws the cell grid of the
// drag over it.
TEST_F(PlacementDraw, AreaBoxGreenOverTheGroundRedWhereNothingIsLaidBelow)
{
    Pixel with = {}, without = {};
    const int debugging = g_FerroxDebugSettings.GetSwitch(FERROX_DEBUG_DEBUGTXTONSCREEN);
    g_FerroxDebugSettings.SetSwitch("debugtxtonscreen", 0);
    DrawDrag(Ground(), Cell(8, 8), Cell(12, 12), &with, &without);
    // What build mode draws of its own over the frame while the drag is held: the grid, with debugging off.
    Drag(PLACEMENT_LAY, At(Cell(8, 8)), At(Cell(12, 12)));
    Draw(kControllerOnly);
    EXPECT_GT(MagentaPixels(), 0) << "the grid shows in play";
    g_FerroxDebugSettings.SetSwitch("debugtxtonscreen", debugging);
    controller->SetMode(PLACEMENT_IDLE, level->GetWorld(), 0, nullptr, nullptr);
    EXPECT_GT(with.g, with.r + kClearMargin) << "ground: " << with.r << "," << with.g << "," << with.b;
    EXPECT_TRUE(Differs(with, without)) << "no box drawn";

    floors->AddFloor();
    ASSERT_EQ(2, floors->GetBuiltFloors());
    floors->GoToFloor(1, level->GetWorld());
    DrawDrag(Ground()->GetUpper(), Cell(8, 8), Cell(12, 12), &with, &without);
    EXPECT_GT(with.r, with.g + kClearMargin) << "upper: " << with.r << "," << with.g << "," << with.b;
    EXPECT_TRUE(Differs(with, without)) << "no box drawn";
}

// A square room with a square hole in its middle, from straight above without perspective: the walls stand on the
// floor's outline (not a cell further out) and on the hole's, and meet at the corners.
class WallPicture : public PlacementDraw {
protected:
    WallPicture() : PlacementDraw(kPictureSize) {}
    // The pixel at an offset in world units from the picture's middle (the nearest pixel corner's).
    Pixel Seen(const std::vector<Pixel>& picture, float dx, float dz) const
    {
        const float perUnit = static_cast<float>(kPictureSize) / (2.0f * kPictureWindow);
        const int x = static_cast<int>(std::lround(static_cast<float>(kPictureSize) * 0.5f + dx * perUnit));
        const int y = static_cast<int>(std::lround(static_cast<float>(kPictureSize) * 0.5f + dz * perUnit));
        return picture[static_cast<size_t>(y) * kPictureSize + x];
    }
};

TEST_F(WallPicture, WallsStandOnTheOutlineAndCloseTheCorners)
{
    // Rows and columns 6 to 15: twenty units a side, the hole the middle two by two cells.
    Lay(Cell(6, 6), Cell(15, 15));
    Drag(PLACEMENT_CLEAR, At(Cell(10, 10)), At(Cell(11, 11)));
    ASSERT_EQ(1, controller->ClearArea(At(Cell(11, 11)), nullptr, level->GetWorld()));
    controller->SetMode(PLACEMENT_IDLE, level->GetWorld(), 0, nullptr, nullptr);
    ASSERT_NE(nullptr, GxCameraSetProjection(camera, gxPARALLEL));
    const GxV2d window = {kPictureWindow, kPictureWindow};
    ASSERT_NE(nullptr, GxCameraSetViewWindow(camera, &window));
    const GxV3d a = At(Cell(10, 10)), b = At(Cell(11, 11));
    LookDownAt({(a.x + b.x) * 0.5f, a.y, (a.z + b.z) * 0.5f});
    Draw();
    const std::vector<Pixel> walls = frame;
    controller->RemoveWalls(level->GetWorld(), 1, nullptr);
    Draw();
    const std::vector<Pixel> bare = frame;

    // The layout is symmetric: each check holds on all four sides, whichever way the picture runs.
    // Walls are 0.2 thick, astride the outline: a corner is closed where both overlap, just inside it.
    const float edge = 10.0f, inside = 0.08f, hole = 2.0f;
    for (const float sx : {-1.0f, 1.0f}) {
        for (const float sz : {-1.0f, 1.0f}) {
            EXPECT_TRUE(Differs(Seen(walls, sx * edge, 0.0f), Seen(bare, sx * edge, 0.0f))) << sx << " side";
            EXPECT_TRUE(Differs(Seen(walls, 0.0f, sz * edge), Seen(bare, 0.0f, sz * edge))) << sz << " side";
            const float corner = edge - inside;
            EXPECT_TRUE(Differs(Seen(walls, sx * corner, sz * corner), Seen(bare, sx * corner, sz * corner)))
                << "corner " << sx << "," << sz;
            // A cell beyond the outline shows no wall; the hole is walled round like the outline.
            EXPECT_FALSE(Differs(Seen(walls, sx * (edge + 1.0f), 0.0f), Seen(bare, sx * (edge + 1.0f), 0.0f)));
            EXPECT_TRUE(Differs(Seen(walls, sx * hole, 0.0f), Seen(bare, sx * hole, 0.0f))) << sx << " hole side";
            EXPECT_TRUE(Differs(Seen(walls, 0.0f, sz * hole), Seen(bare, 0.0f, sz * hole))) << sz << " hole side";
        }
    }
}

}  // namespace
