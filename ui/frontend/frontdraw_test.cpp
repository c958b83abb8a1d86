// Pixels on the OpenGL back end at 800 x 600: the main menu lights the button under the pointer, a city canvas
// shows its scene inside the view rectangle with the overlay's rim over the view's corner, and the end-game
// fly-over draws the floors of the game played with its level.
#include <filesystem>
#include <string>

#include "engine/application/mouse.h"
#include "engine/testsupport/files.h"
#include "engine/world/camera.h"
#include "engine/world/world.h"
#include "game/shell/game.h"
#include "game/world/floors.h"
#include "gfx/core/camera.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/renderstate.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/world/world.h"
#include "ui/frontend/citycanvas.h"
#include "ui/frontend/endgame.h"
#include "ui/frontend/frontend.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

constexpr int kScreenW = 800;
constexpr int kScreenH = 600;
constexpr GxUInt32 kFrontArena = 0x800000;
constexpr GxUInt32 kBackground = 0x283C50u;
constexpr GxUInt32 kButton = 0x00C800u;
constexpr GxUInt32 kRim = 0xA0A0A0u;
constexpr GxUInt32 kScene = 0xC81E1Eu;
constexpr GxUInt32 kClear = 0x0000FFu;
constexpr GxUInt32 kTile = 0x30D040u;
constexpr int kGreenLead = 80;

// A scene that fills whatever camera draws it with one colour: it shows exactly where the view's camera lands.
class FilledWorld : public CFerroxWorld {
public:
    void Render(GxCamera* camera) override
    {
        GxRGBA red = {200, 30, 30, 255};
        GxCameraClear(camera, &red, gxCAMERACLEARIMAGE);
    }
};

class FrontDraw : public GxTestGLDraw {
protected:
    FrontDraw() : GxTestGLDraw(kScreenW, kScreenH, kFrontArena)
    {
        engineSetup.plugins = [] { return GxWorldPluginAttach() != 0; };
        engineSetup.images = kGxTestImagesPng;
    }
    void SetUp() override
    {
        GxTestGLDraw::SetUp();
        if (!Ready())
            return;
        game = CGame::Instance(nullptr);
        game->m_pMouse = std::make_unique<CFerroxMouse>();
        mouse = game->m_pMouse.get();
        game->m_pCamera = std::make_unique<CFerroxCamera>();
        ASSERT_EQ(1, game->m_pCamera->Create(kScreenW, kScreenH, 1));
        started = true;
        root = std::filesystem::temp_directory_path() / ("ferrox_front_draw_" + FerroxTestRunTag());
        std::filesystem::create_directories(root);
    }
    void TearDown() override
    {
        if (started) {
            CGame::DestroyInstance(nullptr);
            std::error_code ignored;
            std::filesystem::remove_all(root, ignored);
        }
        GxTestGLDraw::TearDown();
    }
    std::string P(const std::string& name) const { return (root / name).string(); }
    void BeginFrame()
    {
        const GxRGBA blue = {0, 0, 255, 255};
        ASSERT_EQ(0, game->m_pCamera->Clear(&blue, gxCAMERACLEARIMAGE | gxCAMERACLEARZ));
        ASSERT_EQ(0, game->m_pCamera->BeginUpdate());
        GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(0));
        GxRenderStateSet(gxRENDERSTATEZTESTENABLE, GxRenderStateValue(0));
        GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, GxRenderStateValue(1));
    }
    // Ends the frame and reads it back, 0xRRGGBB a pixel, rows top down.
    std::vector<GxUInt32> EndFrame()
    {
        EXPECT_EQ(0, game->m_pCamera->EndUpdate());
        std::vector<GxUInt32> pixels;
        GxRaster* raster = game->m_pCamera->GetGraphicsCamera()->frameBuffer;
        GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        if (!bits)
            return pixels;
        for (int y = 0; y < kScreenH; y++) {
            const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
            for (int x = 0; x < kScreenW; x++)
                pixels.push_back(row[x] & 0xFFFFFFu);
        }
        GxRasterUnlock(raster);
        return pixels;
    }
    // Background of 800 x 600 with buttons of 100 x 40 at (300, 400 - 70 k).
    void WriteMenu(const std::string& folder, const std::string& stem, int buttons)
    {
        std::filesystem::create_directories(P(folder));
        ASSERT_TRUE(UiPicture(kScreenW, kScreenH, {40, 60, 80, 255}).Write(P(folder + "/" + stem + ".png")));
        UiPicture map = UiMap(kScreenW, kScreenH, buttons);
        for (int k = 0; k < buttons; k++) {
            map.Block(300, 400 - 70 * k, 1, 1, UiPaletteColour(k));
            ASSERT_TRUE(UiPicture(100, 40, {0, 200, 0, 255}).Write(P(folder + "/" + std::to_string(k + 1) + "_s.png")));
        }
        ASSERT_TRUE(map.Write(P(folder + "/" + stem + "_p.png")));
    }

    bool started = false;
    CGame* game = nullptr;
    CFerroxMouse* mouse = nullptr;
    std::filesystem::path root;
};

TEST_F(FrontDraw, MainMenuShowsOnlyTheButtonUnderThePointer)
{
    WriteMenu("mainmenu", "mainmenu", 4);
    std::vector<GxUInt32> pixels;
    {
        CMainMenu menu;
        menu.Create(P("mainmenu/mainmenu.png").c_str());
        ASSERT_EQ(menu.GetWidgetCount(), 5);
        mouse->GetPosition()->x = 350.0f;  // over button 2: x 300..400, bottom-up y 330..370
        mouse->GetPosition()->y = static_cast<float>(kScreenH) - 350.0f;
        menu.Update();
        ASSERT_NO_FATAL_FAILURE(BeginFrame());
        menu.Render();
        pixels = EndFrame();
        menu.Release();
    }
    ASSERT_EQ(pixels.size(), static_cast<size_t>(kScreenW * kScreenH));
    auto at = [&](int x, int bottomUpY) {
        return pixels[static_cast<size_t>((kScreenH - 1 - bottomUpY) * kScreenW + x)];
    };
    EXPECT_EQ(at(350, 350), kButton);
    EXPECT_EQ(at(350, 420), kBackground);  // button 1 rests in the background's look
    EXPECT_EQ(at(350, 280), kBackground);
    EXPECT_EQ(at(50, 50), kBackground);
}

TEST_F(FrontDraw, CityViewShowsItsSceneUnderTheOverlayRim)
{
    WriteMenu("scenario/Town", "town", 5);
    // The overlay: a 464 x 390 frame, 6 pixels of grey rim round a clear middle.
    UiPicture overlay(464, 390, {0, 0, 0, 0});
    overlay.Block(0, 0, 464, 6, {160, 160, 160, 255});
    overlay.Block(0, 384, 464, 6, {160, 160, 160, 255});
    overlay.Block(0, 0, 6, 390, {160, 160, 160, 255});
    overlay.Block(458, 0, 6, 390, {160, 160, 160, 255});
    ASSERT_TRUE(overlay.Write(P("scenario/Town/overlay.png")));
    FilledWorld world;
    ASSERT_EQ(1, world.Create(nullptr, nullptr));
    std::vector<GxUInt32> pixels;
    {
        CCityCanvas city;
        city.Create(P("scenario/Town/town.png").c_str(), P("town.gxs").c_str(), 0, &world);
        ASSERT_NO_FATAL_FAILURE(BeginFrame());
        city.Render();
        pixels = EndFrame();
        city.Release();
    }
    ASSERT_EQ(pixels.size(), static_cast<size_t>(kScreenW * kScreenH));
    auto row = [&](int x, int topDownY) { return pixels[static_cast<size_t>(topDownY * kScreenW + x)]; };
    // The view is the top-left 464 x 390: the scene fills it, the rim covers its edges.
    EXPECT_EQ(row(200, 200), kScene);
    EXPECT_NE(row(200, 200), kClear);
    EXPECT_EQ(row(460, 385), kRim);
    EXPECT_EQ(row(1, 1), kRim);
    EXPECT_EQ(row(10, 10), kScene);
    // Outside it, the picture.
    EXPECT_EQ(row(600, 500), kBackground);
    EXPECT_EQ(row(470, 200), kBackground);
    EXPECT_EQ(row(200, 395), kBackground);
}

// The fly-over shows the level's world alone: the storeys the game draws in its own frame are not in it.
TEST_F(FrontDraw, EndGameViewShowsTheLevelWorldAlone)
{
    WriteMenu("scenario", "win-lose", 1);
    GxRaster* raster = GxRasterCreate(2, 2, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    GxUInt8* texels = raster ? GxRasterLock(raster, 0, gxRASTERLOCKWRITE) : nullptr;
    ASSERT_NE(texels, nullptr);
    for (int y = 0; y < 2; y++) {
        for (int x = 0; x < 2; x++) {
            GxUInt8* p = texels + y * raster->stride + x * 4;
            p[0] = kTile & 0xFF, p[1] = (kTile >> 8) & 0xFF, p[2] = (kTile >> 16) & 0xFF, p[3] = 255;
        }
    }
    GxRasterUnlock(raster);
    // One storey of 40 x 40 laid cells ahead of the view, which looks along -z from 10 units up.
    CFerroxTileRecord tile = {raster};
    constexpr int kCells = 40;
    constexpr float kFarPlane = 200.0f;
    game->m_pFloorManager = std::make_unique<CFloorManager>();
    ASSERT_EQ(1, game->m_pFloorManager->AddBaseFloor(kCells, kCells, {-kCells, 0, 0}, 2, 1));
    CFerroxBlockMesh* storey = game->m_pFloorManager->GetBaseFloors().front().get();
    storey->SetRangeTileEx(&tile, 0, kCells * kCells - 1, 1, 0, nullptr);
    ASSERT_EQ(1, storey->IsAreaTiled(0, kCells, kCells));
    // The view copies the game camera's clip planes; the game reads them from its settings.
    GxCameraSetFarClipPlane(game->m_pCamera->GetGraphicsCamera(), kFarPlane);
    CFerroxWorld world;
    ASSERT_EQ(1, world.Create(nullptr, nullptr));
    std::vector<GxUInt32> pixels;
    {
        CEndGameCanvas ending;
        ending.Create(P("scenario/win-lose.png").c_str(), P("town.gxs").c_str(), 0, &world);
        ASSERT_NO_FATAL_FAILURE(BeginFrame());
        ending.Render();
        pixels = EndFrame();
        ending.TearDown();
    }
    game->m_pFloorManager.reset();
    GxRasterDestroy(raster);
    ASSERT_EQ(pixels.size(), static_cast<size_t>(kScreenW * kScreenH));
    // Where a drawn floor would show its green below the horizon, the empty level leaves what is above it too.
    const GxUInt32 below = pixels[static_cast<size_t>(560 * kScreenW + 400)];
    const int red = (below >> 16) & 0xFF, green = (below >> 8) & 0xFF, blue = below & 0xFF;
    EXPECT_FALSE(green > red + kGreenLead && green > blue + kGreenLead) << std::hex << below;
    EXPECT_EQ(below, pixels[static_cast<size_t>(150 * kScreenW + 400)]);
}

}  // namespace
