// Save browser: listing a folder of 500 saves, each with its 64 x 64 thumbnail, against the same listing that
// reads every save's thumbnail (one picture per save, as a select-each-save listing would) and against the bare
// wide-search walk of the folder. The panel's listing should cost the walk plus one picture.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "bench/interface_local.h"
#include "engine/data/utf.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/headless.h"
#include "platform/win32/windows.h"
#include "ui/game/filecanvas.h"

namespace {

constexpr int kSaves = 500;
constexpr int32_t kSide = 64;

class BenchPanel : public CFerroxFileIOCanvas {
public:
    void Reserved() override {}
};

struct Scene {
    std::string start;
    bool ready = false;
};

void Build(Scene& scene)
{
    if (!BenchStartInterface(kGxTestImagesBmp))
        return;
    std::random_device entropy;
    const std::filesystem::path start =
        std::filesystem::temp_directory_path() / ("ferrox_filepanel_bench_" + std::to_string(entropy()));
    std::filesystem::remove_all(start);
    std::filesystem::create_directories(start / "maps");
    scene.start = start.string();
    GxImage* picture = GxImageCreate(kSide, kSide, 32);
    if (!picture || !GxImageAllocatePixels(picture))
        return;
    bool ok = true;
    for (int i = 0; ok && i < kSaves; i++) {
        const std::string stem = (start / "maps" / ("save" + std::to_string(1000 + i))).string();
        FILE* file = std::fopen((stem + ".fds").c_str(), "wb");
        ok = file && std::fclose(file) == 0 && GxImageWriteBMP(picture, (stem + ".bmp").c_str());
    }
    GxImageDestroy(picture);
    scene.ready = ok;
}

Scene& Setup() { return BenchScene(Build); }

void BM_WideSearchWalk(benchmark::State& state)
{
    Scene* scene = BenchReadyScene(state, Setup());
    if (!scene)
        return;
    const std::u16string pattern = FerroxUtf8ToUtf16(scene->start + "/maps/*.*");
    for (auto _ : state) {
        _wfinddata_t data;
        intptr_t handle = _wfindfirst(pattern.c_str(), &data);
        int count = 0;
        if (handle != -1) {
            do {
                count++;
            } while (_wfindnext(handle, &data) == 0);
            _findclose(handle);
        }
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_WideSearchWalk)->Unit(benchmark::kMillisecond);

// The panel's listing of the saves, selecting every save after each listing for the baseline.
void Listing(benchmark::State& state, bool selectEach)
{
    Scene* scene = BenchReadyScene(state, Setup());
    if (!scene)
        return;
    BenchPanel panel;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(scene->start);
    panel.OpenMapsFolder();
    for (auto _ : state) {
        panel.ListFolder();
        for (int16_t i = static_cast<int16_t>(panel.GetEntries().size()) - 1; selectEach && i >= 0; i--)
            panel.SelectEntry(i, 0);
        benchmark::DoNotOptimize(panel.GetThumbnail());
    }
    state.counters["entries"] = static_cast<double>(panel.GetEntries().size());
    std::filesystem::current_path(before);
}

void BM_ListingReadingEveryThumbnail(benchmark::State& state) { Listing(state, true); }
BENCHMARK(BM_ListingReadingEveryThumbnail)->Unit(benchmark::kMillisecond);

void BM_PanelListing(benchmark::State& state) { Listing(state, false); }
BENCHMARK(BM_PanelListing)->Unit(benchmark::kMillisecond);

}  // namespace

// The run's folder of saves goes when the run ends.
int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!Setup().start.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(Setup().start, ignored);
    }
    return 0;
}
