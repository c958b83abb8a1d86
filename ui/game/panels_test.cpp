// The main bar, the confirmation, options and message-history panels under a scripted mouse.
#include "ui/game/ingame_testing_local.h"

#include "game/shell/sound.h"

namespace {

using PanelTest = UiGameTest;

constexpr int16_t kMessagesList = 1;  // of the recording locale
constexpr float kAbove = kUiMainBarHeight - 8.0f;

// A floor manager and placement controller that count what they are asked.
class CountingSeams : public CGameFloors, public CGamePlacement {
public:
    void GoDown() override { downs++; }
    void GoUp() override { ups++; }
    void SelectTile(int32_t tile) override { tiles.push_back(tile); }
    int32_t GetCurrentFloor() override { return 3; }
    void SetMode(int32_t mode, CFerroxAssetSet*, CFerroxObjectFactory*) override { modes.push_back(mode); }
    int downs = 0, ups = 0;
    std::vector<int32_t> tiles, modes;
};

class MainBarTest : public PanelTest {
protected:
    void ClickMainButton(int k)
    {
        const std::array<int32_t, 4> r = UiMainButton(k);
        Click(static_cast<float>(r[0] + r[2] / 2), static_cast<float>(r[1] + r[3] / 2));
    }
    std::vector<uint16_t> MessagesShown()
    {
        std::vector<uint16_t> shown;
        for (const UiTextRecord& text : locale->texts)
            if (text.list == kMessagesList)
                shown.push_back(text.index);
        locale->texts.clear();
        return shown;
    }
};

TEST_F(MainBarTest, DateAndSeasonFollowTheMonthCounter)
{
    CreateWithFonts();
    struct Case {
        uint16_t counter;
        const char* date;
        uint16_t season;
    };
    for (const Case& c : {Case{0, "1/2004", SEASON_WINTER}, Case{14, "3/2005", SEASON_SPRING},
                          Case{23, "12/2005", SEASON_WINTER}, Case{7, "8/2004", SEASON_SUMMER}}) {
        game->m_dayCounter = c.counter;
        uiDrawRecords.clear();
        Frame(0.01f);
        EXPECT_EQ(ui->m_pMainPanel->GetSeason(), c.season) << c.counter;
        const std::vector<UiDrawRecord> dates = TextsOf(c.date);
        ASSERT_EQ(dates.size(), 1u) << c.counter;
        EXPECT_EQ(dates[0].x + dates[0].width, 233.0f);  // right-aligned
        const char* seasons[] = {"spring.png", "summer.png", "autumn.png", "winter.png"};
        EXPECT_TRUE(Drew(seasons[c.season])) << c.counter;
    }
}

TEST_F(MainBarTest, BalanceRatingAndFloorFigures)
{
    CreateWithFonts();
    CountingSeams seams;
    game->SetFloors(&seams);
    CStatistics* stats = CDynamicObjectManager::Instance()->GetStatistics();
    stats->m_incomeTotal = 1000;
    stats->m_expenseTotal = 1500;
    stats->m_shoppersPresent = 42;
    struct Case {
        int16_t rating;
        float share;  // 0: hidden
        FerroxColour colour;
    };
    for (const Case& c : {Case{0, 0.5f, {0, 255, 0, 255}}, Case{-1, 0.49f, {255, 0, 0, 255}},
                          Case{1000, 1.0f, {0, 255, 0, 255}}, Case{-1000, 0.0f, {255, 0, 0, 255}}}) {
        stats->m_rating = c.rating;
        uiDrawRecords.clear();
        ui->Render();
        CFerroxBar* bar = ui->m_pMainPanel->GetRatingBar();
        EXPECT_EQ(Drew("bar.png"), c.share > 0.0f) << c.rating;
        if (c.share > 0.0f) {
            EXPECT_FLOAT_EQ(bar->m_factor, c.share) << c.rating;
            const FerroxColour colour = static_cast<CRecordingImageImpl*>(bar->GetImpl())->GetColour();
            EXPECT_EQ(colour.red, c.colour.red) << c.rating;
            EXPECT_EQ(colour.green, c.colour.green) << c.rating;
        }
    }
    std::vector<UiDrawRecord> balance = TextsOf("-500");
    ASSERT_FALSE(balance.empty());
    EXPECT_EQ(balance[0].highlight, 1);
    stats->m_incomeTotal = 2000;
    uiDrawRecords.clear();
    ui->Render();
    balance = TextsOf("500");
    ASSERT_EQ(balance.size(), 1u);
    EXPECT_EQ(balance[0].highlight, 0);
    EXPECT_EQ(TextsOf("42").size(), 1u);
    EXPECT_EQ(TextsOf("3").size(), 1u);  // the floor
    game->SetFloors(nullptr);
}

TEST_F(MainBarTest, MessagesMoveEveryTenSecondsIntoTheHistory)
{
    CreateWithFonts();
    ui->ClearData();
    for (int16_t id : {5, -1, 6, 7})
        game->QueueMessage(id);
    game->m_dayCounter = 14;
    ui->samples.clear();
    Frame(0.01f);
    // It flows left-aligned in its box over the figures.
    const auto shown = std::find_if(locale->texts.rbegin(), locale->texts.rend(),
                                    [](const UiTextRecord& text) { return text.boxed && text.index == 5; });
    ASSERT_NE(shown, locale->texts.rend());
    EXPECT_EQ(shown->alignment, FERROX_ALIGN_LEFT);
    EXPECT_EQ(shown->box.x, ui->m_pMainPanel->GetX() + 153.0f);
    EXPECT_EQ(shown->box.y, ui->m_pMainPanel->GetY() + 40.0f);
    EXPECT_EQ(shown->box.width, 485.0f);
    EXPECT_EQ(shown->box.height, 30.0f);
    EXPECT_EQ(MessagesShown(), std::vector<uint16_t>{5});
    Frame(0.01f);
    EXPECT_EQ(MessagesShown(), std::vector<uint16_t>{5});
    EXPECT_EQ(ui->samples, std::vector<int32_t>{kMainPanelMessageSample});  // one sound per message

    Frame(9.98f);
    EXPECT_EQ(MessagesShown(), std::vector<uint16_t>{6});
    Frame(10.0f);
    EXPECT_EQ(MessagesShown(), std::vector<uint16_t>{7});
    Frame(10.0f);
    EXPECT_TRUE(MessagesShown().empty());
    EXPECT_EQ(ui->samples, std::vector<int32_t>(3, kMainPanelMessageSample));
    ASSERT_EQ(ui->m_pHistoryPanel->GetCount(), 3);
    EXPECT_EQ(ui->m_pHistoryPanel->GetEntries()[0]->textIndex, 5);
    EXPECT_EQ(ui->m_pHistoryPanel->GetEntries()[2]->date, 14);

    // The timer runs on real time: a paused game still moves its messages.
    game->m_gameSpeed = 0.0f;
    game->QueueMessage(8);
    Frame(10.0f);
    EXPECT_EQ(ui->m_pHistoryPanel->GetCount(), 4);
}

TEST_F(MainBarTest, ButtonsSetTheSpeedOpenPanelsAndChangeFloors)
{
    CreateWithFonts();
    CountingSeams seams;
    game->SetFloors(&seams);
    game->SetPlacement(&seams);

    ClickMainButton(MAIN_SPEED_2);
    EXPECT_EQ(game->m_gameSpeed, 2.0f);
    for (int k = MAIN_SPEED_0; k <= MAIN_SPEED_3; k++)
        EXPECT_EQ(ui->m_pMainPanel->GetWidget(k)->m_visible, k == MAIN_SPEED_2 ? 1 : 0) << k;
    ClickMainButton(MAIN_SPEED_0);
    EXPECT_EQ(game->m_gameSpeed, 0.0f);
    EXPECT_EQ(ui->m_pMainPanel->GetWidget(MAIN_SPEED_0)->m_visible, 1);
    EXPECT_EQ(ui->m_pMainPanel->GetWidget(MAIN_SPEED_2)->m_visible, 0);

    ClickMainButton(MAIN_OPTIONS);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 2);
    EXPECT_EQ(ui->m_pOptionsPanel->GetY(), kAbove);
    ClickMainButton(MAIN_MESSAGES);  // one panel at a time
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 2);
    EXPECT_EQ(ui->m_pHistoryPanel->GetY(), kAbove);
    ClickMainButton(MAIN_DEMOLISH);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);
    EXPECT_EQ(seams.modes, std::vector<int32_t>{GAME_PLACEMENT_CLEAR});

    game->m_selectionChanged = 0;
    ClickMainButton(MAIN_FLOOR_DOWN);
    ClickMainButton(MAIN_FLOOR_UP);
    ClickMainButton(MAIN_FLOOR_UP);
    EXPECT_EQ(seams.downs, 1);
    EXPECT_EQ(seams.ups, 2);
    EXPECT_EQ(game->m_selectionChanged, 1);
    EXPECT_EQ(seams.modes.back(), GAME_PLACEMENT_NONE);
    game->SetFloors(nullptr);
    game->SetPlacement(nullptr);
}

class ConfirmTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        CreateWithFonts();
        ui->ClearData();  // no message on the bar
        calls = 0;
    }
    void Ask(int32_t closeBoth, const char16_t* extra = nullptr, bool withCallback = true)
    {
        ui->GetStack().Push(ui->m_pLoadPanel.get(), 1);
        ui->GetStack().Push(ui->m_pConfirmPanel.get(), 1);
        ui->AskConfirmation(withCallback ? Count : nullptr, 35, kMessagesList, closeBoth, extra);
    }
    void Press(int button) { Click(button == CONFIRM_YES ? 45.0f : 155.0f, kAbove + 20.0f); }
    static void Count() { calls++; }
    static inline int calls = 0;
};

TEST_F(ConfirmTest, NoNeverRunsTheActionAndYesClosesOneOrBoth)
{
    Ask(1);
    Press(CONFIRM_NO);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ui->GetStack().GetModalCount(), 1);  // the asking panel stays
    ui->GetStack().Clear();
    ui->GetStack().Push(ui->m_pMainPanel.get(), 0);

    Ask(0);
    Press(CONFIRM_YES);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ui->GetStack().GetModalCount(), 1);
    EXPECT_EQ(ui->m_pConfirmPanel->GetCallback(), nullptr);
    ui->GetStack().Remove(ui->m_pLoadPanel.get());

    Ask(1);
    Press(CONFIRM_YES);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(ui->GetStack().GetModalCount(), 0);

    // A request without an action runs none, and closes as its flag asks.
    for (const int32_t closeBoth : {0, 1}) {
        Ask(closeBoth, nullptr, false);
        Press(CONFIRM_YES);
        EXPECT_EQ(calls, 2);
        EXPECT_EQ(ui->GetStack().GetModalCount(), 1 - closeBoth);
        EXPECT_EQ(ui->m_pConfirmPanel->GetCloseBoth(), 0);
        ui->GetStack().Remove(ui->m_pLoadPanel.get());
    }
}

TEST_F(ConfirmTest, QuestionInItsBoxAndTheExtraLineOnlyWhenGiven)
{
    Ask(0);
    uiDrawRecords.clear();
    ui->Render();
    ASSERT_EQ(locale->texts.size(), 1u);
    const UiTextRecord& question = locale->texts[0];
    EXPECT_EQ(question.index, 35);
    EXPECT_EQ(question.font, ui->GetFont(1));
    EXPECT_TRUE(question.boxed);
    EXPECT_EQ(question.box.x, 24.0f);
    EXPECT_EQ(question.box.y, kAbove + 50.0f);
    EXPECT_EQ(question.box.width, 150.0f);
    EXPECT_EQ(question.box.height, 64.0f);
    EXPECT_TRUE(TextsOf("save 3").empty());

    ui->GetStack().Clear();
    Ask(0, u"save 3");
    uiDrawRecords.clear();
    ui->Render();
    const std::vector<UiDrawRecord> extra = TextsOf("save 3");
    ASSERT_EQ(extra.size(), 1u);
    EXPECT_EQ(extra[0].y, kAbove + 55.0f);
    EXPECT_FLOAT_EQ(extra[0].x + extra[0].width / 2.0f, 100.0f);  // centred on the panel
}

class OptionsTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        CreateWithFonts();
        game->m_pSoundManager = std::make_unique<CSoundManager>();
        sound = game->m_pSoundManager.get();
        sound->m_musicEnabled = 1;
        sound->m_effectsEnabled = 1;
        Open(ui->m_pOptionsPanel.get());
    }
    float ButtonY(int k) const { return kAbove + 20.0f + 30.0f * static_cast<float>(k - 1); }
    void Press(int k)
    {
        Open(ui->m_pOptionsPanel.get());
        Click(40.0f, ButtonY(k));
    }
    FerroxColour Tint(int k)
    {
        auto* image = static_cast<CFerroxImage*>(ui->m_pOptionsPanel->GetWidget(k));
        return static_cast<CRecordingImageImpl*>(image->GetImpl())->GetColour();
    }
    CSoundManager* sound = nullptr;
};

TEST_F(OptionsTest, SwitchedOffOptionsStayRedAndPressesToggleThem)
{
    PointAt(40.0f, ButtonY(OPTIONS_MUSIC));
    ui->Update(0.01f);
    EXPECT_EQ(Tint(OPTIONS_MUSIC).red, 190);  // grey under the pointer
    EXPECT_EQ(Tint(OPTIONS_EFFECTS).red, 255);
    EXPECT_EQ(Tint(OPTIONS_EFFECTS).green, 255);  // white elsewhere

    Press(OPTIONS_MUSIC);
    EXPECT_EQ(sound->m_musicEnabled, 0);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);  // every press closes the panel
    Press(OPTIONS_EFFECTS);
    EXPECT_EQ(sound->m_effectsEnabled, 0);
    Open(ui->m_pOptionsPanel.get());
    for (float y : {ButtonY(OPTIONS_MUSIC), 590.0f}) {
        PointAt(40.0f, y);
        ui->Update(0.01f);
        EXPECT_EQ(Tint(OPTIONS_MUSIC).red, 255) << y;
        EXPECT_EQ(Tint(OPTIONS_MUSIC).green, 0) << y;
        EXPECT_EQ(Tint(OPTIONS_EFFECTS).green, 0) << y;
    }
    Press(OPTIONS_MUSIC);
    Press(OPTIONS_EFFECTS);
    EXPECT_EQ(sound->m_musicEnabled, 1);
    EXPECT_EQ(sound->m_effectsEnabled, 1);
}

TEST_F(OptionsTest, QuitAsksAndYesLeavesForTheFrontEnd)
{
    game->SetState(kGameStateInGame);
    Press(OPTIONS_QUIT);
    ASSERT_EQ(ui->GetStack().GetModalCount(), 1);
    EXPECT_NE(ui->m_pConfirmPanel->GetCallback(), nullptr);
    uiDrawRecords.clear();
    ui->Render();
    ASSERT_FALSE(locale->texts.empty());
    EXPECT_EQ(locale->texts.back().index, kOptionsQuitQuestion);
    EXPECT_EQ(locale->texts.back().list, kMessagesList);
    EXPECT_EQ(game->GetState(), kGameStateInGame);
    Click(45.0f, kAbove + 20.0f);
    EXPECT_EQ(game->GetState(), kGameStateLeave);
    EXPECT_EQ(ui->GetStack().GetModalCount(), 0);
}

class HistoryTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        CreateWithFonts();
        ui->ClearData();  // no message on the bar
        history = ui->m_pHistoryPanel.get();
        Open(history);
    }
    void Fill(int count)
    {
        history->Clear();
        for (int i = 0; i < count; i++)
            history->AddMessage(i, i == 1 ? 14 : i);
    }
    std::vector<uint16_t> Rows()
    {
        locale->texts.clear();
        uiDrawRecords.clear();
        ui->Render();
        std::vector<uint16_t> rows;
        for (const UiTextRecord& text : locale->texts)
            if (text.list == kMessagesList)
                rows.push_back(text.index);
        return rows;
    }
    void Press(int button)
    {
        const float y[] = {0.0f, 352.0f, 232.0f, 102.0f};
        Click(575.0f, y[button] + kAbove - 72.0f);
        Open(history);
    }
    CMessageHistoryPanel* history = nullptr;
};

TEST_F(HistoryTest, NewestFirstSixToAPageWithTheirDates)
{
    history->AddMessage(-1, 3);
    EXPECT_EQ(history->GetCount(), 0);
    Fill(7);
    EXPECT_EQ(Rows(), (std::vector<uint16_t>{6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(TextsOf("3.2005").size(), 1u);
    EXPECT_TRUE(TextsOf("1.2004").empty());
    Press(HISTORY_OLDER);
    EXPECT_EQ(history->GetScroll(), 6);
    EXPECT_EQ(Rows(), std::vector<uint16_t>{0});
    EXPECT_EQ(TextsOf("1.2004").size(), 1u);
    Press(HISTORY_OLDER);  // no older page
    EXPECT_EQ(history->GetScroll(), 6);

    Press(HISTORY_NEWER);
    EXPECT_EQ(history->GetScroll(), 0);
    Press(HISTORY_NEWER);  // no newer page
    EXPECT_EQ(history->GetScroll(), 0);

    Fill(6);
    Press(HISTORY_OLDER);
    EXPECT_EQ(history->GetScroll(), 0);

    // Dates count from January of the game's start year, as the main bar's do.
    g_pGame->m_startYear = 2006;
    EXPECT_EQ(Rows(), (std::vector<uint16_t>{5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(TextsOf("3.2007").size(), 1u);
    EXPECT_TRUE(TextsOf("3.2005").empty());
    g_pGame->m_startYear = kGameStartYear;

    Press(HISTORY_CLOSE);
    ui->Update(0.01f);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 2);  // reopened by Press, closed again below

    // Left on its older page and closed, the history reopens from the main bar on that page.
    Fill(7);
    Press(HISTORY_OLDER);
    ASSERT_EQ(history->GetScroll(), 6);
    ui->CloseCanvases();
    const std::array<int32_t, 4> button = UiMainButton(MAIN_MESSAGES);
    Click(static_cast<float>(button[0] + button[2] / 2), static_cast<float>(button[1] + button[3] / 2));
    ASSERT_TRUE(ui->GetStack().Holds(history));
    EXPECT_EQ(history->GetScroll(), 6);
    EXPECT_EQ(Rows(), (std::vector<uint16_t>{0}));
}

TEST_F(HistoryTest, HeldButtonPagesEveryFrame)
{
    Fill(20);
    Open(history);
    PointAt(575.0f, 102.0f + kAbove - 72.0f);
    mouse->GetPosition()->left = FERROX_BUTTON_DOWN;
    ui->Update(0.01f);
    ui->Update(0.01f);
    EXPECT_EQ(history->GetScroll(), 12);
    mouse->GetPosition()->left = FERROX_BUTTON_UP;
    ui->Update(0.01f);
    EXPECT_EQ(history->GetScroll(), 12);
}

// Closed by a press that is still held, and opened again away from its buttons, the history does not close itself
// on that old press.
TEST_F(HistoryTest, ClosedUnderAHeldButtonItStaysOpenWhenReopened)
{
    PointAt(575.0f, 352.0f + kAbove - 72.0f);
    mouse->GetPosition()->left = FERROX_BUTTON_DOWN;
    ui->Update(0.01f);
    ASSERT_FALSE(ui->GetStack().Holds(history));
    Open(history);
    ui->Update(0.01f);
    EXPECT_TRUE(ui->GetStack().Holds(history));
    mouse->GetPosition()->left = FERROX_BUTTON_UP;
}

}  // namespace
