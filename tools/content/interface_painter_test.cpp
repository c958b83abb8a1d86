// Interface pictures: every authored map decoded by the canvas builder gives the widgets and hot-spots of its
// layout, at the layout's places.
#include "tools/content/interface_painter.h"

#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

#include "tools/content/content_testing.h"
#include "tools/content/label_texts.h"
#include "ui/toolkit/imagemap.h"

namespace {

TEST(InterfacePainter, MapColoursAreDistinctAndNeverBlackOrWhite)
{
    std::set<std::vector<uint8_t>> seen;
    for (int k = 0; k < 64; k++) {
        uint8_t rgb[3];
        ContentMapColour(k, rgb);
        seen.insert({rgb[0], rgb[1], rgb[2]});
        EXPECT_FALSE(rgb[0] == 255 && rgb[1] == 255 && rgb[2] == 255);
        EXPECT_FALSE(rgb[0] == 0 && rgb[1] == 0 && rgb[2] == 0);
    }
    EXPECT_EQ(seen.size(), 64u);
}

class InterfacePictures : public ContentFilesTest {};

TEST_F(InterfacePictures, MainBarBuildsElevenButtonsAndItsHotSpots)
{
    std::string error;
    ASSERT_TRUE(ContentWriteMainBar(dir.string(), &error)) << error;
    for (const char* name : {"spring.png", "summer.png", "autumn.png", "winter.png", "bar.png", "11_s.png"})
        EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;

    const ContentCanvasLayout& layout = ContentMainBarLayout();
    {
        CFerroxCanvas canvas;
        canvas.Build((dir.string() + "/base.png").c_str(), 0.0f, 0.0f, 0);
        ASSERT_EQ(canvas.GetWidgetCount(), 12);
        EXPECT_EQ(canvas.GetWidget(0)->m_width, 800.0f);
        EXPECT_EQ(canvas.GetWidget(0)->m_height, 80.0f);
        // The bar lies along the bottom of an 800-pixel screen: its buttons keep out of the margins where the
        // pointer scrolls the view, so that every edge scrolls all along.
        constexpr float kScrollMargin = 10.0f;
        for (size_t k = 0; k < layout.buttons.size(); k++) {
            const CFerroxWidget* button = canvas.GetWidget(static_cast<int32_t>(k + 1));
            EXPECT_EQ(button->m_x, static_cast<float>(layout.buttons[k].x)) << k;
            EXPECT_EQ(button->m_y, static_cast<float>(layout.buttons[k].y)) << k;
            EXPECT_EQ(button->m_width, static_cast<float>(layout.buttons[k].width)) << k;
            EXPECT_GE(button->m_x, kScrollMargin) << k;
            EXPECT_GE(button->m_y, kScrollMargin) << k;
            EXPECT_LE(button->m_x + button->m_width, 800.0f - kScrollMargin) << k;
        }
        // The buttons' hot-spots, then one over each figure and its icon.
        const std::vector<ContentUiRect> spots = ContentCanvasHotSpots(layout);
        ASSERT_EQ(spots.size(), layout.hotSpots.size() + layout.marks.size());
        ASSERT_EQ(canvas.GetHotSpotCount(), spots.size());
        for (size_t k = 0; k < spots.size(); k++) {
            const CFerroxWidget* spot = canvas.GetHotSpot(k);
            EXPECT_EQ(spot->m_x, static_cast<float>(spots[k].x)) << k;
            EXPECT_EQ(spot->m_y, static_cast<float>(spots[k].y)) << k;
            EXPECT_EQ(spot->m_width, static_cast<float>(spots[k].width - 1)) << k;
            EXPECT_EQ(spot->m_height, static_cast<float>(spots[k].height - 1)) << k;
        }
        for (size_t k = 0; k < layout.marks.size(); k++) {
            const ContentUiRect& icon = layout.marks[k].place;
            const CFerroxWidget* spot = canvas.GetHotSpot(layout.hotSpots.size() + k);
            EXPECT_TRUE(spot->m_x <= icon.x && spot->m_y <= icon.y &&
                        spot->m_x + spot->m_width >= icon.x + icon.width - 1 &&
                        spot->m_y + spot->m_height >= icon.y + icon.height - 1)
                << "the tooltip of icon " << k << " does not cover it";
        }
        canvas.Release();
    }
}

// The figures' icons in the label colour, each inside its box, and nothing else in that colour.
TEST(InterfacePainter, MarksArePaintedInTheirBoxesInOneColour)
{
    const ContentCanvasLayout& layout = ContentMainBarLayout();
    ASSERT_FALSE(layout.marks.empty());
    EXPECT_TRUE(layout.labels.empty());
    std::string error;
    EXPECT_TRUE(ContentCheckLabels(layout, kContentEnglish, &error)) << error;
    const ContentPngImage image = ContentCanvasBackground(layout);
    const int height = static_cast<int>(image.height);
    std::vector<int> ink(layout.marks.size(), 0);
    int stray = 0;
    for (int row = 0; row < height; row++) {
        for (int x = 0; x < static_cast<int>(image.width); x++) {
            const uint8_t* p = &image.rows[(static_cast<size_t>(row) * image.width + x) * 4];
            if (std::memcmp(p, kContentLabelColour, 3) != 0)
                continue;
            const int y = height - 1 - row;
            bool inside = false;
            for (size_t k = 0; k < layout.marks.size(); k++) {
                const ContentUiRect box = layout.marks[k].place;
                if (x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height) {
                    ink[k]++;
                    inside = true;
                }
            }
            stray += inside ? 0 : 1;
        }
    }
    for (size_t k = 0; k < ink.size(); k++)
        EXPECT_GT(ink[k], 10) << "icon " << k;
    EXPECT_EQ(stray, 0);

    // Marks keep clear of each other and of the buttons, as words do.
    ContentCanvasLayout crowded = layout;
    crowded.marks.push_back({{layout.marks[0].place.x + 2, layout.marks[0].place.y, 14, 14}, CONTENT_ICON_DATE});
    EXPECT_FALSE(ContentCheckLabels(crowded, kContentEnglish, &error));
    crowded.marks.back().place = {layout.buttons[0].x + 4, layout.buttons[0].y - 10, 14, 14};
    EXPECT_FALSE(ContentCheckLabels(crowded, kContentEnglish, &error));
}

class InterfacePalette : public ContentFilesTest {};

TEST_F(InterfacePalette, PaletteMapsAndBackgroundsReadBackTheSamePixels)
{
    const std::string rgbaPath = (dir / "rgba.png").string(), palettePath = (dir / "palette.png").string();
    const ContentPngImage rgba = ContentCanvasHotSpotMap(ContentMainBarLayout());
    EXPECT_FALSE(ContentPaletteImage(rgba).paletteAlpha.empty());  // the clear background keeps its alpha
    // The panel background as well: flat fills, so the game reads it through the palette.
    for (const ContentPngImage& painted : {rgba, ContentCanvasBackground(ContentMainBarLayout())}) {
        const ContentPngImage palette = ContentPaletteImage(painted);
        EXPECT_EQ(palette.colourType, PNG_COLOR_TYPE_PALETTE);
        ASSERT_TRUE(ContentWritePng(rgbaPath.c_str(), painted));
        ASSERT_TRUE(ContentWritePng(palettePath.c_str(), palette));
        GxImage* a = GxImageRead(rgbaPath.c_str());
        GxImage* b = GxImageRead(palettePath.c_str());
        ASSERT_TRUE(a && b);
        ASSERT_TRUE(a->width == b->width && a->height == b->height);
        int differing = 0;
        for (int32_t y = 0; y < a->height; y++) {
            for (int32_t x = 0; x < a->width; x++) {
                uint8_t pa[4], pb[4];
                FerroxReadImagePixel(a, x, y, pa);
                FerroxReadImagePixel(b, x, y, pb);
                differing += std::memcmp(pa, pb, sizeof(pa)) != 0;
            }
        }
        EXPECT_EQ(differing, 0);
        GxImageDestroy(a);
        GxImageDestroy(b);
    }

    // More than 256 colours stay RGBA.
    ContentPngImage ramp = rgba;
    for (size_t i = 0; i < 300; i++) {
        ramp.rows[i * 4] = static_cast<uint8_t>(i);
        ramp.rows[i * 4 + 1] = static_cast<uint8_t>(i >> 8);
    }
    EXPECT_EQ(ContentPaletteImage(ramp).colourType, PNG_COLOR_TYPE_RGB_ALPHA);
}

}  // namespace

namespace {

// Every hot-spot of the main bar has its text in English, German and French.
TEST(InterfacePainter, BaseListHoldsATooltipPerHotSpotInThreeLanguages)
{
    const auto hotSpots = static_cast<uint16_t>(ContentCanvasHotSpots(ContentMainBarLayout()).size());
    ContentExpectTextLists(ContentSourceText("language.xml"), {{"base", hotSpots, false, 45}});
}

}  // namespace
