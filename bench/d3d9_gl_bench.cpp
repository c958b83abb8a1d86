// Frame rate of 50,000 lit textured triangles at 800x600 through the Direct3D 9 layer beside plain OpenGL.
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/gl_baseline.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const UINT kWidth = 800;
const UINT kHeight = 600;
const int kColumns = 250;  // quads across
const int kRows = 100;     // quads down: 250 x 100 x 2 = 50,000 triangles
const int kBatches = 10;   // draw calls per frame
const D3DCOLOR kBackground = 0xFF202030u;
const D3DCOLOR kAmbient = 0xFF303030u;
const D3DVECTOR kLightDirection = {0.3f, -0.4f, 0.8f};

struct MeshVertex {  // XYZ | NORMAL | TEX1
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
const DWORD kMeshFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
static_assert(sizeof(MeshVertex) == 32, "the GL baseline reads 32-byte vertices");

// A rippled sheet facing the camera, quads clockwise on screen.
void BuildMesh(std::vector<MeshVertex>* vertices, std::vector<uint16_t>* indices, std::vector<uint32_t>* offsets)
{
    const int rowsPerBatch = kRows / kBatches;
    for (int b = 0; b < kBatches; ++b) {
        offsets->push_back(static_cast<uint32_t>(vertices->size()));
        for (int r = 0; r <= rowsPerBatch; ++r) {
            const int row = b * rowsPerBatch + r;
            for (int c = 0; c <= kColumns; ++c) {
                MeshVertex v;
                v.x = -1.6f + 3.2f * c / kColumns;
                v.y = 1.2f - 2.4f * row / kRows;
                v.z = 0.08f * std::sin(v.x * 7.0f) * std::cos(v.y * 5.0f);
                const float dzdx = 0.56f * std::cos(v.x * 7.0f) * std::cos(v.y * 5.0f);
                const float dzdy = -0.4f * std::sin(v.x * 7.0f) * std::sin(v.y * 5.0f);
                const float len = std::sqrt(dzdx * dzdx + dzdy * dzdy + 1.0f);
                v.nx = dzdx / len;
                v.ny = dzdy / len;
                v.nz = -1.0f / len;
                v.u = 8.0f * c / kColumns;
                v.v = 3.0f * row / kRows;
                vertices->push_back(v);
            }
        }
    }
    // One index list shared by every batch (each batch's vertices start at its offset).
    const int stride = kColumns + 1;
    for (int r = 0; r < rowsPerBatch; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const uint16_t tl = static_cast<uint16_t>(r * stride + c), tr = static_cast<uint16_t>(tl + 1);
            const uint16_t bl = static_cast<uint16_t>(tl + stride), br = static_cast<uint16_t>(bl + 1);
            const uint16_t quad[6] = {tl, tr, br, tl, br, bl};
            indices->insert(indices->end(), quad, quad + 6);
        }
    }
}

void BuildTexture(std::vector<uint32_t>* texels)
{
    texels->resize(256 * 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const bool check = ((x / 32) + (y / 32)) % 2 == 0;
            (*texels)[y * 256 + x] = check ? 0xFFE0A040u : 0xFF3070D0u;
        }
    }
}

// Row-vector matrices shared by both paths (GL loads them as they are).
void Matrices(D3DMATRIX* world, D3DMATRIX* view, D3DMATRIX* proj, float t)
{
    std::memset(world, 0, sizeof(*world));
    world->_11 = std::cos(t * 0.1f);
    world->_13 = -std::sin(t * 0.1f);
    world->_22 = 1.0f;
    world->_31 = std::sin(t * 0.1f);
    world->_33 = std::cos(t * 0.1f);
    world->_44 = 1.0f;
    std::memset(view, 0, sizeof(*view));
    view->_11 = view->_22 = view->_33 = view->_44 = 1.0f;
    view->_43 = 3.0f;
    std::memset(proj, 0, sizeof(*proj));
    const float ys = 1.0f / std::tan(0.45f), zn = 0.5f, zf = 50.0f;
    proj->_11 = ys * kHeight / kWidth;
    proj->_22 = ys;
    proj->_33 = zf / (zf - zn);
    proj->_34 = 1.0f;
    proj->_43 = -zn * zf / (zf - zn);
}

// ---------------------------------------------------------------- through the layer

void BM_D3D9Layer(benchmark::State& state)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    IDirect3D9* d3d = D3D9CreateOnBackend("opengl");
    D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(kWidth, kHeight, nullptr);
    IDirect3DDevice9* dev = nullptr;
    if (!d3d || FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev))) {
        if (d3d)
            d3d->Release();
        state.SkipWithError("no OpenGL device");
        return;
    }
    std::vector<MeshVertex> vertices;
    std::vector<uint16_t> indices;
    std::vector<uint32_t> offsets, texels;
    BuildMesh(&vertices, &indices, &offsets);
    BuildTexture(&texels);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    IDirect3DTexture9* tex = nullptr;
    dev->CreateVertexBuffer(static_cast<UINT>(vertices.size() * sizeof(MeshVertex)), D3DUSAGE_WRITEONLY, kMeshFVF,
                            D3DPOOL_MANAGED, &vb, nullptr);
    dev->CreateIndexBuffer(static_cast<UINT>(indices.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                           &ib, nullptr);
    dev->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr);
    void* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    std::memcpy(p, vertices.data(), vertices.size() * sizeof(MeshVertex));
    vb->Unlock();
    ib->Lock(0, 0, &p, 0);
    std::memcpy(p, indices.data(), indices.size() * 2);
    ib->Unlock();
    D3DLOCKED_RECT lr;
    tex->LockRect(0, &lr, nullptr, 0);
    for (int y = 0; y < 256; ++y)
        std::memcpy(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch, &texels[y * 256], 1024);
    tex->UnlockRect(0);

    D3DMATERIAL9 mat;
    std::memset(&mat, 0, sizeof(mat));
    mat.Diffuse = {1, 1, 1, 1};
    mat.Ambient = {1, 1, 1, 1};
    D3DLIGHT9 light;
    std::memset(&light, 0, sizeof(light));
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Direction = kLightDirection;
    const UINT verticesPerBatch = static_cast<UINT>(vertices.size() / kBatches);
    const UINT trianglesPerBatch = static_cast<UINT>(indices.size() / 3);
    float t = 0.0f;
    for (auto _ : state) {
        D3DMATRIX world, view, proj;
        Matrices(&world, &view, &proj, t += 0.016f);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground, 1.0f, 0);
        dev->BeginScene();
        dev->SetTransform(D3DTS_WORLD, &world);
        dev->SetTransform(D3DTS_VIEW, &view);
        dev->SetTransform(D3DTS_PROJECTION, &proj);
        dev->SetMaterial(&mat);
        dev->SetLight(0, &light);
        dev->LightEnable(0, TRUE);
        dev->SetRenderState(D3DRS_LIGHTING, TRUE);
        dev->SetRenderState(D3DRS_AMBIENT, kAmbient);
        dev->SetTexture(0, tex);
        dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        dev->SetFVF(kMeshFVF);
        dev->SetStreamSource(0, vb, 0, sizeof(MeshVertex));
        dev->SetIndices(ib);
        for (int b = 0; b < kBatches; ++b) {
            dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, static_cast<INT>(offsets[b]), 0, verticesPerBatch, 0,
                                      trianglesPerBatch);
        }
        dev->EndScene();
        dev->Present(nullptr, nullptr, nullptr, nullptr);
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["triangles"] = static_cast<double>(trianglesPerBatch * kBatches);
    tex->Release();
    ib->Release();
    vb->Release();
    dev->Release();
    d3d->Release();
}

// ---------------------------------------------------------------- plain OpenGL baselines

// The scene with GL calls alone: into the window's framebuffer (throughFbo
// false), or, as the layer does, into an FBO blitted to the window each frame.
void RunPlainGL(benchmark::State& state, bool throughFbo)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::vector<MeshVertex> vertices;
    std::vector<uint16_t> indices;
    std::vector<uint32_t> offsets, texels;
    BuildMesh(&vertices, &indices, &offsets);
    BuildTexture(&texels);
    const GlBaselineScene scene = {vertices.data(), vertices.size(), indices.data(), indices.size(),
                                   offsets.data(),  kBatches,        texels.data(),  256,
                                   kBackground,     kAmbient,        kLightDirection};
    GlBaseline* baseline = GlBaselineCreate(scene, static_cast<int>(kWidth), static_cast<int>(kHeight), throughFbo);
    if (!baseline) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    float t = 0.0f;
    for (auto _ : state) {
        D3DMATRIX world, view, proj;
        Matrices(&world, &view, &proj, t += 0.016f);
        GlBaselineDrawFrame(baseline, world, view, proj);
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["triangles"] = static_cast<double>(indices.size() / 3 * kBatches);
    GlBaselineDestroy(baseline);
}

void BM_PlainGL(benchmark::State& state) { RunPlainGL(state, false); }
void BM_PlainGLThroughFbo(benchmark::State& state) { RunPlainGL(state, true); }

}  // namespace

// Interleaved and repeated: frame rates on a shared machine drift during a run.
BENCHMARK(BM_PlainGL)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_PlainGLThroughFbo)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_D3D9Layer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_PlainGL)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_PlainGLThroughFbo)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_D3D9Layer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

BENCHMARK_MAIN();
