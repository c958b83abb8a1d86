// Canvases: layout from painted maps and numbered files, mouse routing, position and widget list.
#include "ui/toolkit/canvas.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

#include "ui/toolkit/imagemap.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

constexpr UiRgba kOpaque = {90, 90, 90, 255};

// Records the events it raises instead of colouring.
class RecordingCanvas : public CFerroxCanvas {
public:
    void OnWidgetEvent(int32_t index, int32_t event) override
    {
        events.push_back({index, event});
        if (endPressOnEvent2 && event == FERROX_WIDGET_PRESSED)
            g_pFerroxGame->m_pMouse->LeftButtonUp();
    }
    std::vector<std::pair<int32_t, int32_t>> events;
    bool endPressOnEvent2 = false;
};

// Appends a widget without counting it, as a panel appends a widget past the built ones.
class UncountedCanvas : public CFerroxCanvas {
public:
    void AppendUncounted(std::unique_ptr<CFerroxWidget> widget) { m_widgets.push_back(std::move(widget)); }
};

// Counts its updates; a plain rectangle otherwise.
class CountingWidget : public CFerroxWidget {
public:
    CountingWidget(float x, float y, float w, float h)
    {
        m_x = x;
        m_y = y;
        m_width = w;
        m_height = h;
    }
    void Update() override { updates++; }
    int updates = 0;
};

class CanvasTest : public UiTest {
protected:
    std::string Folder()
    {
        std::filesystem::create_directories(dir / "panel");
        return Path("panel") + "/";
    }
    void WriteButton(const std::string& name, int w = 8, int h = 8)
    {
        ASSERT_TRUE(UiPicture(w, h, kOpaque).Write(Folder() + name));
    }
    void WriteBackground(int w = 200, int h = 100)
    {
        ASSERT_TRUE(UiPicture(w, h, kOpaque).Write(Folder() + "base.png"));
    }
};

TEST_F(CanvasTest, BuildPlacesButtonsInPaletteOrderAndHotSpotsInclusive)
{
    WriteBackground();
    UiPicture place = UiMap(200, 100, 3);
    place.Block(10, 20, 1, 1, UiPaletteColour(0));
    place.Block(50, 30, 1, 1, UiPaletteColour(1));
    // A block taller than a pixel places its button at its first pixel, the block's top row.
    place.Block(90, 36, 2, 5, UiPaletteColour(2));
    ASSERT_TRUE(place.Write(Folder() + "base_p.png"));
    for (const char* name : {"1_s.png", "1_p.png", "2_s.png", "3_S.png", "10_s.png"})
        WriteButton(name);
    UiPicture hot = UiMap(200, 100, 3);
    hot.Block(5, 5, 10, 4, UiPaletteColour(0));
    // Colour 1 is missing from the map: colour 2 moves down into its place, and the last hot-spot stays unfilled.
    hot.Block(60, 70, 3, 2, UiPaletteColour(2));
    ASSERT_TRUE(hot.Write(Folder() + "base_h.png"));

    CFerroxCanvas canvas;
    canvas.Build((Folder() + "base.png").c_str(), 0.0f, 0.0f, 0);
    ASSERT_EQ(canvas.GetWidgetCount(), 4);
    EXPECT_EQ(canvas.GetWidget(0)->m_width, 200.0f);
    const float expected[3][2] = {{10, 20}, {50, 30}, {90, 40}};
    for (int k = 1; k <= 3; k++) {
        EXPECT_EQ(canvas.GetWidget(k)->m_x, expected[k - 1][0]) << k;
        EXPECT_EQ(canvas.GetWidget(k)->m_y, expected[k - 1][1]) << k;
    }
    EXPECT_NE(std::string(canvas.GetWidget(1)->GetName()).find("/1_s.png"), std::string::npos);
    EXPECT_NE(std::string(canvas.GetWidget(3)->GetName()).find("/3_S.png"), std::string::npos);
    EXPECT_EQ(canvas.GetTooltipList(), 1);  // the list named after the background

    ASSERT_EQ(canvas.GetHotSpotCount(), 3u);
    const CFerroxWidget* first = canvas.GetHotSpot(0);
    EXPECT_EQ(first->m_x, 5.0f);
    EXPECT_EQ(first->m_y, 5.0f);
    EXPECT_EQ(first->m_width, 9.0f);
    EXPECT_EQ(first->m_height, 3.0f);
    EXPECT_EQ(canvas.GetHotSpot(1)->m_x, 60.0f);
    EXPECT_EQ(canvas.GetHotSpot(1)->m_y, 70.0f);
    for (float value : {canvas.GetHotSpot(2)->m_x, canvas.GetHotSpot(2)->m_y, canvas.GetHotSpot(2)->m_width})
        EXPECT_EQ(value, -1.0f);

    // Edges of the block are inside, one past them is not.
    PointAt(14.0f, 8.0f);
    canvas.Update();
    EXPECT_EQ(canvas.GetHoveredHotSpot(), 0);
    PointAt(15.0f, 8.0f);
    canvas.Update();
    EXPECT_EQ(canvas.GetHoveredHotSpot(), kFerroxNoHotSpot);
    PointAt(62.0f, 71.0f);
    canvas.Update();
    EXPECT_EQ(canvas.GetHoveredHotSpot(), 1);
    canvas.Render();
    EXPECT_EQ(Interface()->m_tooltipText, 1);
    EXPECT_EQ(Interface()->m_tooltipList, 1);
    EXPECT_EQ(uiDrawRecords.size(), 4u);
    // Not updated since (under a modal canvas), it keeps the hot-spot its last update found and asks again.
    Interface()->m_tooltipText = kFerroxNoHotSpot;
    canvas.Render();
    EXPECT_EQ(Interface()->m_tooltipText, 1);
    PointAt(15.0f, 8.0f);
    canvas.Update();
    Interface()->m_tooltipText = kFerroxNoHotSpot;
    canvas.Render();
    EXPECT_EQ(Interface()->m_tooltipText, kFerroxNoHotSpot);
    canvas.Release();
}

TEST_F(CanvasTest, WhiteFirstPixelGivesNoHotSpotsAndTwelveButtonsKeepTheirNumbers)
{
    WriteBackground(300, 50);
    UiPicture hot(300, 50);
    hot.At(0, 0) = {255, 255, 255, 255};
    hot.Block(5, 5, 10, 4, UiPaletteColour(0));
    ASSERT_TRUE(hot.Write(Folder() + "base_h.png"));
    UiPicture place = UiMap(300, 50, 12);
    for (int k = 0; k < 12; k++) {
        place.Block(k * 20, 10, 1, 1, UiPaletteColour(k));
        WriteButton(std::to_string(k + 1) + "_s.png", 4 + k, 8);
    }
    ASSERT_TRUE(place.Write(Folder() + "base_p.png"));

    CFerroxCanvas canvas;
    canvas.Build((Folder() + "base.png").c_str(), 0.0f, 0.0f, 0);
    EXPECT_EQ(canvas.GetHotSpotCount(), 0u);
    ASSERT_EQ(canvas.GetWidgetCount(), 13);
    for (int k = 1; k <= 12; k++)
        EXPECT_EQ(canvas.GetWidget(k)->m_width, 3.0f + k) << "widget " << k << " takes " << k << "_s.png";
    canvas.Release();
}

// Without a placement map, or with one that does not read (which is the same), the numbered files are laid in a
// row, and nothing else is drawn with them.
TEST_F(CanvasTest, NumberedFilesStopAtTheFirstGapThenTry99)
{
    WriteBackground(100, 20);
    for (const char* name : {"01_a.png", "02_b.png", "04_d.png", "99_z.png", "1_s.png"})
        WriteButton(name, 10, 20);
    for (const bool damaged : {false, true}) {
        if (damaged)
            std::ofstream(Folder() + "base_p.png", std::ios::binary) << "\x89PNG\r\n\x1a\n cut short";
        CFerroxCanvas canvas;
        canvas.Build((Folder() + "base.png").c_str(), 3.7f, 5.2f, 0);
        ASSERT_EQ(canvas.GetWidgetCount(), 4) << damaged;
        EXPECT_NE(std::string(canvas.GetWidget(3)->GetName()).find("99_z"), std::string::npos);
        EXPECT_EQ(canvas.GetWidget(1)->m_x, 103.0f);  // the canvas x truncated, then the background's width
        EXPECT_EQ(canvas.GetWidget(2)->m_x, 113.0f);
        EXPECT_EQ(canvas.GetWidget(1)->m_y, 5.0f);
        uiDrawRecords.clear();
        canvas.Render();
        EXPECT_EQ(uiDrawRecords.size(), 4u) << "the background and the three buttons alone";
        canvas.Release();
    }
}

TEST_F(CanvasTest, MissingBackgroundIsAnImageThatIsNeverHit)
{
    // A path at the root or shorter than an extension gives the background alone.
    for (const char* path : {"/x.png", "ab"}) {
        CFerroxCanvas bare;
        bare.Build(path, 0.0f, 0.0f, 0);
        EXPECT_EQ(bare.GetWidgetCount(), 1) << path;
        EXPECT_EQ(bare.GetHotSpotCount(), 0u) << path;
    }
    CFerroxCanvas canvas;
    canvas.Build((Folder() + "absent.png").c_str(), 0.0f, 0.0f, 0);
    ASSERT_EQ(canvas.GetWidgetCount(), 1);
    PointAt(0.0f, 0.0f);
    mouse->GetPosition()->overInterface = 0;
    canvas.Update();
    EXPECT_EQ(mouse->GetPosition()->overInterface, 0);
    canvas.Render();
    EXPECT_TRUE(uiDrawRecords.empty());
    canvas.Release();
}

class RoutingTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        background = Add(std::make_unique<CountingWidget>(0, 0, 100, 100));
        first = Add(std::make_unique<CountingWidget>(10, 10, 20, 20));
        second = Add(std::make_unique<CountingWidget>(20, 20, 20, 20));  // overlaps the first
    }
    void TearDown() override
    {
        canvas.Release();
        UiTest::TearDown();
    }
    CountingWidget* Add(std::unique_ptr<CountingWidget> widget)
    {
        CountingWidget* added = widget.get();
        canvas.AddWidget(std::move(widget));
        return added;
    }
    RecordingCanvas canvas;
    CountingWidget* background;
    CountingWidget* first;
    CountingWidget* second;
};

TEST_F(RoutingTest, PressRepeatsWhileHeldAndStopsTheWalk)
{
    PointAt(25.0f, 25.0f);  // over both widgets
    mouse->LeftButtonDown();
    canvas.Update();
    // The earlier widget takes the press; the walk stops there, so the second gets no update.
    ASSERT_EQ(canvas.events.size(), 1u);
    EXPECT_EQ(canvas.events[0], std::make_pair(1, 2));
    EXPECT_EQ(second->updates, 0);
    EXPECT_EQ(first->updates, 1);
    EXPECT_EQ(mouse->GetPosition()->overInterface, 1);

    canvas.events.clear();
    canvas.Update();  // still held: over events, then the press again
    EXPECT_EQ(canvas.events, (std::vector<std::pair<int32_t, int32_t>>{{1, 0}, {2, 0}, {1, 2}}));

    canvas.endPressOnEvent2 = true;
    canvas.events.clear();
    canvas.Update();
    EXPECT_EQ(canvas.events.back(), std::make_pair(1, 2));
    canvas.events.clear();
    canvas.Update();  // the handler ended the press: no event 2 any more, nothing for the release
    EXPECT_EQ(canvas.events, (std::vector<std::pair<int32_t, int32_t>>{{1, 0}, {2, 0}}));
    EXPECT_EQ(canvas.GetPressedIndex(), -1);
}

// The background takes clicks from the view but is no button.
TEST_F(RoutingTest, BackgroundGetsNoEventsButMarksThePointerOverTheInterface)
{
    PointAt(90.0f, 90.0f);
    mouse->GetPosition()->overInterface = 0;
    canvas.Update();
    EXPECT_EQ(canvas.events, (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {2, 1}}));
    EXPECT_EQ(mouse->GetPosition()->overInterface, 1);
    EXPECT_EQ(background->updates, 1);

    canvas.events.clear();
    PointAt(300.0f, 300.0f);
    mouse->GetPosition()->overInterface = 0;
    canvas.Update();
    EXPECT_EQ(mouse->GetPosition()->overInterface, 0);
}

TEST_F(RoutingTest, CanvasPositionMovesTheHitTests)
{
    canvas.SetPosition(10.0f, 20.0f, 1);
    canvas.SetPosition(5.0f, 5.0f, 0);
    EXPECT_EQ(canvas.GetX(), 15.0f);
    EXPECT_EQ(canvas.GetY(), 25.0f);
    // Widget 1 spans 10..30 in x; at canvas x 15 it spans 25..45. The y term is added to the downward pointer.
    canvas.SetPosition(15.0f, 0.0f, 1);
    PointAt(44.0f, 15.0f);
    canvas.Update();
    EXPECT_EQ(canvas.events[0], std::make_pair(1, 0));
}

TEST_F(RoutingTest, WidgetListKeepsCountAndIgnoresOutsiders)
{
    CFerroxWidget stranger;
    EXPECT_EQ(canvas.RemoveWidget(&stranger), nullptr);
    EXPECT_EQ(canvas.GetWidgetCount(), 3);
    EXPECT_EQ(canvas.GetWidgetRect(3), nullptr);
    canvas.SetWidgetId(1, 7);
    canvas.SetWidgetId(1, -2);
    canvas.SetWidgetId(9, 7);
    EXPECT_EQ(first->m_id, 7);
    // The removed widget is the caller's again.
    std::unique_ptr<CFerroxWidget> handedBack = canvas.RemoveWidget(first);
    EXPECT_EQ(handedBack.get(), first);
    EXPECT_EQ(canvas.GetWidget(1), second);
    EXPECT_EQ(canvas.GetWidgetCount(), 2);
    // Adding and removing step the count by one, so a widget appended past the count stays past it.
    UncountedCanvas panel;
    panel.AddWidget(std::make_unique<CFerroxWidget>());
    panel.AppendUncounted(std::make_unique<CFerroxWidget>());
    auto widget = std::make_unique<CFerroxWidget>();
    CFerroxWidget* last = widget.get();
    panel.AddWidget(std::move(widget));
    EXPECT_EQ(panel.GetWidgetCount(), 2);
    EXPECT_EQ(panel.RemoveWidget(last).get(), last);
    EXPECT_EQ(panel.GetWidgetCount(), 1);
    EXPECT_EQ(panel.GetWidgetRect(1), nullptr);
    // Release empties the list and the count with it.
    panel.Release();
    EXPECT_EQ(panel.GetWidgetCount(), 0);
    canvas.Release();
    canvas.SetWidgetId(0, 3);
    EXPECT_EQ(canvas.GetWidgetRect(0), nullptr);
}

// A palette map decodes as its RGBA form does: indices sharing a colour, clear runs longer than a word and a
// block starting right after one.
TEST(FerroxDecodeMapTest, PaletteMapGivesTheBlocksOfItsRgbaForm)
{
    const int32_t w = 45, h = 12;
    const GxRGBA palette[] = {{0, 0, 0, 255}, {255, 255, 255, 255}, {1, 2, 3, 255}, {9, 8, 7, 255}, {1, 2, 3, 255}};
    std::vector<GxRGBA> entries(256, GxRGBA{0, 0, 0, 255});
    std::copy(std::begin(palette), std::end(palette), entries.begin());
    std::vector<GxUInt8> indices(static_cast<size_t>(w) * h, 0);
    auto block = [&](int x0, int y0, int bw, int bh, GxUInt8 index) {
        for (int y = y0; y < y0 + bh; y++)
            for (int x = x0; x < x0 + bw; x++)
                indices[static_cast<size_t>(y) * w + x] = index;
    };
    indices[0] = 2;  // colour (1, 2, 3), block 0
    indices[1] = 3;  // colour (9, 8, 7), block 1
    indices[2] = 2;  // the same colour again: block 2 takes block 0's place
    indices[3] = 1;
    block(17, 2, 4, 3, 4);  // another index of colour (1, 2, 3), after a run of 17 clear pixels
    block(40, 6, 5, 5, 3);  // reaches the right edge
    block(0, 8, 3, 1, 2);   // a later block of a colour already found is ignored

    GxImage indexed = {};
    indexed.width = w;
    indexed.height = h;
    indexed.depth = 8;
    indexed.stride = w;
    indexed.pixels = indices.data();
    indexed.palette = entries.data();
    std::vector<GxUInt8> rgba(indices.size() * 4);
    for (size_t i = 0; i < indices.size(); i++) {
        const GxRGBA& entry = entries[indices[i]];
        rgba[i * 4] = entry.red;
        rgba[i * 4 + 1] = entry.green;
        rgba[i * 4 + 2] = entry.blue;
        rgba[i * 4 + 3] = entry.alpha;
    }
    GxImage full = indexed;
    full.depth = 32;
    full.stride = w * 4;
    full.pixels = rgba.data();
    full.palette = nullptr;

    const std::vector<FerroxMapBlock> fromPalette = FerroxDecodeMap(&indexed);
    const std::vector<FerroxMapBlock> fromRgba = FerroxDecodeMap(&full);
    ASSERT_EQ(fromPalette.size(), 3u);
    ASSERT_EQ(fromRgba.size(), 3u);
    for (size_t k = 0; k < 3; k++) {
        EXPECT_TRUE(fromPalette[k].found) << k;
        EXPECT_EQ(fromPalette[k].column, fromRgba[k].column) << k;
        EXPECT_EQ(fromPalette[k].bottom, fromRgba[k].bottom) << k;
        EXPECT_EQ(fromPalette[k].width, fromRgba[k].width) << k;
        EXPECT_EQ(fromPalette[k].height, fromRgba[k].height) << k;
    }
    EXPECT_EQ(fromPalette[0].column, 17);
    EXPECT_EQ(fromPalette[0].width, 3);
    EXPECT_EQ(fromPalette[1].column, 40);
    EXPECT_EQ(fromPalette[1].bottom, 1);  // rows 6 to 10 of twelve
}

}  // namespace
