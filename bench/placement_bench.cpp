// Build mode on the authored data: the wall scans over all five storeys of a 40 x 40 mall and over one storey
// against a bare pass of the same neighbour tests; one update of a dragged box against the pick alone; and
// saving and loading "<MAP>" and "<OBJECTS>" of a mall with 60 shops and 100 other objects against copying the
// same file line by line. Targets: 50 ms, 10 ms, 0.2 ms and 100 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "bench/gameroot_local.h"
#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/clumpext.h"
#include "game/buildings/buildings.h"
#include "game/buildings/floors.h"
#include "game/buildings/placement.h"
#include "game/shell/game.h"
#include "game/world/factories.h"
#include "game/world/objectmgr.h"
#include "gfx/anim/anim.h"
#include "gfx/core/spline.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/d3d9/skinpipe.h"
#include "gfx/fx/fx.h"
#include "gfx/fx/particles.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

namespace {

constexpr int kSide = 40;
constexpr int kCell = 2;
constexpr int kStoreys = 5;
constexpr int kShops = 60;
constexpr int kOthers = 100;
// Shops stand every fourth cell; scenery in the rows between.
constexpr int kPitch = 4;
constexpr int kScans = 10;

int Cell(int row, int column) { return row * kSide + column; }

GxV3d PointOf(CFerroxBlockMesh* storey, int cell)
{
    return {static_cast<float>(storey->GetCellWorldX(cell, 1)), storey->GetOrigin().y,
            static_cast<float>(storey->GetCellWorldZ(cell, 1))};
}

// The mall of one run: five tiled storeys, optionally with shops and scenery on the ground.
struct Mall {
    CFerroxTagTree data;
    CDynamicObjectManager* manager = nullptr;
    CFloorManager* floors = nullptr;
    CPlacementController* controller = nullptr;

    bool Open()
    {
        RegisterBuildingClasses();
        CGame::Instance(nullptr);
        manager = CDynamicObjectManager::Instance();
        if (!data.Load("./data.xml"))
            return false;
        if (manager->GetCategories().empty())
            manager->LoadObjectData(&data);
        NewLevel();
        CFerroxBlockMesh* ground = Ground();
        controller->SetFloorArea(ground, Cell(1, 1), Cell(kSide - 2, kSide - 2), nullptr, 1, 0);
        while (floors->GetBuiltFloors() < kStoreys)
            floors->AddFloor();
        floors->GoToFloor(0, nullptr);
        controller->BuildWalls(nullptr, 1, nullptr);
        return floors->GetBuiltFloors() == kStoreys;
    }
    void NewLevel()
    {
        floors = new CFloorManager();
        floors->Create(&data);
        floors->AddBaseFloor(kSide, kSide, {1.0f, 0.0f, -1.0f}, kCell, 1);
        controller = new CPlacementController();
        controller->Create(floors, nullptr);
        floors->SetHooks(controller->FloorHooks());
    }
    // Objects go before the storeys they stand on.
    void Close()
    {
        delete controller;
        manager->Reset();
        delete floors;
        controller = nullptr;
        floors = nullptr;
    }
    ~Mall()
    {
        if (floors)
            Close();
    }
    CFerroxBlockMesh* Ground() const { return floors->FindBaseFloor(1); }
    bool Place(const char* category, const char* factory, int cell)
    {
        controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, manager->FindTemplate(category, 0),
                            manager->FindFactory(factory, nullptr));
        const GxV3d at = PointOf(Ground(), cell);
        controller->Update(at);
        const int result = controller->PlaceHeldObject(at, nullptr, 1);
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        return result == 0;
    }
    bool Furnish()
    {
        int shops = 0;
        int others = 0;
        for (int i = 3; i + 1 < kSide - 1; i += kPitch) {
            for (int j = 3; j + 1 < kSide - 1; j += kPitch) {
                if (shops < kShops && Place("SHOP_FASHION", kShopFactoryName, Cell(i, j)))
                    shops++;
                for (int k : {Cell(i + 2, j), Cell(i + 2, j + 2)}) {
                    if (others < kOthers && Place("SCEN_PLANTS", kSceneryObjectFactoryName, k))
                        others++;
                }
            }
        }
        controller->RemoveWalls(nullptr, 1, nullptr);
        controller->BuildWalls(nullptr, 1, nullptr);
        return shops == kShops && others == kOthers;
    }
};

void BM_ScanCellsBaseline(benchmark::State& state)
{
    Mall mall;
    if (!mall.Open()) {
        state.SkipWithError("no game data");
        return;
    }
    const int storeys = static_cast<int>(state.range(0));
    for (auto _ : state) {
        int passing = 0;
        for (int s = 0; s < storeys; s++) {
            CFerroxBlockMesh* storey = mall.Ground()->GetLinked(s);
            for (int scan = 0; scan < kScans; scan++) {
                const int step = scan % 2 == 0 ? kSide : 1;
                for (int cell = 0; cell + step < kSide * kSide; cell++)
                    passing += storey->IsAreaTiled(cell, 1, 1) != storey->IsAreaTiled(cell + step, 1, 1);
            }
        }
        benchmark::DoNotOptimize(passing);
    }
}
BENCHMARK(BM_ScanCellsBaseline)->Arg(1)->Arg(kStoreys)->Unit(benchmark::kMillisecond);

void BM_BuildWalls(benchmark::State& state)
{
    Mall mall;
    if (!mall.Open()) {
        state.SkipWithError("no game data");
        return;
    }
    const bool all = state.range(0) == kStoreys;
    for (auto _ : state) {
        state.PauseTiming();
        mall.controller->RemoveWalls(nullptr, 1, nullptr);
        state.ResumeTiming();
        mall.controller->BuildWalls(nullptr, all ? 1 : 0, all ? nullptr : mall.Ground());
    }
    state.counters["pieces"] = static_cast<double>(mall.controller->GetPieces().size());
}
BENCHMARK(BM_BuildWalls)->Arg(1)->Arg(kStoreys)->Unit(benchmark::kMillisecond);

void BM_PickBaseline(benchmark::State& state)
{
    Mall mall;
    if (!mall.Open()) {
        state.SkipWithError("no game data");
        return;
    }
    const GxV3d ends[2] = {PointOf(mall.Ground(), Cell(20, 25)), PointOf(mall.Ground(), Cell(30, 12))};
    int i = 0;
    for (auto _ : state)
        mall.floors->UpdatePick(ends[i++ & 1]);
}
BENCHMARK(BM_PickBaseline)->Unit(benchmark::kMicrosecond);

void BM_DragBoxUpdate(benchmark::State& state)
{
    Mall mall;
    if (!mall.Open()) {
        state.SkipWithError("no game data");
        return;
    }
    mall.controller->SetMode(PLACEMENT_LAY, nullptr, 0, nullptr, nullptr);
    mall.controller->Update(PointOf(mall.Ground(), Cell(5, 5)));
    mall.controller->BeginDrag(PointOf(mall.Ground(), Cell(5, 5)));
    const GxV3d ends[2] = {PointOf(mall.Ground(), Cell(20, 25)), PointOf(mall.Ground(), Cell(30, 12))};
    int i = 0;
    for (auto _ : state)
        mall.controller->Update(ends[i++ & 1]);
    mall.controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
}
BENCHMARK(BM_DragBoxUpdate)->Unit(benchmark::kMicrosecond);

void BM_CopyLinesBaseline(benchmark::State& state)
{
    Mall mall;
    if (!mall.Open() || !mall.Furnish()) {
        state.SkipWithError("the mall was not built");
        return;
    }
    {
        CFerroxFile file;
        file.Open("bench_source.fds", 0);
        mall.floors->Save(&file);
        mall.controller->SaveObjects(&file, nullptr);
        file.Close();
    }
    for (auto _ : state) {
        CFerroxFile in;
        CFerroxFile out;
        in.Open("bench_source.fds", 1);
        out.Open("bench_copy.fds", 0);
        std::string line;
        while (!in.IsEof())
            out.WriteLine(in.ReadLine(line) + "\r\n");
        in.Close();
        out.Close();
    }
}
BENCHMARK(BM_CopyLinesBaseline)->Unit(benchmark::kMillisecond);

void BM_SaveAndLoadMall(benchmark::State& state)
{
    Mall mall;
    if (!mall.Open() || !mall.Furnish()) {
        state.SkipWithError("the mall was not built");
        return;
    }
    for (auto _ : state) {
        CFerroxFile file;
        file.Open("bench_mall.fds", 0);
        mall.floors->Save(&file);
        mall.controller->SaveObjects(&file, nullptr);
        file.Close();
        mall.Close();
        mall.NewLevel();
        CFerroxTagFile saved;
        saved.Open("bench_mall.fds", 1);
        mall.floors->Load(&saved);
        mall.controller->LoadObjects(&saved, nullptr);
        saved.Close();
    }
    size_t count = 0;
    for (const std::unique_ptr<CFloorObjects>& record : mall.manager->GetFloors())
        count += record->shops.size() + record->scenery.size();
    state.counters["objects"] = static_cast<double>(count);
}
BENCHMARK(BM_SaveAndLoadMall)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchRunInGameRoot(argc, argv, "placement_bench"); }
