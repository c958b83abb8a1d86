// Pixels on the OpenGL back end at 800 x 600: the save panel's list and selection as drawn, and the thumbnail a
// save writes from the frame on screen.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "engine/world/camera.h"
#include "gfx/2d/twod_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "ui/game/filepanel_testing.h"

namespace {

constexpr int kScreenW = 800;
constexpr int kScreenH = 600;
constexpr GxUInt32 kPureRed = 0xFF0000u;
constexpr int kRowsBottom = 150;

// The engine camera over the test's own graphics camera, which it must not destroy.
class BorrowedCamera : public CFerroxCamera {
public:
    explicit BorrowedCamera(GxCamera* camera) { m_pImpl->m_pCamera = camera; }
    ~BorrowedCamera() override { m_pImpl->m_pCamera = nullptr; }
};

// Writes its saves as the test game does, and its thumbnails through the game's camera.
class CameraThumbnailGame : public FilePanelTestGame {
public:
    int SaveScreenshot(const char* path, int32_t width, int32_t height) override
    {
        return CFilePanelGame::SaveScreenshot(path, width, height);
    }
};

class FilePanelDraw : public Gx2DOpenGLTest {
protected:
    FilePanelDraw() : Gx2DOpenGLTest(kScreenW, kScreenH) {}
    void SetUp() override
    {
        Gx2DOpenGLTest::SetUp();
        if (!Ready())
            return;
        const GxV2d view = {0.5f, 0.375f};
        GxCameraSetViewWindow(camera, &view);
        ASSERT_TRUE(GxTestFileSystemOpen());
        ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
        ASSERT_TRUE(GxImageRegisterImageFormat("bmp", GxImageReadBMP, GxImageWriteBMP));
        start = std::filesystem::temp_directory_path() / ("ferrox_filepanel_draw_" + FerroxTestRunTag());
        std::filesystem::create_directories(start / "maps" / "f");
        for (const char* name : {"a", "b", "c"})
            std::ofstream(start / "maps" / (std::string(name) + ".fds")) << "x";
        WriteFont();
        startText = start.string();
        game = CGame::Instance(nullptr);
        game->m_pMouse = std::make_unique<CFerroxMouse>();
        game->m_pLocale = std::make_unique<UiTestLocale>();
        game->m_pInterface = std::make_unique<UiTestInterface>();
        game->m_pCamera = std::make_unique<BorrowedCamera>(camera);
        game->m_pStartDirectory = startText.c_str();
        game->SetNotices(&notices);
        FilePanelSetGame(&seam);
        FilePanelWritePictures(start / "panel", "save");
    }
    void TearDown() override
    {
        if (game) {
            FilePanelSetGame(nullptr);
            game->SetNotices(nullptr);
            game->m_pStartDirectory = nullptr;
            CGame::DestroyInstance(nullptr);
        }
        if (Ready() || opened) {
            GxFileSystemManagerClose();
            std::error_code ignored;
            std::filesystem::remove_all(start, ignored);
        }
        Gx2DOpenGLTest::TearDown();
    }
    // A font whose every letter is a solid 8 x 16 block, so drawn text shows as pixels of its colour.
    void WriteFont()
    {
        GxRaster* raster = GxRasterCreate(16, 16, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
        ASSERT_NE(raster, nullptr);
        GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKWRITE);
        ASSERT_NE(bits, nullptr);
        for (GxInt32 y = 0; y < 16; y++)
            std::fill_n(reinterpret_cast<GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride), 16, 0xFFFFFFFFu);
        GxRasterUnlock(raster);
        GxTexture* page = GxTextureCreate(raster);
        GxTextureSetName(page, "msgfont");
        GxTextureSetFilterMode(page, gxFILTERNEAREST);
        GxTexDictionaryAddTexture(Gx2DFontGetTexDictionary(), page);
        std::filesystem::create_directories(start / "images" / "fonts");
        std::ofstream metrics(start / "images" / "fonts" / "msgfont.met");
        metrics << "METRICS1\nmsgfont\n0\n";
        for (char c = 'a'; c <= 'z'; c++)
            metrics << static_cast<int>(c) << " 0 0 8 16\n";
    }
    std::vector<GxUInt32> Frame()
    {
        std::vector<GxUInt32> pixels = ReadBack();
        for (GxUInt32& pixel : pixels)
            pixel &= 0xFFFFFFu;
        return pixels;
    }
    GxUInt32 At(const std::vector<GxUInt32>& pixels, int x, int bottomUpY)
    {
        return pixels[static_cast<size_t>((kScreenH - 1 - bottomUpY) * kScreenW + x)];
    }

    std::filesystem::path start;
    std::string startText;
    CGame* game = nullptr;
    FilePanelTestNotices notices;
    CameraThumbnailGame seam;
};

TEST_F(FilePanelDraw, FolderRowsAreRedAndTheSelectedRowButtonIsTinted)
{
    CSavePanel panel;
    panel.SetStartFolder(start.string());
    panel.BuildPanel((start / "panel" / "save.png").string().c_str(), 0.0f, 0.0f);
    ASSERT_EQ(panel.OpenMapsFolder(), 1);
    ASSERT_EQ(panel.GetEntries().size(), 4u);
    panel.OnWidgetEvent(FILE_PANEL_FIRST_ROW + 1, FERROX_WIDGET_PRESSED);  // select "b"
    ASSERT_EQ(panel.GetSelected(), 1);
    // A frame with the pointer elsewhere hides every button but the selected row's.
    game->m_pMouse->GetPosition()->x = 700.0f;
    game->m_pMouse->GetPosition()->y = 100.0f;
    panel.Update();

    ASSERT_NO_FATAL_FAILURE(BeginFlatFrame());
    GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(0));
    GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, GxRenderStateValue(1));
    panel.Render();
    ASSERT_NE(GxCameraEndUpdate(camera), nullptr);
    const std::vector<GxUInt32> pixels = Frame();

    // Row buttons 8 + k lie at y 250 - 12 k, x 20..219; the text covers only their left end.
    EXPECT_EQ(At(pixels, 210, 240), 0xC80000u);  // row 1's button, grey tinted red
    EXPECT_EQ(At(pixels, 210, 252), 0x3C3C5Au);  // row 0's button stays hidden: the background
    // Only the folder's row is drawn in pure red, and below the three save rows.
    int lowestWhite = kScreenH, highestRed = -1, reds = 0;
    // Above the name field, over the rows' left ends.
    for (int y = kRowsBottom; y < kScreenH; y++) {
        for (int x = 20; x < 20 + 200; x++) {
            const GxUInt32 pixel = At(pixels, x, y);
            if (pixel == kPureRed) {
                reds++;
                highestRed = std::max(highestRed, y);
            } else if (pixel == 0xFFFFFFu) {
                lowestWhite = std::min(lowestWhite, y);
            }
        }
    }
    EXPECT_GT(reds, 0);
    EXPECT_LT(lowestWhite, kScreenH);
    EXPECT_LT(highestRed, lowestWhite);
    panel.Release();
}

TEST_F(FilePanelDraw, ThumbnailIsTheFrameOnScreenWhenSaved)
{
    CSavePanel panel;
    panel.SetStartFolder(start.string());
    panel.BuildPanel((start / "panel" / "save.png").string().c_str(), 0.0f, 0.0f);
    GxRGBA colours[2] = {{20, 160, 240, 255}, {230, 90, 10, 255}};
    for (int shot = 0; shot < 2; shot++) {
        ASSERT_EQ(panel.OpenMapsFolder(), 1);
        ASSERT_NE(GxCameraClear(camera, &colours[shot], 3), nullptr);
        ASSERT_NE(GxCameraBeginUpdate(camera), nullptr);
        ASSERT_NE(GxCameraEndUpdate(camera), nullptr);
        panel.GetNameField()->SetText("shot");
        panel.OnWidgetEvent(FILE_PANEL_ACT, FERROX_WIDGET_PRESSED);
        if (shot == 1)
            notices.questions.back().yes();  // replace the first
        GxImage* thumbnail = GxImageReadBMP((start / "maps" / "shot.bmp").string().c_str());
        ASSERT_NE(thumbnail, nullptr);
        EXPECT_EQ(thumbnail->width, kFilePanelThumbnailSide);
        EXPECT_EQ(thumbnail->height, kFilePanelThumbnailSide);
        ASSERT_EQ(thumbnail->depth, 32);
        const GxUInt8* middle = thumbnail->pixels + 32 * thumbnail->stride + 32 * 4;
        EXPECT_NEAR(middle[0], colours[shot].red, 2) << shot;
        EXPECT_NEAR(middle[1], colours[shot].green, 2) << shot;
        EXPECT_NEAR(middle[2], colours[shot].blue, 2) << shot;
        GxImageDestroy(thumbnail);
    }
    panel.Release();
}

}  // namespace
