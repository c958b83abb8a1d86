// Pixels of the in-game interface on the OpenGL back end at 800 x 600, over a cleared frame: the main bar with
// its date and a message in its box, and a tooltip on its plate once the pointer has rested.

#include <filesystem>
#include <fstream>

#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "ui/game/ingame.h"
#include "ui/game/panels.h"
#include "ui/toolkit/draw_testing.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

constexpr GxUInt32 kWhite = 0xFFFFFFu;

class InGameDraw : public UiDrawTest {
protected:
    InGameDraw() : UiDrawTest("ferrox_ingame_draw") {}
    void SetUp() override
    {
        UiDrawTest::SetUp();
        if (dir.empty())
            return;
        std::filesystem::create_directories(dir / "images/panels/main/base");
        start = std::filesystem::current_path().string();
        std::filesystem::current_path(dir);
    }
    void TearDown() override
    {
        if (!start.empty()) {
            std::error_code failed;
            std::filesystem::current_path(start, failed);
            EXPECT_FALSE(failed);
        }
        UiDrawTest::TearDown();
    }
    // A font whose every glyph is a white 8 x 16 block, one page shared by the four fonts.
    static void WriteFonts()
    {
        ASSERT_TRUE(Gx2DTestAddBlockPage("blocks"));
        const std::string metrics = BlockMetrics("blocks", "-/0123456789A");
        for (const char* name : {"f0", "f1", "f2", "f3"})
            std::ofstream(std::string(name) + ".met") << metrics;
    }
    std::vector<GxUInt32> Draw(CInterface* ui)
    {
        std::vector<GxUInt32> none;
        BeginFlatFrame();
        if (HasFatalFailure())
            return none;
        GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, GxRenderStateValue(1));
        ui->Render();
        if (!GxCameraEndUpdate(camera))
            return none;
        return Frame();
    }
    // Whether any pixel of the bottom-up rectangle is white.
    static bool AnyWhite(const std::vector<GxUInt32>& pixels, int x0, int y0, int x1, int y1)
    {
        if (pixels.size() != static_cast<size_t>(kScreenW * kScreenH))
            return false;
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++)
                if (At(pixels, x, y) == kWhite)
                    return true;
        return false;
    }

    std::string start;
    std::string startDirectory;
};

TEST_F(InGameDraw, MainBarDateMessageAndTooltip)
{
    if (!Ready())
        return;
    UiPicture bar(800, 80, {40, 60, 80, 255});
    ASSERT_TRUE(bar.Write("images/panels/main/base/base.png"));
    for (const char* season : {"spring", "summer", "autumn", "winter"})
        ASSERT_TRUE(
            UiPicture(64, 36, {90, 190, 80, 255}).Write(std::string("images/panels/main/base/") + season + ".png"));
    ASSERT_TRUE(UiPicture(64, 6, {0, 255, 0, 255}).Write("images/panels/main/base/bar.png"));
    ASSERT_NO_FATAL_FAILURE(WriteFonts());

    CGame* game = CGame::Instance(nullptr);
    game->m_pMouse = std::make_unique<CFerroxMouse>();
    CFerroxMouse* mouse = game->m_pMouse.get();
    game->SetScreenSize(kScreenW, kScreenH);
    startDirectory = dir.string();  // the game keeps the pointer
    game->SetStartDirectory(startDirectory.c_str());
    auto locale = std::make_unique<CLocale>();
    const std::string texts = "<LANGUAGE>\n<general_tooltips>\n<0>\nAAAA\nAAAA\nAAAA\n</0>\n</general_tooltips>\n"
                              "<InGameMessages>\n<0>\n1111\n1111\n1111\n</0>\n</InGameMessages>\n</LANGUAGE>\n";
    CFerroxTagTree textTree;
    ASSERT_TRUE(textTree.LoadFromMemory(texts.data(), texts.size()));
    locale->LoadTextsFromTree(textTree);
    game->m_pLocale = std::move(locale);
    game->m_pInterface = std::make_unique<CInterface>();
    auto* ui = static_cast<CInterface*>(game->m_pInterface.get());
    const std::string data = "<FONTS>\n/f0\n/f1\n/f2\n/f3\n</FONTS>\n";
    CFerroxTagTree tree;
    ASSERT_TRUE(tree.LoadFromMemory(data.data(), data.size()));
    ASSERT_EQ(ui->Create(&tree), 1);
    ASSERT_EQ(ui->GetFontCount(), 4);

    mouse->GetPosition()->x = 400.0f;
    mouse->GetPosition()->y = 300.0f;
    ui->Update(0.25f);
    ui->SetTooltip(0, -1);
    std::vector<GxUInt32> pixels = Draw(ui);
    ASSERT_FALSE(pixels.empty());
    // "1/2004" ends at column 233, the background beyond it; the message flows in its box.
    EXPECT_TRUE(AnyWhite(pixels, 186, 10, 232, 40));
    EXPECT_FALSE(AnyWhite(pixels, 236, 0, 360, 79));
    EXPECT_TRUE(AnyWhite(pixels, 153, 40, 638, 79));
    EXPECT_FALSE(AnyWhite(pixels, 380, 280, 460, 330));  // the tooltip waits

    for (int frame = 0; frame < 3; frame++) {
        ui->Update(0.25f);
        ui->SetTooltip(0, -1);
        pixels = Draw(ui);
    }
    EXPECT_TRUE(AnyWhite(pixels, 380, 280, 460, 330));
    // The text alone, from the pointer rightwards on its baseline: nothing left of it, no plate round it.
    EXPECT_TRUE(AnyWhite(pixels, 400, 296, 460, 318));
    EXPECT_FALSE(AnyWhite(pixels, 340, 280, 398, 330)) << "the text starts at the pointer";
    const GxUInt32 backdrop = At(pixels, 379, 279);
    for (int y = 280; y < 330; y++)
        for (int x = 380; x < 480; x++)
            ASSERT_TRUE(At(pixels, x, y) == kWhite || At(pixels, x, y) == backdrop) << x << ", " << y;
    // Without a message the box stays empty.
    ui->ClearData();
    pixels = Draw(ui);
    EXPECT_FALSE(AnyWhite(pixels, 240, 40, 638, 79));
    CGame::DestroyInstance(nullptr);
}

}  // namespace
