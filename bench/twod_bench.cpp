// A frame of 2D interface drawing (500 filled rectangles, 3,000 glyphs) through the 2D toolkit on the software
// Direct3D 9 device, beside the same quads handed straight to immediate-mode 3D, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/2d/gx2d.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/im3d.h"
#include "platform/testsupport/softdevice.h"

namespace {

constexpr int kRectangles = 500;
constexpr int kGlyphs = 3000;
constexpr int kGlyphsPerString = 50;
constexpr int kQuadsPerBatch = 64;

struct Scene {
    HWND window = nullptr;
    GxCamera* camera = nullptr;
    Gx2DFont* font = nullptr;
    Gx2DBrush* brush = nullptr;
    Gx2DPath* path = nullptr;
    bool ok = false;

    Scene()
    {
        const char* backend = getenv("MALL_D3D9_BACKEND");
        GxD3D9TestUseBackend(backend ? backend : "software");
        window = GxD3D9TestWindow(800, 600);
        ok = window && GxD3D9TestEngineOpen(&window) && GxEngineStart();
        if (!ok) {
            return;
        }
        if (IDirect3DDevice9* device = GxD3D9Device()) {
            D3D9SoftSetLogging(device, false);
        }
        camera = GxTestCameraCreate(800, 600);
        ok = camera && Gx2DOpen(camera) && GxCameraBeginUpdate(camera);
        if (!ok) {
            return;
        }
        GxRaster* raster = GxRasterCreate(256, 256, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
        GxTexture* page = GxTextureCreate(raster);
        GxTextureSetName(page, "benchpage");
        GxTexDictionaryAddTexture(Gx2DFontGetTexDictionary(), page);
        std::string text = "METRICS1\nbenchpage\n3\n";
        for (int c = 32; c < 127; c++) {
            const int x = (c - 32) % 16 * 16;
            const int y = (c - 32) / 16 * 16;
            text += std::to_string(c) + " " + std::to_string(x) + " " + std::to_string(y) + " " +
                    std::to_string(x + 9) + " " + std::to_string(y + 16) + "\n";
        }
        GxMemory memory = {reinterpret_cast<GxUInt8*>(text.data()), static_cast<GxUInt32>(text.size())};
        GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
        font = Gx2DFontStreamReadMetrics(stream);
        GxStreamClose(stream, nullptr);
        brush = Gx2DBrushCreate();
        path = Gx2DPathCreate();
        ok = font && brush && path;
    }
};

Scene& TheScene()
{
    static Scene scene;
    return scene;
}

const std::string& Line()
{
    static const std::string line = [] {
        std::string s;
        for (int i = 0; i < kGlyphsPerString; i++) {
            s += static_cast<char>('A' + i % 26);
        }
        return s;
    }();
    return line;
}

void DrawFrame(Scene& scene)
{
    const std::string& line = Line();
    for (int r = 0; r < kRectangles; r++) {
        Gx2DPathEmpty(scene.path);
        Gx2DPathRect(scene.path, static_cast<GxReal>(r % 25) * 0.05f, static_cast<GxReal>(r / 25) * 0.05f, 0.04f,
                     0.04f);
        Gx2DPathFill(scene.path, scene.brush);
    }
    for (int s = 0; s < kGlyphs / kGlyphsPerString; s++) {
        GxV2d position = {0.0f, static_cast<GxReal>(s) * 0.016f};
        Gx2DFontShowString(scene.font, line.c_str(), 0.016f, &position, scene.brush);
    }
}

// The toolkit: paths built and filled, strings shown, as the interface does every frame.
void BM_TwoDFrame(benchmark::State& state)
{
    Scene& scene = TheScene();
    if (!scene.ok) {
        state.SkipWithError("no device");
        return;
    }
    // One frame with the device's log on: the draw calls that reach it.
    IDirect3DDevice9* device = GxD3D9Device();
    D3D9SoftClearLog(device);
    D3D9SoftSetLogging(device, true);
    DrawFrame(scene);
    state.counters["draws"] = static_cast<double>(D3D9SoftCount(device, D3D9SOFT_DRAW));
    D3D9SoftSetLogging(device, false);
    D3D9SoftClearLog(device);
    for (auto _ : state) {
        DrawFrame(scene);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TwoDFrame)->Unit(benchmark::kMillisecond);

// The baseline: the same rectangles and glyph quads, vertices made up front, drawn straight through Im3D.
void BM_Im3DSameQuads(benchmark::State& state)
{
    Scene& scene = TheScene();
    if (!scene.ok) {
        state.SkipWithError("no device");
        return;
    }
    std::vector<GxIm3DVertex> quad(4);
    std::vector<GxIm3DVertex> glyphs(4 * kQuadsPerBatch);
    for (int i = 0; i < 4; i++) {
        quad[i].objVertex = {static_cast<GxReal>(i & 1) * 0.04f, static_cast<GxReal>(i >> 1) * 0.04f, 1.0f};
        quad[i].color = 0xFFFFFFFFu;
    }
    for (int i = 0; i < 4 * kQuadsPerBatch; i++) {
        glyphs[i].objVertex = {static_cast<GxReal>(i / 2) * 0.01f, static_cast<GxReal>(i & 1) * 0.016f, 1.0f};
        glyphs[i].color = 0xFFFFFFFFu;
    }
    std::vector<GxUInt16> strip = {0, 1, 2, 3};
    std::vector<GxUInt16> list;
    for (int q = 0; q < kQuadsPerBatch; q++) {
        for (int k : {0, 2, 3, 0, 3, 1}) {
            list.push_back(static_cast<GxUInt16>(4 * q + k));
        }
    }
    const GxMatrix* matrix = Gx2DCTMGetWorldMatrix();
    for (auto _ : state) {
        for (int r = 0; r < kRectangles; r++) {
            if (GxIm3DTransform(quad.data(), 4, matrix, 0)) {
                GxIm3DRenderIndexedPrimitive(gxPRIMTYPETRISTRIP, strip.data(), 4);
                GxIm3DEnd();
            }
        }
        for (int left = kGlyphs; left > 0; left -= kQuadsPerBatch) {
            const int quads = left < kQuadsPerBatch ? left : kQuadsPerBatch;
            if (GxIm3DTransform(glyphs.data(), 4 * quads, matrix, gxIM3DVERTEXUV | gxIM3DNOCLIPPING)) {
                GxIm3DRenderIndexedPrimitive(gxPRIMTYPETRILIST, list.data(), 6 * quads);
                GxIm3DEnd();
            }
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Im3DSameQuads)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
