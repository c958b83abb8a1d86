// The city pages' tooltips drawn for real on the OpenGL back end with the authored tooltip font, at the design
// size and at a larger mode: drawn through the catalogue at a pointer where the text just fits or just passes the
// right edge, every lit column lies inside the width the catalogue measured, and nothing is cut by the edge.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "engine/world/camera.h"
#include "game/shell/game.h"
#include "gfx/core/camera.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/renderstate.h"
#include "gfx/testsupport/engine_gtest.h"
#include "tools/content/content_testing.h"
#include "tools/content/font_writer.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/widget.h"

namespace {

constexpr GxUInt32 kArena = 0x1000000;
constexpr GxUInt32 kBlue = 0x0000FFu;
constexpr int kDesignWidth = 800;
constexpr int kDesignHeight = 600;
constexpr float kViewSize = 0.57735f;
constexpr float kLeftMargin = 20.0f;
constexpr float kMiddleX = 400.0f;
constexpr const char* kCityLists[] = {"london", "berlin", "paris"};
constexpr uint16_t kCityTooltips = 4;  // back, previous, next, start

struct Mode {
    int width;
    int height;
};

// The columns a draw lit, -1 when none.
struct Span {
    int first = -1;
    int last = -1;
    int count = 0;
};

class TooltipDraw : public GxTestGLDraw, public ::testing::WithParamInterface<Mode> {
protected:
    TooltipDraw() : GxTestGLDraw(GetParam().width, GetParam().height, kArena) { engineSetup.images = kGxTestImagesPng; }
    void SetUp() override
    {
        GxTestGLDraw::SetUp();
        if (!Ready())
            return;
        game = CGame::Instance(nullptr);
        game->m_pCamera = std::make_unique<CFerroxCamera>();
        ASSERT_EQ(1, game->m_pCamera->Create(width, height, 1));
        // As the game's start does: the view window takes the frame buffer's shape, so pixels are square.
        ASSERT_EQ(1, game->m_pCamera->Resize(nullptr, kViewSize));
        game->SetScreenSize(width, height);
        FerroxSetInterfaceScale(static_cast<float>(width) / kDesignWidth, static_cast<float>(height) / kDesignHeight);
        started = true;
        root = std::filesystem::temp_directory_path() / ("ferrox_tooltip_draw_" + FerroxTestRunTag());
        std::string error;
        ASSERT_TRUE(ContentWriteInterfaceFonts(root.string(), &error)) << error;
    }
    void TearDown() override
    {
        if (started) {
            FerroxSetInterfaceScale(1.0f, 1.0f);
            CGame::DestroyInstance(nullptr);
            std::error_code ignored;
            std::filesystem::remove_all(root, ignored);
        }
        GxTestGLDraw::TearDown();
    }

    // Draws one tooltip as the interfaces do and returns the lit columns of the frame.
    Span Draw(CLocale& locale, CFerroxFont& font, int16_t list, uint16_t index, float x)
    {
        const GxRGBA blue = {0, 0, 255, 255};
        EXPECT_EQ(0, game->m_pCamera->Clear(&blue, gxCAMERACLEARIMAGE | gxCAMERACLEARZ));
        EXPECT_EQ(0, game->m_pCamera->BeginUpdate());
        FerroxBeginFlatDrawing();
        locale.DrawText(&font, list, index, x, height / 2, 0, FERROX_ALIGN_LEFT, kMiddleX, 0, nullptr);
        EXPECT_EQ(0, game->m_pCamera->EndUpdate());
        Span span;
        GxRaster* raster = game->m_pCamera->GetGraphicsCamera()->frameBuffer;
        GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        if (!bits) {
            ADD_FAILURE() << "the frame cannot be read";
            return span;
        }
        std::vector<bool> lit(static_cast<size_t>(width), false);
        for (int y = 0; y < height; y++) {
            const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
            for (int c = 0; c < width; c++)
                lit[static_cast<size_t>(c)] = lit[static_cast<size_t>(c)] || (row[c] & 0xFFFFFFu) != kBlue;
        }
        GxRasterUnlock(raster);
        for (int c = 0; c < width; c++) {
            if (!lit[static_cast<size_t>(c)])
                continue;
            span.first = span.first < 0 ? c : span.first;
            span.last = c;
            span.count++;
        }
        return span;
    }

    bool started = false;
    CGame* game = nullptr;
    std::filesystem::path root;
};

// The front end's tooltip font is loaded scaled and the in-game one unscaled; both draw unscaled. Each text is
// drawn well inside the screen, then where its measured width just reaches the right edge (left-aligned, ending
// at the edge) and one pixel further (right-aligned, ending at the pointer).
TEST_P(TooltipDraw, CityTooltipsStayInsideTheirMeasuredWidthAtTheRightEdge)
{
    const std::string text = ContentSourceText("language.xml");
    ASSERT_FALSE(text.empty()) << "MALL_SOURCE_DIR is not set";
    CFerroxTagTree tree;
    ASSERT_TRUE(tree.LoadFromMemory(text.data(), text.size()));
    const std::string path = (root / "tooltip").string();
    CFerroxFont frontEnd;
    CFerroxFont inGame;
    ASSERT_EQ(1, frontEnd.Load(path.c_str(), 1, 0));
    ASSERT_EQ(1, inGame.Load(path.c_str(), 0, 0));
    const float screen = static_cast<float>(width);
    for (int32_t language = 0; language < kContentLanguages; language++) {
        CLocale locale;
        locale.SetLanguage(language);
        locale.LoadTextsFromTree(tree);
        for (const char* name : kCityLists) {
            const int16_t list = locale.FindTextList(name);
            ASSERT_GE(list, 0) << name;
            for (uint16_t k = 0; k < kCityTooltips; k++) {
                for (CFerroxFont* font : {&frontEnd, &inGame}) {
                    const std::u16string shown = locale.GetText(list, k, nullptr);
                    const float measured = font->GetStringWidth(shown.c_str());
                    const std::string where = std::string(name) + " " + std::to_string(k) + ", language " +
                                              std::to_string(language) + ", " +
                                              (font == &frontEnd ? "front end" : "in game") + " font, " +
                                              std::to_string(width) + " wide, measured " + std::to_string(measured);
                    ASSERT_GT(measured, 0.0f) << where;
                    const Span inside = Draw(locale, *font, list, k, kLeftMargin);
                    ASSERT_GE(inside.first, static_cast<int>(kLeftMargin)) << where;
                    EXPECT_LT(static_cast<float>(inside.last), kLeftMargin + measured) << where;

                    const float fits = screen - measured;
                    const Span atEdge = Draw(locale, *font, list, k, fits);
                    EXPECT_GE(static_cast<float>(atEdge.first), fits - 1.0f) << where;
                    EXPECT_EQ(atEdge.count, inside.count) << where << ": cut by the edge";

                    const float passes = fits + 1.0f;
                    const Span flipped = Draw(locale, *font, list, k, passes);
                    EXPECT_LT(static_cast<float>(flipped.last), passes) << where;
                    EXPECT_GE(static_cast<float>(flipped.first), passes - measured - 1.0f) << where;
                    EXPECT_EQ(flipped.count, inside.count) << where << ": cut by the edge";
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, TooltipDraw, ::testing::Values(Mode{800, 600}, Mode{1024, 768}),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

}  // namespace
