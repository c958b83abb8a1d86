// Loading a saved game into a fresh level as the load panel does (the whole file checked, the level torn down
// and built again, every section read): a save the size of a real one (three storeys, 60 shops, 300 shoppers)
// against files crafted to make the load work for nothing: 20,000 shoppers of which the game keeps 300, and
// 50,000 shops on one cell of which one stands. Each reports the file's size, the objects kept and the load's
// result. Target: no load of a real save, nor of any file under 4 MiB, above one second.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "bench/gameroot_local.h"
#include "bench/mall_local.h"
#include "engine/data/techtree.h"
#include "engine/world/spline.h"
#include "game/buildings/objectsreader.h"
#include "game/figures/characters.h"
#include "game/figures/spawner.h"
#include "game/figures/staff.h"
#include "game/shell/savegame.h"
#include "game/world/statistics.h"

namespace {

constexpr int kStoreys = 3;
constexpr int kShops = 60;
constexpr int kShoppers = 300;
constexpr int kCrowd = 20000;
constexpr int kDuplicateShops = 50000;
constexpr float kSettleSeconds = 0.05f;

const char* const kShopperCategories[] = {"SHOPPER_ADULT", "SHOPPER_YOUTH", "SHOPPER_SENIOR"};

// The mall of one run: tiled storeys, a spawn path ending inside, shops and shoppers as asked.
struct Mall : BenchMall, CGameSaveParts {
    CGame* game = nullptr;
    CSpawner* spawner = nullptr;

    bool Open(int shops)
    {
        RegisterBuildingClasses();
        RegisterCharacterClasses();
        RegisterStaffClasses();
        game = CGame::Instance(nullptr);
        game->SetSaveParts(this);
        UseCleaningTechnology();
        if (!LoadData())
            return false;
        manager->GetStatistics()->m_categories.assign(kTechCategories, 0);
        return BuildStoreys(kStoreys) && Furnish(shops, 0);
    }
    void NewLevel() override
    {
        BenchMall::NewLevel();
        spawner = new CSpawner();
        spawner->LoadSettings(floors, nullptr);
        const GxV3d end = GroundPoint(6, 6);
        const GxV3d points[4] = {
            {end.x, end.y, end.z + 6.0f}, {end.x, end.y, end.z + 4.0f}, {end.x, end.y, end.z + 2.0f}, end};
        auto spline = std::make_unique<CFerroxSpline>();
        spline->Create(points, 4, "spawn_1_0");
        spawner->AddSpawnPoint(std::make_unique<CSpawnPoint>("spawn_1_0", Ground(), std::move(spline)));
    }
    void Close() override
    {
        CloseObjects();
        delete spawner;
        spawner = nullptr;
        CloseFloors();
    }
    ~Mall() override
    {
        game->SetSaveParts(nullptr);
        if (floors)
            Close();
        CDynamicObjectManager::DestroyInstance();
        CGame::DestroyInstance(nullptr);
    }
    int Populate(int shoppers)
    {
        int made = 0;
        for (int i = 0; i < shoppers; i++)
            made += spawner->SpawnShopper(kShopperCategories[i % 3], 0, kSpawnFloorId) ? 1 : 0;
        // The shoppers step onto the grid.
        manager->Update(kSettleSeconds);
        return made;
    }
    size_t Kept() const
    {
        size_t count = manager->GetShoppers().size();
        for (const std::unique_ptr<CFloorObjects>& record : manager->GetFloors())
            count += record->shops.size();
        return count;
    }
    // The level's parts as the game tears them down and builds them again.
    void LeaveLevel() override { Close(); }
    int StartLevel() override
    {
        NewLevel();
        return 1;
    }
    CConditions* GetConditions() override { return nullptr; }
    CFloorManager* GetFloorManager() override { return floors; }
    CStatistics* GetStatistics() override { return manager->GetStatistics(); }
    void SaveObjects(CFerroxFile* file) override { controller->SaveObjects(file, nullptr); }
    int LoadObjects(CFerroxTagFile* file) override { return controller->LoadObjects(file, nullptr); }
};

std::string ReadAll(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The saved mall with its "<OBJECTS>" body replaced by `copies` copies of the body it had.
std::string Repeated(const std::string& saved, int copies)
{
    const std::string open = std::string(kObjectsSectionTag) + "\r\n";
    const size_t start = saved.find(open);
    const size_t end = saved.find(kObjectsSectionEndTag);
    if (start == std::string::npos || end == std::string::npos)
        return std::string();
    const std::string body = saved.substr(start + open.size(), end - start - open.size());
    std::string text = saved.substr(0, start + open.size());
    text.reserve(text.size() + body.size() * static_cast<size_t>(copies) + saved.size());
    for (int i = 0; i < copies; i++)
        text += body;
    return text + saved.substr(end);
}

void Report(benchmark::State& state, Mall& mall, const char* path, int result)
{
    state.counters["file_kib"] = static_cast<double>(ReadAll(path).size()) / 1024.0;
    state.counters["kept"] = static_cast<double>(mall.Kept());
    state.counters["result"] = result;
}

// A real save: 60 shops and 300 shoppers, every record kept.
void BM_LoadRealSaveBaseline(benchmark::State& state)
{
    Mall mall;
    if (!mall.Open(kShops) || mall.Populate(kShoppers) != kShoppers) {
        state.SkipWithError("the mall was not built");
        return;
    }
    const char* path = "bench_real.fds";
    mall.game->SaveGame(path);
    int result = 0;
    for (auto _ : state)
        result = mall.game->LoadGame(path);
    Report(state, mall, path, result);
}
BENCHMARK(BM_LoadRealSaveBaseline)->Unit(benchmark::kMillisecond);

// One shopper's record 20,000 times: 300 kept, the rest left out.
void BM_LoadCrowd(benchmark::State& state)
{
    Mall mall;
    if (!mall.Open(0) || mall.Populate(1) != 1) {
        state.SkipWithError("the mall was not built");
        return;
    }
    const char* path = "bench_crowd.fds";
    mall.game->SaveGame(path);
    const std::string text = Repeated(ReadAll(path), kCrowd);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    int result = 0;
    for (auto _ : state)
        result = mall.game->LoadGame(path);
    Report(state, mall, path, result);
}
BENCHMARK(BM_LoadCrowd)->Iterations(1)->Unit(benchmark::kMillisecond);

// One shop's record 50,000 times on the same cell: one stands, the rest are left out.
void BM_LoadDuplicateShops(benchmark::State& state)
{
    Mall mall;
    if (!mall.Open(1)) {
        state.SkipWithError("the mall was not built");
        return;
    }
    const char* path = "bench_shops.fds";
    mall.game->SaveGame(path);
    const std::string text = Repeated(ReadAll(path), kDuplicateShops);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    int result = 0;
    for (auto _ : state)
        result = mall.game->LoadGame(path);
    Report(state, mall, path, result);
}
BENCHMARK(BM_LoadDuplicateShops)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchRunInGameRoot(argc, argv, "loads_bench"); }
