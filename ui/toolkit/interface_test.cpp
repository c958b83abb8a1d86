// Interface base: tooltip selection, the tooltip's fields frame by frame and where it is drawn, reset and the 2D
// render states.
#include "ui/toolkit/interface.h"

#include <memory>
#include <string>
#include <vector>

#include "gfx/core/renderstate.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

using InterfaceTest = UiTest;

TEST_F(InterfaceTest, TooltipKeepsItsListForNegativeRequestsUntilReset)
{
    CFerroxInterface* ui = Interface();
    ui->SetTooltip(3, 4);
    ui->SetTooltip(5, -1);
    EXPECT_EQ(ui->m_tooltipText, 5);
    EXPECT_EQ(ui->m_tooltipList, 4);
    ui->m_tooltipX = 7.0f;
    ui->Reset();
    EXPECT_LT(ui->m_tooltipList, 0);
    EXPECT_LT(ui->m_defaultTooltipList, 0);
    EXPECT_EQ(ui->m_tooltipText, 0xFFFF);
    EXPECT_EQ(ui->m_lastText, 0xFFFF);
    EXPECT_EQ(ui->m_tooltipX, 0.0f);
}

TEST_F(InterfaceTest, RenderTurnsDepthAndFogOffBeforeTheCanvases)
{
    for (GxInt32 state : {gxRENDERSTATEZWRITEENABLE, gxRENDERSTATEZTESTENABLE, gxRENDERSTATEFOGENABLE})
        GxRenderStateSet(state, GxRenderStateValue(1));
    Interface()->Render();
    GxRenderStateGetFunction get = GxEngineInstance->dOpenDevice.fpRenderStateGet;
    ASSERT_NE(get, nullptr);
    for (GxInt32 state : {gxRENDERSTATEZWRITEENABLE, gxRENDERSTATEZTESTENABLE, gxRENDERSTATEFOGENABLE}) {
        GxUInt32 value = 1;
        get(state, &value);
        EXPECT_EQ(value, 0u) << "state " << state;
    }
}

// Draws text `index` of a list as "tip<index>" where it is asked to, and counts the calls and what they asked.
class TipLocale : public UiTestLocale {
public:
    void DrawText(CFerroxWideTextFont* font, int16_t, uint16_t index, float x, int y, int highlight, int alignment,
                  float middleX, int scaled, const FerroxTextBox* box) override
    {
        ++calls;
        lastScaled = scaled;
        const std::string text = "tip" + std::to_string(index);
        const std::u16string wide(text.begin(), text.end());
        font->DrawWideText(wide.c_str(), x, y, highlight, alignment, middleX, scaled, box);
    }
    int calls = 0;
    int lastScaled = -1;
};

// An interface whose frame ends with the tooltip's step, as the game's interfaces do, in a font of its own.
class TipInterface : public UiTestInterface {
public:
    TipInterface()
    {
        font.Load("fonts/tooltip", 0, 0);
        m_defaultTooltipList = kDefaultList;
        m_tooltipList = kDefaultList;
    }
    void Update(float frameTime) override
    {
        CFerroxInterface::Update(frameTime);
        m_frameTime = frameTime;
    }
    void Render() override
    {
        CFerroxInterface::Render();
        StepTooltip(static_cast<int16_t>(m_tooltipText) >= 0, &font, &delay, m_frameTime, kWait);
    }
    static constexpr int16_t kDefaultList = 0;
    static constexpr float kWait = 0.6f;
    CFerroxFont font;
    float delay = kWait;

private:
    float m_frameTime = 0.0f;
};

constexpr uint16_t kNone = 0xFFFF;
constexpr int16_t kList = 1;
// Two hot-spots: x, y, width, height, bottom-up.
constexpr float kSpotA[4] = {100.0f, 100.0f, 40.0f, 20.0f};
constexpr float kSpotB[4] = {200.0f, 100.0f, 40.0f, 20.0f};

class TooltipSteps : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        if (HasFatalFailure())
            return;
        game->SetScreenSize(800, 600);
        auto tips = std::make_unique<TipLocale>();
        locale = tips.get();
        game->m_pLocale = std::move(tips);
        auto made = std::make_unique<TipInterface>();
        ui = made.get();
        game->m_pInterface = std::move(made);
    }
    // One frame of `seconds` with the pointer at (x, bottom-up y): over a hot-spot (null: none), which asks for
    // its text; the tooltip texts drawn.
    std::vector<std::string> Frame(float seconds, float x, float y, const float* spot = nullptr, uint16_t text = 0)
    {
        PointAt(x, y);
        ui->Update(seconds);
        if (spot)
            ui->SetTooltip(text, kList);
        uiDrawRecords.clear();
        locale->calls = 0;
        ui->Render();
        std::vector<std::string> tips;
        drawn.clear();
        for (const UiDrawRecord& record : uiDrawRecords) {
            if (record.picture.rfind("tip", 0) == 0) {
                tips.push_back(record.picture);
                drawn.push_back(record);
            }
        }
        EXPECT_EQ(static_cast<size_t>(locale->calls), tips.size()) << "the text is drawn once a frame";
        return tips;
    }
    void ExpectRequest(uint16_t text, int16_t list) const
    {
        EXPECT_EQ(ui->m_tooltipText, text);
        EXPECT_EQ(ui->m_tooltipList, list);
    }
    void ExpectLast(uint16_t text, uint16_t list) const
    {
        EXPECT_EQ(ui->m_lastText, text);
        EXPECT_EQ(ui->m_lastList, list);
    }
    void ExpectPosition(float x, float y) const
    {
        EXPECT_FLOAT_EQ(ui->m_tooltipX, x);
        EXPECT_FLOAT_EQ(ui->m_tooltipY, y);
    }
    // The text alone, left-aligned from the tooltip position, unscaled and unboxed: nothing else is drawn.
    void ExpectDrawnAt(float x, float y) const
    {
        ASSERT_EQ(drawn.size(), 1u);
        EXPECT_EQ(uiDrawRecords.size(), 1u) << "a tooltip has no plate";
        EXPECT_FLOAT_EQ(drawn[0].x, x);
        EXPECT_FLOAT_EQ(drawn[0].y, y);
        EXPECT_EQ(drawn[0].alignment, FERROX_ALIGN_LEFT);
        EXPECT_FALSE(drawn[0].boxed);
        EXPECT_EQ(locale->lastScaled, 0);
    }

    std::vector<UiDrawRecord> drawn;
    TipLocale* locale = nullptr;
    TipInterface* ui = nullptr;
};

// A short hover shows nothing and keeps its request; the delay run out shows the text at the pointer of that
// frame, clears the request and keeps the pair; the tooltip stays there while it is asked for, and goes (the
// delay back at 0.6 s, the position following the pointer) the frame nothing asks.
TEST_F(TooltipSteps, ShortHoverThenTheDelayRunOutThenGone)
{
    EXPECT_TRUE(Frame(0.25f, 90.0f, 90.0f).empty());
    ExpectPosition(90.0f, 90.0f);
    EXPECT_FLOAT_EQ(ui->delay, 0.6f);

    EXPECT_TRUE(Frame(0.25f, 110.0f, 105.0f, kSpotA, 2).empty());
    EXPECT_FLOAT_EQ(ui->delay, 0.35f);
    ExpectRequest(2, kList);
    ExpectLast(kNone, kNone);
    ExpectPosition(90.0f, 90.0f);
    EXPECT_TRUE(Frame(0.25f, 112.0f, 106.0f, kSpotA, 2).empty());
    EXPECT_FLOAT_EQ(ui->delay, 0.1f);
    ExpectRequest(2, kList);

    EXPECT_EQ(Frame(0.25f, 114.0f, 107.0f, kSpotA, 2), std::vector<std::string>{"tip2"});
    EXPECT_FLOAT_EQ(ui->delay, -0.15f);
    ExpectRequest(kNone, TipInterface::kDefaultList);
    ExpectLast(2, kList);
    ExpectPosition(114.0f, 107.0f);
    ExpectDrawnAt(114.0f, 107.0f);

    EXPECT_EQ(Frame(0.25f, 120.0f, 110.0f, kSpotA, 2), std::vector<std::string>{"tip2"});
    ExpectPosition(114.0f, 107.0f);
    ExpectDrawnAt(114.0f, 107.0f);
    EXPECT_FLOAT_EQ(ui->delay, -0.15f);

    EXPECT_TRUE(Frame(0.25f, 300.0f, 300.0f).empty());
    EXPECT_FLOAT_EQ(ui->delay, 0.6f);
    ExpectPosition(300.0f, 300.0f);
    ExpectLast(2, kList);
    EXPECT_TRUE(Frame(0.25f, 310.0f, 300.0f).empty());
}

// The pointer leaves during the delay: the request stays and is drawn once, at the pointer, when the delay runs
// out; the next frame without a request starts the delay again.
TEST_F(TooltipSteps, LeavingDuringTheDelayDrawsOnceWhenItRunsOut)
{
    EXPECT_TRUE(Frame(0.25f, 110.0f, 105.0f, kSpotA, 4).empty());
    EXPECT_TRUE(Frame(0.25f, 95.0f, 95.0f).empty());
    ExpectRequest(4, kList);
    EXPECT_FLOAT_EQ(ui->delay, 0.1f);
    EXPECT_EQ(Frame(0.25f, 96.0f, 94.0f), std::vector<std::string>{"tip4"});
    ExpectRequest(kNone, TipInterface::kDefaultList);
    ExpectLast(4, kList);
    ExpectPosition(96.0f, 94.0f);
    ExpectDrawnAt(96.0f, 94.0f);

    EXPECT_TRUE(Frame(0.25f, 97.0f, 93.0f).empty());
    EXPECT_FLOAT_EQ(ui->delay, 0.6f);
    ExpectPosition(97.0f, 93.0f);
}

// Straight from one hot-spot to another while a tooltip shows: the new text at once, at the new pointer. The same
// tooltip asked again after the pointer left is drawn where the pointer was in the last frame without a request.
TEST_F(TooltipSteps, MovingBetweenHotSpotsAndTheSameTooltipAgain)
{
    Frame(0.7f, 110.0f, 105.0f, kSpotA, 2);
    EXPECT_EQ(Frame(0.25f, 110.0f, 105.0f, kSpotA, 2), std::vector<std::string>{"tip2"});
    EXPECT_EQ(Frame(0.05f, 210.0f, 108.0f, kSpotB, 3), std::vector<std::string>{"tip3"});
    ExpectLast(3, kList);
    ExpectPosition(210.0f, 108.0f);
    ExpectDrawnAt(210.0f, 108.0f);

    EXPECT_TRUE(Frame(0.25f, 195.0f, 95.0f).empty());
    ExpectPosition(195.0f, 95.0f);
    EXPECT_TRUE(Frame(0.25f, 215.0f, 110.0f, kSpotB, 3).empty());
    EXPECT_TRUE(Frame(0.25f, 218.0f, 111.0f, kSpotB, 3).empty());
    EXPECT_EQ(Frame(0.25f, 220.0f, 112.0f, kSpotB, 3), std::vector<std::string>{"tip3"});
    ExpectPosition(195.0f, 95.0f);
    ExpectLast(3, kList);
    ExpectDrawnAt(195.0f, 95.0f);
}

}  // namespace
