// Pixels on the OpenGL back end at 800 x 600: a bar set drawn through the real picture and font
// implementations and compared at chosen pixels.
#include <filesystem>
#include <fstream>

#include "ui/toolkit/canvas.h"
#include "ui/toolkit/draw_testing.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

// Button widgets light only while the pointer is over them, as the main bar's hover pictures do.
class HoverCanvas : public CFerroxCanvas {
public:
    void OnWidgetEvent(int32_t index, int32_t event) override
    {
        if (CFerroxWidget* widget = GetWidget(index))
            widget->m_visible = event == FERROX_WIDGET_NOT_OVER ? 0 : 1;
    }
};

class UiDraw : public UiDrawTest {
protected:
    UiDraw() : UiDrawTest("ferrox_ui_draw") {}
    void SetUp() override
    {
        UiDrawTest::SetUp();
        if (!dir.empty())
            std::filesystem::create_directories(dir / "bar");
    }
};

TEST_F(UiDraw, BarSetLandsOnItsPixels)
{
    // Background 800 x 80 with a stripe at x 100; buttons 1 to 3 of 20 x 20 at x 200, 240, 280.
    UiPicture background(800, 80, {40, 60, 80, 255});
    background.Block(100, 0, 1, 80, {255, 255, 0, 255});
    ASSERT_TRUE(background.Write(P("bar/base.png")));
    UiPicture place = UiMap(800, 80, 3);
    for (int k = 0; k < 3; k++) {
        place.Block(200 + 40 * k, 30, 1, 1, UiPaletteColour(k));
        ASSERT_TRUE(UiPicture(20, 20, {0, 200, 0, 255}).Write(P("bar/" + std::to_string(k + 1) + "_s.png")));
    }
    ASSERT_TRUE(place.Write(P("bar/base_p.png")));
    // A one-pixel checker 8 x 8 and a white 64 x 6 bar.
    UiPicture checker(8, 8);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            checker.At(x, y) = (x + y) % 2 ? UiRgba{255, 255, 255, 255} : UiRgba{0, 0, 255, 255};
    ASSERT_TRUE(checker.Write(P("checker.png")));
    ASSERT_TRUE(UiPicture(64, 6, {255, 255, 255, 255}).Write(P("bar.png")));

    CGame* game = CGame::Instance(nullptr);
    game->m_pMouse = std::make_unique<CFerroxMouse>();
    CFerroxMouse* mouse = game->m_pMouse.get();
    {
        HoverCanvas canvas;
        canvas.Build(P("bar/base.png").c_str(), 0.0f, 0.0f, 0);
        ASSERT_EQ(canvas.GetWidgetCount(), 4);
        mouse->GetPosition()->x = 290.0f;  // over button 3 (x 280..300, rows 550..570)
        mouse->GetPosition()->y = static_cast<float>(kScreenH) - 40.0f;
        canvas.Update();
        canvas.GetWidget(1)->m_visible = 1;
        canvas.GetWidget(1)->SetColour({255, 0, 0, 255});  // a red tint on a green button: black

        FerroxWidgetRecord record = {};
        const std::string checkerName = P("checker.png");
        record.name = checkerName.c_str();
        record.x = 400;
        record.y = 300;
        CFerroxImage image;
        image.Configure(&record);

        const std::string barName = P("bar.png");
        FerroxWidgetRecord barRecord = {};
        barRecord.name = barName.c_str();
        barRecord.x = 500;
        barRecord.y = 200;
        barRecord.extent = 60.0f;
        CFerroxBar bar;
        bar.Configure(&barRecord);
        bar.SetPercent(25);  // 15 pixels: columns 500..514

        ASSERT_NO_FATAL_FAILURE(BeginFlatFrame());
        GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(0));
        GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, GxRenderStateValue(1));
        canvas.Render();
        image.Draw(0.0f, 0.0f);
        bar.Draw(0.0f, 0.0f);
        ASSERT_NE(GxCameraEndUpdate(camera), nullptr);
        canvas.Release();
    }
    CGame::DestroyInstance(nullptr);

    const std::vector<GxUInt32> pixels = Frame();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(kScreenW * kScreenH));
    auto at = [&](int x, int bottomUpY) { return At(pixels, x, bottomUpY); };
    EXPECT_EQ(at(50, 40), 0x283C50u);   // background
    EXPECT_EQ(at(100, 40), 0xFFFF00u);  // its stripe, on its own column
    EXPECT_EQ(at(99, 40), 0x283C50u);
    EXPECT_EQ(at(290, 40), 0x00C800u);  // button 3 under the pointer
    EXPECT_EQ(at(250, 40), 0x283C50u);  // button 2 is not
    EXPECT_EQ(at(210, 40), 0x000000u);  // button 1, tinted red
    // The checker: texel (0, 0) is the top-left pixel, blue; its neighbours white. Each pixel takes its own
    // texel exactly: a half-pixel miss would mix neighbours half and half, so only rounding is allowed.
    auto near = [](GxUInt32 a, GxUInt32 b) {
        for (int shift = 0; shift < 24; shift += 8) {
            const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
            if (d > 1 || d < -1)
                return false;
        }
        return true;
    };
    EXPECT_PRED2(near, at(400, 307), 0x0000FFu);
    EXPECT_PRED2(near, at(401, 307), 0xFFFFFFu);
    EXPECT_PRED2(near, at(400, 306), 0xFFFFFFu);
    EXPECT_PRED2(near, at(407, 300), 0x0000FFu);
    EXPECT_PRED2(near, at(406, 300), 0xFFFFFFu);
    // The bar at 25 % ends at its column.
    EXPECT_EQ(at(514, 202), 0xFFFFFFu);
    EXPECT_EQ(at(515, 202), 0u);
}

TEST_F(UiDraw, RightAlignedNumberEndsAtItsX)
{
    ASSERT_TRUE(Gx2DTestAddBlockPage("digits"));
    std::ofstream(P("digits.met")) << BlockMetrics("digits", "1");

    CFerroxFont font;
    ASSERT_EQ(font.Load(P("digits").c_str(), 0, 1), 1);
    EXPECT_NEAR(font.GetStringWidth("11"), 16.0f, 0.01f);
    ASSERT_NO_FATAL_FAILURE(BeginFlatFrame());
    font.DrawText("11", 600.0f, 100.0f, 0, FERROX_ALIGN_RIGHT, 0.0f, 0, nullptr);
    ASSERT_NE(GxCameraEndUpdate(camera), nullptr);

    const std::vector<GxUInt32> pixels = Frame();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(kScreenW * kScreenH));
    auto at = [&](int x, int bottomUpY) { return At(pixels, x, bottomUpY); };
    EXPECT_EQ(at(599, 106), 0xFFFFFFu);
    EXPECT_EQ(at(584, 106), 0xFFFFFFu);
    EXPECT_EQ(at(600, 106), 0u);
    EXPECT_EQ(at(583, 106), 0u);
}

}  // namespace
