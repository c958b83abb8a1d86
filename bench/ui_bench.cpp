// Interface toolkit: laying out an 800 x 600 canvas from both maps against reading the maps alone, each with the
// background and maps as RGBA and as the content tool's palette images (argument 0 and 1), decoding a
// map in one pass against a scan per colour, and a frame of 20 widgets and 10 hot-spots under a moving
// pointer against the same number of plain rectangle tests.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/interface_local.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/headless.h"
#include "gfx/testsupport/png_writer.h"
#include "tools/content/interface_painter.h"
#include "ui/toolkit/canvas.h"
#include "ui/toolkit/imagemap.h"

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;
constexpr int kButtons = 20;
constexpr int kHotSpots = 10;

uint8_t Channel(int k) { return static_cast<uint8_t>(10 + k * 11); }

// An RGBA map: palette of n colours then white on row 0, one w x h block of each colour.
ContentPngImage PaintMap(int colours, int blockW, int blockH)
{
    ContentPngImage image;
    image.width = kWidth;
    image.height = kHeight;
    image.rows.assign(static_cast<size_t>(kWidth) * kHeight * 4, 0);
    auto put = [&](int x, int row, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = &image.rows[(static_cast<size_t>(row) * kWidth + x) * 4];
        p[0] = r;
        p[1] = g;
        p[2] = b;
        p[3] = 255;
    };
    for (int k = 0; k < colours; k++) {
        put(k, 0, Channel(k), 40, 200);
        for (int row = 0; row < blockH; row++)
            for (int x = 0; x < blockW; x++)
                put(30 + k * 36 + x, 500 - row - (k % 4) * 100, Channel(k), 40, 200);
    }
    put(colours, 0, 255, 255, 255);
    return image;
}

// Map forms: RGBA as painted, and the palette image the content tool writes.
constexpr int kMapForms = 2;

struct Scene {
    std::string folder[kMapForms];  // with a trailing slash
    bool ready = false;
};

void Build(Scene& scene)
{
    if (!BenchStartInterface(kGxTestImagesPng))
        return;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "ferrox_ui_bench";
    ContentPngImage background;
    background.width = kWidth;
    background.height = kHeight;
    background.rows.assign(static_cast<size_t>(kWidth) * kHeight * 4, 128);
    ContentPngImage button;
    button.width = 32;
    button.height = 32;
    button.rows.assign(32 * 32 * 4, 200);
    bool ok = true;
    for (int form = 0; ok && form < kMapForms; form++) {
        const std::filesystem::path sub = dir / std::to_string(form);
        std::filesystem::create_directories(sub);
        const std::string folder = sub.string() + "/";
        const ContentPngImage placement = PaintMap(kButtons, 1, 1);
        const ContentPngImage hotSpots = PaintMap(kHotSpots, 30, 20);
        ok = ContentWritePng((folder + "panel.png").c_str(), form ? ContentPaletteImage(background) : background) &&
             ContentWritePng((folder + "panel_p.png").c_str(), form ? ContentPaletteImage(placement) : placement) &&
             ContentWritePng((folder + "panel_h.png").c_str(), form ? ContentPaletteImage(hotSpots) : hotSpots);
        for (int k = 1; ok && k <= kButtons; k++)
            ok = ContentWritePng((folder + std::to_string(k) + "_s.png").c_str(), button);
        scene.folder[form] = folder;
    }
    scene.ready = ok;
}

Scene& Setup() { return BenchScene(Build); }

void BM_ReadMapsOnly(benchmark::State& state)
{
    Scene* scene = BenchReadyScene(state, Setup());
    if (!scene)
        return;
    const std::string& folder = scene->folder[state.range(0)];
    for (auto _ : state) {
        GxImage* p = GxImageRead((folder + "panel_p.png").c_str());
        GxImage* h = GxImageRead((folder + "panel_h.png").c_str());
        benchmark::DoNotOptimize(p);
        GxImageDestroy(p);
        GxImageDestroy(h);
    }
}
BENCHMARK(BM_ReadMapsOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BuildCanvas(benchmark::State& state)
{
    Scene* scene = BenchReadyScene(state, Setup());
    if (!scene)
        return;
    for (auto _ : state) {
        CFerroxCanvas canvas;
        canvas.Build((scene->folder[state.range(0)] + "panel.png").c_str(), 0.0f, 0.0f, 0);
        if (canvas.GetWidgetCount() != kButtons + 1 || canvas.GetHotSpotCount() != kHotSpots)
            state.SkipWithError("wrong layout");
        canvas.Release();
    }
}
BENCHMARK(BM_BuildCanvas)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

GxImage* MapInMemory(std::vector<GxUInt8>* pixels)
{
    ContentPngImage painted = PaintMap(kHotSpots, 30, 20);
    *pixels = painted.rows;
    static GxImage image;
    image = GxImage{};
    image.width = kWidth;
    image.height = kHeight;
    image.depth = 32;
    image.stride = kWidth * 4;
    image.pixels = pixels->data();
    return &image;
}

// The baseline: one scan of the map per palette colour.
void BM_DecodeMapScanPerColour(benchmark::State& state)
{
    std::vector<GxUInt8> pixels;
    GxImage* map = MapInMemory(&pixels);
    for (auto _ : state) {
        int found = 0;
        for (int k = 0; k < kHotSpots; k++) {
            const GxUInt8* key = map->pixels + k * 4;
            bool hit = false;
            for (int32_t row = 1; row + 1 < map->height && !hit; row++) {
                const GxUInt8* p = map->pixels + static_cast<size_t>(row) * map->stride;
                for (int32_t x = 0; x < map->width; x++, p += 4) {
                    if (p[0] == key[0] && p[1] == key[1] && p[2] == key[2]) {
                        hit = true;
                        break;
                    }
                }
            }
            found += hit;
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_DecodeMapScanPerColour)->Unit(benchmark::kMicrosecond);

void BM_DecodeMapOnePass(benchmark::State& state)
{
    std::vector<GxUInt8> pixels;
    GxImage* map = MapInMemory(&pixels);
    for (auto _ : state)
        benchmark::DoNotOptimize(FerroxDecodeMap(map));
}
BENCHMARK(BM_DecodeMapOnePass)->Unit(benchmark::kMicrosecond);

// The baseline: 30 plain rectangle tests a frame.
void BM_FramePlainRectangles(benchmark::State& state)
{
    std::vector<CFerroxWidget> widgets(kButtons + kHotSpots);
    for (size_t i = 0; i < widgets.size(); i++) {
        widgets[i].m_x = static_cast<float>(i * 25);
        widgets[i].m_y = 100.0f;
        widgets[i].m_width = widgets[i].m_height = 20.0f;
    }
    float x = 0.0f;
    for (auto _ : state) {
        x = x >= 799.0f ? 0.0f : x + 1.0f;
        const FerroxPoint point = {x, 490.0f};
        int hits = 0;
        for (CFerroxWidget& widget : widgets)
            hits += widget.HitTest(&point);
        benchmark::DoNotOptimize(hits);
    }
}
BENCHMARK(BM_FramePlainRectangles)->Unit(benchmark::kMicrosecond);

void BM_FrameCanvasUpdateRender(benchmark::State& state)
{
    Scene* scene = BenchReadyScene(state, Setup());
    if (!scene)
        return;
    CFerroxCanvas canvas;
    canvas.Build((scene->folder[1] + "panel.png").c_str(), 0.0f, 0.0f, 0);
    FerroxMousePosition* pointer = FerroxGameMouse()->GetPosition();
    float x = 0.0f;
    for (auto _ : state) {
        x = x >= 799.0f ? 0.0f : x + 1.0f;
        pointer->x = x;
        pointer->y = 110.0f;
        canvas.Update();
        canvas.Render();
    }
    canvas.Release();
}
BENCHMARK(BM_FrameCanvasUpdateRender)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
