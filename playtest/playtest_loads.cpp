// The play test's broken-level run: a level whose world file does not load is never entered; the player is back in
// its city view, with a notice across the bottom of the screen naming the file.
#include <string>

#include "game/shell/game.h"
#include "main/shell.h"
#include "playtest/playtest.h"
#include "ui/frontend/citycanvas.h"
#include "ui/frontend/frontend.h"

namespace {

// Frames the front end runs after the start before it is looked at, and the rows and columns of the notice's band
// that are compared with the view before the start (fractions of the screen, from the top left).
constexpr int kBackFrames = 20;
constexpr int kNoticeRows[] = {89, 90, 91, 92, 93, 95, 96, 97, 98};  // hundredths of the height
constexpr int kNoticeSamples = 80;                                   // across the middle three fifths of the width
constexpr int kScreenHundredths = 100;
// Pixels of the band that must have changed: the notice's letters, not one stray pixel.
constexpr int kNoticeChangedPixels = 12;

}  // namespace

void CPlayTest::UseBrokenLevelRun()
{
    const size_t launcherAndMenu = 6;
    m_steps.resize(launcherAndMenu);
    m_steps.push_back({"city", &CPlayTest::City, 600});
    m_steps.push_back({"level_refused", &CPlayTest::LevelRefused, 600});
    m_steps.push_back({"quit", &CPlayTest::Quit, 600});
}

// Keeps the band where the notice will stand, presses London's start, and waits for the front end to show
// London's view again with the notice drawn over the band.
bool CPlayTest::LevelRefused(int frame)
{
    CGame* game = g_pGame;
    CFrontEnd* front = m_pShell->GetFrontEnd();
    const int width = game->GetScreenWidth();
    const int height = game->GetScreenHeight();
    auto bandPixel = [&](int k) {
        const int row = kNoticeRows[k / kNoticeSamples] * height / kScreenHundredths;
        const int column = width / 5 + (k % kNoticeSamples) * (width * 3 / 5) / kNoticeSamples;
        return Pixel(column, row);
    };
    constexpr int kBand = static_cast<int>(sizeof(kNoticeRows) / sizeof(kNoticeRows[0])) * kNoticeSamples;
    if (m_phase == 0) {
        float x = 0.0f, y = 0.0f;
        m_waiting = "the London view's start button";
        if (!front || !WidgetCentre(front->GetLondon(), CITY_START, &x, &y))
            return false;
        if (frame == 0) {
            m_band.clear();
            for (int k = 0; k < kBand; k++)
                m_band.push_back(bandPixel(k));
        }
        if (Click(frame, x, y))
            m_phase = 1;
        return false;
    }
    m_waiting = "London's view again, with the notice";
    if (game->GetState() == kGameStateInGame) {
        Fail("the broken level was entered");
        return false;
    }
    front = m_pShell->GetFrontEnd();
    if (game->GetState() != kGameStateFrontEnd || !front || !front->GetStack().Holds(front->GetLondon()) ||
        m_count++ < kBackFrames)
        return false;
    if (front->GetNoticeCount() == 0) {
        Fail("no notice tells of the level");
        return false;
    }
    int changed = 0;
    for (int k = 0; k < kBand; k++)
        changed += bandPixel(k) != m_band[static_cast<size_t>(k)] ? 1 : 0;
    if (changed < kNoticeChangedPixels) {
        Fail("the notice is not drawn (" + std::to_string(changed) + " pixels changed)");
        return false;
    }
    m_inCity = true;
    return true;
}
