// Build mode on the authored data: the wall scans over all five storeys of a 40 x 40 mall and over one storey
// against a bare pass of the same neighbour tests; one update of a dragged box against the pick alone; and
// saving and loading "<MAP>" and "<OBJECTS>" of a mall with 60 shops and 100 other objects against copying the
// same file line by line. Targets: 50 ms, 10 ms, 0.2 ms and 100 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/gameroot_local.h"
#include "bench/mall_local.h"
#include "engine/data/file.h"

namespace {

constexpr int kStoreys = 5;
constexpr int kShops = 60;
constexpr int kOthers = 100;
constexpr int kScans = 10;
constexpr int kSide = BenchMall::kSide;

// The mall of one run: five tiled storeys, optionally with shops and scenery on the ground.
struct Mall : BenchMall {
    bool Open()
    {
        RegisterBuildingClasses();
        return LoadData() && BuildStoreys(kStoreys);
    }
    bool Furnish()
    {
        const bool placed = BenchMall::Furnish(kShops, kOthers);
        controller->RemoveWalls(nullptr, 1, nullptr);
        controller->BuildWalls(nullptr, 1, nullptr);
        return placed;
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
    const GxV3d ends[2] = {mall.GroundPoint(20, 25), mall.GroundPoint(30, 12)};
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
    mall.controller->Update(mall.GroundPoint(5, 5));
    mall.controller->BeginDrag(mall.GroundPoint(5, 5));
    const GxV3d ends[2] = {mall.GroundPoint(20, 25), mall.GroundPoint(30, 12)};
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
    mall.Save("bench_source.fds");
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
        mall.SaveAndLoad("bench_mall.fds");
    }
    size_t count = 0;
    for (const std::unique_ptr<CFloorObjects>& record : mall.manager->GetFloors())
        count += record->shops.size() + record->scenery.size();
    state.counters["objects"] = static_cast<double>(count);
}
BENCHMARK(BM_SaveAndLoadMall)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchRunInGameRoot(argc, argv, "placement_bench"); }
