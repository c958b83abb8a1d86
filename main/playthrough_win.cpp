// The play-through's winning form: London's first scenario played to its win with a mall built to a plan.
#include "main/playthrough.h"

#include "main/ending.h"
#include "main/shell.h"

#include <cstdio>
#include <string>

#include "engine/application/mouse.h"
#include "game/buildings/placement.h"
#include "game/shell/game.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "ui/game/buildmenu.h"
#include "ui/game/ingame.h"
#include "ui/game/panels.h"

namespace {

// One line of the plan: build page (template category), item on it, and how many.
struct BuildOrder {
    int16_t category;
    int32_t item;
    int count;
};

// A sensible first mall, about four fifths of the starting funds: a small shop of each kind, a large fashion
// shop and a large food shop, and the facilities shoppers look for (cash machine, toilets, seats, phone).
const BuildOrder kPlan[] = {
    {1, 0, 1}, {2, 0, 1}, {3, 0, 1}, {4, 0, 1}, {5, 0, 1}, {6, 0, 1},
    {1, 1, 1}, {6, 1, 1}, {7, 0, 1}, {8, 0, 2}, {9, 0, 2}, {10, 0, 1},
};

// Spots of the plot tried in turn, row by row from the nearest: a grid over the ground in the lower half of the
// view, above the panels and away from the edges where the pointer scrolls the camera.
constexpr int kSpotColumns = 9;
constexpr int kSpotRows = 5;
constexpr float kSpotLeft = 100.0f;
constexpr float kSpotBottom = 490.0f;
constexpr float kSpotStepX = 75.0f;
constexpr float kSpotStepY = 35.0f;
// Frames at a spot: the pointer goes there, two frames let the pick and the held object follow, press, release,
// and the frame after tells whether the object stands.
constexpr int kSpotFrames = 6;
constexpr int kPressStep = 3;

constexpr int kKeySpeedThree = 51;
// Game frames run between two drawn ones while the mall plays itself: 20 s of play at speed 3 a drawn frame.
constexpr int kUndrawnFrames = 400;
// The plan wins in about twenty game days; twice that means the balance of the scenario or the mall went wrong.
constexpr uint16_t kMostDays = 40;

const char* const kWinSound = "win.wav";
const char* const kLoseSound = "lose.wav";
constexpr int16_t kWinMessage = 0;
const std::u16string kWinText = u"Congratulations";
// The message is drawn in white letters across the middle of the sequence's picture: a line of them lights a
// few hundred pixels of this band.
constexpr int kMessageTop = 255;
constexpr int kMessageBottom = 305;
constexpr int kMessageLeft = 100;
constexpr int kMessageRight = 700;
constexpr int kWhite = 0xE0;
constexpr int kLeastLettering = 200;

CGame* Game() { return g_pGame; }

CStatistics* Statistics()
{
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    return objects ? objects->GetStatistics() : nullptr;
}

// Buildings standing on every floor.
size_t StandingObjects()
{
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    if (!objects)
        return 0;
    size_t count = 0;
    for (const auto& floor : objects->GetFloors()) {
        if (floor)
            count += floor->shops.size() + floor->doors.size() + floor->stairs.size() + floor->scenery.size() +
                     floor->usable.size();
    }
    return count;
}

size_t PlannedObjects()
{
    size_t count = 0;
    for (const BuildOrder& order : kPlan)
        count += static_cast<size_t>(order.count);
    return count;
}

}  // namespace

void CPlayThrough::Build()
{
    if (m_order >= sizeof(kPlan) / sizeof(kPlan[0]))
        return OpenMall();
    CGame* game = Game();
    const BuildOrder& order = kPlan[m_order];
    if (!m_holding) {
        // The build menu's press on the item, as a click on its button gives it.
        CInterface* ui = InterfaceGet();
        auto* menus = ui ? dynamic_cast<CBuildCanvasManager*>(ui->m_pBuildMenu.get()) : nullptr;
        if (!menus)
            return Fail("the interface has no build menus");
        menus->OnLeafButton(order.category, order.item + 1, FERROX_WIDGET_PRESSED);
        if (!game->m_pPlacementController || game->m_pPlacementController->GetMode() != PLACEMENT_OBJECT)
            return Fail("the build menu's item is not held");
        m_holding = true;
        m_frame = 0;
        return;
    }
    const int step = (m_frame - 1) % kSpotFrames;
    const float x = kSpotLeft + kSpotStepX * static_cast<float>(m_spot % kSpotColumns);
    const float y = kSpotBottom - kSpotStepY * static_cast<float>(m_spot / kSpotColumns);
    if (step == 0) {
        m_standing = StandingObjects();
        game->m_pMouse->MoveTo(x, y);
    } else if (step == kPressStep) {
        game->m_pMouse->LeftButtonDown();
    } else if (step == kPressStep + 1) {
        game->m_pMouse->LeftButtonUp();
    } else if (step == kSpotFrames - 1) {
        // A spot taken or refused, the next one is tried; the placed object's twin follows the pointer.
        if (StandingObjects() > m_standing)
            m_built++;
        if (++m_spot >= kSpotColumns * kSpotRows)
            return Fail("the plot has no free spot for the plan");
        if (m_built >= order.count) {
            m_built = 0;
            m_holding = false;
            m_order++;
            m_frame = 0;
        }
    }
}

void CPlayThrough::OpenMall()
{
    // A click on the main bar's background lets go of the last item.
    CInterface* ui = InterfaceGet();
    float x = 0.0f;
    float y = 0.0f;
    if (!ui || !WidgetCentre(ui->m_pMainPanel.get(), 0, &x, &y))
        return Fail("the main bar has no background");
    if (!Click(x, y, 1))
        return;
    CGame* game = Game();
    if (game->m_pPlacementController && game->m_pPlacementController->GetMode() != PLACEMENT_IDLE)
        return Fail("a click on the main bar did not end the building");
    if (StandingObjects() != PlannedObjects())
        return Fail("the mall does not stand as planned");
    if (!Screenshot("mall.bmp"))
        return Fail("mall.bmp was not written");
    Key(kKeySpeedThree);
    if (game->m_gameSpeed != 3.0f)
        return Fail("the 3 key did not set the top speed");
    NoteSounds();
    Next(kRunToEnd);
}

void CPlayThrough::NoteSounds()
{
    m_winStarts = EndingSoundStarts(kWinSound);
    m_loseStarts = EndingSoundStarts(kLoseSound);
}

void CPlayThrough::RunToEnd()
{
    CGame* game = Game();
    for (int i = 0; i < kUndrawnFrames && !game->m_gameOver; i++) {
        NoteSounds();
        UndrawnFrame();
    }
    if (game->m_gameOver)
        return;
    if (game->m_dayCounter > kMostDays)
        return Fail("London's first scenario was not won within 40 game days");
    // The application's own frame follows.
    NoteSounds();
}

// Right after the frame that ended the game: what it started of the two sounds, and the days it took.
void CPlayThrough::Ended()
{
    CGame* game = Game();
    m_endWinStarts = EndingSoundStarts(kWinSound) - m_winStarts;
    m_endLoseStarts = EndingSoundStarts(kLoseSound) - m_loseStarts;
    const CStatistics* statistics = Statistics();
    std::fprintf(stderr, "play-through: London's first scenario ended after %u game days, with %u shoppers come\n",
                 static_cast<unsigned>(game->m_dayCounter),
                 statistics ? static_cast<unsigned>(statistics->m_shoppersCome) : 0u);
    Next(kEnded);
}

// The end-game sequence, drawn for a while: the win's text on the screen and its sound.
void CPlayThrough::CheckEnded()
{
    const EndingShown ending = EndingRead();
    if (!ending.shown)
        return Fail("the end-game sequence is not shown");
    if (ending.message != kWinMessage || ending.text.compare(0, kWinText.size(), kWinText) != 0)
        return Fail("the end-game sequence does not congratulate the player");
    if (m_endWinStarts != 1 || m_endLoseStarts != 0)
        return Fail("the end of the game did not play win.wav alone");
    if (BrightPixels(kMessageLeft, kMessageTop, kMessageRight, kMessageBottom, kWhite) < kLeastLettering)
        return Fail("the end-game message is not drawn");
    if (!Screenshot("won.bmp"))
        return Fail("won.bmp was not written");
    std::fprintf(stderr, "play-through: London's first scenario won\n");
}
