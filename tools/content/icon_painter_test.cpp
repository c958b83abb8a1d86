// Buttons a player can read and bars whose figures never overlap: every main-bar, options, management and
// build-menu button carries its own icon (shapes, no words, so it reads the same in every language), the main
// bar's season picture, labels and figures keep apart, and the main menu's labels stay readable under the lit
// button in English and German.
#include "tools/content/icon_painter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data/tagtree.h"
#include "tools/content/buildmenu_writer.h"
#include "tools/content/card_painter.h"
#include "tools/content/content_testing.h"
#include "tools/content/frontend_pictures.h"
#include "tools/content/interface_painter.h"
#include "tools/content/label_texts.h"
#include "tools/content/management_pictures.h"
#include "tools/content/marks_testing.h"
#include "tools/content/panel_painter.h"
#include "tools/content/templates_writer.h"
#include "ui/game/panels.h"

namespace {

constexpr int kChannels = 4;
constexpr int kFiguresFont = 2;  // "figures", the main bar's font 1
constexpr int kLeastInk = 12;    // pixels an icon needs to be seen

const uint8_t* Pixel(const ContentPngImage& image, int x, int row)
{
    return &image.rows[(static_cast<size_t>(row) * image.width + x) * kChannels];
}

bool IsInk(const uint8_t* p) { return std::memcmp(p, kContentIconInk, 3) == 0 && p[3] != 0; }

// The ink pixels of a top-down rectangle, as a set of (x, row) offsets from its corner.
std::set<std::pair<int, int>> Ink(const ContentPngImage& image, int x, int row, int width, int height)
{
    std::set<std::pair<int, int>> ink;
    for (int r = row; r < row + height; r++)
        for (int c = x; c < x + width; c++)
            if (IsInk(Pixel(image, c, r)))
                ink.insert({c - x, r - row});
    return ink;
}

// More than a plain square: enough ink, and not one filled block of square-ish shape (a thin bar, the minus
// sign, is a shape of its own).
void ExpectIcon(const std::set<std::pair<int, int>>& ink, const std::string& what)
{
    ASSERT_GE(static_cast<int>(ink.size()), kLeastInk) << what;
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
    for (const auto& [x, row] : ink) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, row);
        bottom = std::max(bottom, row);
    }
    const int width = right - left + 1, height = bottom - top + 1;
    const bool filled = static_cast<int>(ink.size()) == width * height;
    EXPECT_FALSE(filled && width <= 2 * height && height <= 2 * width) << what << " is a plain square";
}

// Each button's own picture and its resting place on the background carry an icon, and no two buttons of the
// canvas share one.
void ExpectCanvasIcons(const ContentCanvasLayout& layout, bool restingIcons)
{
    const ContentPngImage background = ContentCanvasBackground(layout);
    std::set<std::set<std::pair<int, int>>> seen;
    for (size_t k = 0; k < layout.buttons.size(); k++) {
        const std::string what = std::string(layout.stem) + " button " + std::to_string(k + 1);
        const ContentPngImage picture = ContentCanvasButton(layout, static_cast<int>(k));
        const auto ink = Ink(picture, 0, 0, static_cast<int>(picture.width), static_cast<int>(picture.height));
        ExpectIcon(ink, what);
        EXPECT_TRUE(seen.insert(ink).second) << what << " looks like another button";
        if (!restingIcons)
            continue;
        const ContentUiRect& r = layout.buttons[k];
        const int row = static_cast<int>(background.height) - (r.y + r.height);
        EXPECT_EQ(Ink(background, r.x, row, r.width, r.height), ink) << what << " rests as it lights";
    }
}

// The pixels an icon inks, painted alone on a square of the side given.
std::set<std::pair<int, int>> InkOfIcon(ContentIcon icon, int side)
{
    ContentPngImage image;
    image.width = image.height = side;
    image.rows.assign(static_cast<size_t>(side) * side * kChannels, 0);
    ContentPaintIcon(&image, 0, 0, side, side, icon, kContentIconInk);
    return Ink(image, 0, 0, side, side);
}

// Every icon is a shape of its own: seen at a button's size, no two paint the same pixels.
TEST(ButtonIcons, EveryIconIsItsOwnShape)
{
    constexpr int kSide = 32;
    std::set<std::set<std::pair<int, int>>> seen;
    for (int icon = CONTENT_ICON_NONE + 1; icon < CONTENT_ICON_COUNT; icon++) {
        const auto ink = InkOfIcon(static_cast<ContentIcon>(icon), kSide);
        ExpectIcon(ink, "icon " + std::to_string(icon));
        EXPECT_TRUE(seen.insert(ink).second) << "icon " << icon << " repeats another";
    }
}

// The star signs stand 16 pixels square on the shopper lines: at that size too each sign is a glyph no other
// sign shares, so the sign reads without the tint it stands on.
TEST(ButtonIcons, EveryStarSignReadsAtItsOwnSize)
{
    constexpr int kSide = 16;
    std::set<std::set<std::pair<int, int>>> seen;
    for (int icon = CONTENT_ICON_AQUARIUS; icon <= CONTENT_ICON_VIRGO; icon++) {
        const auto ink = InkOfIcon(static_cast<ContentIcon>(icon), kSide);
        ExpectIcon(ink, "star sign " + std::to_string(icon));
        EXPECT_TRUE(seen.insert(ink).second) << "star sign " << icon << " repeats another";
    }
    EXPECT_EQ(seen.size(), 12u);
}

std::vector<const ContentCanvasLayout*> Layouts()
{
    return {
        &ContentMainBarLayout(),      &ContentOptionsLayout(),    &ContentConfirmLayout(),
        &ContentMessagesLayout(),     &ContentManagementLayout(), &ContentFinanceLayout(),
        &ContentContractorsLayout(),  &ContentHireLayout(),       &ContentShopperCardLayout(),
        &ContentShopCardLayout(),     &ContentStaffCardLayout(),  &ContentShopperSummaryLayout(),
        &ContentStaffSummaryLayout(), &ContentMainMenuLayout(),   &ContentCityLayout(0),
        &ContentCityLayout(1),        &ContentCityLayout(2),
    };
}

TEST(ButtonIcons, MainBarOptionsAndManagementButtonsShowTheirOwnIcons)
{
    ExpectCanvasIcons(ContentMainBarLayout(), true);
    ExpectCanvasIcons(ContentOptionsLayout(), true);
    ExpectCanvasIcons(ContentManagementLayout(), false);
}

// Every button a player can press, on every panel and screen, shows what it does: its picture carries an icon,
// or its place on the background carries a label that its lit picture leaves readable.
TEST(ButtonIcons, EveryPressableButtonOfEveryCanvasCarriesAnIconOrALabel)
{
    for (const ContentCanvasLayout* layout : Layouts()) {
        for (size_t k = 0; k < layout->buttons.size(); k++) {
            const ContentUiRect& r = layout->buttons[k];
            if (r.width <= kContentInertSize && r.height <= kContentInertSize)
                continue;  // an inert place
            const std::string what = std::string(layout->stem) + " button " + std::to_string(k + 1);
            const ContentPngImage picture = ContentCanvasButton(*layout, static_cast<int>(k));
            const auto ink = Ink(picture, 0, 0, static_cast<int>(picture.width), static_cast<int>(picture.height));
            if (!ink.empty()) {
                ExpectIcon(ink, what);
                continue;
            }
            bool labelled = false;
            for (const ContentUiLabel& label : layout->labels) {
                const ContentUiRect area = ContentLabelRect(label);
                labelled = labelled || (area.x >= r.x && area.x + area.width <= r.x + r.width && area.y >= r.y - 4 &&
                                        area.y + area.height <= r.y + r.height + 4);
            }
            EXPECT_TRUE(labelled) << what << " carries neither icon nor label";
            EXPECT_LT(Pixel(picture, r.width / 2, r.height / 2)[3], 128) << what << " hides its label when lit";
        }
    }
}

// No label of any canvas runs into another or off its picture.
TEST(ButtonIcons, LabelsKeepApartAndOnTheirPictures)
{
    for (const ContentCanvasLayout* layout : Layouts()) {
        for (size_t i = 0; i < layout->labels.size(); i++) {
            const ContentUiRect a = ContentLabelRect(layout->labels[i]);
            const std::string what = std::string(layout->stem) + " '" + layout->labels[i].text + "'";
            EXPECT_GT(a.width, 0) << what;
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.width <= layout->width && a.y + a.height <= layout->height)
                << what << " leaves its picture";
            for (size_t j = i + 1; j < layout->labels.size(); j++) {
                const ContentUiRect b = ContentLabelRect(layout->labels[j]);
                // Cells may share their padding rows; the letters themselves must not meet.
                const ContentUiRect inner = {b.x, b.y + 2, b.width, b.height - 4};
                EXPECT_FALSE(ContentRectsOverlap({a.x, a.y + 2, a.width, a.height - 4}, inner))
                    << what << " runs into '" << layout->labels[j].text << "'";
            }
        }
    }
}

TEST(ButtonIcons, EveryBuildMenuButtonShowsItsCategoryAndTheRootsDiffer)
{
    std::string error;
    CFerroxTagTree data;
    ASSERT_TRUE(ContentLoadAuthoredData(&data, &error)) << error;
    const std::vector<ContentBuildMenu> menus = ContentReadBuildMenus(&data, &error);
    ASSERT_FALSE(menus.empty()) << error;
    constexpr int kSide = 40;
    std::set<std::set<std::pair<int, int>>> roots;
    for (const ContentBuildMenu& menu : menus) {
        for (int k = 0; k < menu.buttons; k++) {
            const std::string what = menu.path + " button " + std::to_string(k + 1);
            const ContentPngImage icon = ContentBuildMenuIcon(menu, k, kSide);
            const bool back = k == menu.buttons - 1;
            if (k < static_cast<int>(menu.tiles.size()))
                continue;  // a floor item shows the tile it lays, which the build-menu tests check
            if (back) {
                EXPECT_GE(icon.rows.size(), static_cast<size_t>(kSide * kSide * kChannels)) << what;
                continue;
            }
            const auto ink = Ink(icon, 0, 0, kSide, kSide);
            ExpectIcon(ink, what);
            if (menu.category < 0)
                EXPECT_TRUE(roots.insert(ink).second) << what << " looks like another category";
        }
    }
    EXPECT_EQ(roots.size(), static_cast<size_t>(menus[0].buttons - 1));
}

// The season picture ends before the widest date begins; the floor's icon stays clear of the floor number; no
// figure's icon runs into a button, up to a figure at the widest the game holds or into the lowest line of a
// message (icons against each other and buttons' frames: ContentCheckLabels).
TEST(ButtonIcons, MainBarPicturesLabelsAndFiguresKeepApart)
{
    const int dateWidth = ContentTextWidth(kFiguresFont, "12/2099");
    ASSERT_GT(dateWidth, 0);
    const int digits = ContentDigitHeight(kFiguresFont);
    ASSERT_GT(digits, 0);
    EXPECT_LE(kContentSeasonX + kContentSeasonWidth + kContentLabelGap, kContentDateRight - dateWidth)
        << "season against the date";

    const ContentCanvasLayout& bar = ContentMainBarLayout();
    const int y = kContentMainFiguresY;
    const int floorY = y + kContentFloorDy;
    const std::vector<std::pair<std::string, ContentUiRect>> figures = {
        {"date", {kContentDateRight - dateWidth, y, dateWidth, digits}},
        {"balance",
         {366 - ContentTextWidth(kFiguresFont, "-4294967295"), y, ContentTextWidth(kFiguresFont, "-4294967295"),
          digits}},
        {"shoppers",
         {460 - ContentTextWidth(kFiguresFont, "65535"), y, ContentTextWidth(kFiguresFont, "65535"), digits}},
        {"floor",
         {kContentFloorRight - ContentTextWidth(kFiguresFont, "99"), floorY, ContentTextWidth(kFiguresFont, "99"),
          digits}},
        {"season", {kContentSeasonX, 0, kContentSeasonWidth, 36}},
    };
    // A message flows down its box in the message font's cells, as many lines as the box holds whole; the lowest
    // line's descenders reach the bottom of its cell.
    const int cell = ContentLabelRect({0, 0, "Date"}).height;
    ASSERT_GT(cell, 0);
    const int lines = static_cast<int>(kMainPanelMessageBox.height) / cell;
    const int lowest = static_cast<int>(kMainPanelMessageBox.y + kMainPanelMessageBox.height) - lines * cell;
    const ContentUiRect message = {static_cast<int>(kMainPanelMessageBox.x), lowest,
                                   static_cast<int>(kMainPanelMessageBox.width), lines * cell};
    ASSERT_FALSE(bar.marks.empty());
    for (size_t i = 0; i < bar.marks.size(); i++) {
        // The icon kept a space clear of the figures beside it.
        const ContentUiRect area = bar.marks[i].place;
        const ContentUiRect room = {area.x - kContentLabelGap, area.y, area.width + 2 * kContentLabelGap, area.height};
        EXPECT_LE(area.x + area.width, bar.width) << "icon " << i;
        for (const auto& [name, figure] : figures)
            EXPECT_FALSE(ContentRectsOverlap(room, figure)) << "icon " << i << " against the " << name;
        EXPECT_FALSE(ContentRectsOverlap(area, message)) << "icon " << i << " against the message's lowest line";
        for (const ContentUiRect& button : bar.buttons)
            EXPECT_FALSE(ContentRectsOverlap(area, button)) << "icon " << i << " over a button";
    }
    // The floor's icon stands on the floor number's line, after it.
    const ContentUiRect floor = bar.marks.back().place;
    EXPECT_EQ(bar.marks.back().icon, CONTENT_ICON_STOREY);
    EXPECT_TRUE(floor.y <= floorY && floor.y + floor.height > floorY + digits / 2);
    EXPECT_GT(floor.x, kContentFloorRight);
}

// Under the pointer a main-menu button lights but its label still reads, in each language's menu; the title
// is large and in the middle of the screen.
TEST(ButtonIcons, MainMenuLabelsReadUnderTheLitButtonsAndTheTitleIsCentred)
{
    const char* const names[] = {"English", "German", "French"};
    for (int language = 0; language < 3; language++) {
        const ContentCanvasLayout& menu = ContentMainMenuLayout();
        const ContentPngImage background = ContentCanvasBackground(menu, language);
        for (size_t k = 0; k < menu.buttons.size(); k++) {
            if (k < menu.icons.size() && menu.icons[k] != CONTENT_ICON_NONE)
                continue;  // shown by its icon, in every language
            const ContentUiRect& r = menu.buttons[k];
            const ContentPngImage lit = ContentCanvasButton(menu, static_cast<int>(k));
            const int top = static_cast<int>(background.height) - (r.y + r.height);
            // Blend the lit picture over the background and compare label pixels with the face around them.
            int label = 0, readable = 0;
            for (int row = 0; row < r.height; row++) {
                for (int x = 0; x < r.width; x++) {
                    const uint8_t* under = Pixel(background, r.x + x, top + row);
                    if (std::memcmp(under, kContentLabelColour, 3) != 0)
                        continue;
                    label++;
                    const uint8_t* over = Pixel(lit, x, row);
                    const uint8_t* face = Pixel(background, r.x + r.width / 2, top + 1);
                    int contrast = 0;
                    for (int c = 0; c < 3; c++) {
                        const int blendLabel = (over[c] * over[3] + under[c] * (255 - over[3])) / 255;
                        const int blendFace = (over[c] * over[3] + face[c] * (255 - over[3])) / 255;
                        contrast += std::abs(blendLabel - blendFace);
                    }
                    readable += contrast >= 60 ? 1 : 0;
                }
            }
            EXPECT_GT(label, 40) << names[language] << " button " << k + 1 << " has its label";
            EXPECT_GT(readable, label * 9 / 10) << names[language] << " button " << k + 1;
        }
        const ContentUiLabel& title = menu.labels.back();
        const ContentUiRect area = ContentLabelRect(title);
        EXPECT_NEAR(area.x + area.width / 2, menu.width / 2, 2) << "title in the middle";
        EXPECT_GE(area.height, 48) << "title stands out";
        for (size_t k = 0; k + 1 < menu.labels.size(); k++) {
            const ContentUiRect text = ContentLabelRect(menu.labels[k]);
            const ContentUiRect& button = menu.buttons[k];
            EXPECT_NEAR(text.x + text.width / 2, button.x + button.width / 2, 2) << menu.labels[k].text;
            EXPECT_TRUE(text.x >= button.x && text.x + text.width <= button.x + button.width) << menu.labels[k].text;
        }
    }
}

}  // namespace
