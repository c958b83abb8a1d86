// The input-level play test; see playtest/playtest.h.
//
// Sections: constants; reading the game; the step tables; running steps; input; reading pixels and saving
// pictures; launcher steps; front-end steps; camera steps; building steps; people steps; file and exit steps.
#include "playtest/playtest.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "engine/application/app.h"
#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/camera.h"
#include "engine/world/object.h"
#include "game/buildings/placement.h"
#include "game/figures/spawner.h"
#include "game/shell/game.h"
#include "game/world/floors.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "main/shell.h"
#include "platform/win32/dialog_auto.h"
#include "playtest/playinput.h"
#include "playtest/viewpoint.h"
#include "ui/frontend/citycanvas.h"
#include "ui/frontend/frontend.h"
#include "ui/frontend/launcher.h"
#include "ui/game/buildmenu.h"
#include "ui/game/filecanvas.h"
#include "ui/game/ingame.h"
#include "ui/game/management.h"
#include "ui/game/panels.h"
#include "ui/game/popups.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/node.h"

namespace {

// ---- constants ----

constexpr int kLauncherWidth = CPlayInput::kLauncherWidth;
constexpr int kLauncherHeight = CPlayInput::kLauncherHeight;
// Launcher buttons (client pixels of its 640 x 480 pictures): the centres of the main page's play and language
// buttons, and of the language page's French box.
constexpr const float* kLauncherPlay = CPlayInput::kLauncherPlay;
constexpr float kLauncherLanguage[2] = {447.0f, 400.0f};
constexpr float kLauncherFrench[2] = {321.0f, 95.0f};
// The mode list: its closed box, and its open list's rows (one pixel of frame, then 12-pixel rows).
constexpr float kModeBox[2] = {105.0f, 106.0f};
constexpr float kModeListTop = 117.0f;
// A pixel of the closed box's white below its text, whatever mode it names.
constexpr int kModeBoxBlank[2] = {65, 113};
constexpr float kModeRowHeight = 12.0f;
constexpr int kFrenchLanguage = 2;
// The smallest mode, whose run also plays the level's edges.
constexpr int kSmallestWidth = 800;
constexpr int kSmallestHeight = 600;
constexpr DWORD kNoPixel = 0xFFFFFFFFu;

constexpr uint32_t kClearColour = 0x6868BC;  // the level camera's clear colour (104, 104, 188)
constexpr int kSettleFrames = 20;
constexpr int kLevelFrames = 40;
constexpr int kStateBudget = 600;
constexpr int kHoldFrames = 12;       // arrow keys and the pointer at an edge
constexpr int kRunBudget = 6000;      // speed-3 frames for shoppers to come
constexpr int kMessageBudget = 3000;  // frames for two messages' turns on the main bar, in real time
// Points of the ground for the room, in fractions of the screen: its corners lie in the lower middle of the
// view, above the main bar and away from the edges where the pointer scrolls.
// The camera looks along the ground's diagonal, so a level drag spans both of its axes.
constexpr float kRoomFirst[2] = {0.32f, 0.66f};
constexpr float kRoomLast[2] = {0.64f, 0.66f};
constexpr float kShopTop = 0.64f;  // the first row of spots tried for the shop (fraction of the height)
constexpr float kSpotStep = 0.06f;
constexpr int kSpotColumns = 5;
constexpr int kSpotRows = 3;
constexpr int kSpotFrames = 8;
constexpr int kHeldPriceFrame = 2;  // of the first spot: the pointer has come, the button is not yet down
constexpr int kRoomDragFrames = 6;
constexpr int kStaffToHire = 3;
constexpr float kShopperLift = 4.0f;  // pixels above a shopper's feet where the click aims
constexpr const char* kSaveName = "playtest";
// The floor-tile, shop, stairs and door menus are the root's pages 0, 1, 11 and 13 (root widgets 1, 2, 12, 14).
constexpr int kFloorPage = 0;
constexpr int kShopPage = 1;
constexpr int kStairsPage = 11;
constexpr int kDoorPage = 13;
// The cursor box is green where the held object fits.
constexpr int kGreenMinimum = 120;
// The camera glides at least this far (world units) while an arrow key is held.
constexpr float kLeastGlide = 1.0f;
constexpr float kLeastTurn = 1.0f;  // degrees

// ---- reading the game ----

CGame* Game() { return static_cast<CGame*>(g_pGame); }

long Balance()
{
    return CDynamicObjectManager::PeekStatistics() ? CDynamicObjectManager::PeekStatistics()->GetBalance() : 0;
}
size_t ShopCount()
{
    return CDynamicObjectManager::PeekStatistics() ? CDynamicObjectManager::PeekStatistics()->m_shops.size() : 0;
}
size_t StaffCount()
{
    return CDynamicObjectManager::PeekStatistics() ? CDynamicObjectManager::PeekStatistics()->GetStaff().size() : 0;
}

int HeldMode()
{
    CGame* game = Game();
    return game && game->GetPlacementController() ? game->GetPlacementController()->GetMode() : PLACEMENT_IDLE;
}

// The game's screen, which the step positions are fractions of.
int ScreenW() { return Game()->GetScreenWidth(); }
int ScreenH() { return Game()->GetScreenHeight(); }

bool InLevel()
{
    CGame* game = Game();
    CInterface* ui = InterfaceGet();
    return game && game->GetState() == kGameStateInGame && game->GetWorld() && ui && !ui->GetStack().HasModal();
}

const GxV3d* CameraPosition() { return Game() && Game()->GetCamera() ? Game()->GetCamera()->GetPosition() : nullptr; }

float Distance(const float a[3], const GxV3d* b)
{
    const float dx = a[0] - b->x, dy = a[1] - b->y, dz = a[2] - b->z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

CBuildCanvasManager* BuildMenus()
{
    CInterface* ui = InterfaceGet();
    return ui ? dynamic_cast<CBuildCanvasManager*>(ui->m_pBuildMenu.get()) : nullptr;
}

}  // namespace

// Where the player sees a world point: screen pixels of the game camera's view, with `mirror` flipping the
// camera's right vector (the library's cameras look down their at vector with right pointing either way).
// False behind the camera or off the view.
bool CPlayTest::ScreenPoint(const GxV3d& point, bool mirror, float* x, float* y)
{
    return ViewPoint(point, mirror, x, y);
}

// ---- the step tables ----

CPlayTest::CPlayTest(const std::string& folder, CProgramShell* shell, int width, int height, bool modeOnly)
    : m_folder(folder), m_pShell(shell), m_width(width), m_height(height), m_modeOnly(modeOnly)
{
    // Pictures go to the folder named at the start, whatever the file panels make the working directory.
    std::error_code unknown;
    const std::filesystem::path absolute = std::filesystem::absolute(m_folder, unknown);
    if (!m_folder.empty() && !unknown)
        m_folder = absolute.string();
    const Step launcher[] = {
        {"launcher_language_page", &CPlayTest::LauncherLanguagePage, 60},
        {"launcher_french", &CPlayTest::LauncherFrench, 60},
        {"launcher_mode", &CPlayTest::LauncherMode, 60},
        {"launcher_play", &CPlayTest::LauncherPlay, 60},
        {"menu", &CPlayTest::MainMenu, kStateBudget},
        {"client_size", &CPlayTest::ClientSize, 2},
    };
    m_steps.assign(std::begin(launcher), std::end(launcher));
    if (modeOnly) {
        m_steps.push_back({"menu_button", &CPlayTest::MenuButtonPress, kStateBudget});
        // At 800 x 600 the main bar spans the bottom edge: the edges along and beside it must scroll.
        if (width == kSmallestWidth && height == kSmallestHeight) {
            const Step level[] = {
                {"start", &CPlayTest::Start, kStateBudget},
                {"edges_beside_the_bar", &CPlayTest::EdgesBesideTheBar, 60},
                {"edge_along_the_bar", &CPlayTest::EdgeAlongTheBar, 60},
                {"escape", &CPlayTest::Escape, kStateBudget},
                {"leave", &CPlayTest::Leave, kStateBudget},
            };
            m_steps.insert(m_steps.end(), std::begin(level), std::end(level));
        }
        m_steps.push_back({"quit", &CPlayTest::Quit, kStateBudget});
        return;
    }
    const Step game[] = {
        {"language_menu", &CPlayTest::LanguageMenu, 120},
        {"city", &CPlayTest::City, kStateBudget},
        {"language_city", &CPlayTest::LanguageCity, 120},
        {"start", &CPlayTest::Start, kStateBudget},
        {"language_level", &CPlayTest::LanguageLevel, 60},
        {"camera_arrows", &CPlayTest::CameraArrows, 120},
        {"camera_turn", &CPlayTest::CameraTurn, 120},
        {"camera_edge", &CPlayTest::CameraEdge, 120},
        {"tooltip_shown", &CPlayTest::TooltipShown, 60},
        {"tooltip_gone", &CPlayTest::TooltipGone, 20},
        {"room", &CPlayTest::Room, 300},
        {"walls", &CPlayTest::Walls, 300},
        {"walls_extended", &CPlayTest::WallsExtended, 300},
        {"demolish", &CPlayTest::Demolish, 600},
        {"door", &CPlayTest::Door, 600},
        {"stairs", &CPlayTest::Stairs, 600},
        {"third_storey", &CPlayTest::ThirdStorey, 300},
        {"ground_storey", &CPlayTest::GroundStorey, 120},
        {"language_locked", &CPlayTest::LanguageLocked, 200},
        {"shop", &CPlayTest::Shop, 600},
        {"shop_front", &CPlayTest::ShopFront, 60},
        {"shop_card", &CPlayTest::ShopCard, 120},
        {"language_card", &CPlayTest::LanguageCard, 60},
        {"click_under_question", &CPlayTest::ClickUnderQuestion, 120},
        {"escape_tool", &CPlayTest::EscapeTool, 200},
        {"shoppers", &CPlayTest::Shoppers, kRunBudget},
        {"shoppers_through_door", &CPlayTest::ShoppersThroughDoor, kRunBudget},
        {"shopper_card", &CPlayTest::ShopperCard, 600},
        {"need_bars", &CPlayTest::NeedBars, 60},
        {"selection_ring", &CPlayTest::SelectionRing, 60},
        {"storey_up", &CPlayTest::StoreyUp, 200},
        {"finance_floors", &CPlayTest::FinanceFloors, 200},
        {"escape_panel", &CPlayTest::EscapePanel, 100},
        {"shoppers_panel", &CPlayTest::ShoppersPanel, 150},
        {"hire_staff", &CPlayTest::HireStaff, 1200},
        {"contracts", &CPlayTest::Contracts, 120},
        {"contract_done", &CPlayTest::ContractDone, 400},
        {"staff_level", &CPlayTest::StaffLevel, 120},
        {"message_history", &CPlayTest::MessageHistory, kMessageBudget},
        {"save_refused", &CPlayTest::SaveRefused, kStateBudget},
        {"save_cased", &CPlayTest::SaveCased, kStateBudget},
        {"save_case_asks", &CPlayTest::SaveCaseAsks, kStateBudget},
        {"save", &CPlayTest::Save, kStateBudget},
        {"load_panel", &CPlayTest::LoadPanelShows, kStateBudget},
        {"load", &CPlayTest::Load, kStateBudget},
        {"save_in_folder", &CPlayTest::SaveInFolder, kStateBudget},
        {"load_from_folder", &CPlayTest::LoadFromFolder, kStateBudget},
        {"delete_in_folder", &CPlayTest::DeleteInFolder, kStateBudget},
        {"stairs_removed", &CPlayTest::StairsRemoved, 300},
        {"escape_file_panel", &CPlayTest::EscapeFilePanel, 100},
        {"escape", &CPlayTest::Escape, kStateBudget},
        {"escape_question", &CPlayTest::EscapeQuestion, kStateBudget},
        {"ending_city", &CPlayTest::City, kStateBudget},
        {"ending_won", &CPlayTest::EndingWon, kStateBudget},
        {"ending_won_leave", &CPlayTest::EndingLeave, kStateBudget},
        {"ending_city_again", &CPlayTest::City, kStateBudget},
        {"ending_start", &CPlayTest::Start, kStateBudget},
        {"ending_bankrupt", &CPlayTest::EndingBankrupt, kStateBudget},
        {"ending_lost_leave", &CPlayTest::EndingLeave, kStateBudget},
        {"quit", &CPlayTest::Quit, kStateBudget},
        {"close_window", &CPlayTest::CloseWindow, kStateBudget},
    };
    m_steps.insert(m_steps.end(), std::begin(game), std::end(game));
}

void CPlayTest::Install()
{
    Win32DialogSetTurnHook(&CPlayTest::LauncherTurn, this);
    FerroxSetTextObserver(&CPlayTest::SeeText, this);
}

void CPlayTest::Uninstall()
{
    Win32DialogSetTurnHook(nullptr, nullptr);
    FerroxSetTextObserver(nullptr, nullptr);
}

int CPlayTest::Result() const
{
    if (m_failed)
        return 1;
    if (!m_done) {
        std::fprintf(stderr, "play test: the game ended at step %s\n",
                     m_step < m_steps.size() ? m_steps[m_step].name : "(none)");
        return 1;
    }
    return 0;
}

// ---- running steps ----

void CPlayTest::LauncherTurn(HWND dialog, int, void* self)
{
    auto* test = static_cast<CPlayTest*>(self);
    test->m_dialog = dialog;
    test->Advance(&test->m_turn);
    test->m_dialog = nullptr;
}

void CPlayTest::AfterFrame()
{
    if (!Game())
        return;
    CheckTexts();
    Advance(&m_frame);
}

// Runs the current step for this frame, and moves on when it passed.
void CPlayTest::Advance(int* frame)
{
    if (m_failed || m_done || m_step >= m_steps.size())
        return;
    const Step& step = m_steps[m_step];
    const int now = (*frame)++;
    if (now > step.budget)
        return Fail("no result within " + std::to_string(step.budget) + " frames" +
                    (m_waiting.empty() ? std::string() : ": " + m_waiting));
    if (!(this->*step.run)(now) || m_failed)
        return;
    char number[8];
    std::snprintf(number, sizeof(number), "%02zu_", m_step + 1);
    if (!Screenshot(number + std::string(step.name) + ".bmp"))
        return Fail("its screenshot was not written");
    std::fprintf(stderr, "play test: %s passed after %d frames\n", step.name, now);
    m_step++;
    m_frame = 0;
    m_turn = 0;
    m_phase = 0;
    m_count = 0;
    m_waiting.clear();
    if (m_step == m_steps.size())
        m_done = true;
}

void CPlayTest::Fail(const std::string& what)
{
    if (m_failed)
        return;
    m_failed = true;
    const char* name = m_step < m_steps.size() ? m_steps[m_step].name : "(end)";
    std::fprintf(stderr, "play test: step %s failed: %s\n", name, what.c_str());
    Screenshot(std::string("failed_") + name + ".bmp");
    if (m_dialog)
        EndDialog(m_dialog, 0);
    else if (g_pFerroxApp)
        g_pFerroxApp->Quit();
}

// ---- input ----

void CPlayTest::Move(float x, float y)
{
    m_input.SetLauncher(InLauncher());
    if (!m_input.Move(x, y))
        Fail(m_input.GetFailure());
}

void CPlayTest::Button(DWORD flags)
{
    if (!m_input.Button(flags))
        Fail(m_input.GetFailure());
}

void CPlayTest::Key(WORD vk, bool down)
{
    if (!m_input.Key(vk, down))
        Fail(m_input.GetFailure());
}

bool CPlayTest::Click(int frame, float x, float y, bool right)
{
    m_input.SetLauncher(InLauncher());
    const bool done = m_input.Click(frame, x, y, right);
    if (!m_input.GetFailure().empty())
        Fail(m_input.GetFailure());
    return done;
}

bool CPlayTest::WidgetCentre(void* target, int index, float* x, float* y)
{
    return m_input.WidgetCentre(target, index, x, y);
}

bool CPlayTest::ClickWidget(int frame, void* canvas, int index, const std::string& missing)
{
    float x = 0.0f, y = 0.0f;
    return Expect(WidgetCentre(canvas, index, &x, &y), missing) && Click(frame, x, y);
}

bool CPlayTest::RowCentre(void* panel, int kind, const std::u16string& name, float* x, float* y)
{
    return m_input.RowCentre(panel, kind, name, x, y);
}

bool CPlayTest::ClickRow(int frame, void* panel, int kind, const std::u16string& name, const std::string& missing)
{
    float x = 0.0f, y = 0.0f;
    return Expect(RowCentre(panel, kind, name, &x, &y), missing) && Click(frame, x, y);
}

void CPlayTest::NextPhaseIf(bool done)
{
    if (done)
        m_phase += 1, m_count = 0;
}

bool CPlayTest::Expect(bool shown, const std::string& failure)
{
    if (!shown)
        Fail(failure);
    return shown;
}

// ---- reading pixels and saving pictures ----

long CPlayTest::Pixel(int x, int y)
{
    if (InLauncher()) {
        const DWORD pixel = Win32DialogGetPixel(m_dialog, x, y);
        return pixel == kNoPixel ? -1 : static_cast<long>(pixel);
    }
    return FramePixel(x, y);
}

std::vector<long> CPlayTest::Pixels(int left, int top, int width, int height)
{
    std::vector<long> pixels(static_cast<size_t>(std::max(0, width)) * static_cast<size_t>(std::max(0, height)), -1);
    CFerroxCamera* camera = Game() ? Game()->GetCamera() : nullptr;
    GxCamera* graphics = camera ? camera->GetGraphicsCamera() : nullptr;
    GxRaster* raster = graphics ? graphics->frameBuffer : nullptr;
    // One lock for the block: each lock reads the frame back.
    GxUInt8* bits = raster && !InLauncher() ? GxRasterLock(raster, 0, gxRASTERLOCKREAD) : nullptr;
    if (!bits)
        return pixels;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            const int px = left + x, py = top + y;
            if (px < 0 || py < 0 || px >= raster->width || py >= raster->height)
                continue;
            const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(py) * raster->stride);
            pixels[static_cast<size_t>(y) * width + x] = static_cast<long>(row[px] & 0xFFFFFFu);
        }
    }
    GxRasterUnlock(raster);
    return pixels;
}

bool CPlayTest::Screenshot(const std::string& name)
{
    const std::string path = m_folder + "/" + name;
    if (InLauncher()) {
        // The graphics library writes pictures once the engine started: the launcher's wait until then.
        std::vector<DWORD> pixels(static_cast<size_t>(kLauncherWidth) * kLauncherHeight);
        for (int y = 0; y < kLauncherHeight; y++)
            for (int x = 0; x < kLauncherWidth; x++)
                pixels[static_cast<size_t>(y) * kLauncherWidth + x] = Win32DialogGetPixel(m_dialog, x, y);
        m_launcherPictures.emplace_back(path, std::move(pixels));
        return true;
    }
    CFerroxCamera* camera = Game() ? Game()->GetCamera() : nullptr;
    return camera && camera->SaveScreenshot(path.c_str(), camera->GetWidth(), camera->GetHeight()) == 0;
}

bool CPlayTest::SaveLauncherPictures()
{
    constexpr int kBytesPerPixel = 4;
    bool saved = true;
    for (const auto& picture : m_launcherPictures) {
        GxImage* image = GxImageCreate(kLauncherWidth, kLauncherHeight, kBytesPerPixel * 8);
        if (!image || !GxImageAllocatePixels(image)) {
            GxImageDestroy(image);
            return false;
        }
        for (int y = 0; y < kLauncherHeight; y++) {
            for (int x = 0; x < kLauncherWidth; x++) {
                const DWORD pixel = picture.second[static_cast<size_t>(y) * kLauncherWidth + x];
                GxUInt8* p = image->pixels + y * image->stride + x * kBytesPerPixel;
                p[0] = static_cast<GxUInt8>(pixel >> 16);
                p[1] = static_cast<GxUInt8>(pixel >> 8);
                p[2] = static_cast<GxUInt8>(pixel);
                p[3] = 255;
            }
        }
        saved = GxImageWriteBMP(image, picture.first.c_str()) != nullptr && saved;
        GxImageDestroy(image);
    }
    m_launcherPictures.clear();
    return saved;
}

// ---- launcher steps ----

// The main page's language button opens the language page: the French box is drawn where the main page
// has its background.
bool CPlayTest::LauncherLanguagePage(int turn)
{
    if (turn == 0)
        m_before = Pixel(static_cast<int>(kLauncherFrench[0]), static_cast<int>(kLauncherFrench[1]) - 20);
    if (!Click(turn, kLauncherLanguage[0], kLauncherLanguage[1]))
        return false;
    return Pixel(static_cast<int>(kLauncherFrench[0]), static_cast<int>(kLauncherFrench[1]) - 20) != m_before;
}

// French takes the player back to the main page, whose mode list shows again (a white box).
bool CPlayTest::LauncherFrench(int turn)
{
    if (!Click(turn, kLauncherFrench[0], kLauncherFrench[1]))
        return false;
    const long box = Pixel(kModeBoxBlank[0], kModeBoxBlank[1]);
    if (box != 0xFFFFFF)
        Fail("the French box did not bring the main page back with its mode list");
    return box == 0xFFFFFF;
}

// Opens the mode list and clicks the row of the mode asked for; the list's selection must follow.
bool CPlayTest::LauncherMode(int turn)
{
    HWND combo = GetDlgItem(m_dialog, kLauncherModeCombo);
    const std::string wanted = std::to_string(m_width) + " x " + std::to_string(m_height) + " x";
    if (turn == 0) {
        m_count = -1;
        const LRESULT items = SendMessageA(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT item = 0; item < items; ++item) {
            char text[kLauncherAdapterNameSize] = {};
            SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(text));
            if (std::string(text).compare(0, wanted.size(), wanted) == 0)
                m_count = static_cast<int>(item);
        }
        if (m_count < 0) {
            Fail("the launcher lists no " + wanted.substr(0, wanted.size() - 2) + " mode");
            return false;
        }
    }
    if (turn < kClickFrames) {
        Click(turn, kModeBox[0], kModeBox[1]);
        return false;
    }
    const float row = kModeListTop + kModeRowHeight * (static_cast<float>(m_count) + 0.5f);
    if (!Click(turn - kClickFrames, kModeBox[0], row))
        return false;
    if (SendMessageA(combo, CB_GETCURSEL, 0, 0) != m_count) {
        Fail("clicking the row of the mode did not select it");
        return false;
    }
    return true;
}

bool CPlayTest::LauncherPlay(int turn)
{
    // Play ended the dialog: the step passed once the game draws frames (the menu step checks the choices).
    if (!InLauncher())
        return true;
    if (turn == 0 && !Screenshot("00_launcher.bmp"))
        Fail("the launcher's picture was not written");
    Click(turn, kLauncherPlay[0], kLauncherPlay[1]);
    return false;  // the dialog ends; the menu step checks what it chose
}

// ---- front-end steps ----

bool CPlayTest::MainMenu(int frame)
{
    CGame* game = Game();
    CFrontEnd* front = m_pShell->GetFrontEnd();
    if (frame == 0 && !SaveLauncherPictures())
        Fail("the launcher's pictures were not written");
    if (game->GetState() != kGameStateFrontEnd || !front || !front->GetMainMenu() || frame < kSettleFrames)
        return false;
    const int language = game->GetLocale() ? game->GetLocale()->GetLanguage() : game->GetLanguage();
    if (language != kFrenchLanguage) {
        Fail("the game does not run in French (language " + std::to_string(language) + ")");
        return false;
    }
    const long corner = Pixel(10, 10);
    if (corner < 0 || static_cast<uint32_t>(corner) == kClearColour) {
        Fail("the main menu is not drawn");
        return false;
    }
    return true;
}

// The game's screen and the window's client area have the size of the mode chosen.
bool CPlayTest::ClientSize(int)
{
    CGame* game = Game();
    if (game->GetScreenWidth() != m_width || game->GetScreenHeight() != m_height) {
        Fail("the game's screen is " + std::to_string(game->GetScreenWidth()) + " x " +
             std::to_string(game->GetScreenHeight()));
        return false;
    }
    RECT client = {};
    if (!GetClientRect(g_pFerroxApp->GetWindow(), &client)) {
        Fail("the game window has no client area");
        return false;
    }
    if (client.right != m_width || client.bottom != m_height) {
        Fail("the client area is " + std::to_string(client.right) + " x " + std::to_string(client.bottom));
        return false;
    }
    return true;
}

// A click at the centre of the London button, in window pixels, opens London's view.
bool CPlayTest::MenuButtonPress(int frame)
{
    float x = 0.0f, y = 0.0f;
    CFrontEnd* front = m_pShell->GetFrontEnd();
    if (!front || !WidgetCentre(front->GetMainMenu(), MAIN_MENU_LONDON, &x, &y)) {
        Fail("the main menu has no London button");
        return false;
    }
    if (frame == 0)
        m_before = Pixel(ScreenW() * 7 / 8, ScreenH() * 7 / 8);
    if (!Click(frame, x, y) || frame < kClickFrames + kSettleFrames)
        return false;
    CFrontEnd* shown = m_pShell->GetFrontEnd();
    if (!shown->GetStack().Holds(shown->GetLondon()) || Pixel(ScreenW() * 7 / 8, ScreenH() * 7 / 8) == m_before) {
        Fail("a click on the London button did not open London's view");
        return false;
    }
    m_inCity = true;
    return true;
}

bool CPlayTest::City(int frame) { return MenuButtonPress(frame); }

bool CPlayTest::Start(int frame)
{
    float x = 0.0f, y = 0.0f;
    CFrontEnd* front = m_pShell->GetFrontEnd();
    if (m_phase == 0) {
        m_waiting = "the London view's start button";
        if (!front || !WidgetCentre(front->GetLondon(), CITY_START, &x, &y))
            return false;
        if (Click(frame, x, y))
            m_phase = 1;
        return false;
    }
    m_waiting = "the level";
    if (!InLevel())
        return false;
    if (m_count++ < kLevelFrames)
        return false;
    // The sky and the ground differ: the world is drawn, not a flat clear.
    if (Pixel(ScreenW() / 2, ScreenH() / 40) == Pixel(ScreenW() / 2, ScreenH() * 7 / 10)) {
        Fail("the level is not drawn");
        return false;
    }
    return true;
}

// A click on the main bar's background lets go of what the placement holds (the next object of the template
// just placed, or the floor tiles).
bool CPlayTest::EndPlacement(int frame)
{
    CInterface* ui = InterfaceGet();
    float x = 0.0f, y = 0.0f;
    if (!ui || !WidgetCentre(ui->m_pMainPanel.get(), 0, &x, &y)) {
        Fail("the main bar has no background");
        return false;
    }
    if (!Click(frame, x, y))
        return false;
    if (HeldMode() != PLACEMENT_IDLE) {
        Fail("a click on the main bar did not end the placement");
        return false;
    }
    return true;
}

// ---- camera steps ----

// Right held for a number of frames glides the camera sideways: its position moves and the frame changes.
bool CPlayTest::CameraArrows(int frame)
{
    const GxV3d* at = CameraPosition();
    if (!at) {
        Fail("the level has no camera");
        return false;
    }
    if (frame == 0) {
        m_mark[0] = at->x, m_mark[1] = at->y, m_mark[2] = at->z;
        m_before = Pixel(ScreenW() / 2, ScreenH() / 3);
        Key(VK_RIGHT, true);
    }
    if (frame == kHoldFrames)
        Key(VK_RIGHT, false);
    if (frame < kHoldFrames + kSettleFrames)
        return false;
    const float moved = Distance(m_mark, at);
    if (moved < kLeastGlide || std::fabs(at->y - m_mark[1]) > moved * 0.5f) {
        Fail("the right arrow glided the camera " + std::to_string(moved) + " units");
        return false;
    }
    if (Pixel(ScreenW() / 2, ScreenH() / 3) == m_before) {
        Fail("the frame did not change while the camera glided");
        return false;
    }
    return true;
}

// Shift with the up arrow turns the camera: its yaw changes.
bool CPlayTest::CameraTurn(int frame)
{
    CFerroxCamera* camera = Game()->GetCamera();
    if (frame == 0) {
        m_mark[0] = camera->GetYawTotal();
        Key(VK_SHIFT, true);
    }
    if (frame == 1)
        Key(VK_UP, true);
    if (frame == kHoldFrames) {
        Key(VK_UP, false);
        Key(VK_SHIFT, false);
    }
    if (frame < kHoldFrames + kSettleFrames)
        return false;
    if (std::fabs(camera->GetYawTotal() - m_mark[0]) < kLeastTurn) {
        Fail("shift with the up arrow did not turn the camera");
        return false;
    }
    return true;
}

// The pointer resting at the left edge scrolls the camera; back in the middle it stops.
bool CPlayTest::CameraEdge(int frame)
{
    const GxV3d* at = CameraPosition();
    if (frame == 0) {
        m_mark[0] = at->x, m_mark[1] = at->y, m_mark[2] = at->z;
        Move(1.0f, static_cast<float>(ScreenH()) / 2);
    }
    if (frame == 1)
        Move(1.0f, static_cast<float>(ScreenH()) / 2);
    if (frame == kHoldFrames)
        Move(static_cast<float>(ScreenW()) / 2, static_cast<float>(ScreenH()) / 2);
    if (frame == kHoldFrames + 1)
        Move(static_cast<float>(ScreenW()) / 2 + 1, static_cast<float>(ScreenH()) / 2);
    if (frame < kHoldFrames + kSettleFrames)
        return false;
    if (Distance(m_mark, at) < kLeastGlide) {
        Fail("the pointer at the left edge did not scroll the camera");
        return false;
    }
    return true;
}

// ---- building steps ----

// The build button (which always opens the menu's root), root button `page` + 1, and the page's first item:
// true once the item is held (`mode`), after three clicks counted by `t`.
bool CPlayTest::HoldBuildItem(int t, int page, int mode, const char* what, int item)
{
    CInterface* ui = InterfaceGet();
    CBuildCanvasManager* menus = BuildMenus();
    float x = 0.0f, y = 0.0f;
    const int click = t / kClickFrames;
    const int frame = t % kClickFrames;
    if (!ui || !menus || !menus->GetRoot()) {
        Fail("the interface has no build menu");
        return false;
    }
    if (click == 0) {
        if (!WidgetCentre(ui->m_pMainPanel.get(), MAIN_BUILD, &x, &y)) {
            Fail("the main bar has no build button");
            return false;
        }
        if (Click(frame, x, y) && menus->GetOpenNode() != menus->GetRoot())
            Fail("the build button did not open the build menu");
        return false;
    }
    if (click == 1) {
        if (!WidgetCentre(menus->GetRoot(), page + 1, &x, &y)) {
            Fail(std::string("the build menu has no ") + what + " page");
            return false;
        }
        if (Click(frame, x, y) && menus->GetOpenNode() != menus->GetRoot()->GetChild(static_cast<size_t>(page)))
            Fail(std::string("the ") + what + " button did not open its page");
        return false;
    }
    if (!WidgetCentre(menus->GetOpenNode(), item, &x, &y)) {
        Fail(std::string("the ") + what + " page has no item " + std::to_string(item));
        return false;
    }
    if (!Click(frame, x, y))
        return false;
    if (HeldMode() != mode) {
        Fail(std::string("the ") + what + " page's item " + std::to_string(item) + " was not taken up");
        return false;
    }
    return true;
}

// A rectangle of floor tiles dragged out: the floor-tile page's first tile, then a press at one corner, the
// pointer carried to the other with the button held, and a release; the tiles cost money.
bool CPlayTest::Room(int frame)
{
    const float w = static_cast<float>(ScreenW()), h = static_cast<float>(ScreenH());
    switch (m_phase) {
    case 0:
        if (frame == 0)
            m_before = Balance();
        if (HoldBuildItem(m_count++, kFloorPage, PLACEMENT_LAY, "floor-tile"))
            m_phase = 3, m_count = 0;
        return false;
    case 3: {  // the drag
        const int t = m_count++;
        const float fx = kRoomFirst[0] * w, fy = kRoomFirst[1] * h;
        const float lx = kRoomLast[0] * w, ly = kRoomLast[1] * h;
        if (t < 2) {
            Move(fx, fy);
        } else if (t == 3) {
            Button(MOUSEEVENTF_LEFTDOWN);
        } else if (t > 3 && t <= 3 + kRoomDragFrames) {
            const float k = static_cast<float>(t - 3) / kRoomDragFrames;
            Move(fx + (lx - fx) * k, fy + (ly - fy) * k);
        } else if (t == 5 + kRoomDragFrames) {
            Button(MOUSEEVENTF_LEFTUP);
        } else if (t > 5 + kRoomDragFrames + kSettleFrames) {
            if (Balance() >= m_before) {
                Fail("the dragged rectangle laid no tiles (the balance stayed " + std::to_string(Balance()) + ")");
                return false;
            }
            // The right button ends the laying.
            m_phase = 4, m_count = 0;
        }
        return false;
    }
    default:
        return EndPlacement(m_count++);
    }
}

// Spot k of a grid of kSpotColumns columns about the middle of the screen, rows from `top` down (fractions).
static float SpotX(int spot, float w) { return w * (0.5f + kSpotStep * static_cast<float>(spot % kSpotColumns - 2)); }
static float SpotY(int spot, float h, float top)
{
    return h * (top + kSpotStep * static_cast<float>(spot / kSpotColumns));
}

// True when the translucent cursor box shows green at the pointer: pixels above and left of it (the shown
// cost is drawn to its right) where green outweighs red and blue.
bool CPlayTest::GreenNear(int x, int y)
{
    constexpr int kReach = 30;
    constexpr int kStep = 3;
    constexpr int kMargin = 40;
    for (int dy = -kReach; dy <= 0; dy += kStep) {
        for (int dx = -kReach; dx <= 0; dx += kStep) {
            const long p = Pixel(x + dx, y + dy);
            const int r = static_cast<int>((p >> 16) & 0xFF), g = static_cast<int>((p >> 8) & 0xFF);
            const int b = static_cast<int>(p & 0xFF);
            if (p >= 0 && g >= kGreenMinimum && g > r + kMargin && g > b + kMargin)
                return true;
        }
    }
    return false;
}

// A door on the room's outer wall: the door page's first door held, the pointer moved along the room's front
// wall until the cursor box turns green, and a click there.
bool CPlayTest::Door(int)
{
    const float w = static_cast<float>(ScreenW()), h = static_cast<float>(ScreenH());
    if (m_phase == 0) {
        if (HoldBuildItem(m_count++, kDoorPage, PLACEMENT_OBJECT, "door"))
            m_phase = 3, m_count = 0, m_before = Balance();
        return false;
    }
    if (m_phase == 4) {
        // The press went down on green: released a frame later, the door is in (it cost money).
        if (m_count++ == 0) {
            Button(MOUSEEVENTF_LEFTUP);
            return false;
        }
        if (m_count < kClickFrames)
            return false;
        if (Balance() >= m_before) {
            Fail("the click on the green cursor box placed no door");
            return false;
        }
        m_phase = 5, m_count = 0;
        return false;
    }
    if (m_phase == 5)
        return EndPlacement(m_count++);
    // Along the line between the room's corners, then a little below it, where the near walls stand.
    constexpr int kWallSpots = 12;
    constexpr int kWallRows = 3;
    const int spot = m_count / kSpotFrames;
    const int t = m_count++ % kSpotFrames;
    if (spot >= kWallSpots * kWallRows) {
        Fail("no point of the room's outer wall showed a green cursor box");
        return false;
    }
    const float along = static_cast<float>(spot % kWallSpots) / (kWallSpots - 1);
    const float px = w * (kRoomFirst[0] + (kRoomLast[0] - kRoomFirst[0]) * along);
    const float py = h * (kRoomLast[1] + kSpotStep * 0.5f * static_cast<float>(spot / kWallSpots));
    if (t < 2)
        Move(px, py);
    if (t != 4)
        return false;
    if (!GreenNear(static_cast<int>(px), static_cast<int>(py)))
        return false;
    Button(MOUSEEVENTF_LEFTDOWN);
    m_phase = 4, m_count = 0;
    return false;
}

// A storey above the room (floor up, yes to the new floor, floor down), stairs on the room's floor, then the
// storey above shown through them.
bool CPlayTest::Stairs(int)
{
    float x = 0.0f, y = 0.0f;
    const float w = static_cast<float>(ScreenW()), h = static_cast<float>(ScreenH());
    CInterface* ui = InterfaceGet();
    if (!ui)
        return false;
    switch (m_phase) {
    case 0:
        // Stairs need a storey above them: the floor-up button asks for a new one.
        if (WidgetCentre(ui->m_pMainPanel.get(), MAIN_FLOOR_UP, &x, &y) && Click(m_count++, x, y))
            m_phase = 1, m_count = 0;
        return false;
    case 1:
        if (m_count++ < kSettleFrames)
            return false;
        if (!ui->GetStack().Holds(ui->m_pConfirmPanel.get()) ||
            !WidgetCentre(ui->m_pConfirmPanel.get(), CONFIRM_YES, &x, &y)) {
            Fail("the floor-up button did not offer a new storey");
            return false;
        }
        m_phase = 2, m_count = 0;
        return false;
    case 2:
        if (WidgetCentre(ui->m_pConfirmPanel.get(), CONFIRM_YES, &x, &y) && Click(m_count++, x, y))
            m_phase = 3, m_count = 0;
        return false;
    case 3:
        if (m_count++ < kSettleFrames)
            return false;
        if (Game()->GetCurrentFloor() != 1) {
            Fail("yes to the new storey did not show it");
            return false;
        }
        m_phase = 4, m_count = 0;
        return false;
    case 4:
        // Back down to the room, where the stairs go.
        if (WidgetCentre(ui->m_pMainPanel.get(), MAIN_FLOOR_DOWN, &x, &y) && Click(m_count++, x, y))
            m_phase = 5, m_count = 0;
        return false;
    case 5:
        if (m_count++ < kSettleFrames)
            return false;
        if (Game()->GetCurrentFloor() != 0) {
            Fail("the floor-down button did not show the ground storey");
            return false;
        }
        m_phase = 6, m_count = 0;
        return false;
    case 6:
        if (HoldBuildItem(m_count++, kStairsPage, PLACEMENT_OBJECT, "stairs"))
            m_phase = 7, m_count = 0, m_before = Balance();
        return false;
    case 7: {
        // A grid over the room's floor, between its corners and a little below their line.
        constexpr int kColumns = 7;
        constexpr int kRows = 5;
        const int spot = m_count / kSpotFrames;
        if (spot >= kColumns * kRows) {
            Fail("no spot of the room took the stairs");
            return false;
        }
        const float across = static_cast<float>(spot % kColumns + 1) / (kColumns + 1);
        const float down = static_cast<float>(spot / kColumns) / kRows;
        Click(m_count++ % kSpotFrames, w * (kRoomFirst[0] + (kRoomLast[0] - kRoomFirst[0]) * across),
              h * (kRoomFirst[1] - kSpotStep + 2.0f * kSpotStep * down));
        if (m_count % kSpotFrames == 0 && Balance() < m_before)
            m_phase = 8, m_count = 0;
        return false;
    }
    case 8:
        if (EndPlacement(m_count++))
            m_phase = 9, m_count = 0;
        return false;
    default:
        break;
    }
    // The floor-up button shows the storey above.
    if (!WidgetCentre(ui->m_pMainPanel.get(), MAIN_FLOOR_UP, &x, &y))
        return false;
    if (!Click(m_count++, x, y))
        return false;
    if (Game()->GetCurrentFloor() != 1) {
        Fail("the floor-up button did not show the second storey");
        return false;
    }
    m_phase = 0;
    return true;
}

// The shop page's first shop held and placed at the first spot of the room that takes it.
bool CPlayTest::Shop(int frame)
{
    CInterface* ui = InterfaceGet();
    float x = 0.0f, y = 0.0f;
    const float w = static_cast<float>(ScreenW()), h = static_cast<float>(ScreenH());
    switch (m_phase) {
    case 0:
        // Back on the ground floor first.
        if (frame == 0 && Game()->GetCurrentFloor() != 0)
            m_phase = 10;
        else if (HoldBuildItem(m_count++, kShopPage, PLACEMENT_OBJECT, "shop"))
            m_phase = 3, m_count = 0;
        return false;
    case 10:
        if (!ui || !WidgetCentre(ui->m_pMainPanel.get(), MAIN_FLOOR_DOWN, &x, &y) || Click(m_count++, x, y))
            m_phase = 0, m_count = 0;
        return false;
    case 3: {
        const int spot = m_count / kSpotFrames;
        if (spot >= kSpotColumns * kSpotRows) {
            Fail("no spot of the view took the shop");
            return false;
        }
        // Held over the room's floor, before the first press: the price at the pointer.
        if (m_count == kHeldPriceFrame && (ui->m_cursorValue < 0 || !Screenshot("held_price.bmp")))
            Fail("the held shop shows no price at the pointer");
        Click(m_count++ % kSpotFrames, SpotX(spot, w), SpotY(spot, h, kShopTop));
        if (m_count % kSpotFrames == 0 && ShopCount() > 0)
            m_phase = 4, m_count = 0;
        return false;
    }
    default:
        return EndPlacement(m_count++);
    }
}

// A click on the shop opens its card: the spots the shop was tried at are clicked until the card shows.
bool CPlayTest::ShopCard(int)
{
    CInterface* ui = InterfaceGet();
    const float w = static_cast<float>(ScreenW()), h = static_cast<float>(ScreenH());
    const int spot = m_count / kSpotFrames;
    if (spot >= kSpotColumns * kSpotRows) {
        Fail("no click on the shop's spots opened its card");
        return false;
    }
    Click(m_count++ % kSpotFrames, SpotX(spot, w), SpotY(spot, h, kShopTop));
    m_area[0] = SpotX(spot, w), m_area[1] = SpotY(spot, h, kShopTop);
    return m_count % kSpotFrames == 0 && ui->GetStack().Holds(ui->m_pShopPopup.get());
}

// Speed 3 (the key) until a shopper came into the mall.
bool CPlayTest::Shoppers(int frame)
{
    if (frame == 0)
        Key('3', true);
    if (frame == 1)
        Key('3', false);
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    return statistics && statistics->m_shoppersCome > 0 && frame > 2;
}

// The shoppers came in through the player's door: one stands on the room's tiles, which only the door
// opens onto.
bool CPlayTest::ShoppersThroughDoor(int)
{
    m_waiting = "a shopper on the room's floor tiles";
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    CFloorManager* floors = Game()->GetFloorManager();
    const std::vector<std::unique_ptr<CFerroxBlockMesh>>* ground = floors ? &floors->GetBaseFloors() : nullptr;
    if (!objects || !ground || ground->empty() || !ground->front())
        return false;
    CFerroxBlockMesh* floor = ground->front().get();
    for (CFerroxObject* shopper : objects->GetShoppers()) {
        const GxV3d* at = shopper ? shopper->GetPosition() : nullptr;
        const int cell = at ? floor->GetCellAt(*at) : -1;
        if (cell >= 0 && floor->IsAreaTiled(cell, 1, 1))
            return true;
    }
    return false;
}

// A click on a shopper opens the shopper's card. The game is paused once a shopper stands in the view; its
// feet, seen from the camera, are clicked (both ways the camera's right vector may point) until one is
// selected.
bool CPlayTest::ShopperCard(int)
{
    CGame* game = Game();
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    CInterface* ui = InterfaceGet();
    m_waiting = "a shopper in the view whose click opens the shopper card";
    const int t = m_count++;
    if (m_phase == 0) {
        // Shoppers walk in at speed 3 until one is in the view; then the 0 key stops the game.
        float x = 0.0f, y = 0.0f;
        for (CFerroxObject* shopper : objects ? objects->GetShoppers() : ObjectList()) {
            if (shopper && shopper->GetPosition() && ScreenPoint(*shopper->GetPosition(), false, &x, &y))
                m_phase = 1;
        }
        if (m_phase == 1) {
            Key('0', true);
            m_count = 0;
        }
        return false;
    }
    if (t == 0) {
        Key('0', false);
        return false;
    }
    const int attempt = (t - 1) / kClickFrames;
    const int frame = (t - 1) % kClickFrames;
    if (frame == 0 && attempt > 0 && ui && ui->GetStack().Holds(ui->m_pShopperPopup.get()) && game->GetSelectedObject())
        return true;
    // Attempt k: shopper k / 4, with the camera's right vector as it is or mirrored, at its feet or a little
    // above them.
    std::vector<CFerroxObject*> shoppers(objects->GetShoppers().begin(), objects->GetShoppers().end());
    const size_t index = static_cast<size_t>(attempt / 4);
    if (index >= shoppers.size()) {
        Fail("no click on a shopper in the view opened the shopper card");
        return false;
    }
    float x = 0.0f, y = 0.0f;
    const GxV3d* feet = shoppers[index]->GetPosition();
    if (!feet || !ScreenPoint(*feet, attempt % 2 == 1, &x, &y)) {
        m_count += kClickFrames - 1 - frame;  // this shopper cannot be seen: the next attempt
        return false;
    }
    Click(frame, x, y - (attempt % 4 >= 2 ? kShopperLift : 0.0f));
    return false;
}

// The shopper's card shows its need bars: the card is drawn over the frame where the bars stand.
bool CPlayTest::NeedBars(int)
{
    CInterface* ui = InterfaceGet();
    if (!ui || !ui->m_pShopperPopup) {
        Fail("the interface has no shopper card");
        return false;
    }
    if (!ui->GetStack().Holds(ui->m_pShopperPopup.get())) {
        Fail("the shopper card is not open");
        return false;
    }
    // The three bars are drawn on the card's line in their own colours: yellow, orange and green.
    const float* card = ui->m_pShopperPopup->GetWidgetRect(0);
    if (!card)
        return false;
    const int left = static_cast<int>(ui->m_pShopperPopup->GetX());
    const int bottom = ScreenH() - static_cast<int>(ui->m_pShopperPopup->GetY());
    bool seen[3] = {};
    const long colours[3] = {0xFFFF00, 0xFF8000, 0x00FF00};
    const int rows = static_cast<int>(card[3]) / 2;
    for (long pixel : Pixels(left, bottom - rows, static_cast<int>(card[2]), rows))
        for (int k = 0; k < 3; k++)
            seen[k] = seen[k] || pixel == colours[k];
    if (!seen[0] || !seen[1] || !seen[2]) {
        Fail("the shopper card shows no need bars");
        return false;
    }
    return true;
}

// The selection ring stands under the selected shopper: its object is in the world at the shopper's feet.
bool CPlayTest::SelectionRing(int)
{
    CGame* game = Game();
    if (!game->GetSelectionIndicator() || !game->GetSelectedObject()) {
        Fail("there is no selection ring under the shopper");
        return false;
    }
    return true;
}

// The floor-up button lifts the camera with the storey.
bool CPlayTest::StoreyUp(int frame)
{
    CInterface* ui = InterfaceGet();
    float x = 0.0f, y = 0.0f;
    if (!ui || !WidgetCentre(ui->m_pMainPanel.get(), MAIN_FLOOR_UP, &x, &y))
        return false;
    const GxV3d* at = CameraPosition();
    if (frame == 0)
        m_mark[1] = at->y;
    if (!Click(frame, x, y) || frame < kClickFrames + kSettleFrames)
        return false;
    if (at->y <= m_mark[1]) {
        Fail("going up a storey did not lift the camera");
        return false;
    }
    return true;
}

// Management, staff, hire, the cleaner's or the engineer's OK button, and the new member placed in the room; three
// times.
bool CPlayTest::HireStaff(int)
{
    CInterface* ui = InterfaceGet();
    float x = 0.0f, y = 0.0f;
    const float w = static_cast<float>(ScreenW()), h = static_cast<float>(ScreenH());
    if (m_phase == 0) {
        // The game runs again (speed 1), as staff are placed into a running mall.
        m_before = static_cast<long>(StaffCount());
        Key('1', m_count == 0);
        if (m_count++ == 1)
            m_phase = Game()->GetCurrentFloor() != 0 ? 6 : 1, m_count = 0;
        return false;
    }
    if (m_phase == 6) {
        // Back on the ground floor, where members stand anywhere walkable.
        if (!WidgetCentre(ui->m_pMainPanel.get(), MAIN_FLOOR_DOWN, &x, &y) || Click(m_count++, x, y))
            m_phase = Game()->GetCurrentFloor() != 0 ? 6 : 1, m_count = 0;
        return false;
    }
    if (static_cast<long>(StaffCount()) >= m_before + kStaffToHire)
        return true;
    const int t = m_count++;
    const int hired = static_cast<int>(static_cast<long>(StaffCount()) - m_before);
    switch (m_phase) {
    case 1:
        if (WidgetCentre(ui->m_pMainPanel.get(), MAIN_MANAGE, &x, &y) && Click(t, x, y))
            m_phase = 2, m_count = 0;
        return false;
    case 2:
        if (ClickWidget(t, ui->m_pManagementPanel.get(), MANAGEMENT_STAFF, "the management button opened no menu"))
            m_phase = 3, m_count = 0;
        return false;
    case 3:
        if (ClickWidget(t, ui->m_pStaffSummaryPanel.get(), STAFF_HIRE, "the staff page has no hire button"))
            m_phase = 4, m_count = 0;
        return false;
    case 4: {
        auto* hire = dynamic_cast<CStaffHirePanel*>(ui->m_pStaffHirePanel.get());
        if (!hire || !WidgetCentre(hire, hire->GetFirstButton() + (hired % 2 ? HIRE_ENGINEER : HIRE_CLEANER), &x, &y)) {
            Fail("the hire page has no OK button");
            return false;
        }
        if (Click(t, x, y))
            m_phase = 5, m_count = 0, m_mark[2] = static_cast<float>(StaffCount());
        return false;
    }
    default: {
        // The new member follows the pointer: a click on the ground puts it down.
        const int spot = t / kSpotFrames;
        if (spot >= kSpotColumns * kSpotRows) {
            Fail("no spot took the new member of staff");
            return false;
        }
        Click(t % kSpotFrames, SpotX(spot, w), SpotY(spot, h, kShopTop));
        if ((t + 1) % kSpotFrames == 0 && static_cast<float>(StaffCount()) > m_mark[2])
            m_phase = 1, m_count = 0;
        return false;
    }
    }
}

// The contracts panel: the OK button of category k stands beside that category's row.
bool CPlayTest::Contracts(int frame)
{
    CInterface* ui = InterfaceGet();
    float x = 0.0f, y = 0.0f;
    if (m_phase == 0) {
        if (WidgetCentre(ui->m_pMainPanel.get(), MAIN_MANAGE, &x, &y) && Click(frame, x, y))
            m_phase = 1, m_count = 0;
        return false;
    }
    if (m_phase == 1) {
        if (WidgetCentre(ui->m_pManagementPanel.get(), MANAGEMENT_CONTRACTS, &x, &y) && Click(m_count++, x, y))
            m_phase = 2, m_count = 0;
        return false;
    }
    auto* contracts = dynamic_cast<CContractsPanel*>(ui->m_pContractsPanel.get());
    if (!contracts) {
        Fail("the interface has no contracts panel");
        return false;
    }
    if (m_count++ < kSettleFrames)
        return false;
    // Each category's OK button stands level with its row: the row's name is drawn (light text) at the height
    // of the button's centre, and each button stands below the one before.
    constexpr int kTextLeft = 15;
    constexpr int kTextRight = 130;
    constexpr int kTextReach = 5;
    constexpr int kLight = 200;
    const int left = static_cast<int>(contracts->GetX());
    float previous = -1.0f;
    for (size_t k = 0; k < contracts->GetSlots().size(); k++) {
        if (!WidgetCentre(contracts, contracts->GetFirstButton() + static_cast<int>(k), &x, &y)) {
            Fail("category " + std::to_string(k) + " has no OK button");
            return false;
        }
        int text = 0;
        for (long p :
             Pixels(left + kTextLeft, static_cast<int>(y) - kTextReach, kTextRight - kTextLeft, 2 * kTextReach + 1))
            text += p >= 0 && ((p >> 16) & 0xFF) > kLight && ((p >> 8) & 0xFF) > kLight && (p & 0xFF) > kLight;
        if (text == 0 || y <= previous) {
            Fail("the OK button of category " + std::to_string(k) + " is not beside its row");
            return false;
        }
        previous = y;
    }
    return true;
}

// ---- file and exit steps ----

// The options panel's save, the name typed key by key, and the panel's save button; the file must appear.
bool CPlayTest::Save(int)
{
    CInterface* ui = InterfaceGet();
    float x = 0.0f, y = 0.0f;
    const int t = m_count++;
    auto* panel = static_cast<CFerroxFileIOCanvas*>(ui ? ui->m_pSavePanel.get() : nullptr);
    switch (m_phase) {
    case 0:
        if (ClickWidget(t, ui ? ui->m_pMainPanel.get() : nullptr, MAIN_OPTIONS, "the main bar has no options button"))
            m_phase = 1, m_count = 0;
        return false;
    case 1:
        if (!WidgetCentre(ui->m_pOptionsPanel.get(), OPTIONS_SAVE, &x, &y)) {
            Fail("the options button opened no options panel");
            return false;
        }
        if (Click(t, x, y)) {
            if (!panel || !ui->GetStack().HasModal()) {
                Fail("the save button opened no save panel");
                return false;
            }
            m_phase = 2, m_count = 0;
        }
        return false;
    case 2: {
        // Backspace over what the field holds, then the name: a key goes down in one frame and up in the next.
        const std::string name = kSaveName;
        const std::string text = panel->GetNameText();
        if (t % 2 == 1) {
            Key(m_key, false);
            return false;
        }
        if (t > 200) {
            Fail("typing did not reach the save panel's name field (it holds \"" + text + "\")");
            return false;
        }
        if (text == name) {
            m_savePath = (std::filesystem::current_path() / (name + ".fds")).string();  // the folder browsed
            std::remove(m_savePath.c_str());
            m_phase = 3, m_count = 0;
            return false;
        }
        const bool prefix = name.compare(0, text.size(), text) == 0;
        m_key = prefix ? static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[text.size()]))) : VK_BACK;
        Key(m_key, true);
        return false;
    }
    case 3:
        if (ClickWidget(t, panel, FILE_PANEL_ACT, "the save panel has no save button"))
            m_phase = 4, m_count = 0;
        return false;
    default:
        if (!std::ifstream(m_savePath) || ui->GetStack().HasModal() || t < kSettleFrames)
            return false;
        return true;
    }
}

bool CPlayTest::Load(int) { return LoadNamed(u"playtest"); }

// The options panel's load, the saved game's row, the load button and yes; the level comes back.
bool CPlayTest::LoadNamed(const std::u16string& name, const std::string& folder)
{
    CInterface* ui = InterfaceGet();
    float x = 0.0f, y = 0.0f;
    const int t = m_count++;
    auto* panel = static_cast<CFerroxFileIOCanvas*>(ui ? ui->m_pLoadPanel.get() : nullptr);
    switch (m_phase) {
    case 0:
        if (WidgetCentre(ui->m_pMainPanel.get(), MAIN_OPTIONS, &x, &y) && Click(t, x, y))
            m_phase = 1, m_count = 0;
        return false;
    case 1:
        if (WidgetCentre(ui->m_pOptionsPanel.get(), OPTIONS_LOAD, &x, &y) && Click(t, x, y))
            m_phase = 2, m_count = 0;
        return false;
    case 2: {
        if (!panel) {
            Fail("there is no load panel");
            return false;
        }
        // The folder's row makes it the working directory, the folder browsed.
        if (!folder.empty() && !EnterFolder(t, panel, folder, "the load panel does not list the folder " + folder))
            return false;
        NextPhaseIf(
            ClickRow(t, panel, FILE_ENTRY_SAVE, name, "the load panel does not show the saved game on its page"));
        return false;
    }
    case 3:
        if (WidgetCentre(panel, FILE_PANEL_ACT, &x, &y) && Click(t, x, y))
            m_phase = 4, m_count = 0;
        return false;
    case 4:
        if (ClickWidget(t, ui->m_pConfirmPanel.get(), CONFIRM_YES, "the load asked no question"))
            m_phase = 5, m_count = 0;
        return false;
    default:
        if (!InLevel() || t < kLevelFrames)
            return false;
        if (ShopCount() == 0) {
            Fail("the loaded game has no shop");
            return false;
        }
        return true;
    }
}

// Escape asks whether to leave.
bool CPlayTest::Escape(int frame)
{
    CInterface* ui = InterfaceGet();
    if (frame == 0)
        Key(VK_ESCAPE, true);
    if (frame == 1)
        Key(VK_ESCAPE, false);
    if (frame < 4)
        return false;
    if (!ui || !ui->GetStack().Holds(ui->m_pConfirmPanel.get())) {
        Fail("Escape asked nothing");
        return false;
    }
    return true;
}

// Yes goes back to the main menu.
bool CPlayTest::Leave(int frame)
{
    CInterface* ui = InterfaceGet();
    if (m_phase == 0) {
        if (ClickWidget(frame, ui ? ui->m_pConfirmPanel.get() : nullptr, CONFIRM_YES, "the question has no yes button"))
            m_phase = 1;
        return false;
    }
    m_waiting = "the main menu after yes";
    return Game()->GetState() == kGameStateFrontEnd && m_count++ > kSettleFrames;
}

// Alt+F4 closes the window wherever the game stands: the last step of a run whose quit was passed over.
bool CPlayTest::CloseWindow(int frame)
{
    if (frame == 0)
        Key(VK_MENU, true);
    if (frame == 1) {
        Key(VK_F4, true);
        m_done = true;  // the window closes at the next pump: the application ends
    }
    return false;
}

// The main menu's quit button ends the program (its exit code is checked by the caller); from a city view
// its back button comes first.
bool CPlayTest::Quit(int frame)
{
    CFrontEnd* front = m_pShell->GetFrontEnd();
    float x = 0.0f, y = 0.0f;
    if (Game()->GetState() != kGameStateFrontEnd || !front)
        return false;
    if (m_inCity) {
        if (!WidgetCentre(front->GetLondon(), CITY_BACK, &x, &y)) {
            Fail("London's view has no back button");
            return false;
        }
        if (Click(frame, x, y) && frame > kClickFrames + kSettleFrames) {
            m_inCity = false;
            m_frame = 0;
        }
        return false;
    }
    if (!WidgetCentre(front->GetMainMenu(), MAIN_MENU_QUIT, &x, &y)) {
        Fail("the main menu has no quit button");
        return false;
    }
    if (frame == 0 && !Screenshot("99_before_quit.bmp"))
        Fail("the last screenshot was not written");
    Click(frame, x, y);
    if (frame == 2)
        m_done = true;  // the press quits: the application ends in the frame that takes it
    return false;
}
