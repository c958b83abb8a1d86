// The random player; see playtest/randomplayer.h.
//
// Sections: constants; set-up; the frame; getting into the level; actions; the round trip; ending.
#include "playtest/randomplayer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "engine/application/app.h"
#include "engine/application/base.h"
#include "engine/application/mouse.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/camera.h"
#include "game/buildings/door.h"
#include "game/buildings/placement.h"
#include "game/figures/aichar.h"
#include "game/shell/game.h"
#include "game/shell/savecheck.h"
#include "game/world/floors.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "main/shell.h"
#include "platform/win32/dialog_auto.h"
#include "playtest/viewpoint.h"
#include "ui/frontend/citycanvas.h"
#include "ui/frontend/frontend.h"
#include "ui/game/buildmenu.h"
#include "ui/game/filecanvas.h"
#include "ui/game/ingame.h"
#include "ui/game/management.h"
#include "ui/game/panels.h"
#include "ui/game/popups.h"
#include "ui/toolkit/node.h"

namespace {

// ---- constants ----

constexpr int kClickFrames = CPlayInput::kClickFrames;
constexpr int kEnterBudget = 3000;  // frames to get into the level
constexpr int kSettleFrames = 20;   // frames a new level or a load settles before the next action
constexpr int kDragSteps = 6;
constexpr int kMostTaps = 10;       // taps of one key action
constexpr int kTapFrames = 3;       // a tap: the key down, up, and a frame before the next
constexpr int kPhaseBudget = 900;   // frames for one phase of the round trip
constexpr int kNameBudget = 200;    // frames to type a save's name
constexpr int kPagesTried = 20;     // pages of the load panel looked through for a save
constexpr float kPickSlack = 4.0f;  // pixels between the pointer and where its pick is seen
constexpr int kDoorDragInward = 2;  // cells from a door's inside entrance where a drag over it starts
constexpr int kMostDragWidth = 3;
constexpr int kDoorPage = 13;  // the build menu's page of doors
const char* const kWallPieceName = "wall";
const char* const kWallCornerName = "wallNE";  // cells a drag over a door or a column spans beside its line
const char* const kFirstSave = "rpa";
const char* const kSecondSave = "rpb";
const char* const kThirdSave = "rpc";
const char* const kSaveExtension = ".fds";
const char* const kActionFile = "actions.txt";
// The round trip's phases, in order.
enum RoundTripPhase : int {
    kCloseModals,
    kPause,
    kSaveFirst,
    kLoadBack,
    kSaveSecond,
    kLoadAgain,
    kSaveThird,
    kResume,
    kRoundTripDone
};

CGame* Game() { return g_pGame; }

bool HasModal()
{
    CInterface* ui = InterfaceGet();
    return ui && ui->GetStack().HasModal();
}

bool FileBytes(const std::string& path, std::string* bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

// The first line where two texts differ, for telling what a load changed.
std::string FirstDifference(const std::string& before, const std::string& after)
{
    std::istringstream a(before), b(after);
    std::string lineA, lineB;
    while (true) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA && !moreB)
            return std::string();
        if (!moreA || !moreB || lineA != lineB)
            return "\"" + (moreA ? lineA : std::string("(end)")) + "\" became \"" +
                   (moreB ? lineB : std::string("(end)")) + "\"";
    }
}

}  // namespace

// ---- set-up ----

CRandomPlayer::CRandomPlayer(const std::string& folder, CProgramShell* shell)
    : m_folder(folder), m_pShell(shell), m_leaveCounter(shell)
{}

void CRandomPlayer::UseSeed(uint32_t seed, int count)
{
    m_seed = seed;
    m_count = count;
    m_source = "seed " + std::to_string(seed);
}

bool CRandomPlayer::UseActionFile(const std::string& path, std::string* error)
{
    std::string text;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = path + " cannot be read";
        return false;
    }
    // Read no more than a list may hold, plus a byte to tell a longer one.
    text.resize(kRandomActionsMaxBytes + 1);
    file.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    if (!RandomActionsParse(text, &m_actions, error)) {
        *error = path + ": " + *error;
        return false;
    }
    m_count = static_cast<int>(m_actions.size());
    m_source = "the replay of " + path;
    return true;
}

bool CRandomPlayer::SkipRules(const std::string& names, std::string* error)
{
    std::string unknown;
    if (m_rules.Skip(names, &unknown))
        return true;
    *error = "no rule is named " + unknown + " (rules: " + CMallRules::kRuleNames + ")";
    return false;
}

void CRandomPlayer::Install() { Win32DialogSetTurnHook(&CRandomPlayer::LauncherTurn, this); }

void CRandomPlayer::Uninstall() { Win32DialogSetTurnHook(nullptr, nullptr); }

int CRandomPlayer::Result() const { return m_result; }

// ---- the frame ----

void CRandomPlayer::LauncherTurn(HWND, int turn, void* self)
{
    auto* player = static_cast<CRandomPlayer*>(self);
    player->m_input.SetLauncher(true);
    player->m_input.Click(turn % kClickFrames, CPlayInput::kLauncherPlay[0], CPlayInput::kLauncherPlay[1]);
    player->m_input.SetLauncher(false);
}

bool CRandomPlayer::InLevel() const
{
    CGame* game = Game();
    return game && game->GetState() == kGameStateInGame && game->GetWorld();
}

void CRandomPlayer::AfterFrame()
{
    if (m_done || !Game())
        return;
    m_leaveCounter.Install(Game());
    m_frames++;
    if (!m_input.GetFailure().empty())
        return Broken(m_input.GetFailure());
    if (!InLevel()) {
        m_rules.Forget();
        m_levelFrames = 0;
        // An action that left the level is over; so is a round trip that could not come back.
        if (m_t > 0)
            m_action++, m_t = 0;
        if (++m_entering > kEnterBudget)
            return Broken("the level was not entered within " + std::to_string(kEnterBudget) + " frames");
        EnterLevel();
        return;
    }
    m_entering = 0;
    LearnMirror();
    if (m_levelFrames++ < kSettleFrames)
        return;
    const std::string broken = m_rules.Check(m_leaveCounter.GetLeaves());
    if (!broken.empty())
        return Broken(broken);
    if (m_action >= static_cast<size_t>(m_count))
        return End(0);
    if (m_action >= m_actions.size()) {
        if (!m_pMaker)
            m_pMaker =
                std::make_unique<CRandomActionMaker>(m_seed, Game()->GetScreenWidth(), Game()->GetScreenHeight());
        m_actions.push_back(m_pMaker->Next());
        LogAction();
    }
    if (Act(m_actions[m_action], m_t++))
        m_action++, m_t = 0;
}

// ---- getting into the level ----

bool CRandomPlayer::EnterLevel()
{
    CFrontEnd* front = m_pShell->GetFrontEnd();
    if (!front || Game()->GetState() != kGameStateFrontEnd)
        return false;
    const int t = m_entering % (kClickFrames + kSettleFrames);
    float x = 0.0f, y = 0.0f;
    const bool inCity = front->GetStack().Holds(front->GetLondon());
    if (t >= kClickFrames)
        return false;
    if (t == 0 && !(inCity ? m_input.WidgetCentre(front->GetLondon(), CITY_START, &x, &y)
                           : m_input.WidgetCentre(front->GetMainMenu(), MAIN_MENU_LONDON, &x, &y))) {
        m_entering += kClickFrames - 1;
        return false;
    }
    m_input.Click(t, x, y);
    return false;
}

// ---- actions ----

CRandomPlayer::Target CRandomPlayer::Widget(CanvasOf canvas, IndexOf index)
{
    return [this, canvas, index](float* x, float* y) {
        CFerroxCanvas* target = canvas();
        return target && m_input.WidgetCentre(target, index(target), x, y);
    };
}

bool CRandomPlayer::Clicks(int t, const std::vector<Target>& targets)
{
    const size_t k = static_cast<size_t>(t / kClickFrames);
    const int frame = t % kClickFrames;
    if (k >= targets.size())
        return true;
    float x = 0.0f, y = 0.0f;
    if (frame == 0 && !targets[k](&x, &y))
        return true;
    Click(frame, x, y, false);
    return false;
}

bool CRandomPlayer::Click(int frame, float x, float y, bool right)
{
    if (!right && frame == CPlayInput::kPressFrame)
        m_rules.NotePress();
    if (!right && frame == CPlayInput::kReleaseFrame)
        m_rules.NoteRelease();
    return m_input.Click(frame, x, y, right);
}

std::vector<CFerroxCanvas*> CRandomPlayer::OpenCanvases() const
{
    CInterface* ui = InterfaceGet();
    if (!ui)
        return {};
    if (CFerroxCanvas* top = ui->GetStack().GetTopModal())
        return {top};
    std::vector<CFerroxCanvas*> open;
    if (ui->m_pMainPanel)
        open.push_back(ui->m_pMainPanel.get());
    if (ui->m_pBuildMenu && ui->m_pBuildMenu->GetOpenNode())
        open.push_back(ui->m_pBuildMenu->GetOpenNode());
    for (CFerroxCanvas* panel :
         {ui->m_pManagementPanel.get(), static_cast<CFerroxCanvas*>(ui->m_pOptionsPanel.get()),
          ui->m_pMallSummaryPanel.get(), ui->m_pShopperSummaryPanel.get(), ui->m_pStaffSummaryPanel.get(),
          ui->m_pStaffHirePanel.get(), ui->m_pContractsPanel.get(),
          static_cast<CFerroxCanvas*>(ui->m_pHistoryPanel.get()),
          static_cast<CFerroxCanvas*>(ui->m_pShopperPopup.get()), static_cast<CFerroxCanvas*>(ui->m_pShopPopup.get()),
          static_cast<CFerroxCanvas*>(ui->m_pStaffPopup.get())})
        if (panel && ui->GetStack().Holds(panel))
            open.push_back(panel);
    return open;
}

CRandomPlayer::CanvasOf CRandomPlayer::Canvas(CFerroxCanvas* canvas)
{
    return [canvas]() { return canvas; };
}

CRandomPlayer::IndexOf CRandomPlayer::Fixed(int index)
{
    return [index](CFerroxCanvas*) { return index; };
}

namespace {

// Widget `number` of a canvas, past its background (widget 0), taken modulo its count.
int AnyButton(CFerroxCanvas* canvas, int number)
{
    const int count = canvas ? canvas->GetWidgetCount() : 0;
    return count > 1 ? 1 + number % (count - 1) : 0;
}

}  // namespace

bool CRandomPlayer::Drag(const RandomAction& action, int t, bool right)
{
    const float fx = static_cast<float>(action.a), fy = static_cast<float>(action.b);
    const float lx = static_cast<float>(action.c), ly = static_cast<float>(action.d);
    if (t < CPlayInput::kPressFrame) {
        m_input.Move(fx, fy);
    } else if (t == CPlayInput::kPressFrame) {
        if (!right)
            m_rules.NotePress();
        m_input.Button(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    } else if (t <= CPlayInput::kPressFrame + kDragSteps) {
        const float k = static_cast<float>(t - CPlayInput::kPressFrame) / kDragSteps;
        m_input.Move(fx + (lx - fx) * k, fy + (ly - fy) * k);
    } else if (t == CPlayInput::kReleaseFrame + kDragSteps) {
        if (!right)
            m_rules.NoteRelease();
        m_input.Button(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    }
    return t >= CPlayInput::kClickFrames - 1 + kDragSteps;
}

namespace {

CFerroxBlockMesh* GroundStorey()
{
    CFloorManager* floors = Game() ? Game()->GetFloorManager() : nullptr;
    return floors && !floors->GetBaseFloors().empty() ? floors->GetBaseFloors().front().get() : nullptr;
}

CFerroxBlockMesh* ShownStorey()
{
    CFloorManager* floors = Game() ? Game()->GetFloorManager() : nullptr;
    CFerroxBlockMesh* ground = GroundStorey();
    return ground && floors ? ground->GetLinked(floors->GetCurrentFloorIndex()) : nullptr;
}

bool CellPoint(CFerroxBlockMesh* storey, int cell, GxV3d* at)
{
    if (!storey || !storey->IsValidCell(cell, 1))
        return false;
    *at = {static_cast<float>(storey->GetCellWorldX(cell, 1)), storey->GetOrigin().y,
           static_cast<float>(storey->GetCellWorldZ(cell, 1))};
    return true;
}

// The cell `steps` cells on from `cell` the way from `from` to `to` goes (one of them a row or a column apart).
int CellOn(CFerroxBlockMesh* storey, int cell, int from, int to, int steps)
{
    const int dr = storey->GetCellRow(to, 1) - storey->GetCellRow(from, 1);
    const int dc = storey->GetCellColumn(to, 1) - storey->GetCellColumn(from, 1);
    const int sr = dr > 0 ? 1 : dr < 0 ? -1 : 0, sc = dc > 0 ? 1 : dc < 0 ? -1 : 0;
    return storey->GetCellIndex(storey->GetCellColumn(cell, 1) + sc * steps, storey->GetCellRow(cell, 1) + sr * steps,
                                1);
}

// Door `pick` of the ground storey (modulo their count), or null.
CDoorObject* DoorNumber(int pick)
{
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    CFloorObjects* ground = objects ? objects->GetFloorRecord(0) : nullptr;
    std::vector<CDoorObject*> doors;
    for (CFerroxObject* object : ground ? ground->doors : ObjectList())
        if (auto* door = dynamic_cast<CDoorObject*>(object); door && door->IsPlaced())
            doors.push_back(door);
    return doors.empty() ? nullptr : doors[static_cast<size_t>(pick) % doors.size()];
}

// Where character `pick` of the storey shown (modulo their count) stands; false with none there.
bool FigurePoint(int pick, GxV3d* at)
{
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    CFerroxBlockMesh* shown = ShownStorey();
    if (!objects || !shown)
        return false;
    std::vector<CAICharacter*> seen;
    for (const ObjectList* list : {&objects->GetShoppers(), &objects->GetCriminals(), &objects->GetCleaners(),
                                   &objects->GetSecurity(), &objects->GetMaintenance()}) {
        for (CFerroxObject* object : *list) {
            auto* character = dynamic_cast<CAICharacter*>(object);
            if (character && character->GetBlockGrid() == shown && character->GetPosition())
                seen.push_back(character);
        }
    }
    if (seen.empty())
        return false;
    *at = *seen[static_cast<size_t>(pick) % seen.size()]->GetPosition();
    return true;
}

// Wall cell `pick` of the ground storey (modulo their count): an unlaid cell holding a straight wall piece.
int WallCell(int pick)
{
    CFerroxBlockMesh* ground = GroundStorey();
    std::vector<int> walls;
    for (int cell = 0; ground && cell < ground->GetCellCount(); cell++) {
        const char* name =
            ground->IsAreaTiled(cell, 1, 1) ? nullptr : BuildingOccupantName(ground->GetBlock(cell)->m_pOccupant);
        if (name && std::strstr(name, kWallPieceName) && !std::strstr(name, kWallCornerName))
            walls.push_back(cell);
    }
    return walls.empty() ? kNoCell : walls[static_cast<size_t>(pick) % walls.size()];
}

}  // namespace

void CRandomPlayer::LearnMirror()
{
    CFerroxMouse* mouse = FerroxGameMouse();
    const GxV3d& pick = Game()->GetPickPoint();
    if (m_mirror >= 0 || !mouse || mouse->GetPosition()->overInterface || pick.x == -1.0f)
        return;
    const float mx = mouse->GetPosition()->x, my = mouse->GetPosition()->y;
    for (int mirror : {0, 1}) {
        float x = 0.0f, y = 0.0f;
        if (!ViewPoint(pick, mirror == 1, &x, &y))
            continue;
        const bool raw = std::fabs(x - mx) < kPickSlack && std::fabs(y - my) < kPickSlack;
        const bool scaled = std::fabs(x - ScreenX(mx)) < kPickSlack && std::fabs(y - ScreenY(my)) < kPickSlack;
        if (raw || scaled)
            m_mirror = mirror;
    }
}

CRandomPlayer::Target CRandomPlayer::Seen(std::function<bool(GxV3d*)> where)
{
    return [this, where](float* x, float* y) {
        GxV3d at = {};
        return m_mirror >= 0 && where(&at) && ViewPoint(at, m_mirror == 1, x, y);
    };
}

std::vector<CRandomPlayer::Target> CRandomPlayer::FromGround(int t, std::vector<Target> targets)
{
    CInterface* ui = InterfaceGet();
    CFloorManager* floors = Game()->GetFloorManager();
    if (t == 0)
        m_downs = floors ? floors->GetCurrentFloorIndex() : 0;
    std::vector<Target> all(static_cast<size_t>(m_downs),
                            Widget(Canvas(ui ? ui->m_pMainPanel.get() : nullptr), Fixed(MAIN_FLOOR_DOWN)));
    all.insert(all.end(), targets.begin(), targets.end());
    return all;
}

bool CRandomPlayer::ClicksThenDrag(int t, const std::vector<Target>& clicks, const Target& from, const Target& to)
{
    const int clickFrames = static_cast<int>(clicks.size()) * kClickFrames;
    if (t < clickFrames)
        return Clicks(t, clicks);
    const int d = t - clickFrames;
    if (d == 0) {
        float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
        if (!from(&x0, &y0) || !to(&x1, &y1))
            return true;
        m_drag = {RANDOM_DRAG, static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1), static_cast<int>(y1)};
    }
    return Drag(m_drag, d, false);
}

bool CRandomPlayer::Act(const RandomAction& action, int t)
{
    CInterface* ui = InterfaceGet();
    const CanvasOf main = Canvas(ui ? ui->m_pMainPanel.get() : nullptr);
    switch (action.kind) {
    case RANDOM_CLICK:
    case RANDOM_RIGHT:
        return Click(t, static_cast<float>(action.a), static_cast<float>(action.b), action.kind == RANDOM_RIGHT);
    case RANDOM_DRAG:
        return Drag(action, t, false);
    case RANDOM_RIGHT_DRAG:
        return Drag(action, t, true);
    case RANDOM_KEY:
        if (t % kTapFrames < 2)
            m_input.Key(static_cast<WORD>(action.a), t % kTapFrames == 0);
        return t >= kTapFrames * std::max(1, std::min(action.b, kMostTaps)) - 1;
    case RANDOM_HOLD:
        if (t == 0 || t == action.b)
            m_input.Key(static_cast<WORD>(action.a), t == 0);
        return t >= action.b + 2;
    case RANDOM_WHEEL:
        if (t == 0 && action.a != 0)
            m_input.Wheel(action.a * WHEEL_DELTA);
        return t >= 2;
    case RANDOM_WIDGET: {
        const int pick = action.a, button = action.b;
        return Clicks(t, {Widget(
                             [this, pick]() -> CFerroxCanvas* {
                                 const std::vector<CFerroxCanvas*> open = OpenCanvases();
                                 return open.empty() ? nullptr : open[static_cast<size_t>(pick) % open.size()];
                             },
                             [button](CFerroxCanvas* canvas) { return AnyButton(canvas, button); })});
    }
    case RANDOM_BUILD: {
        const int page = action.a, item = action.b;
        auto menus = [ui]() { return ui ? ui->m_pBuildMenu.get() : nullptr; };
        return Clicks(t, {Widget(main, Fixed(MAIN_BUILD)),
                          Widget([menus]() -> CFerroxCanvas* { return menus() ? menus()->GetRoot() : nullptr; },
                                 [page](CFerroxCanvas* canvas) { return AnyButton(canvas, page); }),
                          Widget([menus]() -> CFerroxCanvas* { return menus() ? menus()->GetOpenNode() : nullptr; },
                                 [item](CFerroxCanvas* canvas) { return AnyButton(canvas, item); })});
    }
    case RANDOM_DEMOLISH:
        return Clicks(t, {Widget(main, Fixed(MAIN_DEMOLISH))});
    case RANDOM_FLOOR_UP:
        return Clicks(t, {Widget(main, Fixed(MAIN_FLOOR_UP))});
    case RANDOM_FLOOR_DOWN:
        return Clicks(t, {Widget(main, Fixed(MAIN_FLOOR_DOWN))});
    case RANDOM_ANSWER:
        if (!ui || !ui->GetStack().Holds(ui->m_pConfirmPanel.get()))
            return true;
        return Clicks(t, {Widget([ui]() -> CFerroxCanvas* { return ui->m_pConfirmPanel.get(); },
                                 Fixed(action.a == CONFIRM_YES ? CONFIRM_YES : CONFIRM_NO))});
    case RANDOM_HIRE:
        if (!ui)
            return true;
        return Clicks(
            t, {Widget(main, Fixed(MAIN_MANAGE)),
                Widget([ui]() -> CFerroxCanvas* { return ui->m_pManagementPanel.get(); }, Fixed(MANAGEMENT_STAFF)),
                Widget([ui]() -> CFerroxCanvas* { return ui->m_pStaffSummaryPanel.get(); }, Fixed(STAFF_HIRE)),
                Widget([ui]() -> CFerroxCanvas* { return ui->m_pStaffHirePanel.get(); },
                       [](CFerroxCanvas* canvas) {
                           auto* hire = dynamic_cast<CStaffHirePanel*>(canvas);
                           return hire ? static_cast<int>(hire->GetFirstButton()) : 0;
                       })});
    case RANDOM_ROUND_TRIP:
        return RoundTrip(t);
    case RANDOM_PLACE_DOOR: {
        const int pick = action.a;
        auto menus = [ui]() { return ui ? ui->m_pBuildMenu.get() : nullptr; };
        return Clicks(
            t, FromGround(t, {Widget(main, Fixed(MAIN_BUILD)),
                              Widget([menus]() -> CFerroxCanvas* { return menus() ? menus()->GetRoot() : nullptr; },
                                     [](CFerroxCanvas* canvas) { return AnyButton(canvas, kDoorPage); }),
                              Widget([menus]() -> CFerroxCanvas* { return menus() ? menus()->GetOpenNode() : nullptr; },
                                     [](CFerroxCanvas* canvas) { return AnyButton(canvas, 0); }),
                              Seen([pick](GxV3d* at) { return CellPoint(GroundStorey(), WallCell(pick), at); })}));
    }
    case RANDOM_SHOT:
        if (CFerroxCamera* camera = Game()->GetCamera())
            camera->SaveScreenshot((m_folder + "/shot-" + std::to_string(action.a) + ".bmp").c_str(),
                                   camera->GetWidth(), camera->GetHeight());
        std::fprintf(stderr, "random player: shot %d of the mall:\n%s", action.a, CMallRules::Print().c_str());
        if (const CStatistics* s =
                CDynamicObjectManager::Peek() ? CDynamicObjectManager::Peek()->GetStatistics() : nullptr)
            std::fprintf(stderr, "shoppers come %u, present %u\n", static_cast<unsigned>(s->m_shoppersCome),
                         static_cast<unsigned>(s->m_shoppersPresent));
        return true;
    case RANDOM_DEMOLISH_DOOR: {
        const int pick = action.a;
        return Clicks(t, FromGround(t, {Widget(main, Fixed(MAIN_DEMOLISH)), Seen([pick](GxV3d* at) {
                                            CDoorObject* door = DoorNumber(pick);
                                            return door && CellPoint(GroundStorey(), door->GetFirstCell(), at);
                                        })}));
    }
    case RANDOM_FLOOR_OVER_DOOR: {
        // From inside the room, across the door, to the street beyond its way in, a few cells wide.
        const int pick = action.a, tile = action.b;
        auto menus = [ui]() { return ui ? ui->m_pBuildMenu.get() : nullptr; };
        auto end = [pick, tile](bool start, GxV3d* at) {
            CDoorObject* door = DoorNumber(pick);
            CFerroxBlockMesh* ground = GroundStorey();
            if (!door || !ground || door->GetExtraEntranceCount() < 1)
                return false;
            const int in = door->GetEntranceCell(0), out = door->GetExtraEntranceCell(0);
            const int cell = start ? CellOn(ground, in, out, in, kDoorDragInward) : CellOn(ground, out, in, out, 1);
            return CellPoint(ground, cell + (start ? 0 : tile % kMostDragWidth), at);
        };
        return ClicksThenDrag(
            t,
            FromGround(t, {Widget(main, Fixed(MAIN_BUILD)),
                           Widget([menus]() -> CFerroxCanvas* { return menus() ? menus()->GetRoot() : nullptr; },
                                  [](CFerroxCanvas* canvas) { return AnyButton(canvas, 0); }),
                           Widget([menus]() -> CFerroxCanvas* { return menus() ? menus()->GetOpenNode() : nullptr; },
                                  [tile](CFerroxCanvas* canvas) { return AnyButton(canvas, tile); })}),
            Seen([end](GxV3d* at) { return end(true, at); }), Seen([end](GxV3d* at) { return end(false, at); }));
    }
    case RANDOM_DEMOLISH_FIGURE: {
        const int pick = action.a;
        return Clicks(t,
                      {Widget(main, Fixed(MAIN_DEMOLISH)), Seen([pick](GxV3d* at) { return FigurePoint(pick, at); })});
    }
    case RANDOM_CLEAR_COLUMN: {
        // A laid cell of the ground under laid floor upstairs (for an odd b under an opening there), cleared with
        // a few cells beside it.
        const int pick = action.a, span = action.b % (kMostDragWidth + 1);
        const bool opening = action.b % 2 != 0;
        auto cellOf = [pick, opening]() {
            CFerroxBlockMesh* ground = GroundStorey();
            std::vector<int> under;
            for (int cell = 0; ground && cell < ground->GetCellCount(); cell++) {
                CFerroxBlockMesh* up = ground->GetUpper();
                if (ground->IsAreaTiled(cell, 1, 1) && (!up || (up->IsAreaTiled(cell, 1, 1) != 0) != opening))
                    under.push_back(cell);
            }
            return under.empty() ? kNoCell : under[static_cast<size_t>(pick) % under.size()];
        };
        return ClicksThenDrag(t, FromGround(t, {Widget(main, Fixed(MAIN_DEMOLISH))}),
                              Seen([cellOf](GxV3d* at) { return CellPoint(GroundStorey(), cellOf(), at); }),
                              Seen([cellOf, span](GxV3d* at) {
                                  CFerroxBlockMesh* ground = GroundStorey();
                                  const int cell = cellOf();
                                  return ground &&
                                         CellPoint(ground,
                                                   ground->GetCellIndex(ground->GetCellColumn(cell, 1) + span,
                                                                        ground->GetCellRow(cell, 1) + span / 2, 1),
                                                   at);
                              }));
    }
    default:
        return true;
    }
}

// ---- the round trip ----

// Every modal canvas closed, the game paused, the mall saved, loaded back (it must be the same mall)
// and saved again: the second save keeps what a load keeps of the first (a load plans the figures' walks afresh,
// game/shell/savecheck.h). That save loaded in turn must save to its own bytes. Then the game runs again.
bool CRandomPlayer::RoundTrip(int t)
{
    if (t == 0)
        m_phase = kCloseModals, m_phaseFrames = 0, m_step = 0, m_stepFrames = 0;
    const int f = m_phaseFrames++;
    if (f > kPhaseBudget) {
        Broken("round trip: phase " + std::to_string(m_phase) + " did not end within " + std::to_string(kPhaseBudget) +
               " frames");
        return true;
    }
    bool next = false;
    switch (m_phase) {
    case kCloseModals:
        next = CloseModals(f);
        break;
    case kPause:
    case kResume:
        // Speed 0 while the files are written and read, then 1 again.
        if (f < 2)
            m_input.Key(m_phase == kPause ? '0' : '1', f == 0);
        next = f >= kTapFrames;
        break;
    case kSaveFirst:
        next = SaveAs(kFirstSave);
        if (next)
            m_print = CMallRules::Print(), m_loadedPath = m_savePath;
        break;
    case kLoadBack:
    case kLoadAgain:
        next = LoadBack(m_phase == kLoadBack ? kFirstSave : kSecondSave);
        if (next && m_rules.Checks("saves") && CMallRules::Print() != m_print)
            Broken("round trip: the loaded mall differs from the saved one: " +
                   FirstDifference(m_print, CMallRules::Print()));
        break;
    case kSaveSecond:
    case kSaveThird:
        next = SaveAs(m_phase == kSaveSecond ? kSecondSave : kThirdSave);
        if (next && m_rules.Checks("saves"))
            CompareSaves();
        if (next)
            m_loadedPath = m_savePath;
        break;
    default:
        next = true;
        break;
    }
    if (!next)
        return false;
    m_phase++, m_phaseFrames = 0;
    m_step = 0, m_stepFrames = 0;
    if (m_phase < kRoundTripDone)
        return false;
    m_roundTrips++;
    return true;
}

// The save just written against the one the mall was loaded from: it keeps what a load keeps. Lines a load plans
// afresh may differ, also between saves of a mall loaded from a save of a loaded mall.
void CRandomPlayer::CompareSaves()
{
    std::string loaded, saved;
    if (!FileBytes(m_loadedPath, &loaded) || !FileBytes(m_savePath, &saved)) {
        Broken("round trip: " + m_loadedPath + " or " + m_savePath + " cannot be read");
        return;
    }
    const std::string files = " (" + m_loadedPath + ", " + m_savePath + ")";
    CGame* game = Game();
    const std::string change = SavedGameChange(loaded, saved, game ? game->m_pFloorManager.get() : nullptr);
    if (!change.empty())
        Broken("round trip: saving the loaded mall changed what a load keeps, at " + change + files);
}

// The newest modal canvas closes with its own button, one at a time: No for a question, close for a file panel.
bool CRandomPlayer::CloseModals(int f)
{
    CInterface* ui = InterfaceGet();
    CFerroxCanvas* top = ui ? ui->GetStack().GetTopModal() : nullptr;
    const int t = f % (kClickFrames + kTapFrames);
    if (t == 0 && !top)
        return true;
    if (!top)
        return false;
    const int close = top == ui->m_pConfirmPanel.get() ? CONFIRM_NO : FILE_PANEL_CLOSE;
    Clicks(t, {Widget(Canvas(top), Fixed(close))});
    return false;
}

void CRandomPlayer::NextStep()
{
    m_step++;
    m_stepFrames = 0;
}

// The options panel's save, the name typed key by key, the save button, and yes should a question come; true
// once the file is there and no modal canvas is open.
bool CRandomPlayer::SaveAs(const std::string& name)
{
    CInterface* ui = InterfaceGet();
    auto* panel = dynamic_cast<CFerroxFileIOCanvas*>(ui ? ui->m_pSavePanel.get() : nullptr);
    if (!panel)
        return Broken("round trip: the interface has no save panel"), true;
    const int t = m_stepFrames++;
    switch (m_step) {
    case 0:
        if (Clicks(t, {Widget(Canvas(ui->m_pMainPanel.get()), Fixed(MAIN_OPTIONS)),
                       Widget(Canvas(ui->m_pOptionsPanel.get()), Fixed(OPTIONS_SAVE))}))
            NextStep();
        return false;
    case 1: {
        if (!ui->GetStack().Holds(panel))
            return false;
        const std::string text = panel->GetNameText();
        if (t % 2 == 1)
            return m_input.Key(m_key, false), false;
        if (text == name) {
            m_savePath = (std::filesystem::current_path() / (name + kSaveExtension)).string();  // the folder browsed
            std::remove(m_savePath.c_str());
            NextStep();
            return false;
        }
        if (t > kNameBudget)
            return Broken("round trip: typing did not reach the save panel's name field (it holds \"" + text + "\")"),
                   true;
        const bool prefix = name.compare(0, text.size(), text) == 0;
        m_key = prefix ? static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[text.size()]))) : VK_BACK;
        m_input.Key(m_key, true);
        return false;
    }
    case 2:
        if (Clicks(t, {Widget(Canvas(panel), Fixed(FILE_PANEL_ACT))}))
            NextStep();
        return false;
    default:
        if (ui->GetStack().Holds(ui->m_pConfirmPanel.get())) {
            Clicks(t % kClickFrames, {Widget(Canvas(ui->m_pConfirmPanel.get()), Fixed(CONFIRM_YES))});
            return false;
        }
        return std::ifstream(m_savePath).good() && !HasModal() && t > kSettleFrames;
    }
}

// The options panel's load, the save's row (paging on until it shows), the load button and yes; true once the
// level runs again with no modal canvas open.
bool CRandomPlayer::LoadBack(const std::string& name)
{
    CInterface* ui = InterfaceGet();
    auto* panel = dynamic_cast<CFerroxFileIOCanvas*>(ui ? ui->m_pLoadPanel.get() : nullptr);
    if (!panel)
        return Broken("round trip: the interface has no load panel"), true;
    const int t = m_stepFrames++;
    const std::u16string wanted(name.begin(), name.end());
    float x = 0.0f, y = 0.0f;
    switch (m_step) {
    case 0:
        if (Clicks(t, {Widget(Canvas(ui->m_pMainPanel.get()), Fixed(MAIN_OPTIONS)),
                       Widget(Canvas(ui->m_pOptionsPanel.get()), Fixed(OPTIONS_LOAD))}))
            NextStep();
        return false;
    case 1:
        if (!ui->GetStack().Holds(panel))
            return false;
        if (t % kClickFrames == 0 && m_input.RowCentre(panel, FILE_ENTRY_SAVE, wanted, &x, &y)) {
            NextStep();
            return false;
        }
        if (t >= kPagesTried * kClickFrames)
            return Broken("round trip: the load panel lists no save " + name), true;
        Clicks(t % kClickFrames, {Widget(Canvas(panel), Fixed(FILE_PANEL_PAGE_ON))});
        return false;
    case 2:
        if (Clicks(t, {[this, panel, wanted](float* px, float* py) {
                           return m_input.RowCentre(panel, FILE_ENTRY_SAVE, wanted, px, py);
                       },
                       Widget(Canvas(panel), Fixed(FILE_PANEL_ACT))}))
            NextStep();
        return false;
    case 3:
        if (t > kSettleFrames && !ui->GetStack().Holds(ui->m_pConfirmPanel.get()))
            return Broken("round trip: the load asked no question"), true;
        if (Clicks(t, {Widget(Canvas(ui->m_pConfirmPanel.get()), Fixed(CONFIRM_YES))}))
            NextStep();
        return false;
    default:
        return InLevel() && !HasModal() && t > kSettleFrames;
    }
}

// ---- ending ----

// Each action is written as it is made, so that a run that crashes leaves the list that led there; a broken
// rule writes the list again with what broke.
void CRandomPlayer::LogAction()
{
    const bool first = m_actions.size() == 1;
    std::ofstream list(m_folder + "/" + kActionFile, std::ios::binary | (first ? std::ios::trunc : std::ios::app));
    if (first)
        list << "# " << m_source << ", as far as it was played\n";
    list << RandomActionText(m_actions.back()) << "\n";
}

void CRandomPlayer::Broken(const std::string& what)
{
    if (m_done)
        return;
    const size_t at = std::min(m_action, m_actions.size() ? m_actions.size() - 1 : 0);
    std::fprintf(stderr, "random player: %s: action %zu (%s), frame %d: %s\n", m_source.c_str(), m_action,
                 m_actions.empty() ? "none" : RandomActionText(m_actions[at]).c_str(), m_frames, what.c_str());
    std::ofstream list(m_folder + "/" + kActionFile, std::ios::binary);
    list << "# " << m_source << ", broken at action " << m_action << ": " << what << "\n";
    for (size_t i = 0; i < m_actions.size() && i <= m_action; i++)
        list << RandomActionText(m_actions[i]) << "\n";
    list.flush();
    if (!list)
        std::fprintf(stderr, "random player: %s/%s was not written\n", m_folder.c_str(), kActionFile);
    CFerroxCamera* camera = Game() ? Game()->GetCamera() : nullptr;
    if (camera)
        camera->SaveScreenshot((m_folder + "/broken.bmp").c_str(), camera->GetWidth(), camera->GetHeight());
    End(1);
}

void CRandomPlayer::End(int code)
{
    m_done = true;
    m_result = code;
    if (code == 0)
        std::fprintf(stderr, "random player: %s: %d actions, %d frames, %d round trips, every rule held\n",
                     m_source.c_str(), m_count, m_frames, m_roundTrips);
    if (g_pFerroxApp)
        g_pFerroxApp->Quit();
}
