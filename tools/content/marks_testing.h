// Test support of pictures whose figures are named by icons: where the panels draw a figure at its widest, and
// checks that each icon keeps clear of every figure while its tooltip area covers the figure it names.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/content/content_testing.h"
#include "tools/content/interface_painter.h"

// A place the panel draws on, bottom-up: a figure at its widest, a bar or a picture. Its anchor is the part a
// tooltip must cover: a figure's shortest form (one digit at the end it is aligned on, as neighbouring columns
// at their widest may reach under each other's tooltips), or a bar or picture whole.
struct ContentFigure {
    std::string what;
    ContentUiRect area;
    ContentUiRect anchor;
};

inline ContentFigure ContentFigureArea(const std::string& what, const ContentUiRect& area)
{
    return {what, area, area};
}

// A figure of interface font 2 at its widest, right-aligned on `right` (left-aligned from it when `left`) on
// the baseline y, as high as its digits reach.
inline ContentFigure ContentFigureAt(const std::string& what, float right, float y, const char* widest,
                                     bool left = false)
{
    const int width = ContentTextWidth(kContentFiguresFont, widest);
    const int digit = ContentTextWidth(kContentFiguresFont, "9");
    const int x = static_cast<int>(right) - (left ? 0 : width);
    const int height = ContentDigitHeight(kContentFiguresFont);
    const int anchor = left ? x : static_cast<int>(right) - digit;
    return {what, {x, static_cast<int>(y), width, height}, {anchor, static_cast<int>(y), digit, height}};
}

inline bool ContentRectsOverlap(const ContentUiRect& a, const ContentUiRect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

inline bool ContentRectHolds(const ContentUiRect& outer, const ContentUiRect& inner)
{
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

// Figures drawn side by side, each at its widest, keep a label's gap between them: right-aligned columns whose
// digits met would read as one number.
inline void ContentExpectFiguresApart(const std::vector<ContentFigure>& figures)
{
    for (size_t k = 0; k < figures.size(); k++)
        for (size_t j = 0; j < k; j++) {
            const ContentUiRect& a = figures[j].area;
            const ContentUiRect& b = figures[k].area;
            const ContentUiRect room = {a.x - kContentLabelGap, a.y, a.width + 2 * kContentLabelGap, a.height};
            EXPECT_FALSE(ContentRectsOverlap(room, b)) << "the " << figures[j].what << " meets the " << figures[k].what;
        }
}

// The layout's icons read in every language's picture (inside it, clear of its buttons and of each other), each
// stands a label's gap beside and a pixel above or below every figure, each tooltip area covers its icon, and
// no two hot-spots share a pixel, so that a place under the pointer shows one text.
inline void ContentExpectMarksClear(const ContentCanvasLayout& layout, const std::vector<ContentFigure>& figures)
{
    std::string error;
    EXPECT_TRUE(ContentCheckLabels(layout, 0, &error)) << error;
    for (size_t k = 0; k < layout.marks.size(); k++) {
        const ContentUiRect& icon = layout.marks[k].place;
        const ContentUiRect room = {icon.x - kContentLabelGap, icon.y - 1, icon.width + 2 * kContentLabelGap,
                                    icon.height + 2};
        for (const ContentFigure& figure : figures)
            EXPECT_FALSE(ContentRectsOverlap(room, figure.area))
                << layout.stem << " icon " << k << " runs into the " << figure.what;
    }
    const std::vector<ContentUiRect> spots = ContentCanvasHotSpots(layout);
    for (size_t k = 0; k < spots.size(); k++) {
        if (k >= layout.hotSpots.size())
            EXPECT_TRUE(ContentRectHolds(spots[k], layout.marks[k - layout.hotSpots.size()].place))
                << layout.stem << " hot-spot " << k << " leaves its icon out";
        for (size_t j = 0; j < k; j++)
            EXPECT_FALSE(ContentRectsOverlap(spots[k], spots[j]))
                << layout.stem << " hot-spots " << j << " and " << k << " overlap";
    }
}

// An icon `icon` of the layout names the figure: its tooltip area covers the figure's anchor.
inline void ContentExpectNamed(const ContentCanvasLayout& layout, ContentIcon icon, const ContentFigure& figure)
{
    const std::vector<ContentUiRect> spots = ContentCanvasHotSpots(layout);
    bool named = false;
    for (size_t k = 0; k < layout.marks.size(); k++)
        named = named ||
                (layout.marks[k].icon == icon && ContentRectHolds(spots[layout.hotSpots.size() + k], figure.anchor));
    EXPECT_TRUE(named) << layout.stem << ": no icon " << icon << " names the " << figure.what;
}

// The canvas's tooltip list `list` holds a text for each of its hot-spots in every language, no more; a tooltip
// starts at the pointer and runs right, so over any point of its hot-spot, the canvas standing at the screen's
// left edge, each text ends on an 800-pixel screen.
inline void ContentExpectTooltipsOnScreen(const ContentCanvasLayout& layout, const char* list)
{
    static constexpr int kScreenWidth = 800, kTooltipFont = 1;
    const std::vector<ContentUiRect> spots = ContentCanvasHotSpots(layout);
    ContentExpectTextLists(ContentSourceText("language.xml"), {{list, static_cast<uint16_t>(spots.size())}},
                           [&spots, list](CLocale& locale, int32_t language) {
                               const int16_t texts = locale.FindTextList(list);
                               for (size_t k = 0; k < spots.size(); k++) {
                                   std::string text;
                                   for (char16_t c : locale.GetText(texts, static_cast<uint16_t>(k)))
                                       text += static_cast<char>(c < 0x100 ? c : '?');
                                   const int width = ContentTextWidth(kTooltipFont, text.c_str());
                                   EXPECT_LE(spots[k].x + spots[k].width + width, kScreenWidth)
                                       << list << " text " << k << " in language " << language;
                               }
                           });
}
