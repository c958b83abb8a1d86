// Pixels on the OpenGL back end at 800 x 600: the save panel's list and selection as drawn, and the thumbnail a
// save writes: the frame on the screen at the moment of saving.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "engine/world/camera.h"
#include "ui/game/filepanel_testing.h"
#include "ui/toolkit/draw_testing.h"

namespace {

constexpr GxUInt32 kPureRed = 0xFF0000u;
constexpr int kRowsBottom = 150;

// The engine camera over the test's own graphics camera, which it must not destroy.
class BorrowedCamera : public CFerroxCamera {
public:
    explicit BorrowedCamera(GxCamera* camera) { m_pImpl->m_pCamera = camera; }
    ~BorrowedCamera() override { m_pImpl->m_pCamera = nullptr; }
};

class FilePanelDraw : public UiDrawTest {
protected:
    FilePanelDraw() : UiDrawTest("ferrox_filepanel_draw") {}
    void SetUp() override
    {
        UiDrawTest::SetUp();
        if (dir.empty())
            return;
        ASSERT_TRUE(GxImageRegisterImageFormat("bmp", GxImageReadBMP, GxImageWriteBMP));
        start = dir;
        std::filesystem::create_directories(start / "maps" / "f");
        for (const char* name : {"a", "b", "c"})
            std::ofstream(start / "maps" / (std::string(name) + ".fds")) << "x";
        ASSERT_NO_FATAL_FAILURE(WriteFont());
        startText = start.string();
        game = CGame::Instance(nullptr);
        game->m_pMouse = std::make_unique<CFerroxMouse>();
        game->m_pLocale = std::make_unique<UiTestLocale>();
        game->m_pInterface = std::make_unique<UiTestInterface>();
        game->m_pCamera = std::make_unique<BorrowedCamera>(camera);
        game->m_pStartDirectory = startText.c_str();
        game->SetNotices(&notices);
        FilePanelWritePictures(start / "panel", "save");
        workingFolder = std::filesystem::current_path();
        std::filesystem::current_path(start);
    }
    void TearDown() override
    {
        if (!workingFolder.empty())
            std::filesystem::current_path(workingFolder);
        if (game) {
            game->SetNotices(nullptr);
            game->m_pStartDirectory = nullptr;
            CGame::DestroyInstance(nullptr);
        }
        UiDrawTest::TearDown();
    }
    // One flat frame of the panel, blended as the interface draws it; its pixels.
    void DrawPanel(CFerroxCanvas* panel, std::vector<GxUInt32>* pixels)
    {
        ASSERT_NO_FATAL_FAILURE(BeginFlatFrame());
        GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(0));
        GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, GxRenderStateValue(1));
        panel->Render();
        ASSERT_NE(GxCameraEndUpdate(camera), nullptr);
        *pixels = Frame();
    }
    // A font whose every letter is a solid 8 x 16 block, so drawn text shows as pixels of its colour.
    void WriteFont()
    {
        ASSERT_TRUE(Gx2DTestAddBlockPage("msgfont"));
        std::filesystem::create_directories(start / "images" / "fonts");
        std::ofstream(start / "images" / "fonts" / "msgfont.met")
            << BlockMetrics("msgfont", "abcdefghijklmnopqrstuvwxyz");
    }

    std::filesystem::path start;
    std::filesystem::path workingFolder;
    std::string startText;
    CGame* game = nullptr;
    FilePanelTestNotices notices;
};

TEST_F(FilePanelDraw, FolderRowsAreRedAndTheSelectedRowButtonIsTinted)
{
    CSavePanel panel;
    panel.BuildPanel((start / "panel" / "save.png").string().c_str(), 0.0f, 0.0f);
    panel.OpenMapsFolder();
    ASSERT_EQ(panel.GetEntries().size(), 4u);
    panel.OnWidgetEvent(FILE_PANEL_FIRST_ROW + 1, FERROX_WIDGET_PRESSED);  // select "b"
    ASSERT_EQ(panel.GetSelected(), 1);
    // A frame with the pointer elsewhere hides every button but the selected row's.
    game->m_pMouse->GetPosition()->x = 700.0f;
    game->m_pMouse->GetPosition()->y = 100.0f;
    panel.Update();

    std::vector<GxUInt32> pixels;
    ASSERT_NO_FATAL_FAILURE(DrawPanel(&panel, &pixels));

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

// A row's name is drawn whole on its line, a long one past the 400 pixels of the list too.
TEST_F(FilePanelDraw, ALongNameIsDrawnWholeOnItsRow)
{
    const std::string longName(70, 'a');
    std::ofstream(start / "maps" / (longName + ".fds")) << "x";
    CSavePanel panel;
    panel.BuildPanel((start / "panel" / "save.png").string().c_str(), 0.0f, 0.0f);
    panel.OpenMapsFolder();
    ASSERT_EQ(panel.GetEntries().size(), 5u);

    std::vector<GxUInt32> pixels;
    ASSERT_NO_FATAL_FAILURE(DrawPanel(&panel, &pixels));
    int rightmost = -1, lines = 0;
    for (int y = kRowsBottom; y < kScreenH; y++) {
        bool line = false;
        for (int x = 0; x < kScreenW; x++) {
            if (At(pixels, x, y) == 0xFFFFFFu) {
                rightmost = std::max(rightmost, x);
                line = true;
            }
        }
        lines += line && At(pixels, 500, y) == 0xFFFFFFu ? 1 : 0;
    }
    // 70 letters of 8 pixels from x 30.
    EXPECT_GE(rightmost, 30 + 70 * 8 - 1);
    EXPECT_GT(lines, 0);
    panel.Release();
}

// The thumbnail is the camera's frame at the moment of saving, 64 x 64; a save under the same name writes the frame
// of its own moment.
TEST_F(FilePanelDraw, ThumbnailIsTheFrameAtTheMomentOfSaving)
{
    CSavePanel panel;
    panel.BuildPanel((start / "panel" / "save.png").string().c_str(), 0.0f, 0.0f);
    const GxRGBA colours[2] = {{20, 160, 240, 255}, {230, 90, 10, 255}};
    for (int shot = 0; shot < 2; shot++) {
        panel.OpenMapsFolder();
        GxRGBA colour = colours[shot];
        ASSERT_NE(GxCameraClear(camera, &colour, 3), nullptr);
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
        EXPECT_GT(std::filesystem::file_size(start / "maps" / "shot.fds"), 0u) << "the game's own save";
    }
    panel.Release();
}

}  // namespace
