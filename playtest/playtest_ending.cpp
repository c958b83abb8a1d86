// The play test's ends of a game: a scenario whose goal and whose limit both hold as it opens is won, with the
// congratulation and the win sound; London's first scenario, built into debt, is lost to the bank with the
// out-of-money text and the lose sound. Each ending leaves for the main menu at a click.
#include <string>

#include "game/buildings/placement.h"
#include "game/shell/game.h"
#include "main/shell.h"
#include "playtest/ending.h"
#include "playtest/playtest.h"
#include "ui/frontend/citycanvas.h"
#include "ui/frontend/frontend.h"

namespace {

// London's fourth scenario, which playtest_test.sh writes beside the content's three: its goal (a balance above
// 0) and its limit (a balance below a million) hold as it opens.
constexpr int kWonScenario = 4;
const char* const kWonScenarioFile = "london4.fds";
constexpr int16_t kWinMessage = 0;
const std::u16string kWinText = u"Félicitations";
// London's first scenario is lost when the balance falls below -20000: floor is laid and large electric shops,
// the dearest item, are built on it until it does.
constexpr int16_t kOutOfMoneyMessage = 1;
const std::u16string kOutOfMoneyText = u"Le centre n'a plus d'argent";
constexpr int kElectricPage = 2;
constexpr int kFloorPage = 0;
// The floor the shops stand on: drags across the view along lines from the nearest spots' row up, each laying the
// square whose diagonal the line is.
constexpr int kFloorLines = 3;
constexpr float kFloorLineStep = 0.12f;
constexpr float kFloorLeft = 0.06f;
constexpr float kFloorRight = 0.94f;
constexpr int kFloorDragSteps = 6;
constexpr int kFloorDragFrames = 2 + kFloorDragSteps + 2 + 4;
constexpr int kLargeItem = 2;

// Frames the end-game sequence is drawn before it is looked at, and the main menu after it.
constexpr int kSettleFrames = 10;
// Spots tried for the shops, in fractions of the screen: rows from the nearest ground up, across the view, about
// a large shop's width apart. A click takes six frames.
constexpr int kSpotColumns = 7;
constexpr int kSpotRows = 6;
constexpr float kSpotLeft = 0.1f;
constexpr float kSpotStepX = 0.135f;
constexpr float kSpotBottom = 0.8f;
constexpr float kSpotStepY = 0.06f;
constexpr int kSpotFrames = 6;
// The message's first line crosses these rows (fractions of the height) between these columns; its white
// letters light a good number of the samples.
constexpr float kLetterRows[] = {0.44f, 0.45f, 0.46f};
constexpr float kLetterLeft = 0.15f;
constexpr float kLetterRight = 0.85f;
constexpr int kLetterSamples = 120;
constexpr long kWhite = 0xE0;
constexpr int kLeastLetterSamples = 10;

bool IsWhite(long pixel)
{
    return pixel >= 0 && (pixel >> 16) >= kWhite && (pixel >> 8 & 0xFF) >= kWhite && (pixel & 0xFF) >= kWhite;
}

CGame* Game() { return g_pGame; }

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

void CPlayTest::NoteEndingSounds()
{
    m_soundStarts[0] = EndingSoundStarts(kGameWinSample);
    m_soundStarts[1] = EndingSoundStarts(kGameLoseSample);
}

bool CPlayTest::CheckEnding(int16_t message, const std::u16string& text, int32_t sound, int32_t silent)
{
    const EndingShown ending = EndingRead();
    if (ending.message != message || ending.text.compare(0, text.size(), text) != 0) {
        Fail("the end-game sequence shows message " + std::to_string(ending.message) + ", not " +
             std::to_string(message));
        return false;
    }
    const bool won = sound == kGameWinSample;
    const uint32_t played = EndingSoundStarts(sound) - m_soundStarts[won ? 0 : 1];
    const uint32_t unplayed = EndingSoundStarts(silent) - m_soundStarts[won ? 1 : 0];
    if (played != 1 || unplayed != 0) {
        Fail("the ending played effect " + std::to_string(sound) + " " + std::to_string(played) + " times and effect " +
             std::to_string(silent) + " " + std::to_string(unplayed));
        return false;
    }
    const float w = static_cast<float>(Game()->GetScreenWidth()), h = static_cast<float>(Game()->GetScreenHeight());
    int lettered = 0;
    for (float row : kLetterRows) {
        for (int k = 0; k < kLetterSamples; k++) {
            const float across = kLetterLeft + (kLetterRight - kLetterLeft) * static_cast<float>(k) / kLetterSamples;
            lettered += IsWhite(Pixel(static_cast<int>(w * across), static_cast<int>(h * row))) ? 1 : 0;
        }
    }
    if (lettered < kLeastLetterSamples) {
        Fail("the end-game message is not drawn (" + std::to_string(lettered) + " white samples)");
        return false;
    }
    return true;
}

// In London's view: next to the fourth scenario, start; the game ends as it opens, and is won.
bool CPlayTest::EndingWon(int frame)
{
    CFrontEnd* front = m_pShell->GetFrontEnd();
    CCityCanvas* london = front ? front->GetLondon() : nullptr;
    float x = 0.0f, y = 0.0f;
    if (frame == 0)
        NoteEndingSounds();
    if (m_phase < kWonScenario - 1) {
        m_waiting = "London's next button";
        if (london && WidgetCentre(london, CITY_NEXT, &x, &y) && Click(m_count++, x, y))
            m_phase++, m_count = 0;
        return false;
    }
    if (m_phase == kWonScenario - 1) {
        // Looked at before the press: the start takes the front end's canvases down.
        if (m_count == 0 && (!london || !EndsWith(london->GetScenarioPath(), kWonScenarioFile))) {
            Fail(std::string("London's view offers no ") + kWonScenarioFile + " (playtest_test.sh writes it)");
            return false;
        }
        m_waiting = "London's start button";
        if (WidgetCentre(london, CITY_START, &x, &y) && Click(m_count++, x, y))
            m_phase++, m_count = 0;
        return false;
    }
    m_waiting = "the end-game sequence";
    if (!EndingRead().shown || m_count++ < kSettleFrames)
        return false;
    return CheckEnding(kWinMessage, kWinText, kGameWinSample, kGameLoseSample);
}

// In London's first scenario: floor laid across the view, then large electric shops built spot after spot until
// the balance passes the limit.
bool CPlayTest::EndingBankrupt(int frame)
{
    if (frame == 0)
        NoteEndingSounds();
    const float w = static_cast<float>(Game()->GetScreenWidth()), h = static_cast<float>(Game()->GetScreenHeight());
    if (m_phase == 0) {
        // Shops stand on the mall's floor: floor first, dragged along lines across the view.
        if (HoldBuildItem(m_count++, kFloorPage, PLACEMENT_LAY, "floor-tile"))
            m_phase = 3, m_count = 0;
        return false;
    }
    if (m_phase == 3) {
        const int t = m_count++;
        const int line = t / kFloorDragFrames, step = t % kFloorDragFrames;
        if (line >= kFloorLines) {
            m_phase = 4, m_count = 0;
            return false;
        }
        const float y = h * (kSpotBottom - kFloorLineStep * static_cast<float>(line));
        if (step < 2)
            Move(w * kFloorLeft, y);
        else if (step == 2)
            Button(MOUSEEVENTF_LEFTDOWN);
        else if (step <= 2 + kFloorDragSteps)
            Move(w * (kFloorLeft + (kFloorRight - kFloorLeft) * static_cast<float>(step - 2) / kFloorDragSteps), y);
        else if (step == 4 + kFloorDragSteps)
            Button(MOUSEEVENTF_LEFTUP);
        return false;
    }
    if (m_phase == 4) {
        if (EndPlacement(m_count++))
            m_phase = 5, m_count = 0;
        return false;
    }
    if (m_phase == 5) {
        if (HoldBuildItem(m_count++, kElectricPage, PLACEMENT_OBJECT, "electric shop", kLargeItem))
            m_phase = 1, m_count = 0;
        return false;
    }
    if (m_phase == 1) {
        m_waiting = "the end-game sequence after building into debt";
        const int spot = m_count / kSpotFrames;
        if (EndingRead().shown) {
            m_phase = 2, m_count = 0;
            return false;
        }
        if (spot >= kSpotColumns * kSpotRows) {
            Fail("the plot took too few shops to spend the funds");
            return false;
        }
        const float x = w * (kSpotLeft + kSpotStepX * static_cast<float>(spot % kSpotColumns));
        const float y = h * (kSpotBottom - kSpotStepY * static_cast<float>(spot / kSpotColumns));
        Click(m_count++ % kSpotFrames, x, y);
        return false;
    }
    if (m_count++ < kSettleFrames)
        return false;
    return CheckEnding(kOutOfMoneyMessage, kOutOfMoneyText, kGameLoseSample, kGameWinSample);
}

// A click anywhere ends the sequence: the main menu comes back, and the game takes its keys again.
bool CPlayTest::EndingLeave(int frame)
{
    CGame* game = Game();
    if (m_phase == 0) {
        if (Click(frame, static_cast<float>(game->GetScreenWidth()) / 2,
                  static_cast<float>(game->GetScreenHeight()) / 2))
            m_phase = 1;
        return false;
    }
    m_waiting = "the main menu after the end-game click";
    CFrontEnd* front = m_pShell->GetFrontEnd();
    if (game->GetState() != kGameStateFrontEnd || !front || !front->GetStack().Holds(front->GetMainMenu()) ||
        m_count++ < kSettleFrames)
        return false;
    if (game->IsGameOver() || game->IsInputBlocked()) {
        Fail("the end-game click left the game's result flags set");
        return false;
    }
    m_inCity = false;
    return true;
}
