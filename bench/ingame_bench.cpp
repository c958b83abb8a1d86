// In-game interface: one frame of the main bar (update and drawing, figures, message and tooltip) under a
// moving pointer against the bare canvas of the same picture, and making every panel against building the main
// bar's canvas alone. Pictures and fonts are kept in memory: the frame measures the interface, not the device.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "bench/interface_local.h"
#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "game/world/objectmgr.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/headless.h"
#include "gfx/testsupport/temp_dir.h"
#include "tools/content/interface_painter.h"
#include "tools/content/panel_painter.h"
#include "ui/game/ingame.h"
#include "ui/toolkit/canvas.h"
#include "ui/toolkit/font.h"

namespace {

constexpr float kFrameTime = 0.016f;
constexpr const char* kMainBar = "./images/panels/main/base/base.png";

class MemoryFontImpl : public CFerroxFontImpl {
public:
    int Load(const char*, int32_t, int32_t) override { return 1; }
    float GetHeight() override { return 12.0f; }

protected:
    float MeasureUtf16(const char16_t* text) override
    {
        size_t n = 0;
        while (text && text[n])
            n++;
        return 7.0f * static_cast<float>(n);
    }
    void Show(const std::u16string& text, float x, float y, int32_t, int32_t, float, int32_t,
              const FerroxTextBox*) override
    {
        benchmark::DoNotOptimize(text.size() + x + y);
    }
};

CFerroxFontImpl* MakeMemoryFont() { return new MemoryFontImpl(); }

struct Scene {
    ~Scene()
    {
        std::error_code ignored;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ignored);
    }
    bool ready = false;
    CFerroxTagTree data;
    std::filesystem::path folder;  // removed when the program ends
};

void Build(Scene& scene)
{
    CGame* game = BenchStartInterface(kGxTestImagesPng);
    if (!game)
        return;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("ferrox_ingame_bench_" + GxTestRunTag());
    scene.folder = dir;
    std::string error;
    if (!ContentWriteMainBar((dir / "images/panels/main/base").string(), &error) ||
        !ContentWriteGamePanels((dir / "images/panels").string(), &error))
        return;
    std::error_code moved;
    std::filesystem::current_path(dir, moved);
    if (moved)
        return;
    game->SetScreenSize(800, 600);
    CDynamicObjectManager::Instance();  // the statistics the bar's figures read
    auto locale = std::make_unique<CLocale>();
    const std::string texts = "<LANGUAGE>\n<general_tooltips>\n<0>\nFinance\nFinanzen\nFinances\n</0>\n"
                              "</general_tooltips>\n<InGameMessages>\n<0>\nWelcome to your new mall!\nW\nB\n</0>\n"
                              "</InGameMessages>\n</LANGUAGE>\n";
    CFerroxTagTree textTree;
    textTree.LoadFromMemory(texts.data(), texts.size());
    locale->LoadTextsFromTree(textTree);
    game->m_pLocale = std::move(locale);
    FerroxSetFontImplFactory(MakeMemoryFont);
    const std::string data = "<FONTS>\n/f0\n/f1\n/f2\n/f3\n</FONTS>\n";
    scene.data.LoadFromMemory(data.data(), data.size());
    scene.ready = true;
}

Scene& Setup() { return BenchScene(Build); }

// Moves the pointer along the bar, over its buttons and figures.
void MovePointer(float* x)
{
    *x = *x >= 799.0f ? 0.0f : *x + 1.0f;
    FerroxMousePosition* pointer = FerroxGameMouse()->GetPosition();
    pointer->x = *x;
    pointer->y = 600.0f - 30.0f;
}

// A new in-game interface, held by the game.
CInterface* InstallInterface()
{
    auto ui = std::make_unique<CInterface>();
    CInterface* installed = ui.get();
    g_pFerroxGame->SetInterface(std::move(ui));
    return installed;
}

// The baseline: the bar's canvas alone, routed and drawn.
void BM_MainBarCanvasOnly(benchmark::State& state)
{
    if (!BenchReadyScene(state, Setup()))
        return;
    CFerroxCanvas canvas;
    canvas.Build(kMainBar, 0.0f, 0.0f, 0);
    float x = 0.0f;
    for (auto _ : state) {
        MovePointer(&x);
        canvas.Update();
        canvas.Render();
    }
    canvas.Release();
}
BENCHMARK(BM_MainBarCanvasOnly)->Unit(benchmark::kMicrosecond);

void BM_MainBarInterfaceFrame(benchmark::State& state)
{
    Scene* scene = BenchReadyScene(state, Setup());
    if (!scene)
        return;
    CInterface* ui = InstallInterface();
    ui->Create(&scene->data);
    float x = 0.0f;
    for (auto _ : state) {
        MovePointer(&x);
        ui->Update(kFrameTime);
        ui->Render();
    }
    g_pFerroxGame->SetInterface(nullptr);
}
BENCHMARK(BM_MainBarInterfaceFrame)->Unit(benchmark::kMicrosecond);

// The baseline: building the main bar's canvas alone.
void BM_BuildMainBarOnly(benchmark::State& state)
{
    if (!BenchReadyScene(state, Setup()))
        return;
    for (auto _ : state) {
        CFerroxCanvas canvas;
        canvas.Build(kMainBar, 0.0f, 0.0f, 0);
        canvas.Release();
    }
}
BENCHMARK(BM_BuildMainBarOnly)->Unit(benchmark::kMillisecond);

void BM_InterfaceCreate(benchmark::State& state)
{
    Scene* scene = BenchReadyScene(state, Setup());
    if (!scene)
        return;
    CInterface* ui = InstallInterface();
    for (auto _ : state) {
        ui->Create(&scene->data);
        ui->DestroyCanvases();
    }
    g_pFerroxGame->SetInterface(nullptr);
}
BENCHMARK(BM_InterfaceCreate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
