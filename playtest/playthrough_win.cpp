// The play-through's winning form: a real mall built to a plan scaled by the starting funds (a room of floor, a
// door in its wall, shops and facilities on its floor with a way before every front, staff), then the scenario
// played to its end.
#include "playtest/playthrough.h"

#include "main/shell.h"
#include "playtest/ending.h"
#include "playtest/viewpoint.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "engine/application/base.h"
#include "engine/application/mouse.h"
#include "engine/data/utf.h"
#include "engine/navigation/blockmesh.h"
#include "game/buildings/building.h"
#include "game/buildings/placement.h"
#include "game/shell/game.h"
#include "game/world/floors.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "ui/game/ingame.h"
#include "ui/game/management.h"
#include "ui/game/panels.h"
#include "ui/game/popups.h"
#include "ui/toolkit/node.h"

namespace {

// One line of the plan: build page, item on it, how many, and the least starting funds that build it.
struct BuildOrder {
    int16_t category;
    int32_t item;
    int count;
    uint32_t fromFunds;
};

// The build menu's pages and the two sizes of a shop.
constexpr int16_t kFloorPage = 0;
constexpr int16_t kFashion = 1, kElectric = 2, kLeisure = 3, kHome = 4, kHealth = 5, kFood = 6;
constexpr int16_t kCash = 7, kToilet = 8, kSeats = 9, kPhone = 10;
constexpr int16_t kDoorPage = 13;
constexpr int32_t kSmall = 0, kLarge = 1;
// The mall a new player builds first, whatever the scenario's funds: a small shop of each kind, a cash machine,
// toilets, seats and a phone, then, from the first scenario's funds, the large shops with more toilets and seats.
// Each step stays within about four fifths of the funds that reach it. Every scenario is won by it in the days a
// new player takes, and its few buildings keep the scripted game short.
constexpr uint32_t kAnyFunds = 0, kFirstFunds = 100000, kMoreFunds = 120000, kMostFunds = 150000;
const BuildOrder kPlan[] = {
    {kDoorPage, 0, 1, kAnyFunds},     {kFashion, kSmall, 1, kAnyFunds}, {kElectric, kSmall, 1, kAnyFunds},
    {kLeisure, kSmall, 1, kAnyFunds}, {kHome, kSmall, 1, kAnyFunds},    {kHealth, kSmall, 1, kAnyFunds},
    {kFood, kSmall, 1, kAnyFunds},    {kCash, 0, 1, kAnyFunds},         {kToilet, 0, 1, kAnyFunds},
    {kSeats, 0, 1, kAnyFunds},        {kPhone, 0, 1, kAnyFunds},        {kFashion, kLarge, 1, kFirstFunds},
    {kFood, kLarge, 1, kFirstFunds},  {kToilet, 0, 1, kFirstFunds},     {kSeats, 0, 1, kFirstFunds},
};
// The trades hired, as rows of the hire page, with the least starting funds that hire them: a cleaner in every
// mall, and with richer funds more cleaners, a gardener and a guard.
constexpr int kCleaner = HIRE_CLEANER, kGardener = HIRE_GARDENER, kEngineer = HIRE_ENGINEER, kGuard = HIRE_SECURITY;
struct HireOrder {
    int row;
    uint32_t fromFunds;
};
const HireOrder kHires[] = {{kCleaner, kAnyFunds},  {kEngineer, kFirstFunds}, {kGardener, kMoreFunds},
                            {kCleaner, kMoreFunds}, {kGuard, kMostFunds},     {kCleaner, kMostFunds}};

std::vector<BuildOrder> g_plan;
std::vector<int> g_hires;

uint32_t StartingFunds();

// The plan for the scenario's starting funds: the orders and hires whose funds it reaches.
void MakePlan()
{
    g_plan.clear();
    g_hires.clear();
    for (const BuildOrder& order : kPlan)
        if (order.fromFunds <= StartingFunds())
            g_plan.push_back(order);
    for (const HireOrder& hire : kHires)
        if (hire.fromFunds <= StartingFunds())
            g_hires.push_back(hire.row);
}

// The room: the largest square of bare ground about the middle of the view, at most this many cells a side, at
// least the least that holds the plan with ways between.
constexpr int kMostRoomSide = 18;
constexpr int kLeastRoomSide = 14;
// Where the room's middle is looked for, in the 800 x 600 screen: the middle of the view above the main bar.
constexpr float kRoomMiddleX = 400.0f;
constexpr float kRoomMiddleY = 400.0f;
// A pick this far from the pointer (pixels) does not tell which way the camera's right vector points.
constexpr float kPickSlack = 4.0f;
// Frames at a spot, the input of each reaching the game in the frame after it is sent: the pointer goes there
// (twice: the first move after a warp is its echo), a frame lets the pick and the held object follow, press,
// release, and the frame after tells whether the object stands.
constexpr int kSpotFrames = 6;
constexpr int kMoveSteps = 2;
constexpr int kPressStep = 3;
// Frames of the floor's drag: the press, the pointer carried over this many frames, the release.
constexpr int kDragSteps = 6;
constexpr int kSettleFrames = 4;
constexpr int kClickFrames = CPlayInput::kClickFrames;
// Hiring one member: clicks through the management button, its staff page and the hire page, then the spots of
// the room's middle tried for the member to stand on.
constexpr int kHireClicks = 4;
constexpr int kStaffSpots = 12;
constexpr int kHireFrames = kHireClicks * kClickFrames + kStaffSpots * kSpotFrames;
// The build menu is reached from any page in a few clicks: back, the root's page, the item.
constexpr int kMostMenuClicks = 6;
// The 3 key sets the top speed: down, up, and the frames until the speed is looked at.
constexpr int kKeyFrames = 4;
// Game frames run between two drawn ones while the mall plays itself: 20 s of play at speed 3 a drawn frame.
constexpr int kUndrawnFrames = 400;
// London's first scenario is won in about twenty game days; twice that means its balance or the mall went wrong.
// A scenario chosen to be measured is given a game year.
constexpr uint16_t kMostDays = 40;
constexpr uint16_t kMostChosenDays = 360;

constexpr int16_t kWinMessage = 0;
// The message is drawn in white letters across the middle of the sequence's picture: a line of them lights a
// few hundred pixels of this band (in the 800 x 600 screen, scaled to the one the game runs on).
constexpr float kMessageTop = 255.0f;
constexpr float kMessageBottom = 305.0f;
constexpr float kMessageLeft = 100.0f;
constexpr float kMessageRight = 700.0f;
constexpr int kWhite = 0xE0;
constexpr float kLeastLettering = 200.0f;
const char* const kCityNames[] = {"London", "Paris", "Berlin"};

CGame* Game() { return g_pGame; }

CFerroxBlockMesh* Ground()
{
    CFloorManager* floors = Game()->GetFloorManager();
    return floors && !floors->GetBaseFloors().empty() ? floors->GetBaseFloors().front().get() : nullptr;
}

int HeldMode()
{
    CPlacementController* placement = Game()->GetPlacementController();
    return placement ? placement->GetMode() : PLACEMENT_IDLE;
}

uint32_t StartingFunds()
{
    return CDynamicObjectManager::PeekStatistics() ? CDynamicObjectManager::PeekStatistics()->m_startingFunds : 0;
}

size_t StaffCount()
{
    return CDynamicObjectManager::PeekStatistics() ? CDynamicObjectManager::PeekStatistics()->GetStaff().size() : 0;
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
    for (const BuildOrder& order : g_plan)
        count += static_cast<size_t>(order.count);
    return count;
}

// The cells of the square of `side` cells whose middle is the cell; empty when it leaves the grid.
std::vector<int> Square(CFerroxBlockMesh* ground, int middle, int side, int* first, int* last)
{
    const int row = ground->GetCellRow(middle, 1) - side / 2, column = ground->GetCellColumn(middle, 1) - side / 2;
    std::vector<int> cells;
    for (int r = row; r < row + side; r++) {
        for (int c = column; c < column + side; c++) {
            const int cell = ground->GetCellIndex(c, r, 0);
            if (cell == kNoCell)
                return {};
            cells.push_back(cell);
        }
    }
    *first = ground->GetCellIndex(column, row, 0);
    *last = ground->GetCellIndex(column + side - 1, row + side - 1, 0);
    return cells;
}

// The room's cells, the ones along its walls first and the middle last, so that buildings stand round a space
// the shoppers walk through.
std::vector<int> SpotsOfRoom(CFerroxBlockMesh* ground, int first, int last)
{
    const int r0 = ground->GetCellRow(first, 1), r1 = ground->GetCellRow(last, 1);
    const int c0 = ground->GetCellColumn(first, 1), c1 = ground->GetCellColumn(last, 1);
    std::vector<std::pair<int, int>> ranked;
    for (int r = r0; r <= r1; r++) {
        for (int c = c0; c <= c1; c++) {
            const int ring = std::min(std::min(r - r0, r1 - r), std::min(c - c0, c1 - c));
            ranked.push_back({ring, ground->GetCellIndex(c, r, 1)});
        }
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const std::pair<int, int>& a, const std::pair<int, int>& b) { return a.first < b.first; });
    std::vector<int> spots;
    for (const auto& entry : ranked)
        spots.push_back(entry.second);
    return spots;
}

// The cells just outside the room's outline, where its walls stand, one wall after another along it, so that a
// door that cannot go on one cell goes on the next of the same wall.
std::vector<int> WallCells(CFerroxBlockMesh* ground, int first, int last)
{
    const int r0 = ground->GetCellRow(first, 1) - 1, r1 = ground->GetCellRow(last, 1) + 1;
    const int c0 = ground->GetCellColumn(first, 1) - 1, c1 = ground->GetCellColumn(last, 1) + 1;
    std::vector<int> cells;
    for (int c : {c0, c1})
        for (int r = r0 + 1; r < r1; r++)
            cells.push_back(ground->GetCellIndex(c, r, 1));
    for (int r : {r0, r1})
        for (int c = c0 + 1; c < c1; c++)
            cells.push_back(ground->GetCellIndex(c, r, 1));
    return cells;
}

// The pages from the root down to the first page of the category, root first; empty when there is none.
std::vector<CFerroxCanvasNode*> PathToPage(CFerroxCanvasNode* page, int16_t category)
{
    if (!page)
        return {};
    if (page->GetNodeId() == category)
        return {page};
    for (size_t i = 0; CFerroxCanvasNode* child = page->GetChild(i); i++) {
        std::vector<CFerroxCanvasNode*> path = PathToPage(child, category);
        if (!path.empty()) {
            path.insert(path.begin(), page);
            return path;
        }
    }
    return {};
}

// The widget of the page that opens the child, or 0.
int ChildButton(CFerroxCanvasNode* page, CFerroxCanvasNode* child)
{
    for (size_t i = 0; CFerroxCanvasNode* each = page->GetChild(i); i++)
        if (each == child)
            return static_cast<int>(i) + 1;
    return 0;
}

}  // namespace

bool CPlayThrough::PickBuildItem(int16_t category, int32_t item)
{
    CInterface* ui = InterfaceGet();
    CFerroxCanvasNodeManager* menus = ui ? ui->m_pBuildMenu.get() : nullptr;
    if (!menus) {
        Fail("the interface has no build menus");
        return false;
    }
    void* canvas = nullptr;
    int widget = 0;
    if (m_menuFrame == 0) {
        // Each click aims from the page open now: the item's own page, a page on the way to it, or back.
        const std::vector<CFerroxCanvasNode*> path = PathToPage(menus->GetRoot(), category);
        CFerroxCanvasNode* open = menus->GetOpenNode();
        const auto on = std::find(path.begin(), path.end(), open);
        m_menuItem = false;
        if (path.empty()) {
            Fail("the build menu has no page of the plan's item");
            return false;
        } else if (!open) {
            canvas = ui->m_pMainPanel.get(), widget = MAIN_BUILD;
        } else if (open == path.back()) {
            canvas = open, widget = item + 1;
            m_menuItem = true;
        } else if (on != path.end()) {
            canvas = open, widget = ChildButton(open, *(on + 1));
        } else {
            canvas = open, widget = open->GetWidgetCount() - 1;
        }
        if (++m_menuClicks > kMostMenuClicks) {
            Fail("the build menu does not lead to the plan's item");
            return false;
        }
    }
    float x = 0.0f, y = 0.0f;
    if (!m_input.WidgetCentre(canvas, widget, &x, &y)) {
        Fail("the build menu's button is not on the screen");
        return false;
    }
    if (!m_input.Click(m_menuFrame++, x, y))
        return false;
    m_menuFrame = 0;
    if (!m_menuItem)
        return false;
    m_menuClicks = 0;
    return true;
}

// A player leaves a way to every front: the held object covers none of the ways kept so far, and the two cells
// out from its entrance are bare floor. Those two become ways too once it stands.
bool CPlayThrough::KeepsWays(std::vector<int>* ways)
{
    ways->clear();
    CPlacementController* placement = Game()->GetPlacementController();
    CBaseObject* held = placement ? placement->GetHeldObject() : nullptr;
    CFerroxBlockMesh* ground = Ground();
    if (!held || !ground)
        return false;
    const int first = held->GetFirstCell(), step = ground->GetColumns();
    std::vector<int> covered;
    for (int r = 0; r < held->GetRows(); r++)
        for (int c = 0; c < held->GetColumns(); c++)
            covered.push_back(first + r * step + c);
    for (int cell : covered)
        if (std::find(m_ways.begin(), m_ways.end(), cell) != m_ways.end())
            return false;
    auto* pathable = dynamic_cast<CPathableObject*>(held);
    const int entrance = pathable ? pathable->GetEntranceCell(0) : kNoCell;
    if (entrance == kNoCell || !ground->IsValidCell(entrance, 0))
        return true;
    const int row = ground->GetCellRow(entrance, 1), column = ground->GetCellColumn(entrance, 1);
    for (int cell : covered) {
        const int dr = row - ground->GetCellRow(cell, 1), dc = column - ground->GetCellColumn(cell, 1);
        if (std::abs(dr) + std::abs(dc) != 1)
            continue;
        const int out = ground->GetCellIndex(column + dc, row + dr, 1);
        if (out == kNoCell || !ground->IsValidCell(out, 0) || !ground->IsAreaTiled(out, 1, 1) ||
            !ground->IsAreaEmpty(out, 1, 1, 0))
            return false;
        *ways = {entrance, out};
        return WaysMeet(covered, *ways);
    }
    return WaysMeet(covered, {});
}

// Whether every way kept, and the new ones, still meet over the room's bare floor with the cells `blocked` taken.
bool CPlayThrough::WaysMeet(const std::vector<int>& blocked, const std::vector<int>& added)
{
    CFerroxBlockMesh* ground = Ground();
    std::vector<int> wanted = m_ways;
    wanted.insert(wanted.end(), added.begin(), added.end());
    if (!ground || wanted.empty())
        return true;
    auto listed = [](const std::vector<int>& list, int cell) {
        return std::find(list.begin(), list.end(), cell) != list.end();
    };
    const int r0 = ground->GetCellRow(m_roomFirst, 1), r1 = ground->GetCellRow(m_roomLast, 1);
    const int c0 = ground->GetCellColumn(m_roomFirst, 1), c1 = ground->GetCellColumn(m_roomLast, 1);
    std::vector<int> reached = {wanted.front()};
    for (size_t next = 0; next < reached.size(); next++) {
        const int row = ground->GetCellRow(reached[next], 1), column = ground->GetCellColumn(reached[next], 1);
        const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
        for (const auto& step : steps) {
            const int r = row + step[0], c = column + step[1];
            if (r < r0 || r > r1 || c < c0 || c > c1)
                continue;
            const int cell = ground->GetCellIndex(c, r, 1);
            if (cell == kNoCell || listed(reached, cell) || listed(blocked, cell))
                continue;
            if (listed(wanted, cell) || (ground->IsAreaTiled(cell, 1, 1) && ground->IsAreaEmpty(cell, 1, 1, 0)))
                reached.push_back(cell);
        }
    }
    for (int cell : wanted)
        if (!listed(reached, cell))
            return false;
    return true;
}

// The held object covers the cell under the pointer: a spot on a building or a kept way is refused whatever the
// object, so it is passed over without a frame.
bool CPlayThrough::OpenSpot(int cell)
{
    CFerroxBlockMesh* ground = Ground();
    return ground && ground->IsAreaEmpty(cell, 1, 1, 0) &&
           std::find(m_ways.begin(), m_ways.end(), cell) == m_ways.end();
}

bool CPlayThrough::CellOnScreen(int cell, float* x, float* y)
{
    CFerroxBlockMesh* ground = Ground();
    if (!ground || !ground->IsValidCell(cell, 1))
        return false;
    const GxV3d at = {static_cast<float>(ground->GetCellWorldX(cell, 1)), ground->GetOrigin().y,
                      static_cast<float>(ground->GetCellWorldZ(cell, 1))};
    return ViewPoint(at, m_mirror == 1, x, y);
}

void CPlayThrough::LearnView()
{
    CGame* game = Game();
    CFloorManager* floors = game->GetFloorManager();
    CFerroxBlockMesh* ground = Ground();
    if (!floors || !ground)
        return Fail("the level has no ground storey");
    const float x = ScreenX(kRoomMiddleX), y = ScreenY(kRoomMiddleY);
    if (m_frame <= kMoveSteps)
        m_input.Move(x, y);
    if (m_frame < kMoveSteps + kSettleFrames)
        return;
    for (int mirror : {0, 1}) {
        float px = 0.0f, py = 0.0f;
        if (ViewPoint(game->GetPickPoint(), mirror == 1, &px, &py) && std::fabs(px - x) < kPickSlack &&
            std::fabs(py - y) < kPickSlack)
            m_mirror = mirror;
    }
    if (m_mirror < 0)
        return Fail("the point picked under the pointer is seen elsewhere");
    const int middle = floors->GetPickedCell();
    for (int side = kMostRoomSide; side >= kLeastRoomSide; side--) {
        int first = kNoCell, last = kNoCell;
        const std::vector<int> cells = Square(ground, middle, side, &first, &last);
        bool fits = !cells.empty();
        for (int cell : cells)
            fits = fits && ground->IsValidCell(cell, 0) && !ground->IsAreaTiled(cell, 1, 1) &&
                   !ground->GetBlock(cell)->m_pOccupant;
        // The walls round it are in the view too, where the door goes.
        for (int cell : fits ? WallCells(ground, first, last) : std::vector<int>()) {
            float sx = 0.0f, sy = 0.0f;
            fits = fits && CellOnScreen(cell, &sx, &sy);
        }
        if (!fits)
            continue;
        m_roomFirst = first;
        m_roomLast = last;
        std::fprintf(stderr, "play-through: a room of %d x %d cells\n", side, side);
        return Next(kLayFloor);
    }
    Fail("the view has no bare square of ground for the mall");
}

void CPlayThrough::LayFloor()
{
    CFerroxBlockMesh* ground = Ground();
    float fx = 0.0f, fy = 0.0f, lx = 0.0f, ly = 0.0f;
    if (!CellOnScreen(m_roomFirst, &fx, &fy) || !CellOnScreen(m_roomLast, &lx, &ly))
        return Fail("a corner of the room is off the view");
    if (!m_holding) {
        // The build menu's first floor tile, clicked.
        if (!PickBuildItem(kFloorPage, 0))
            return;
        if (HeldMode() != PLACEMENT_LAY)
            return Fail("the build menu's floor tile is not held");
        m_holding = true;
        m_frame = 0;
        return;
    }
    // The pointer to the first corner, the press, the pointer carried to the last corner (twice there, so that
    // the last move is not taken for an echo), the release.
    const int t = m_frame - 1 - kMoveSteps - kSettleFrames;
    if (t < 0) {
        if (m_frame <= kMoveSteps)
            m_input.Move(fx, fy);
        return;
    }
    if (t == 0) {
        m_input.Button(MOUSEEVENTF_LEFTDOWN);
    } else if (t <= kDragSteps + 1) {
        const float k = static_cast<float>(std::min(t, kDragSteps)) / kDragSteps;
        m_input.Move(fx + (lx - fx) * k, fy + (ly - fy) * k);
    } else if (t == kDragSteps + 3) {
        m_input.Button(MOUSEEVENTF_LEFTUP);
    } else if (t == kDragSteps + 3 + kSettleFrames) {
        if (!ground->IsAreaTiled(m_roomFirst, 1, 1) || !ground->IsAreaTiled(m_roomLast, 1, 1))
            return Fail("the drag laid no floor over the room");
        m_order = 0;
        m_holding = false;
        // The short form's one shop goes on that floor.
        Next(m_playToWin ? kBuild : kPlaceShop);
    }
}

void CPlayThrough::Build()
{
    if (m_order == 0 && !m_holding && m_frame <= 1)
        MakePlan();
    if (m_order >= g_plan.size())
        return Next(kHire);
    const BuildOrder& order = g_plan[m_order];
    if (!m_holding) {
        // The item, clicked in the build menu.
        if (!PickBuildItem(order.category, order.item))
            return;
        if (HeldMode() != PLACEMENT_OBJECT)
            return Fail("the build menu's item is not held");
        // A door goes into the room's wall, everything else onto its floor.
        m_spots = order.category == kDoorPage ? WallCells(Ground(), m_roomFirst, m_roomLast)
                                              : SpotsOfRoom(Ground(), m_roomFirst, m_roomLast);
        m_spot = 0;
        m_holding = true;
        m_frame = 0;
        return;
    }
    const int step = (m_frame - 1) % kSpotFrames;
    float x = 0.0f, y = 0.0f;
    if (step == 0) {
        while (m_spot < static_cast<int>(m_spots.size()) &&
               (!CellOnScreen(m_spots[static_cast<size_t>(m_spot)], &x, &y) ||
                (order.category != kDoorPage && !OpenSpot(m_spots[static_cast<size_t>(m_spot)]))))
            m_spot++;
        if (m_spot >= static_cast<int>(m_spots.size()))
            return Fail("the room has no free spot for the plan");
        m_standing = StandingObjects();
        m_newWays.clear();
        m_input.Move(x, y);
    } else if (step < kMoveSteps) {
        CellOnScreen(m_spots[static_cast<size_t>(m_spot)], &x, &y);
        m_input.Move(x, y);
    } else if (step == kPressStep) {
        // A spot under an open page or panel is passed over, as a press there is the interface's and would put
        // the item down.
        const FerroxMousePosition* pointer = FerroxGameMouse() ? FerroxGameMouse()->GetPosition() : nullptr;
        if ((pointer && pointer->overInterface) || (order.category != kDoorPage && !KeepsWays(&m_newWays))) {
            // Not here: the next spot is tried from the pointer's move.
            m_spot++;
            m_frame = 0;
            return;
        }
        m_input.Button(MOUSEEVENTF_LEFTDOWN);
    } else if (step == kPressStep + 1) {
        m_input.Button(MOUSEEVENTF_LEFTUP);
    } else if (step == kSpotFrames - 1) {
        // A spot taken or refused, the next one is tried; the placed object's twin follows the pointer.
        if (StandingObjects() > m_standing) {
            m_built++;
            m_ways.insert(m_ways.end(), m_newWays.begin(), m_newWays.end());
        }
        m_spot++;
        if (m_built >= order.count) {
            m_built = 0;
            m_holding = false;
            m_order++;
            m_frame = 0;
        }
    }
}

void CPlayThrough::Hire()
{
    CInterface* ui = InterfaceGet();
    if (!ui)
        return Fail("there is no interface");
    float x = 0.0f, y = 0.0f;
    if (m_frame <= kClickFrames) {
        // A click on the main bar's background lets go of the last item first.
        m_hired = static_cast<int>(StaffCount());
        if (!m_input.WidgetCentre(ui->m_pMainPanel.get(), 0, &x, &y))
            return Fail("the main bar has no background");
        m_input.Click(m_frame - 1, x, y);
        return;
    }
    const int hired = static_cast<int>(StaffCount()) - m_hired;
    if (hired >= static_cast<int>(g_hires.size()))
        return Next(kOpenMall);
    if (m_frame > kClickFrames + static_cast<int>(g_hires.size()) * kHireFrames)
        return Fail("the staff were not hired and put down in the room");
    // Each member: the management button, its staff page, the hire page's button of the kind, then spots of the
    // room's middle until one takes the member, who follows the pointer.
    const int round = (m_frame - kClickFrames - 1) % kHireFrames;
    const int click = round / kClickFrames;
    const int press = round % kClickFrames;
    if (click < kHireClicks) {
        bool found = false;
        if (click == 0)
            found = m_input.WidgetCentre(ui->m_pMainPanel.get(), MAIN_MANAGE, &x, &y);
        else if (click == 1)
            found = m_input.WidgetCentre(ui->m_pManagementPanel.get(), MANAGEMENT_STAFF, &x, &y);
        else if (click == 2)
            found = m_input.WidgetCentre(ui->m_pStaffSummaryPanel.get(), STAFF_HIRE, &x, &y);
        else if (auto* hire = dynamic_cast<CStaffHirePanel*>(ui->m_pStaffHirePanel.get()))
            found = m_input.WidgetCentre(hire, hire->GetFirstButton() + g_hires[static_cast<size_t>(hired)], &x, &y);
        if (!found)
            return Fail("the staff panels have no button to hire with");
        m_input.Click(press, x, y);
        return;
    }
    const int t = round - kHireClicks * kClickFrames;
    const std::vector<int> spots = SpotsOfRoom(Ground(), m_roomFirst, m_roomLast);
    const size_t spot = spots.size() - 1 - static_cast<size_t>(t / kSpotFrames);
    if (t % kSpotFrames < kMoveSteps && CellOnScreen(spots[spot], &x, &y))
        m_input.Move(x, y);
    else if (t % kSpotFrames == kPressStep)
        m_input.Button(MOUSEEVENTF_LEFTDOWN);
    else if (t % kSpotFrames == kPressStep + 1)
        m_input.Button(MOUSEEVENTF_LEFTUP);
}

void CPlayThrough::OpenMall()
{
    CGame* game = Game();
    if (m_frame == 1) {
        if (HeldMode() != PLACEMENT_IDLE)
            return Fail("the building did not end");
        if (StandingObjects() != PlannedObjects())
            return Fail("the mall does not stand as planned");
        if (!Screenshot("mall.bmp"))
            return Fail("mall.bmp was not written");
    }
    if (m_frame <= 2)
        m_input.Key('3', m_frame == 1);
    if (m_frame < kKeyFrames)
        return;
    if (game->GetSpeed() != 3.0f)
        return Fail("the 3 key did not set the top speed");
    NoteSounds();
    Next(kRunToEnd);
}

void CPlayThrough::NoteSounds()
{
    m_winStarts = EndingSoundStarts(kGameWinSample);
    m_loseStarts = EndingSoundStarts(kGameLoseSample);
}

void CPlayThrough::RunToEnd()
{
    CGame* game = Game();
    for (int i = 0; i < kUndrawnFrames && !game->IsGameOver(); i++) {
        NoteSounds();
        UndrawnFrame();
    }
    if (game->IsGameOver())
        return;
    if (game->GetDayCounter() > (m_chosen ? kMostChosenDays : kMostDays)) {
        std::fprintf(stderr, "play-through: %s's scenario %d not ended after %u game days\n", kCityNames[m_city - 1],
                     m_scenario, static_cast<unsigned>(game->GetDayCounter()));
        return Fail("the scenario was not won in time");
    }
    // The application's own frame follows.
    NoteSounds();
}

// Right after the frame that ended the game: what it started of the two sounds, and the days it took.
void CPlayThrough::Ended()
{
    CGame* game = Game();
    m_endWinStarts = EndingSoundStarts(kGameWinSample) - m_winStarts;
    m_endLoseStarts = EndingSoundStarts(kGameLoseSample) - m_loseStarts;
    const CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    std::fprintf(stderr, "play-through: %s's scenario %d ended after %u game days, with %u shoppers come\n",
                 kCityNames[m_city - 1], m_scenario, static_cast<unsigned>(game->GetDayCounter()),
                 statistics ? static_cast<unsigned>(statistics->m_shoppersCome) : 0u);
    Next(kEnded);
}

// The end-game sequence, drawn for a while: the win's text, in the player's language, on the screen and its
// sound.
void CPlayThrough::CheckEnded()
{
    const EndingShown ending = EndingRead();
    if (!ending.shown)
        return Fail("the end-game sequence is not shown");
    // Won or lost, and why, in the player's language: a script measuring the scenarios reads it.
    std::fprintf(stderr, "play-through: %s's scenario %d %s after %u game days: %s\n", kCityNames[m_city - 1],
                 m_scenario, ending.message == kWinMessage ? "won" : "lost",
                 static_cast<unsigned>(Game()->GetDayCounter()), FerroxUtf16ToUtf8(ending.text).c_str());
    if (ending.message != kWinMessage || ending.text.empty())
        return Fail("the end-game sequence does not congratulate the player");
    if (m_endWinStarts != 1 || m_endLoseStarts != 0)
        return Fail("the end of the game did not play the win's effect alone");
    const float scale = ScreenX(1.0f) * ScreenY(1.0f);
    const int lit =
        BrightPixels(static_cast<int>(ScreenX(kMessageLeft)), static_cast<int>(ScreenY(kMessageTop)),
                     static_cast<int>(ScreenX(kMessageRight)), static_cast<int>(ScreenY(kMessageBottom)), kWhite);
    if (static_cast<float>(lit) < kLeastLettering * scale)
        return Fail("the end-game message is not drawn");
    if (!Screenshot("won.bmp"))
        return Fail("won.bmp was not written");
}
