// A running mall: three tiled 40 x 40 storeys with 60 shops, its staff and the spawner's waves, updated at
// speed 3 in 0.05 s frames for 10 game minutes with 300 shoppers, 30 criminals and 40 staff, against the same
// mall without characters; the mean update with 2,000 shoppers; and saving and loading the peopled mall.
// Each run reports the mean and worst update, the live allocations and resident size before and after.
// Targets: mean under 2 ms, worst under 16 ms, allocations flat; save and load under 200 ms.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>

#include "bench/gameroot_local.h"
#include "engine/data/file.h"
#include "engine/data/random.h"
#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "engine/navigation/blockmesh.h"
#include "engine/navigation/spline.h"
#include "engine/world/clumpext.h"
#include "game/buildings/buildings.h"
#include "game/buildings/floors.h"
#include "game/buildings/placement.h"
#include "game/figures/characters.h"
#include "game/figures/spawner.h"
#include "game/figures/staff.h"
#include "game/shell/game.h"
#include "game/shell/statistics.h"
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

std::atomic<long long> g_liveAllocations{0};

}  // namespace

void* operator new(std::size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    g_liveAllocations++;
    return block;
}

void operator delete(void* block) noexcept
{
    if (!block)
        return;
    g_liveAllocations--;
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

namespace {

constexpr int kSide = 40;
constexpr int kCell = 2;
constexpr int kStoreys = 3;
constexpr int kShops = 60;
constexpr int kPitch = 4;
constexpr float kFrame = 0.05f;
constexpr float kSpeed = 3.0f;
constexpr float kSoakSeconds = 600.0f;
constexpr float kCrowdSeconds = 60.0f;
constexpr int kShoppers = 300;
constexpr int kCriminals = 30;
constexpr int kStaffEach = 13;  // cleaners, guards and engineers: 39, and one more cleaner
constexpr int kCrowd = 2000;
constexpr unsigned kSeed = 1207;
constexpr int kSpawnPoints = 4;

const char* const kShopperCategories[] = {"SHOPPER_ADULT", "SHOPPER_YOUTH", "SHOPPER_SENIOR"};

double ResidentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

int Cell(int row, int column) { return row * kSide + column; }

GxV3d PointOf(CFerroxBlockMesh* storey, int cell)
{
    return {static_cast<float>(storey->GetCellWorldX(cell, 1)), storey->GetOrigin().y,
            static_cast<float>(storey->GetCellWorldZ(cell, 1))};
}

// The mall of one run: tiled storeys, shops on the ground, spawn paths ending inside, and its people.
struct Mall {
    CFerroxTagTree data;
    CGame* game = nullptr;
    CDynamicObjectManager* manager = nullptr;
    CFloorManager* floors = nullptr;
    CPlacementController* controller = nullptr;
    CSpawner* spawner = nullptr;

    bool Open()
    {
        FerroxSrand(kSeed);
        RegisterBuildingClasses();
        RegisterCharacterClasses();
        RegisterStaffClasses();
        game = CGame::Instance(nullptr);
        if (!game->m_pTechTree) {
            game->m_pTechTree = std::make_unique<CFerroxTechTree>();
            CFerroxTagTree technologies;
            const std::string text = "<TECHNOLOGIES>\n<cleaning>\n<a>\n1000\n3\n</a>\n</cleaning>\n</TECHNOLOGIES>\n";
            technologies.LoadFromMemory(text.data(), text.size());
            game->m_pTechTree->LoadTechnologies(&technologies, nullptr);
        }
        manager = CDynamicObjectManager::Instance();
        if (!data.Load("./data.xml"))
            return false;
        if (manager->GetCategories().empty())
            manager->LoadObjectData(&data);
        manager->GetStatistics()->m_categories.assign(4, 0);
        NewLevel();
        CFerroxBlockMesh* ground = Ground();
        controller->SetFloorArea(ground, Cell(1, 1), Cell(kSide - 2, kSide - 2), nullptr, 1, 0);
        while (floors->GetBuiltFloors() < kStoreys)
            floors->AddFloor();
        floors->GoToFloor(0, nullptr);
        controller->BuildWalls(nullptr, 1, nullptr);
        return floors->GetBuiltFloors() == kStoreys && Furnish();
    }
    void NewLevel()
    {
        floors = new CFloorManager();
        floors->Create(&data);
        floors->AddBaseFloor(kSide, kSide, {1.0f, 0.0f, -1.0f}, kCell, 1);
        controller = new CPlacementController();
        controller->Create(floors, nullptr);
        floors->SetHooks(controller->FloorHooks());
        spawner = new CSpawner();
        spawner->LoadSettings(floors, nullptr);
        const int ends[kSpawnPoints] = {Cell(6, 6), Cell(6, 33), Cell(33, 6), Cell(33, 33)};
        for (int i = 0; i < kSpawnPoints; i++) {
            const GxV3d end = PointOf(Ground(), ends[i]);
            const GxV3d points[4] = {
                {end.x, end.y, end.z + 6.0f}, {end.x, end.y, end.z + 4.0f}, {end.x, end.y, end.z + 2.0f}, end};
            auto* spline = new CFerroxSpline();
            const std::string name = "spawn_1_" + std::to_string(i);
            spline->Create(points, 4, name.c_str());
            spawner->AddSpawnPoint(std::make_unique<CSpawnPoint>(name, Ground(), spline));
        }
    }
    void Close()
    {
        delete controller;
        manager->Reset();
        delete spawner;
        delete floors;
        controller = nullptr;
        spawner = nullptr;
        floors = nullptr;
    }
    ~Mall()
    {
        if (floors)
            Close();
        CDynamicObjectManager::DestroyInstance();
        CGame::DestroyInstance(nullptr);
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
        for (int i = 3; i + 1 < kSide - 1; i += kPitch)
            for (int j = 3; j + 1 < kSide - 1; j += kPitch)
                if (shops < kShops && Place("SHOP_FASHION", kShopFactoryName, Cell(i, j)))
                    shops++;
        return shops == kShops;
    }
    bool Hire(const char* category, const char* factory, int cell)
    {
        spawner->BeginStaffHire(manager->FindTemplate(category, 0), manager->FindFactory(factory, nullptr));
        floors->UpdatePick(PointOf(Ground(), cell));
        spawner->PlaceStaff();
        if (!spawner->GetStaffMember())
            return true;
        spawner->DropStaffPlacement();
        return false;
    }
    // The people: shoppers and criminals from the spawn paths, staff along the free rows between shops.
    int Populate(int shoppers, int criminals, int staffEach)
    {
        int made = 0;
        for (int i = 0; i < shoppers; i++)
            made += spawner->SpawnShopper(kShopperCategories[i % 3], 0, kSpawnFloorId) ? 1 : 0;
        for (int i = 0; i < criminals; i++)
            made += spawner->SpawnCriminal() ? 1 : 0;
        const char* const trades[][2] = {{"CLEANING", kCleanerFactoryName},
                                         {"SECURITY", kSecurityFactoryName},
                                         {"ENGINEER", kMaintenanceFactoryName}};
        int slot = 0;
        for (int i = 0; i < staffEach * 3 + (staffEach ? 1 : 0); i++) {
            const int row = 1 + kPitch * (1 + slot % 9);
            const int column = 2 + (slot / 9) * 3;
            slot++;
            made += Hire(trades[i % 3][0], trades[i % 3][1], Cell(row, column)) ? 1 : 0;
        }
        return made;
    }
    size_t Characters() const
    {
        return manager->GetShoppers().size() + manager->GetCriminals().size() + manager->GetCleaners().size() +
               manager->GetSecurity().size() + manager->GetMaintenance().size();
    }
    // Runs the frames; the mean and worst update in milliseconds.
    void Run(float seconds, bool waves, double* mean, double* worst)
    {
        const int frames = static_cast<int>(seconds / (kFrame * kSpeed));
        double total = 0.0;
        *worst = 0.0;
        for (int frame = 0; frame < frames; frame++) {
            const auto start = std::chrono::steady_clock::now();
            manager->Update(kFrame * kSpeed);
            if (waves)
                spawner->Update(kFrame * kSpeed);
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
            total += took.count();
            *worst = took.count() > *worst ? took.count() : *worst;
        }
        *mean = frames > 0 ? total / frames : 0.0;
    }
};

// Without people the waves stay off too: the baseline is the mall's own objects.
void Soak(benchmark::State& state, int shoppers, int criminals, int staffEach, float seconds)
{
    Mall mall;
    if (!mall.Open()) {
        state.SkipWithError("the mall was not built");
        return;
    }
    const int made = mall.Populate(shoppers, criminals, staffEach);
    const bool waves = made > 0;
    for (auto _ : state) {
        // The first game minute settles the paths; memory is compared after it.
        double mean = 0.0;
        double worst = 0.0;
        mall.Run(kCrowdSeconds < seconds ? kCrowdSeconds : seconds, waves, &mean, &worst);
        const long long allocationsBefore = g_liveAllocations.load();
        const double residentBefore = ResidentMegabytes();
        const size_t charactersBefore = mall.Characters();
        mall.Run(seconds, waves, &mean, &worst);
        state.counters["made"] = made;
        state.counters["chars_before"] = static_cast<double>(charactersBefore);
        state.counters["chars_after"] = static_cast<double>(mall.Characters());
        state.counters["mean_ms"] = mean;
        state.counters["worst_ms"] = worst;
        state.counters["allocs_delta"] = static_cast<double>(g_liveAllocations.load() - allocationsBefore);
        state.counters["rss_before_mb"] = residentBefore;
        state.counters["rss_after_mb"] = ResidentMegabytes();
    }
}

void BM_EmptyMallBaseline(benchmark::State& state) { Soak(state, 0, 0, 0, kSoakSeconds); }
BENCHMARK(BM_EmptyMallBaseline)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PeopledMall(benchmark::State& state) { Soak(state, kShoppers, kCriminals, kStaffEach, kSoakSeconds); }
BENCHMARK(BM_PeopledMall)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CrowdedMall(benchmark::State& state) { Soak(state, kCrowd, 0, 0, kCrowdSeconds); }
BENCHMARK(BM_CrowdedMall)->Iterations(1)->Unit(benchmark::kMillisecond);

void SaveMall(Mall& mall, const char* path)
{
    CFerroxFile file;
    file.Open(path, 0);
    mall.floors->Save(&file);
    mall.controller->SaveObjects(&file, nullptr);
    file.Close();
}

void SaveAndLoad(benchmark::State& state, bool people)
{
    Mall mall;
    if (!mall.Open()) {
        state.SkipWithError("the mall was not built");
        return;
    }
    if (people) {
        mall.Populate(kShoppers, kCriminals, kStaffEach);
        double mean = 0.0;
        double worst = 0.0;
        mall.Run(kCrowdSeconds, true, &mean, &worst);
    }
    for (auto _ : state) {
        SaveMall(mall, "bench_soak.fds");
        mall.Close();
        mall.NewLevel();
        CFerroxTagFile saved;
        saved.Open("bench_soak.fds", 1);
        mall.floors->Load(&saved);
        mall.controller->LoadObjects(&saved, nullptr);
        saved.Close();
    }
    state.counters["characters"] = static_cast<double>(mall.Characters());
}

void BM_SaveAndLoadEmptyBaseline(benchmark::State& state) { SaveAndLoad(state, false); }
BENCHMARK(BM_SaveAndLoadEmptyBaseline)->Unit(benchmark::kMillisecond);

void BM_SaveAndLoadPeopled(benchmark::State& state) { SaveAndLoad(state, true); }
BENCHMARK(BM_SaveAndLoadPeopled)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchRunInGameRoot(argc, argv, "mallsoak_bench"); }
