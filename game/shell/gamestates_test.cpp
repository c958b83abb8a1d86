// The game's states and in-game frame without a window: timing of the start-up states, the failed set-up, the
// clock and its speed, the scenario result and the input it blocks, the leave question, and the selection
// that walks off the floor shown.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "engine/application/keyboard.h"
#include "engine/world/object.h"
#include "game/buildings/shop.h"
#include "game/shell/conditions.h"
#include "game/shell/game_testing.h"
#include "game/shell/gameshell.h"
#include "game/shell/input.h"
#include "game/world/floors.h"
#include "game/world/objectmgr.h"
#include "game/world/objectmgr_testing.h"
#include "game/world/statistics.h"

namespace {

constexpr float kLongFrame = 1.0f;  // clamped to 0.05 s
constexpr float kFrame = 0.05f;
// The effects the content lists sixth and seventh: win.wav and lose.wav.
constexpr int32_t kWinWav = 6;
constexpr int32_t kLoseWav = 7;

// Records what the game asks of the interface above it.
class RecordingShell : public CGameShell {
public:
    void UpdateInterface(float frameTime) override { interfaceTimes.push_back(frameTime); }
    void ShowEndGame(int16_t message, int32_t, const char*, CFerroxWorld*) override { endGames.push_back(message); }
    void AskLeave(void (*yes)()) override
    {
        asked++;
        leave = yes;
    }
    int IsCanvasUnderModal(float, float) override { return modal && covered; }
    void AdvanceContract(int32_t category) override { advanced.push_back(category); }
    int CreateFrontEnd() override
    {
        frontEnds++;
        return 1;
    }
    std::vector<float> interfaceTimes;
    std::vector<int16_t> endGames;
    int asked = 0;
    void (*leave)() = nullptr;
    int modal = 0;    // a question or file panel is open
    int covered = 0;  // and a canvas lies under the pointer
    std::vector<int32_t> advanced;
    int frontEnds = 0;
};

// Conditions whose results the test sets.
class FixedConditions : public CConditions {
public:
    int32_t TestLose() override { return lose; }
    int32_t TestWin() override { return win; }
    int32_t lose = -1;
    int32_t win = -1;
};

// An object standing where the test puts it.
class StandingObject : public CFerroxObject {
public:
    GxV3d* GetPosition() override { return &at; }
    GxV3d at = {0.0f, 0.0f, 0.0f};
};

StandingObject* g_shopper = nullptr;
int IsTestShopper(CFerroxObject* object) { return object == g_shopper; }

FerroxKeyEvent Key(int32_t code)
{
    FerroxKeyEvent event = {};
    event.keyCode = code;
    return event;
}

class GameStates : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        game->SetShell(&shell);
        auto owned = std::make_unique<FixedConditions>();
        conditions = owned.get();
        game->m_pConditions = std::move(owned);
    }
    void TearDown() override
    {
        game->SetShell(nullptr);
        GameTest::TearDown();
        ResetObjectClassHooks();
    }
    void Frames(int count, float frameTime = kFrame)
    {
        for (int i = 0; i < count; i++)
            game->Update(frameTime);
    }
    void Press(int32_t code)
    {
        const FerroxKeyEvent event = Key(code);
        CGame::OnKeyDown(&event);
        CGame::OnKeyUp(&event);
    }

    RecordingShell shell;
    FixedConditions* conditions = nullptr;
};

TEST_F(GameStates, SplashAndLoadingLastFourSecondsEachThenAFailedSetUpStopsTheStart)
{
    // Long frames count as 0.05 s: 4 s is 80 frames, whatever the clock says.
    game->SetState(kGameStateSplash);
    Frames(75, kLongFrame);
    EXPECT_EQ(kGameStateSplash, game->GetState());
    Frames(10, kLongFrame);
    ASSERT_EQ(kGameStateLoading, game->GetState());
    Frames(75, kLongFrame);
    EXPECT_EQ(kGameStateLoading, game->GetState());
    // No ./setup.xml here: no level list, so the set-up stops and says so, and no front end is made.
    Frames(10, kLongFrame);
    EXPECT_EQ(kGameStateFrontEnd, game->GetState());
    EXPECT_NE(nullptr, game->GetStartFailure()) << "the program's start failed";
    EXPECT_EQ(0, shell.frontEnds);
    // The front end's state with nothing set up runs and draws nothing, and a game asked for starts empty.
    game->SetState(kGameStateStart);
    Frames(2);
    EXPECT_EQ(kGameStateInGame, game->GetState());
    EXPECT_EQ(nullptr, game->GetWorld());

    // A scenario that does not load is told as a scenario, each time it is started.
    WriteFile(Path("cut.fds"), "<CONDITIONS>\r\n0\r\n2,1,500\r\n");
    notices.Clear();
    for (int start = 0; start < 2; start++) {
        game->m_gameFilePath = Path("cut.fds");
        game->SetState(kGameStateStart);
        Frames(2);
    }
    EXPECT_EQ((std::vector<int16_t>{kGameDamagedScenarioMessage, kGameDamagedScenarioMessage}), notices.messages);

    // One holding a value its load refuses (a year below 0) is told as a scenario too, not as a saved game.
    WriteFile(Path("refused.fds"), "<GAME_DATA>\r\n-1\r\n1\r\n0\r\n</GAME_DATA>\r\n"
                                   "<TECHTREE>\r\n\r\n\r\n</TECHTREE>\r\n");
    notices.Clear();
    game->m_gameFilePath = Path("refused.fds");
    game->SetState(kGameStateStart);
    Frames(2);
    EXPECT_EQ(std::vector<int16_t>{kGameScenarioPartsMessage}, notices.messages);
}

TEST_F(GameStates, SpeedZeroStopsTheSimulationClockButNotTheInterface)
{
    game->SetState(kGameStateInGame);
    game->m_gameSpeed = 0.0f;
    Frames(100);
    EXPECT_EQ(0.0f, game->m_scaledFrameTime);
    EXPECT_EQ(0.0f, game->m_dayTimer);
    ASSERT_EQ(100u, shell.interfaceTimes.size());
    EXPECT_FLOAT_EQ(kFrame, shell.interfaceTimes.back());
    EXPECT_FLOAT_EQ(kFrame, game->m_realFrameTime);
}

// A second game in the same run counts its days from 0: a scenario file holds no calendar, and one started at the
// last game's day would meet its day limits early. Shop numbers run on through the whole run.
TEST_F(GameStates, ANewLevelRestartsTheDaysAndNotTheShopNumbers)
{
    g_shopCounter = 7;
    game->m_dayCounter = 300;
    game->m_dayTimer = 20.0f;
    game->StartLevel();
    EXPECT_EQ(7, g_shopCounter);
    EXPECT_EQ(0, game->m_dayCounter);
    EXPECT_EQ(0.0f, game->m_dayTimer);
}

TEST_F(GameStates, OneDayPasses_per150ScaledSeconds_fiftyRealSecondsAtSpeedThree)
{
    game->SetState(kGameStateInGame);
    const FerroxKeyEvent three = Key(51);
    CGame::OnKeyDown(&three);
    ASSERT_EQ(3.0f, game->m_gameSpeed);
    Frames(990);  // 49.5 s
    EXPECT_EQ(0, game->m_dayCounter);
    Frames(20);  // 50.5 s
    EXPECT_EQ(1, game->m_dayCounter);
    EXPECT_LT(game->m_dayTimer, 3.0f * 0.5f + 0.01f);
    // The new-day flag lives only during the frame that ended the day.
    EXPECT_EQ(0, game->m_newDay);
}

TEST_F(GameStates, AWinStopsTheGameOnceAndBlocksSpeedKeysAndEscapeUntilCleared)
{
    game->SetState(kGameStateInGame);
    conditions->win = 2;
    Frames(1);
    EXPECT_EQ(0.0f, game->m_gameSpeed);
    EXPECT_EQ(1, game->m_gameOver);
    EXPECT_EQ(1, game->m_inputBlocked);
    ASSERT_EQ(1u, shell.endGames.size());
    EXPECT_EQ(0, shell.endGames[0]);
    ASSERT_EQ(1u, notices.samples.size());
    EXPECT_EQ(kWinWav, notices.samples[0].first);
    EXPECT_EQ(255, notices.samples[0].second);
    // Shown once, however long the conditions keep holding.
    Frames(5);
    EXPECT_EQ(1u, shell.endGames.size());

    Press(49);
    Press(FERROX_KEY_ESCAPE);
    EXPECT_EQ(0.0f, game->m_gameSpeed);
    EXPECT_EQ(0, shell.asked);
    // The last key is still recorded for the text fields, and cleared at the frame's end.
    const FerroxKeyEvent key = Key(49);
    CGame::OnKeyDown(&key);
    EXPECT_EQ(49, game->GetLastKey()->keyCode);
    Frames(1);
    EXPECT_EQ(0, game->GetLastKey()->keyCode);

    // The end-game click clears both flags: the next game takes the keys again.
    game->m_gameOver = 0;
    game->m_inputBlocked = 0;
    std::unique_ptr<CConditions> held = std::move(game->m_pConditions);
    Press(50);
    EXPECT_EQ(2.0f, game->m_gameSpeed);
    game->m_pConditions = std::move(held);
}

// A loss names the figure that failed (its variable plus one) with the losing sample; a frame in which a goal is
// met and a limit broken is a win.
TEST_F(GameStates, ALossShowsItsFigureWithTheLosingSampleAndAWinOutranksALossInOneFrame)
{
    const struct {
        int32_t win;
        int32_t lose;
        int16_t message;
        int32_t sample;
    } cases[] = {
        {-1, 0, 1, kLoseWav},  // out of money
        {-1, 4, 5, kLoseWav},  // crime
        {2, 0, 0, kWinWav},    // shoppers came, and the money ran out in the same frame
    };
    for (const auto& c : cases) {
        shell.endGames.clear();
        notices.samples.clear();
        game->m_gameOver = 0;
        game->SetState(kGameStateInGame);
        conditions->win = c.win;
        conditions->lose = c.lose;
        Frames(1);
        ASSERT_EQ(1u, shell.endGames.size()) << c.lose;
        EXPECT_EQ(c.message, shell.endGames[0]) << c.lose;
        ASSERT_EQ(1u, notices.samples.size()) << c.lose;
        EXPECT_EQ(c.sample, notices.samples[0].first) << c.lose;
    }
}

// Escape asks to leave in game while input flows, whatever is open or held: a question or panel open, a tool in
// the player's hand.
TEST_F(GameStates, EscapeAsksToLeaveOnlyInGameWhileInputIsNotBlocked)
{
    game->SetState(kGameStateFrontEnd);
    Press(FERROX_KEY_ESCAPE);
    EXPECT_EQ(0, shell.asked);

    game->SetState(kGameStateInGame);
    game->m_inputBlocked = 1;
    Press(FERROX_KEY_ESCAPE);
    EXPECT_EQ(0, shell.asked);
    game->m_inputBlocked = 0;
    shell.modal = 1;
    Press(FERROX_KEY_ESCAPE);
    EXPECT_EQ(1, shell.asked);
    shell.modal = 0;
    // Only the release asks; the press does nothing of its own.
    const FerroxKeyEvent escape = Key(FERROX_KEY_ESCAPE);
    CGame::OnKeyDown(&escape);
    EXPECT_EQ(1, shell.asked);

    ASSERT_NE(nullptr, shell.leave);
    shell.leave();
    EXPECT_EQ(kGameStateLeave, game->GetState());
    // Leaving with nothing loaded goes back to the front end in one frame.
    Frames(1);
    EXPECT_EQ(kGameStateFrontEnd, game->GetState());
}

// Records the placement modes the game asks for.
class ModeLog : public CGamePlacement {
public:
    void SetMode(int32_t mode, CFerroxAssetSet*, CFerroxObjectFactory*) override { modes.push_back(mode); }
    std::vector<int32_t> modes;
};

// With a question open the panels under it do not mark the pointer: a press anywhere counts as one on the
// interface (the tool is put down and nothing is selected), never as one on the mall behind the main bar.
TEST_F(GameStates, APressOnACanvasUnderAnOpenQuestionCountsAsOneOnTheInterface)
{
    ModeLog log;
    game->SetPlacement(&log);
    game->m_pMouse = std::make_unique<CMouse>();
    game->SetState(kGameStateInGame);
    shell.modal = 1;
    shell.covered = 1;
    StandingObject shop;
    game->m_pPickedObject = &shop;
    CGame::OnMouseButton(GAME_MOUSE_LEFT_DOWN);
    CGame::OnMouseButton(GAME_MOUSE_LEFT_UP);
    EXPECT_EQ(nullptr, game->m_pSelectedObject);
    EXPECT_EQ(nullptr, game->m_pPickedObject);
    EXPECT_EQ(std::vector<int32_t>{GAME_PLACEMENT_NONE}, log.modes);
    // Off every canvas the press reaches the mall behind the question.
    shell.covered = 0;
    game->m_pPickedObject = &shop;
    CGame::OnMouseButton(GAME_MOUSE_LEFT_DOWN);
    EXPECT_EQ(&shop, game->m_pSelectedObject);
    game->m_pSelectedObject = nullptr;
    game->m_pPickedObject = nullptr;
    game->SetPlacement(nullptr);
    game->m_pMouse.reset();
}

TEST_F(GameStates, ASelectedShopperWhoWalksToAnotherFloorClosesItsCard)
{
    ObjectClassHooks hooks = CDynamicObjectManager::GetClassHooks();
    hooks.isOfKind[OBJECT_LIST_SHOPPERS] = IsTestShopper;
    CDynamicObjectManager::SetClassHooks(hooks);
    StandingObject shopper;
    g_shopper = &shopper;
    game->m_pFloorManager = std::make_unique<CFloorManager>();
    game->SetState(kGameStateInGame);
    game->m_pSelectedObject = &shopper;

    Frames(3);
    EXPECT_EQ(&shopper, game->m_pSelectedObject);

    shopper.at.y = kStoreyHeight;
    Frames(1);
    EXPECT_EQ(nullptr, game->m_pSelectedObject);

    // Scenery on another floor stays selected: only character cards follow the floor.
    StandingObject bench;
    bench.at.y = kStoreyHeight;
    game->m_pSelectedObject = &bench;
    Frames(1);
    EXPECT_EQ(&bench, game->m_pSelectedObject);
    game->m_pSelectedObject = nullptr;
    g_shopper = nullptr;
}

// An unlock is told when its grade passes its category's level in the statistics, and the level then becomes
// the unlock's grade, whatever it was.
TEST_F(GameStates, UnlockedTechnologiesTellEachNewGradeOnceAndSetTheirCategoryLevel)
{
    CStatistics* stats = CDynamicObjectManager::Instance()->GetStatistics();
    stats->m_categories.assign(4, 0);
    CGame::OnTechnologyUnlocked(1000);  // cleaning, grade 1
    CGame::OnTechnologyUnlocked(1000);  // the same again (a loaded tree replays its unlocks)
    CGame::OnTechnologyUnlocked(4001);  // security, grade 2
    CGame::OnTechnologyUnlocked(9000);  // no staff category
    ASSERT_EQ(3u, notices.messages.size());
    EXPECT_EQ(15, notices.messages[0]);
    EXPECT_EQ(18, notices.messages[1]);
    EXPECT_EQ(23, notices.messages[2]);
    EXPECT_EQ((std::vector<uint16_t>{1, 0, 0, 2}), stats->m_categories);
    // Each unlock advances the contract of its category, known to the table or not.
    EXPECT_EQ((std::vector<int32_t>{0, 0, 3, 8}), shell.advanced);
    CGame::OnTechnologyUnlocked(4000);  // an earlier grade of security: not told, and the level follows it
    EXPECT_EQ(3u, notices.messages.size());
    EXPECT_EQ(1, stats->m_categories[3]);
    CDynamicObjectManager::DestroyInstance();
}

}  // namespace
