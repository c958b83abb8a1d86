// The mall's rules read from the game's state; see playtest/randomplayer_rules.h.
//
// Sections: reading the mall; buildings; balance; modal canvases; levels of detail; the check and print.
#include "playtest/randomplayer_rules.h"

#include <algorithm>
#include <sstream>

#include "engine/application/base.h"
#include "engine/application/mouse.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/composite.h"
#include "engine/world/object.h"
#include "game/buildings/door.h"
#include "game/buildings/placement.h"
#include "game/buildings/shop.h"
#include "game/buildings/stairs.h"
#include "game/figures/aichar.h"
#include "game/figures/shopper.h"
#include "game/figures/spawner.h"
#include "game/shell/game.h"
#include "game/world/floors.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "gfx/world/lod.h"
#include "playtest/playinput.h"
#include "playtest/viewpoint.h"
#include "ui/game/ingame.h"

namespace {

// ---- reading the mall ----

CGame* Game() { return g_pGame; }

// Every storey, the ground ones first, each followed by those above it.
std::vector<CFerroxBlockMesh*> Storeys()
{
    std::vector<CFerroxBlockMesh*> storeys;
    CFloorManager* floors = Game() ? Game()->GetFloorManager() : nullptr;
    if (!floors)
        return storeys;
    for (const auto& base : floors->GetBaseFloors())
        for (CFerroxBlockMesh* storey = base.get(); storey; storey = storey->GetUpper())
            storeys.push_back(storey);
    return storeys;
}

int IndexOf(const std::vector<CFerroxBlockMesh*>& storeys, const void* storey)
{
    const auto found = std::find(storeys.begin(), storeys.end(), storey);
    return found == storeys.end() ? -1 : static_cast<int>(found - storeys.begin());
}

bool Laid(CFerroxBlockMesh* storey, int cell) { return storey->IsAreaTiled(cell, 1, 1) != 0; }

// The rectangle of a floor drag under way on the current storey; none without one.
CMallRules::Drag ReadDrag(const CPlacementController* placement)
{
    CMallRules::Drag drag;
    CFloorManager* floors = Game() ? Game()->GetFloorManager() : nullptr;
    CFerroxBlockMesh* storey = floors ? floors->GetCurrentFloor() : nullptr;
    if (!placement || !storey || placement->GetMode() != PLACEMENT_LAY)
        return drag;
    const int start = placement->GetDragStart(), end = placement->GetDragEnd();
    if (!storey->IsValidCell(start, 0) || !storey->IsValidCell(end, 0))
        return drag;
    const std::vector<CFerroxBlockMesh*> storeys = Storeys();
    drag.storey = IndexOf(storeys, storey);
    for (CFerroxBlockMesh* up = storey; up; up = up->GetUpper())
        drag.storeys++;
    drag.row0 = std::min(storey->GetCellRow(start, 0), storey->GetCellRow(end, 0));
    drag.row1 = std::max(storey->GetCellRow(start, 0), storey->GetCellRow(end, 0));
    drag.column0 = std::min(storey->GetCellColumn(start, 0), storey->GetCellColumn(end, 0));
    drag.column1 = std::max(storey->GetCellColumn(start, 0), storey->GetCellColumn(end, 0));
    return drag;
}

// The placed buildings of every storey, each once (stairs stand in two storeys' lists); no wall pieces.
std::vector<CBaseObject*> Buildings()
{
    std::vector<CBaseObject*> buildings;
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    if (!objects)
        return buildings;
    std::set<CBaseObject*> seen;
    for (const auto& floor : objects->GetFloors()) {
        if (!floor)
            continue;
        for (const ObjectList* list : {&floor->shops, &floor->doors, &floor->stairs, &floor->scenery, &floor->usable}) {
            for (CFerroxObject* object : *list) {
                auto* building = dynamic_cast<CBaseObject*>(object);
                if (building && building->IsPlaced() && seen.insert(building).second)
                    buildings.push_back(building);
            }
        }
    }
    return buildings;
}

// The cells a building's area covers on its own storey, row by row.
std::vector<int> Covered(CBaseObject* building)
{
    std::vector<int> cells;
    CFerroxBlockGrid* floor = building->GetFloor();
    if (!floor)
        return cells;
    const int step = floor->GetColumns();
    for (int r = 0; r < building->GetRows(); r++)
        for (int c = 0; c < building->GetColumns(); c++)
            cells.push_back(building->GetFirstCell() + r * step + c);
    return cells;
}

std::string Name(CBaseObject* building)
{
    const char* model = building->GetModelName();
    return model ? model : "a building";
}

std::string At(int storey, int cell) { return "cell " + std::to_string(cell) + " of storey " + std::to_string(storey); }

}  // namespace

// ---- buildings ----

// Every building covers cells of its storey's grid, and no cell holds two buildings (stairs hold their cells on
// the storey above too): a cell's record names one object.
std::string CMallRules::CheckBuildings() const
{
    const std::vector<CFerroxBlockMesh*> storeys = Storeys();
    std::map<std::pair<int, int>, CBaseObject*> owners;
    for (CBaseObject* building : Buildings()) {
        auto* storey = dynamic_cast<CFerroxBlockMesh*>(building->GetFloor());
        const int index = IndexOf(storeys, storey);
        if (index < 0)
            return Name(building) + " stands on no storey of the mall";
        const std::vector<int> cells = Covered(building);
        if (cells.empty())
            return Name(building) + " covers no cell of storey " + std::to_string(index);
        for (int cell : cells)
            if (!storey->IsValidCell(cell, 0))
                return Name(building) + " stands outside the mall's grid at " + At(index, cell);
        std::vector<std::pair<int, int>> held;
        for (int cell : cells)
            held.push_back({index, cell});
        auto* stairs = dynamic_cast<CStairs*>(building);
        const int upper = stairs ? IndexOf(storeys, stairs->GetUpperFloor()) : -1;
        for (int cell : upper >= 0 ? cells : std::vector<int>())
            held.push_back({upper, cell});
        for (const auto& place : held) {
            CBaseObject*& owner = owners[place];
            if (owner && owner != building)
                return Name(owner) + " and " + Name(building) + " share " + At(place.first, place.second);
            owner = building;
        }
    }
    return std::string();
}

// ---- balance ----

// Each account moves only one way and only for what books it: a placed building the cost shown while it was held,
// laid floor a tile a cell of the rectangle shown (FloorLaid), a game day the wages of staff there were, the
// charges of shops there were, contracts, interest and bonuses; a bought contract (a click) its price. The
// starting funds never change.
std::string CMallRules::CheckBalance(const Frame& now) const
{
    const Figures& a = m_last.figures;
    const Figures& b = now.figures;
    if (b.funds != a.funds)
        return "the starting funds went from " + std::to_string(a.funds) + " to " + std::to_string(b.funds);
    const struct {
        const char* name;
        uint32_t before, after;
        bool booked;
    } accounts[] = {
        {"charges received", a.charges, b.charges, now.day != m_last.day && m_last.shops > 0},
        {"rent", a.rent, b.rent, now.day != m_last.day && m_last.shops > 0},
        {"wages", a.wages, b.wages, now.day != m_last.day && m_last.staff > 0},
        {"contract expenses", a.contracts, b.contracts, now.day != m_last.day || m_pressed},
        {"interest", a.interest, b.interest, now.day != m_last.day},
        {"bonuses", a.bonuses, b.bonuses, now.day != m_last.day},
        {"building costs", a.building, b.building, true},
    };
    for (const auto& account : accounts) {
        if (account.after < account.before)
            return "the " + std::string(account.name) + " went down from " + std::to_string(account.before) + " to " +
                   std::to_string(account.after);
        if (account.after > account.before && !account.booked)
            return "the " + std::string(account.name) + " rose by " + std::to_string(account.after - account.before) +
                   " with nothing that books them";
    }
    // A placed building costs what was shown for it while it was held.
    int64_t placed = 0;
    for (const auto& building : now.buildings)
        if (!m_last.buildings.count(building.first))
            placed += building.second == m_last.heldTemplate ? m_last.heldValue : 0;
    const int64_t rise = static_cast<int64_t>(b.building) - a.building;
    if (rise == placed || FloorLaid(now, rise - placed))
        return std::string();
    return "the building costs rose by " + std::to_string(rise) + " while buildings shown at " +
           std::to_string(placed) + " were placed and no floor of " + std::to_string(m_last.drag.Cells()) +
           " tiles a storey was laid for the rest";
}

// A floor drag ends when the game's left button comes up: the player's release, or a panel's button that the
// held pointer comes over. The rectangle shown the frame before is then laid on its storey, at a tile a cell, and
// may be copied to storeys above it at the same price each.
bool CMallRules::FloorLaid(const Frame& now, int64_t charged) const
{
    const Drag& drag = m_last.drag;
    const int64_t cells = drag.Cells();
    if (!m_last.leftDown || now.leftDown || cells <= 0 || charged <= 0 || charged % cells != 0 ||
        charged / cells > drag.storeys)
        return false;
    const std::vector<CFerroxBlockMesh*> storeys = Storeys();
    if (drag.storey >= static_cast<int>(storeys.size()))
        return false;
    CFerroxBlockMesh* storey = storeys[static_cast<size_t>(drag.storey)];
    const int stride = storey->GetRows();
    for (int row = drag.row0; row <= drag.row1; row++)
        for (int column = drag.column0; column <= drag.column1; column++)
            if (!Laid(storey, row * stride + column))
                return false;
    return true;
}

// ---- modal canvases ----

// While the same modal canvas stays on top and no left button is pressed, nothing reaches the mall: no building
// comes or goes (shops close for debt at a day's end all the same), no floor is laid or cleared, no member of
// staff comes or goes and nothing is paid for building. A left press does reach it: off every canvas as on an
// open mall, and on a canvas as a press on the interface, which puts down what the hand holds.
std::string CMallRules::CheckModal(const Frame& now) const
{
    if (!m_last.modal || !now.modal || now.topModal != m_last.topModal || now.modalCount != m_last.modalCount ||
        m_pressed)
        return std::string();
    for (const auto& building : now.buildings)
        if (!m_last.buildings.count(building.first))
            return "a building was placed under a modal canvas";
    if (now.day == m_last.day)
        for (const auto& building : m_last.buildings)
            if (!now.buildings.count(building.first))
                return "a building was removed under a modal canvas";
    if (now.laid != m_last.laid)
        return "floor was laid or cleared under a modal canvas";
    if (now.staff != m_last.staff)
        return "the staff changed under a modal canvas";
    if (now.figures.building != m_last.figures.building)
        return "building was paid for under a modal canvas";
    return std::string();
}

// ---- levels of detail ----

// Every object of the mall drawn inside the view has the geometry its level of detail picks.
std::string CMallRules::CheckLevelsOfDetail() const
{
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    if (!objects)
        return std::string();
    std::vector<const ObjectList*> lists = {&objects->GetShoppers(), &objects->GetCriminals(), &objects->GetCleaners(),
                                            &objects->GetSecurity(), &objects->GetMaintenance()};
    for (const auto& floor : objects->GetFloors())
        if (floor)
            lists.insert(lists.end(), {&floor->scalable, &floor->shops, &floor->doors, &floor->stairs, &floor->scenery,
                                       &floor->usable});
    for (const ObjectList* list : lists) {
        for (CFerroxObject* object : *list) {
            CFerroxComposite* model = object ? object->GetModel() : nullptr;
            const GxV3d* at = object ? object->GetPosition() : nullptr;
            float u = 0.0f, v = 0.0f;
            if (!model || !model->GetWorld() || !at || !ViewFraction(*at, false, &u, &v) || u < 0.0f || u > 1.0f ||
                v < 0.0f || v > 1.0f)
                continue;
            auto* building = dynamic_cast<CBaseObject*>(object);
            const std::string name = building ? Name(building) : std::string("a figure");
            GxAtomic* atomic = model->GetLODAtomic();
            if (!atomic) {
                // Without levels the clump's own atomics are drawn: at least one has a geometry.
                bool drawn = false;
                GxClumpForAllAtomics(
                    model->GetClump(),
                    [](GxAtomic* part, void* found) -> GxAtomic* {
                        *static_cast<bool*>(found) = *static_cast<bool*>(found) || part->geometry;
                        return part;
                    },
                    &drawn);
                if (!drawn)
                    return name + " in the view has no geometry to draw";
                continue;
            }
            const GxLODAtomicRecord* record = GxLODAtomicGetRecord(atomic);
            const int level = std::min(CFerroxComposite::LODSelect(atomic), gxLODATOMICMAXLEVELS - 1);
            if (record && level >= 0 && !record->geometry[level])
                return name + " in the view has no geometry at level " + std::to_string(level) + " of its " +
                       std::to_string(model->GetLevelCount());
        }
    }
    return std::string();
}

// ---- the check and print ----

bool CMallRules::Skip(const std::string& names, std::string* unknown)
{
    const std::string known = std::string(",") + kRuleNames + ",";
    std::istringstream list(names);
    std::string name;
    while (std::getline(list, name, ',')) {
        if (name.empty())
            continue;
        if (known.find("," + name + ",") == std::string::npos) {
            *unknown = name;
            return false;
        }
        m_skipped.insert(name);
    }
    return true;
}

CMallRules::Frame CMallRules::Read(int leaves) const
{
    Frame frame;
    frame.leaves = leaves;
    frame.world = Game() ? Game()->GetWorld() : nullptr;
    frame.day = Game() ? Game()->GetDayCounter() : 0;
    CPlacementController* placement = Game() ? Game()->GetPlacementController() : nullptr;
    frame.drag = ReadDrag(placement);
    CFerroxMouse* mouse = FerroxGameMouse();
    frame.leftDown = mouse && mouse->GetPosition()->left == FERROX_BUTTON_DOWN;
    if (CBaseObject* held = placement ? placement->GetHeldObject() : nullptr) {
        frame.heldValue = placement->GetShownValue();
        frame.heldTemplate = held->GetAssetSet();
    }
    for (CBaseObject* building : Buildings()) {
        frame.buildings[building] = building->GetAssetSet();
        frame.shops += dynamic_cast<CShop*>(building) != nullptr;
    }
    for (CFerroxBlockMesh* storey : Storeys()) {
        std::string laid(static_cast<size_t>(std::max(0, storey->GetCellCount())), '0');
        for (size_t cell = 0; cell < laid.size(); cell++)
            laid[cell] = Laid(storey, static_cast<int>(cell)) ? '1' : '0';
        frame.laid.push_back(laid);
    }
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    frame.staff = objects ? objects->GetStaffCount() : 0;
    if (const CStatistics* s = objects ? objects->GetStatistics() : nullptr)
        frame.figures = {s->m_startingFunds, s->m_chargesReceived, s->m_yearlyBonuses,    s->m_rentExpense,
                         s->m_staffWages,    s->m_buildingCosts,   s->m_contractExpenses, s->m_interest};
    CInterface* ui = InterfaceGet();
    frame.modal = ui && ui->GetStack().HasModal();
    frame.topModal = ui ? ui->GetStack().GetTopModal() : nullptr;
    frame.modalCount = ui ? ui->GetStack().GetModalCount() : 0;
    return frame;
}

std::string CMallRules::Check(int leaves)
{
    const Frame now = Read(leaves);
    const bool comparable = m_known && now.world == m_last.world && now.leaves == m_last.leaves;
    std::string broken;
    if (Checks("buildings") && (broken = CheckBuildings()).size())
        broken = "buildings: " + broken;
    else if (comparable && Checks("balance") && (broken = CheckBalance(now)).size())
        broken = "balance: " + broken;
    else if (comparable && Checks("modal") && (broken = CheckModal(now)).size())
        broken = "modal: " + broken;
    else if (Checks("lod") && (broken = CheckLevelsOfDetail()).size())
        broken = "lod: " + broken;
    m_last = now;
    m_known = true;
    m_pressed = m_held;
    return broken;
}

std::string CMallRules::Print()
{
    std::ostringstream print;
    const std::vector<CFerroxBlockMesh*> storeys = Storeys();
    for (CFerroxBlockMesh* storey : storeys) {
        print << "storey";
        for (int cell = 0; cell < storey->GetCellCount(); cell++)
            if (Laid(storey, cell))
                print << " " << cell;
        print << "\n";
    }
    std::vector<std::string> buildings;
    for (CBaseObject* building : Buildings())
        buildings.push_back(Name(building) + " on storey " + std::to_string(IndexOf(storeys, building->GetFloor())) +
                            " from cell " + std::to_string(building->GetFirstCell()) + ", " +
                            std::to_string(building->GetRows()) + " x " + std::to_string(building->GetColumns()));
    std::sort(buildings.begin(), buildings.end());
    for (const std::string& building : buildings)
        print << building << "\n";
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    print << "staff " << (objects ? objects->GetStaffCount() : 0) << "\n";

    if (const CStatistics* s = objects ? objects->GetStatistics() : nullptr)
        print << "accounts " << s->m_startingFunds << " " << s->m_chargesReceived << " " << s->m_yearlyBonuses << " "
              << s->m_rentExpense << " " << s->m_staffWages << " " << s->m_buildingCosts << " " << s->m_contractExpenses
              << " " << s->m_interest << "\n";
    print << "day " << (Game() ? Game()->GetDayCounter() : 0) << "\n";
    return print.str();
}
