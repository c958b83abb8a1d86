// The play test's broken-level run: a level whose world file does not load is never entered; the player is back in
// its city view.
#include <string>

#include "game/shell/game.h"
#include "main/shell.h"
#include "playtest/playtest.h"
#include "ui/frontend/citycanvas.h"
#include "ui/frontend/frontend.h"

namespace {

// Frames the front end runs after the start before it is looked at.
constexpr int kBackFrames = 20;

}  // namespace

void CPlayTest::UseBrokenLevelRun()
{
    const size_t launcherAndMenu = 6;
    m_steps.resize(launcherAndMenu);
    m_steps.push_back({"city", &CPlayTest::City, 600});
    m_steps.push_back({"level_refused", &CPlayTest::LevelRefused, 600});
    m_steps.push_back({"quit", &CPlayTest::Quit, 600});
}

// Presses London's start, and waits for the front end to show London's view again.
bool CPlayTest::LevelRefused(int frame)
{
    CGame* game = g_pGame;
    CFrontEnd* front = m_pShell->GetFrontEnd();
    if (m_phase == 0) {
        float x = 0.0f, y = 0.0f;
        m_waiting = "the London view's start button";
        if (!front || !WidgetCentre(front->GetLondon(), CITY_START, &x, &y))
            return false;
        if (Click(frame, x, y))
            m_phase = 1;
        return false;
    }
    m_waiting = "London's view again";
    if (game->GetState() == kGameStateInGame) {
        Fail("the broken level was entered");
        return false;
    }
    front = m_pShell->GetFrontEnd();
    if (game->GetState() != kGameStateFrontEnd || !front || !front->GetStack().Holds(front->GetLondon()) ||
        m_count++ < kBackFrames)
        return false;
    m_inCity = true;
    return true;
}
