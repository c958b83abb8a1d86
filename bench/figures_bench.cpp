// One in-game frame of the mall's figures (the reckoning with full registers, both condition tests and a canvas
// stack walk over 12 canvases) against the reckoning of an empty book, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/engine_local.h"
#include "engine/data/file.h"
#include "game/shell/conditions.h"
#include "game/shell/game.h"
#include "game/world/statistics.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/win32fs.h"
#include "gfx/testsupport/headless.h"
#include "ui/toolkit/stack.h"

namespace {

constexpr int kShoppers = 300;
constexpr int kStaff = 40;
constexpr int kShops = 60;
constexpr int kCanvases = 12;

// A canvas whose update and drawing only count, so the walk itself is measured.
struct CountingCanvas {
    void Update() { updates++; }
    void Render() { draws++; }
    uint32_t updates = 0;
    uint32_t draws = 0;
};

void BM_EmptyStatisticsBaseline(benchmark::State& state)
{
    CStatistics stats;
    for (auto _ : state) {
        stats.Update();
        benchmark::DoNotOptimize(stats.m_rating);
    }
}
BENCHMARK(BM_EmptyStatisticsBaseline)->Unit(benchmark::kNanosecond);

void BM_FiguresFrame(benchmark::State& state)
{
    CStatistics stats;
    std::vector<char> records(kShoppers + kStaff);
    for (int i = 0; i < kShoppers; i++)
        stats.AddShopper(reinterpret_cast<ShopperRecord*>(&records[i]));
    for (int i = 0; i < kStaff; i++)
        stats.AddStaff(reinterpret_cast<StaffRecord*>(&records[kShoppers + i]));
    std::vector<ShopRecord> shops(kShops, ShopRecord{});
    for (ShopRecord& shop : shops)
        stats.AddShop(&shop, 4);

    CConditions conditions;
    conditions.SetStatistics(&stats);
    // Nothing holds, so every condition is tested each frame.
    const std::string path = (std::filesystem::temp_directory_path() / "figures_bench.fds").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "<CONDITIONS>\r\n0\r\n2,1,50000,0,1,10000000\r\n0,0,-20000,3,0,-500,4,1,1000\r\n</CONDITIONS>\r\n";
    }
    CFerroxTagFile file;
    if (file.Open(path.c_str(), 1) != 0 || conditions.Load(&file) != 1) {
        state.SkipWithError("cannot read the conditions");
        return;
    }
    file.Close();
    std::remove(path.c_str());

    std::vector<CountingCanvas> canvases(kCanvases);
    CFerroxStack<CountingCanvas*> stack;
    for (CountingCanvas& canvas : canvases)
        stack.Push(&canvas, 0);
    stack.ClearRequests();

    for (auto _ : state) {
        stats.Update();
        benchmark::DoNotOptimize(conditions.TestWin());
        benchmark::DoNotOptimize(conditions.TestLose());
        stack.Update();
        stack.Render();
    }
    benchmark::DoNotOptimize(canvases[0].updates);
}
BENCHMARK(BM_FiguresFrame)->Unit(benchmark::kNanosecond);

}  // namespace

int main(int argc, char** argv)
{
    if (!BenchEngineStart(kGxTestImagesNone, false, kGxTestArenaSize))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    GxFileSystemManagerClose();
    GxEngineTerm();
    return 0;
}
