// The scripted play-through of headless runs; see playtest/playthrough.h.
#include "playtest/playthrough.h"
#include "playtest/viewpoint.h"

#include "main/shell.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/application/app.h"
#include "engine/application/mouse.h"
#include "engine/world/camera.h"
#include "game/buildings/placement.h"
#include "game/figures/spawner.h"
#include "game/shell/game.h"
#include "game/shell/savecheck.h"
#include "game/shell/sound.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "gfx/core/camera.h"
#include "gfx/core/raster.h"
#include "platform/win32/dialog_auto.h"
#include "ui/frontend/citycanvas.h"
#include "ui/frontend/frontend.h"
#include "ui/game/filecanvas.h"
#include "ui/game/ingame.h"
#include "ui/game/panels.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/widget.h"

namespace {

constexpr int kSettleFrames = 20;
// The cities by the number the command line gives them (London 1), in the main menu's order.
constexpr int kParis = 2;
constexpr int kBerlin = 3;
constexpr int kCityFrames = 40;
constexpr int kLevelFrames = 40;
constexpr int kStateTimeout = 400;
constexpr int kRunFrames = 3000;
// While the shop's mall plays, one frame in this many is drawn: the run is checked by what it leaves.
constexpr int kRunDrawEvery = 100;
constexpr float kFrameSeconds = 0.05f;
constexpr WORD kKeySpeedThree = '3';
constexpr WORD kKeySpeedZero = '0';
// Game days are months; the tenth month of a year (a day counter of 9 past the year) is the first with two digits.
constexpr uint16_t kMonthsAYear = 12;
constexpr uint16_t kFirstTwoDigitMonth = 9;
// Frames a click and the canvas it opens or closes are given before the next step.
constexpr int kStepFrames = 6;
// The saves of the file rounds, a round's by its number: the settling save and load, then the compared rounds.
constexpr const char* kRoundSaves[] = {"run0", "run0", "run1", "run1", "run2"};
constexpr int kLastRound = 4;
constexpr uint16_t kShopCategory = 1;
constexpr uint16_t kFirstShop = 0;
constexpr int kCandidateFrames = 6;
constexpr int kCandidateMoves = 2;
constexpr int kCandidatePress = 3;
constexpr uint32_t kClearColour = 0x6868BC;  // the camera's clear colour (104, 104, 188)
// Points of the view in pixels of the 800 x 600 screen, scaled to the screen the game runs on: its middle, and
// the points of the level tried for the shop, a grid over the plot in the lower half of the view, above the
// panels and away from the edges where the mouse scrolls the camera.
constexpr float kMiddleX = 400.0f;
constexpr float kMiddleY = 300.0f;
constexpr int kColumns = 7;
constexpr int kRows = 4;
constexpr float kLeft = 160.0f;
constexpr float kTop = 340.0f;
constexpr float kStepX = 80.0f;
constexpr float kStepY = 40.0f;

CGame* Game() { return g_pGame; }

// Shops placed in the mall: those the statistics registered (the held one is not yet among them).
size_t ShopCount()
{
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    return statistics ? statistics->m_shops.size() : 0;
}

long Balance()
{
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    return statistics ? statistics->GetBalance() : 0;
}

// The whole file, or false when it cannot be read.
bool ReadWhole(const std::string& path, std::string* bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::vector<std::string> Lines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Prints the lines (numbered from 1) where two saves of the same length in lines differ; when the counts
// differ, only where they begin to.
void ReportDifferentLines(const std::string& first, const std::string& second)
{
    const std::vector<std::string> a = Lines(first);
    const std::vector<std::string> b = Lines(second);
    size_t shown = 0;
    constexpr size_t kMostShown = 40;
    for (size_t i = 0; i < a.size() && i < b.size() && shown < kMostShown; i++) {
        if (a[i] == b[i])
            continue;
        std::fprintf(stderr, "play-through: line %zu: run1 \"%s\", run2 \"%s\"\n", i + 1, a[i].c_str(), b[i].c_str());
        shown++;
        if (a.size() != b.size())
            break;
    }
    if (a.size() != b.size())
        std::fprintf(stderr, "play-through: run1 has %zu lines, run2 %zu\n", a.size(), b.size());
}

bool Exists(const std::string& path) { return static_cast<bool>(std::ifstream(path, std::ios::binary)); }

// The frame buffer, locked for reading; null when there is none.
const GxUInt8* LockFrame(GxRaster** raster)
{
    CFerroxCamera* camera = Game()->GetCamera();
    GxCamera* graphics = camera ? camera->GetGraphicsCamera() : nullptr;
    *raster = graphics ? graphics->frameBuffer : nullptr;
    return *raster ? GxRasterLock(*raster, 0, gxRASTERLOCKREAD) : nullptr;
}

}  // namespace

bool CPlayThrough::MakeFolder(std::string* error) const
{
    std::error_code failure;
    std::filesystem::create_directories(m_folder, failure);
    if (!failure && std::filesystem::is_directory(m_folder, failure))
        return true;
    *error = "cannot make the play-through folder " + m_folder + (failure ? ": " + failure.message() : "");
    return false;
}

void CPlayThrough::Install() { Win32DialogSetAutomatic(TRUE); }

void CPlayThrough::PlayToWin(int city, int scenario)
{
    m_playToWin = true;
    m_chosen = city > 0 && scenario > 0;
    m_city = m_chosen ? city : 1;
    m_scenario = m_chosen ? scenario : 1;
}

void* CPlayThrough::CityCanvas() const
{
    CFrontEnd* front = m_pShell->GetFrontEnd();
    if (!front)
        return nullptr;
    return m_city == kParis ? front->GetParis() : m_city == kBerlin ? front->GetBerlin() : front->GetLondon();
}

void* CPlayThrough::FilePanel() const
{
    CInterface* ui = InterfaceGet();
    if (!ui)
        return nullptr;
    return LoadRound() ? ui->m_pLoadPanel.get() : ui->m_pSavePanel.get();
}

const char* CPlayThrough::RoundSave() const { return kRoundSaves[m_fileRound]; }

void CPlayThrough::Fail(const char* what)
{
    std::fprintf(stderr, "play-through: %s\n", what);
    m_failed = true;
    m_phase = kDone;
    if (g_pFerroxApp)
        g_pFerroxApp->Quit();
}

void CPlayThrough::Next(Phase phase)
{
    m_phase = phase;
    m_frame = 0;
}

bool CPlayThrough::Click(float x, float y) { return m_input.Click(m_frame - 1, x, y); }

void CPlayThrough::Key(WORD vk)
{
    m_input.Key(vk, true);
    m_input.Key(vk, false);
}

long CPlayThrough::Pixel(int x, int y) { return FramePixel(x, y); }

int CPlayThrough::BrightPixels(int left, int top, int right, int bottom, int least)
{
    GxRaster* raster = nullptr;
    const GxUInt8* bits = LockFrame(&raster);
    if (!bits)
        return 0;
    int bright = 0;
    for (int y = top; y < bottom; y++) {
        const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
        for (int x = left; x < right; x++) {
            const GxUInt32 pixel = row[x];
            if (static_cast<int>(pixel >> 16 & 0xFF) >= least && static_cast<int>(pixel >> 8 & 0xFF) >= least &&
                static_cast<int>(pixel & 0xFF) >= least)
                bright++;
        }
    }
    GxRasterUnlock(raster);
    return bright;
}

bool CPlayThrough::Screenshot(const char* name)
{
    CFerroxCamera* camera = Game()->GetCamera();
    if (!camera)
        return false;
    const std::string path = m_folder + "/" + name;
    return camera->SaveScreenshot(path.c_str(), camera->GetWidth(), camera->GetHeight()) == 0;
}

bool CPlayThrough::LevelBack(CGame* game, const char* failure)
{
    CInterface* ui = InterfaceGet();
    if (game->GetState() != kGameStateInGame || !game->GetWorld() || (ui && ui->GetStack().HasModal())) {
        if (m_frame > kStateTimeout)
            Fail(failure);
        return false;
    }
    return m_frame >= kLevelFrames;
}

void CPlayThrough::BeforeFrame()
{
    CGame* game = Game();
    if (!game || m_phase == kDone)
        return;
    m_total++;
    m_frame++;
    if (!m_input.GetFailure().empty())
        return Fail(m_input.GetFailure().c_str());
    CFrontEnd* front = m_pShell->GetFrontEnd();
    float x = 0.0f;
    float y = 0.0f;
    switch (m_phase) {
    case kClickLondon:
        if (!front || !m_input.WidgetCentre(front->GetMainMenu(), MAIN_MENU_LONDON + m_city - 1, &x, &y))
            return Fail("the main menu has no button for the city");
        if (Click(x, y))
            Next(kWaitCity);
        break;
    case kChooseScenario: {
        // The city's view opens on its first scenario; its next button steps to the one chosen.
        auto* city = static_cast<CCityCanvas*>(CityCanvas());
        if (!city)
            return Fail("the city has no view");
        if (city->GetScenarioNumber() >= m_scenario) {
            Next(kClickStart);
            break;
        }
        if (m_frame > kStepFrames)
            return Fail("the city has no scenario of the number chosen");
        if (!m_input.WidgetCentre(city, CITY_NEXT, &x, &y))
            return Fail("the city's view has no next button");
        // One click a step: the view shows the next scenario once it is through.
        if (Click(x, y))
            m_frame = 0;
        break;
    }
    case kClickStart:
        if (!m_input.WidgetCentre(CityCanvas(), CITY_START, &x, &y))
            return Fail("the city's view has no start button");
        if (Click(x, y))
            Next(kWaitLevel);
        break;
    case kLearnView:
        LearnView();
        break;
    case kLayFloor:
        LayFloor();
        break;
    case kHire:
        Hire();
        break;
    case kOpenMall:
        OpenMall();
        break;
    case kPlaceShop:
        PlaceShop();
        break;
    case kRun:
        for (int i = 1; i < kRunDrawEvery && m_frame < kRunFrames; i++, m_frame++)
            UndrawnFrame();
        break;
    case kBuild:
        Build();
        break;
    case kRunToEnd:
        RunToEnd();
        break;
    case kLeaveEnded:
        // Any click ends the sequence and leaves for the front end.
        if (Click(ScreenX(kMiddleX), ScreenY(kMiddleY)))
            Next(kWaitMenuAgain);
        break;
    case kPause:
        // The game stands still from the first save to the last, so all describe the same moment.
        if (m_frame == 1)
            Key(kKeySpeedZero);
        break;
    case kOpenOptions: {
        CInterface* ui = InterfaceGet();
        if (!ui || !m_input.WidgetCentre(ui->m_pMainPanel.get(), MAIN_OPTIONS, &x, &y))
            return Fail("the main bar has no options button");
        Click(x, y);
        if (m_frame >= kStepFrames)
            Next(kPressFileButton);
        break;
    }
    case kPressFileButton: {
        CInterface* ui = InterfaceGet();
        if (!ui || !m_input.WidgetCentre(ui->m_pOptionsPanel.get(), LoadRound() ? OPTIONS_LOAD : OPTIONS_SAVE, &x, &y))
            return Fail("the options panel has no load or save button");
        Click(x, y);
        if (m_frame >= kStepFrames) {
            auto* panel = static_cast<CFerroxFileIOCanvas*>(FilePanel());
            if (!panel || !ui->GetStack().HasModal())
                return Fail("the options panel's button opened no file panel");
            Next(LoadRound() ? kSelectRow : kTypeName);
        }
        break;
    }
    case kTypeName: {
        // One key a frame, the name field taking the frame's key: backspace over what the field still holds,
        // then the name.
        auto* panel = static_cast<CFerroxFileIOCanvas*>(FilePanel());
        const std::string name = RoundSave();
        if (!panel)
            return Fail("there is no save panel");
        if (m_typed == 0 && !panel->GetNameText().empty()) {
            if (m_frame > kStateTimeout / 2)
                return Fail("backspace does not empty the save panel's name field");
            Key(VK_BACK);
        } else if (m_typed < name.size()) {
            Key(static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[m_typed++]))));
        } else {
            m_typed++;
        }
        break;
    }
    case kPressAct: {
        if (!m_input.WidgetCentre(FilePanel(), FILE_PANEL_ACT, &x, &y))
            return Fail("the file panel has no save or load button");
        Click(x, y);
        if (m_frame >= kStepFrames)
            Next(LoadRound() ? kConfirmLoad : kWaitSaved);
        break;
    }
    case kSelectRow: {
        const std::string name = RoundSave();
        if (!m_input.RowCentre(FilePanel(), FILE_ENTRY_SAVE, std::u16string(name.begin(), name.end()), &x, &y))
            return Fail("the load panel does not show the save on its page");
        Click(x, y);
        break;
    }
    case kConfirmLoad: {
        CInterface* ui = InterfaceGet();
        if (!ui || !m_input.WidgetCentre(ui->m_pConfirmPanel.get(), CONFIRM_YES, &x, &y))
            return Fail("the load question has no yes button");
        Click(x, y);
        if (m_frame >= kStepFrames)
            Next(kWaitLoaded);
        break;
    }
    case kLeave:
        if (m_frame == 1)
            Key(VK_ESCAPE);
        if (m_frame == 3) {
            CInterface* ui = InterfaceGet();
            if (!ui || !ui->GetStack().HasModal())
                return Fail("Escape asked nothing");
            Next(kConfirm);
        }
        break;
    case kConfirm: {
        CInterface* ui = InterfaceGet();
        if (!ui || !m_input.WidgetCentre(ui->m_pConfirmPanel.get(), CONFIRM_YES, &x, &y))
            return Fail("the question has no yes button");
        if (Click(x, y))
            Next(kWaitMenuAgain);
        break;
    }
    case kQuit:
        if (!front || !m_input.WidgetCentre(front->GetMainMenu(), MAIN_MENU_QUIT, &x, &y))
            return Fail("the main menu has no quit button");
        // The press quits: the application ends after the frame that takes it.
        Click(x, y);
        if (m_frame - 1 >= CPlayInput::kPressFrame)
            Next(kDone);
        break;
    default:
        break;
    }
}

// The build menu's first fashion shop, clicked, then put down at the first point of the grid that takes it.
void CPlayThrough::PlaceShop()
{
    if (!m_holding) {
        if (m_frame == 1)
            m_startBalance = Balance();
        if (!PickBuildItem(kShopCategory, kFirstShop))
            return;
        CPlacementController* placement = Game()->GetPlacementController();
        if (!placement || placement->GetMode() != PLACEMENT_OBJECT)
            return Fail("the build menu's shop is not held");
        m_holding = true;
        m_frame = 0;
        return;
    }
    const float x = ScreenX(kLeft + kStepX * static_cast<float>(m_candidate % kColumns));
    const float y = ScreenY(kTop + kStepY * static_cast<float>(m_candidate / kColumns));
    // The pointer moves there twice (the first move after a warp is its echo); a frame more lets the pick and
    // the held object follow it before the press.
    const int step = m_frame - 1;
    if (step < kCandidateMoves) {
        m_input.Move(x, y);
    } else if (step == kCandidatePress) {
        // A point under the open build menu is passed over: a press there is the interface's.
        const FerroxMousePosition* pointer = Game()->GetMouse() ? Game()->GetMouse()->GetPosition() : nullptr;
        if (pointer && pointer->overInterface)
            return NextCandidate();
        m_input.Button(MOUSEEVENTF_LEFTDOWN);
    } else if (step == kCandidatePress + 1) {
        m_input.Button(MOUSEEVENTF_LEFTUP);
    } else if (step == kCandidateFrames - 1) {
        if (ShopCount() == 0)
            return NextCandidate();
        m_holding = false;
        Key(kKeySpeedThree);
        Next(kRun);
    }
}

void CPlayThrough::NextCandidate()
{
    if (++m_candidate >= kColumns * kRows)
        return Fail("no free cell took the shop");
    m_frame = 0;
}

void CPlayThrough::UndrawnFrame()
{
    CGame* game = Game();
    game->Update(kFrameSeconds);
    if (CSoundManager* sound = game->GetSoundManager(); sound && !game->IsGameOver())
        sound->StopAllSamples();
}

void CPlayThrough::AfterFrame()
{
    CGame* game = Game();
    if (!game || m_phase == kDone)
        return;
    if (m_frame > kStateTimeout + kRunFrames)
        return Fail("the script stalled");
    switch (m_phase) {
    case kWaitMenu:
        if (game->GetState() != kGameStateFrontEnd || !m_pShell->GetFrontEnd()) {
            if (m_total > kStateTimeout)
                return Fail("the front end never came");
            // The menu settles from the frame it came in.
            m_frame = 0;
            break;
        }
        if (m_frame < kSettleFrames)
            break;
        {
            // The menu picture, not the clear colour nor the loading picture, fills the screen: the London button
            // stands out from the background beside it.
            const long corner = Pixel(10, 10);
            float x = 0.0f;
            float y = 0.0f;
            if (!m_input.WidgetCentre(m_pShell->GetFrontEnd()->GetMainMenu(), MAIN_MENU_LONDON, &x, &y))
                return Fail("the main menu has no London button");
            if (corner < 0 || static_cast<uint32_t>(corner) == kClearColour)
                return Fail("the main menu is not drawn");
            const int row = static_cast<int>(y);
            if (Pixel(static_cast<int>(x), row) == Pixel(static_cast<int>(x) / 2, row))
                return Fail("the main menu's buttons are not drawn");
            if (!Screenshot("menu.bmp"))
                return Fail("menu.bmp was not written");
        }
        Next(kClickLondon);
        break;
    case kWaitCity:
        if (m_frame < kCityFrames)
            break;
        if (Pixel(400, 300) < 0 || static_cast<uint32_t>(Pixel(400, 300)) == kClearColour)
            return Fail("the city's view is not drawn");
        if (!Screenshot("city.bmp"))
            return Fail("city.bmp was not written");
        Next(kChooseScenario);
        break;
    case kWaitLevel:
        if (game->GetState() != kGameStateInGame) {
            if (m_frame > kStateTimeout)
                return Fail("the level never started");
            break;
        }
        if (m_frame < kLevelFrames)
            break;
        if (!game->GetWorld())
            return Fail("the London level has no world");
        // The sky and the ground differ: the world is drawn, not a flat clear.
        if (Pixel(400, 20) == Pixel(400, 420))
            return Fail("the level is not drawn");
        if (m_quitInLevel) {
            // The short form has only the level as it opened to show.
            if (!Screenshot("level.bmp"))
                return Fail("level.bmp was not written");
            m_quitFromLevel = true;
            Next(kDone);
            if (g_pFerroxApp)
                g_pFerroxApp->Quit();
            break;
        }
        Next(kLearnView);
        break;
    case kRun:
        if (m_frame < kRunFrames)
            break;
        if (ShopCount() == 0)
            return Fail("the shop is gone");
        if (game->GetDayCounter() == 0)
            return Fail("no game day passed");
        if (Balance() == m_startBalance)
            return Fail("the balance never moved");
        // The room has no door: shoppers come to it and count as come as they arrive, every one of them.
        if (CDynamicObjectManager::PeekStatistics() &&
            (CDynamicObjectManager::PeekStatistics()->m_shoppersPresent == 0 ||
             CDynamicObjectManager::PeekStatistics()->m_shoppersCome <
                 CDynamicObjectManager::PeekStatistics()->m_shoppersPresent))
            return Fail("no shopper came to the mall, or one present was not counted as come");
        // The level as it is played: the shop built, shoppers in the mall, days gone by.
        if (!Screenshot("level.bmp"))
            return Fail("level.bmp was not written");
        if (CDynamicObjectManager* objects = CDynamicObjectManager::Peek())
            std::fprintf(stderr, "play-through: %zu shoppers in the mall, %u came, %zu spawn points, after %u days\n",
                         objects->GetShoppers().size(), static_cast<unsigned>(objects->GetStatistics()->m_shoppersCome),
                         game->GetSpawner() ? game->GetSpawner()->GetSpawnPoints().size() : 0,
                         static_cast<unsigned>(game->GetDayCounter()));
        Next(kPause);
        break;
    case kClickStart:
        // The chosen scenario's page with its goals, as drawn before Start is pressed.
        if (m_frame == 1 && m_chosen && !Screenshot("scenario.bmp"))
            return Fail("scenario.bmp was not written");
        break;
    case kRunToEnd:
        if (game->IsGameOver()) {
            Ended();
        } else if (!m_monthShot && game->GetDayCounter() % kMonthsAYear >= kFirstTwoDigitMonth) {
            // The main bar's date at its widest so far, as the frame just drawn shows it.
            m_monthShot = true;
            if (!Screenshot("month10.bmp"))
                return Fail("month10.bmp was not written");
        }
        break;
    case kEnded:
        if (m_frame < kSettleFrames)
            break;
        CheckEnded();
        if (m_phase == kEnded)
            Next(kLeaveEnded);
        break;
    case kPause:
        if (m_frame < kStepFrames)
            break;
        if (game->GetSpeed() != 0.0f)
            return Fail("the 0 key did not stop the game");
        // A walk in progress is saved with its progress, but a load restarts it from where the character stands
        // (the path itself is not saved). The first save and load bring every walk to that form, so the
        // rounds of run1 and run2 compare like with like.
        Next(kOpenOptions);
        break;
    case kTypeName: {
        const std::string name = RoundSave();
        if (m_typed <= name.size())
            break;
        m_typed = 0;
        auto* panel = static_cast<CFerroxFileIOCanvas*>(FilePanel());
        if (!panel || panel->GetNameText() != name) {
            std::fprintf(stderr, "play-through: the name field holds \"%s\", not \"%s\"\n",
                         panel ? panel->GetNameText().c_str() : "", name.c_str());
            return Fail("typing did not reach the save panel's name field");
        }
        // The panel browses by the working directory.
        RoundPath() = (std::filesystem::current_path() / (name + ".fds")).string();
        // A save of an earlier run would be overwritten only after a question: the run starts without it.
        std::remove(RoundPath().c_str());
        Next(kPressAct);
        break;
    }
    case kWaitSaved: {
        CInterface* ui = InterfaceGet();
        const std::string& path = RoundPath();
        if (!Exists(path) || (ui && ui->GetStack().HasModal())) {
            if (m_frame > kStateTimeout) {
                std::fprintf(stderr, "play-through: %s\n", path.c_str());
                return Fail("the save panel did not write its save and close");
            }
            break;
        }
        if (m_frame < kSettleFrames)
            break;
        Next(m_fileRound++ < kLastRound ? kOpenOptions : kCompare);
        break;
    }
    case kSelectRow: {
        if (m_frame < kStepFrames)
            break;
        auto* panel = static_cast<CFerroxFileIOCanvas*>(FilePanel());
        if (!panel || panel->GetNameText() != RoundSave())
            return Fail("selecting the save's row did not name it in the load panel");
        Next(kPressAct);
        break;
    }
    case kWaitLoaded: {
        if (!LevelBack(game, "the loaded level never came back"))
            break;
        if (ShopCount() == 0)
            return Fail("the loaded game has no shop");
        // The panels keep the pause through a load.
        if (game->GetSpeed() != 0.0f)
            return Fail("the load started the game again");
        m_fileRound++;
        Next(kOpenOptions);
        break;
    }
    case kCompare: {
        std::string first;
        std::string second;
        if (!ReadWhole(m_savePaths[1], &first) || !ReadWhole(m_savePaths[2], &second))
            return Fail("run1.fds or run2.fds cannot be read back");
        // A load plans the figures' walks afresh; everything else a load keeps is saved again.
        const std::string change = SavedGameChange(first, second, game->m_pFloorManager.get());
        if (!change.empty()) {
            std::fprintf(stderr, "play-through: run1.fds has %zu bytes, run2.fds %zu: %s\n", first.size(),
                         second.size(), change.c_str());
            ReportDifferentLines(first, second);
            return Fail("the game saved after loading run1 lost what a load keeps of run1");
        }
        std::fprintf(stderr, "play-through: run2.fds keeps what a load keeps of run1 (%zu and %zu bytes)\n",
                     first.size(), second.size());
        Next(kLeave);
        break;
    }
    case kWaitMenuAgain:
        if (game->GetState() != kGameStateFrontEnd) {
            if (m_frame > kStateTimeout)
                return Fail("yes did not leave the game");
            break;
        }
        if (CInterface* ui = InterfaceGet()) {
            if (ui->GetStack().HasModal())
                return Fail("a modal canvas outlived the level");
        }
        if (m_frame < kSettleFrames)
            break;
        Next(kQuit);
        break;
    default:
        break;
    }
}
