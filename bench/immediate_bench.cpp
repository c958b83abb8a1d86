// Immediate modes against the same vertices drawn straight through the Direct3D 9 stand-in, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/im2d.h"
#include "gfx/d3d9/im3d.h"
#include "platform/testsupport/softdevice.h"

namespace {

constexpr int gxQUADS = 1000;
constexpr int gxLINES = 10000;
constexpr int gxLINESPERBATCH = 100;

// One started engine on the back end MALL_D3D9_BACKEND names (software by default), inside a scene.
struct Engine {
    HWND window = nullptr;
    IDirect3DDevice9* device = nullptr;
    bool ok = false;

    Engine()
    {
        const char* backend = getenv("MALL_D3D9_BACKEND");
        GxD3D9TestUseBackend(backend ? backend : "software");
        window = GxD3D9TestWindow(800, 600);
        ok = window && GxD3D9TestEngineOpen(&window) && GxEngineStart();
        device = ok ? GxD3D9Device() : nullptr;
        if (device) {
            D3D9SoftSetLogging(device, false);
            ok = SUCCEEDED(device->BeginScene());
        }
    }
};

Engine& TheEngine()
{
    static Engine engine;
    return engine;
}

std::vector<GxIm2DVertex> QuadVertices()
{
    std::vector<GxIm2DVertex> vertices;
    for (int q = 0; q < gxQUADS; q++) {
        const float x = static_cast<float>(q % 40) * 20.0f;
        const float y = static_cast<float>(q / 40) * 20.0f;
        vertices.push_back({x, y, 0.5f, 1.0f, 0xFFFFFFFFu, 0.0f, 0.0f});
        vertices.push_back({x + 16, y, 0.5f, 1.0f, 0xFFFFFFFFu, 1.0f, 0.0f});
        vertices.push_back({x, y + 16, 0.5f, 1.0f, 0xFFFFFFFFu, 0.0f, 1.0f});
        vertices.push_back({x + 16, y + 16, 0.5f, 1.0f, 0xFFFFFFFFu, 1.0f, 1.0f});
    }
    return vertices;
}

GxUInt16 quadIndices[6] = {0, 1, 2, 2, 1, 3};

std::vector<GxIm3DVertex> LineVertices()
{
    std::vector<GxIm3DVertex> vertices(2 * gxLINES);
    for (int i = 0; i < 2 * gxLINES; i++) {
        vertices[i].objVertex = GxV3d{static_cast<float>(i % 97), static_cast<float>(i % 13), 5.0f};
        vertices[i].color = 0xFF00FF00u;
    }
    return vertices;
}

void BM_Im2DQuads(benchmark::State& state)
{
    Engine& engine = TheEngine();
    if (!engine.ok) {
        state.SkipWithError("no device");
        return;
    }
    std::vector<GxIm2DVertex> vertices = QuadVertices();
    GxIm2DRenderIndexedPrimitiveFunction render = GxEngineInstance->dOpenDevice.fpIm2DRenderIndexedPrimitive;
    for (auto _ : state) {
        for (int q = 0; q < gxQUADS; q++) {
            benchmark::DoNotOptimize(render(gxPRIMTYPETRILIST, &vertices[4 * q], 4, quadIndices, 6));
        }
    }
    state.SetItemsProcessed(state.iterations() * gxQUADS);
}
BENCHMARK(BM_Im2DQuads)->Unit(benchmark::kMicrosecond);

// The same quads with the stand-in's calls only: state set once, then per quad one vertex lock,
// one index lock and one draw, as Im2D does.
void BM_Im2DQuadsDirect(benchmark::State& state)
{
    Engine& engine = TheEngine();
    if (!engine.ok) {
        state.SkipWithError("no device");
        return;
    }
    IDirect3DDevice9* device = engine.device;
    std::vector<GxIm2DVertex> vertices = QuadVertices();
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
                                          {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                          {0, 20, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
                                          D3DDECL_END()};
    device->CreateVertexBuffer(0x40000, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT, &vb, nullptr);
    device->CreateIndexBuffer(20000, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib,
                              nullptr);
    device->CreateVertexDeclaration(elements, &declaration);
    device->SetVertexDeclaration(declaration);
    device->SetStreamSource(0, vb, 0, 28);
    device->SetIndices(ib);
    const UINT maxVertices = 0x40000 / 28;
    UINT nextVertex = 0;
    UINT nextIndex = 0;
    for (auto _ : state) {
        for (int q = 0; q < gxQUADS; q++) {
            DWORD flags = D3DLOCK_NOOVERWRITE;
            if (nextVertex + 4 > maxVertices) {
                nextVertex = 0;
                flags = D3DLOCK_DISCARD;
            }
            void* data = nullptr;
            vb->Lock(nextVertex * 28, 4 * 28, &data, flags);
            memcpy(data, &vertices[4 * q], 4 * 28);
            vb->Unlock();
            flags = D3DLOCK_NOOVERWRITE;
            if (nextIndex + 6 > 10000) {
                nextIndex = 0;
                flags = D3DLOCK_DISCARD;
            }
            ib->Lock(nextIndex * 2, 12, &data, flags);
            memcpy(data, quadIndices, 12);
            ib->Unlock();
            benchmark::DoNotOptimize(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, nextVertex, 0, 4, nextIndex, 2));
            nextVertex += 4;
            nextIndex += 6;
        }
    }
    state.SetItemsProcessed(state.iterations() * gxQUADS);
    // The engine's caches must not believe these bindings are still theirs.
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    GxD3D9ResetDeviceCaches();
    declaration->Release();
    ib->Release();
    vb->Release();
}
BENCHMARK(BM_Im2DQuadsDirect)->Unit(benchmark::kMicrosecond);

void BM_Im3DLines(benchmark::State& state)
{
    Engine& engine = TheEngine();
    if (!engine.ok) {
        state.SkipWithError("no device");
        return;
    }
    std::vector<GxIm3DVertex> vertices = LineVertices();
    for (auto _ : state) {
        for (int b = 0; b < gxLINES / gxLINESPERBATCH; b++) {
            GxIm3DTransform(&vertices[2 * gxLINESPERBATCH * b], 2 * gxLINESPERBATCH, nullptr, gxIM3DNOCLIPPING);
            benchmark::DoNotOptimize(GxIm3DRenderPrimitive(gxPRIMTYPELINELIST));
            GxIm3DEnd();
        }
    }
    state.SetItemsProcessed(state.iterations() * gxLINES);
}
BENCHMARK(BM_Im3DLines)->Unit(benchmark::kMicrosecond);

// The same lines straight to the stand-in: per batch one lock of a dynamic buffer, the conversion to
// position and colour, one draw.
void BM_Im3DLinesDirect(benchmark::State& state)
{
    Engine& engine = TheEngine();
    if (!engine.ok) {
        state.SkipWithError("no device");
        return;
    }
    IDirect3DDevice9* device = engine.device;
    std::vector<GxIm3DVertex> vertices = LineVertices();
    struct Plain {
        GxV3d position;
        GxUInt32 color;
    };
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                          {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                          D3DDECL_END()};
    const UINT bytes = 0x40000;
    device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT, &vb, nullptr);
    device->CreateVertexDeclaration(elements, &declaration);
    device->SetVertexDeclaration(declaration);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetStreamSource(0, vb, 0, sizeof(Plain));
    const UINT batchVertices = 2 * gxLINESPERBATCH;
    UINT used = 0;
    for (auto _ : state) {
        for (int b = 0; b < gxLINES / gxLINESPERBATCH; b++) {
            DWORD flags = D3DLOCK_NOOVERWRITE;
            if (used + batchVertices * sizeof(Plain) > bytes) {
                used = 0;
                flags = D3DLOCK_DISCARD;
            }
            void* data = nullptr;
            vb->Lock(used, batchVertices * sizeof(Plain), &data, flags);
            Plain* out = static_cast<Plain*>(data);
            const GxIm3DVertex* in = &vertices[batchVertices * b];
            for (UINT i = 0; i < batchVertices; i++) {
                out[i] = Plain{in[i].objVertex, in[i].color};
            }
            vb->Unlock();
            benchmark::DoNotOptimize(device->DrawPrimitive(D3DPT_LINELIST, used / sizeof(Plain), gxLINESPERBATCH));
            used += batchVertices * sizeof(Plain);
        }
    }
    state.SetItemsProcessed(state.iterations() * gxLINES);
    device->SetStreamSource(0, nullptr, 0, 0);
    GxD3D9ResetDeviceCaches();
    declaration->Release();
    vb->Release();
}
BENCHMARK(BM_Im3DLinesDirect)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
