// Build menus: the seventeen menus built from the authored data and pictures against reading the same
// pictures alone (the files the build cannot avoid), and one 800 x 600 placement map read and decoded.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "bench/engine_local.h"
#include "engine/application/mouse.h"
#include "engine/data/tagtree.h"
#include "game/shell/game.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/png_writer.h"
#include "tools/content/buildmenu_writer.h"
#include "tools/content/interface_painter.h"
#include "tools/content/templates_writer.h"
#include "ui/game/buildmenu.h"
#include "ui/toolkit/canvas.h"
#include "ui/toolkit/imagemap.h"

namespace {

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
constexpr int kFullScreenButtons = 20;

// Pictures kept in memory only: the build measures reading and laying out, not the device.
class MemoryImageImpl : public CFerroxImageImpl {
protected:
    GxTexture* CreateTexture(const uint8_t*, int32_t, int32_t) override { return nullptr; }
    bool CreateBrush() override { return true; }
};

CFerroxImageImpl* MakeMemoryImage() { return new MemoryImageImpl(); }

struct Scene {
    std::filesystem::path root;  // removed when the program ends
    ~Scene()
    {
        std::error_code ignored;
        if (!root.empty())
            std::filesystem::remove_all(root, ignored);
    }
    std::string data;                // the game data text, its picture paths absolute
    std::vector<std::string> files;  // every picture of the menus
    std::string fullScreenMap;
    size_t menus = 0;
    bool ready = false;
};

Scene& Setup()
{
    static Scene scene;
    static bool done = false;
    if (done)
        return scene;
    done = true;
    if (!BenchEngineStart(kGxTestImagesPng))
        return scene;
    CGame::Instance(nullptr);
    g_pFerroxGame->m_pMouse = std::make_unique<CFerroxMouse>();
    FerroxSetImageImplFactory(MakeMemoryImage);

    const char* source = std::getenv("MALL_SOURCE_DIR");
    const std::string text =
        (source ? std::filesystem::path(source) : std::filesystem::current_path()).string() + "/tools/content/text";
    std::random_device entropy;
    scene.root = std::filesystem::temp_directory_path() /
                 ("buildmenu_bench_" + std::to_string(entropy()) + std::to_string(entropy()));
    const std::filesystem::path& root = scene.root;
    std::string detail;
    if (!ContentWriteBuildMenus(text, root.string(), &detail) || !ContentGameDataText(text, &scene.data, &detail))
        return scene;
    for (size_t at = scene.data.find("./images/build/"); at != std::string::npos;
         at = scene.data.find("./images/build/", at + 2))
        scene.data.replace(at, 1, root.string());
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / "images" / "build")) {
        if (entry.is_regular_file())
            scene.files.push_back(entry.path().string());
    }
    CFerroxTagTree data;
    data.LoadFromMemory(scene.data.data(), scene.data.size());
    scene.menus = ContentReadBuildMenus(&data, &detail).size();

    // An 800 x 600 placement map as the content tool writes it.
    ContentCanvasLayout layout = ContentBuildMenuLayout("full", "full", kFullScreenButtons);
    layout.width = kScreenWidth;
    layout.height = kScreenHeight;
    scene.fullScreenMap = (root / "full_p.png").string();
    scene.ready = scene.menus > 0 &&
                  ContentWritePng(scene.fullScreenMap.c_str(), ContentPaletteImage(ContentCanvasPlacementMap(layout)));
    return scene;
}

// The baseline: every picture of the menus read and freed.
void BM_ReadBuildPictures(benchmark::State& state)
{
    Scene& scene = Setup();
    if (!scene.ready) {
        state.SkipWithError("set-up failed");
        return;
    }
    for (auto _ : state) {
        for (const std::string& file : scene.files) {
            GxImage* image = GxImageRead(file.c_str());
            benchmark::DoNotOptimize(image);
            if (image)
                GxImageDestroy(image);
        }
    }
    state.counters["pictures"] = static_cast<double>(scene.files.size());
}
BENCHMARK(BM_ReadBuildPictures)->Unit(benchmark::kMillisecond);

void BM_BuildMenus(benchmark::State& state)
{
    Scene& scene = Setup();
    if (!scene.ready) {
        state.SkipWithError("set-up failed");
        return;
    }
    for (auto _ : state) {
        CFerroxTagTree data;
        data.LoadFromMemory(scene.data.data(), scene.data.size());
        CBuildCanvasManager manager;
        manager.SetPosition(&data, 0.0f, 80.0f);
        if (!manager.GetRoot() || !manager.GetRoot()->GetChild(scene.menus - 2))
            state.SkipWithError("menus missing");
    }
    state.counters["menus"] = static_cast<double>(scene.menus);
}
BENCHMARK(BM_BuildMenus)->Unit(benchmark::kMillisecond);

void BM_ReadAndDecodeFullScreenMap(benchmark::State& state)
{
    Scene& scene = Setup();
    if (!scene.ready) {
        state.SkipWithError("set-up failed");
        return;
    }
    for (auto _ : state) {
        GxImage* map = GxImageRead(scene.fullScreenMap.c_str());
        if (map && !FerroxImageReadable(map)) {
            GxImageDestroy(map);
            map = nullptr;
        }
        if (!map) {
            state.SkipWithError("map unreadable");
            break;
        }
        benchmark::DoNotOptimize(FerroxDecodeMap(map));
        GxImageDestroy(map);
    }
}
BENCHMARK(BM_ReadAndDecodeFullScreenMap)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
