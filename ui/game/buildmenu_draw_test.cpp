// Pixels on the OpenGL back end at 800 x 600: the page a press opened is drawn where the menus open, with its
// unavailable item tinted red, and the page it replaced is gone.
#include <filesystem>

#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "ui/game/buildmenu.h"
#include "ui/game/buildmenu_local.h"
#include "ui/toolkit/draw_testing.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

constexpr int kMenuX = 100;
constexpr int kMenuY = 200;

// The second item of the first plans menu is not available yet.
class LockedSecondItem : public CBuildCanvasManager {
protected:
    int IsTemplateAvailable(int16_t category, uint16_t index) override { return category == 0 && index == 1 ? 0 : 1; }
};

class BuildMenuDraw : public UiDrawTest {
protected:
    BuildMenuDraw() : UiDrawTest("ferrox_buildmenu_draw") {}
    void SetUp() override
    {
        UiDrawTest::SetUp();
        g_buildMenuCategoryCounter = 0;
    }
    // A 60 x 20 menu of the background colour and three 10 x 10 buttons of the button colour at x 5, 25, 45.
    std::string WriteMenu(const std::string& stem, UiRgba background, UiRgba button)
    {
        std::filesystem::create_directories(dir / stem);
        const std::string base = (dir / stem / stem).string();
        EXPECT_TRUE(UiPicture(60, 20, background).Write(base + ".png"));
        UiPicture place = UiMap(60, 20, 3);
        for (int k = 0; k < 3; k++) {
            place.Block(5 + 20 * k, 5, 1, 1, UiPaletteColour(k));
            EXPECT_TRUE(UiPicture(10, 10, button).Write((dir / stem / (std::to_string(k + 1) + "_s.png")).string()));
        }
        EXPECT_TRUE(place.Write(base + "_p.png"));
        return base + ".png";
    }
};

TEST_F(BuildMenuDraw, OpenPageDrawsWithItsDisabledItemRed)
{
    // Root: a child, a second child button without a menu, back. The plans menu: two items and back.
    const std::string text = "<BUILD_OBJECTS>\n<panel>\n" + WriteMenu("root", {0, 0, 255, 255}, {255, 255, 0, 255}) +
                             "\n</panel>\n<m00>\n<panel>\n" +
                             WriteMenu("m00", {40, 60, 80, 255}, {200, 200, 200, 255}) +
                             "\n</panel>\n<plans>\n</plans>\n</m00>\n</BUILD_OBJECTS>\n";
    CGame* game = CGame::Instance(nullptr);
    game->m_pMouse = std::make_unique<CFerroxMouse>();
    {
        CFerroxTagTree data;
        ASSERT_TRUE(data.LoadFromMemory(text.data(), text.size()));
        LockedSecondItem manager;
        manager.SetPosition(&data, static_cast<float>(kMenuX), static_cast<float>(kMenuY));
        ASSERT_NE(manager.GetRoot(), nullptr);
        manager.OpenRoot(0);
        manager.GetRoot()->OnWidgetEvent(1, FERROX_WIDGET_PRESSED);
        CFerroxCanvasNode* page = manager.GetOpenNode();
        ASSERT_EQ(page, manager.GetRoot()->GetChild(0));

        ASSERT_NO_FATAL_FAILURE(BeginFlatFrame());
        GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(0));
        GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, GxRenderStateValue(1));
        page->Render();
        ASSERT_NE(GxCameraEndUpdate(camera), nullptr);
    }
    CGame::DestroyInstance(nullptr);

    const std::vector<GxUInt32> pixels = Frame();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(kScreenW * kScreenH));
    auto at = [&](int x, int bottomUpY) { return At(pixels, x, bottomUpY); };
    EXPECT_EQ(at(kMenuX + 2, kMenuY + 2), 0x283C50u);    // the page's background at the menus' position
    EXPECT_EQ(at(kMenuX + 10, kMenuY + 10), 0xC8C8C8u);  // item 1
    EXPECT_EQ(at(kMenuX + 30, kMenuY + 10), 0xC80000u);  // item 2, grey tinted red
    EXPECT_EQ(at(kMenuX + 50, kMenuY + 10), 0xC8C8C8u);  // back
    EXPECT_EQ(at(kMenuX - 2, kMenuY + 10), 0x000000u);   // outside the page
}

}  // namespace
