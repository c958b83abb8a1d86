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
#include "bench/mall_local.h"
#include "engine/data/random.h"
#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "engine/world/spline.h"
#include "game/figures/characters.h"
#include "game/figures/spawner.h"
#include "game/figures/staff.h"
#include "game/world/statistics.h"

namespace {

std::atomic<long long> g_liveAllocations{0};

void* CountedAllocation(std::size_t size) noexcept
{
    void* block = std::malloc(size ? size : 1);
    if (block)
        g_liveAllocations++;
    return block;
}

}  // namespace

// Every single-object form is replaced, so that none of them pairs with another allocator's release.
void* operator new(std::size_t size)
{
    void* block = CountedAllocation(size);
    if (!block)
        throw std::bad_alloc();
    return block;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }

void operator delete(void* block) noexcept
{
    if (!block)
        return;
    g_liveAllocations--;
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

void operator delete(void* block, const std::nothrow_t&) noexcept { operator delete(block); }

namespace {

constexpr int kStoreys = 3;
constexpr int kShops = 60;
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

// The mall of one run: tiled storeys, shops on the ground, spawn paths ending inside, and its people.
struct Mall : BenchMall {
    CGame* game = nullptr;
    CSpawner* spawner = nullptr;

    bool Open()
    {
        FerroxSrand(kSeed);
        RegisterBuildingClasses();
        RegisterCharacterClasses();
        RegisterStaffClasses();
        game = CGame::Instance(nullptr);
        UseCleaningTechnology();
        if (!LoadData())
            return false;
        manager->GetStatistics()->m_categories.assign(kTechCategories, 0);
        return BuildStoreys(kStoreys) && Furnish(kShops, 0);
    }
    void NewLevel() override
    {
        BenchMall::NewLevel();
        spawner = new CSpawner();
        spawner->LoadSettings(floors, nullptr);
        const int ends[kSpawnPoints] = {Cell(6, 6), Cell(6, 33), Cell(33, 6), Cell(33, 33)};
        for (int i = 0; i < kSpawnPoints; i++) {
            const GxV3d end = PointOf(Ground(), ends[i]);
            const GxV3d points[4] = {
                {end.x, end.y, end.z + 6.0f}, {end.x, end.y, end.z + 4.0f}, {end.x, end.y, end.z + 2.0f}, end};
            auto spline = std::make_unique<CFerroxSpline>();
            const std::string name = "spawn_1_" + std::to_string(i);
            spline->Create(points, 4, name.c_str());
            spawner->AddSpawnPoint(std::make_unique<CSpawnPoint>(name, Ground(), std::move(spline)));
        }
    }
    // The spawner goes after the objects and before the storeys its paths stand on.
    void Close() override
    {
        CloseObjects();
        delete spawner;
        spawner = nullptr;
        CloseFloors();
    }
    ~Mall() override
    {
        if (floors)
            Close();
        CDynamicObjectManager::DestroyInstance();
        CGame::DestroyInstance(nullptr);
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
        mall.SaveAndLoad("bench_soak.fds");
    }
    state.counters["characters"] = static_cast<double>(mall.Characters());
}

void BM_SaveAndLoadEmptyBaseline(benchmark::State& state) { SaveAndLoad(state, false); }
BENCHMARK(BM_SaveAndLoadEmptyBaseline)->Unit(benchmark::kMillisecond);

void BM_SaveAndLoadPeopled(benchmark::State& state) { SaveAndLoad(state, true); }
BENCHMARK(BM_SaveAndLoadPeopled)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchRunInGameRoot(argc, argv, "mallsoak_bench"); }
