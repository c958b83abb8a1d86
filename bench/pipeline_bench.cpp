// 2,000 cached atomics per frame through the default atomic pipeline on the software Direct3D 9 device, against the
// same draws issued straight to the device, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "gfx/core/camera.h"
#include "gfx/core/memory.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/testsupport/engine_fixture.h"
#include "gfx/world/world.h"
#include "platform/testsupport/softdevice.h"

namespace {

constexpr int kAtomics = 2000;
constexpr int kGeometries = 50;

// A lit, textured-flagged quad with one material.
GxGeometry* Quad(GxMaterial* material)
{
    GxGeometry* geometry =
        GxGeometryCreate(4, 2, gxGEOMETRYPOSITIONS | gxGEOMETRYNORMALS | gxGEOMETRYLIGHT | gxGEOMETRYTEXTURED);
    if (!geometry) {
        return nullptr;
    }
    GxMorphTarget* target = &geometry->morphTarget[0];
    for (int v = 0; v < 4; v++) {
        target->verts[v] = GxV3d{(v & 1) ? 0.5f : -0.5f, (v & 2) ? 0.5f : -0.5f, 0.0f};
        target->normals[v] = GxV3d{0, 0, -1};
        geometry->texCoords[0][v] = GxTexCoords{(v & 1) ? 1.0f : 0.0f, (v & 2) ? 1.0f : 0.0f};
    }
    const GxUInt16 tris[2][3] = {{0, 1, 2}, {2, 1, 3}};
    for (int t = 0; t < 2; t++) {
        for (int k = 0; k < 3; k++) {
            geometry->triangles[t].vertIndex[k] = tris[t][k];
        }
        GxGeometryTriangleSetMaterial(geometry, &geometry->triangles[t], material);
    }
    GxMorphTargetCalcBoundingSphere(target, &target->boundingSphere);
    return GxGeometryUnlock(geometry);
}

// The engine on the software device with the world objects, 2,000 atomics over 50 shared quads, and a camera.
struct Scene {
    GxCamera* camera = nullptr;
    std::vector<GxAtomic*> atomics;
    bool ok = false;

    Scene()
    {
        GxTestEngineSetup setup;
        setup.width = 640;
        setup.height = 480;
        setup.arenaSize = 0x1000000;
        setup.files = false;
        setup.plugins = [] { return GxWorldPluginAttach() && GxD3D9WorldPluginAttach(); };
        ok = GxTestProcessEngineStart(setup);
        if (!ok) {
            return;
        }
        D3D9SoftSetLogging(GxD3D9Device(), false);
        camera = GxTestCameraCreate(640, 480);
        GxMaterial* material = GxMaterialCreate();
        std::vector<GxGeometry*> geometries;
        for (int g = 0; g < kGeometries; g++) {
            geometries.push_back(Quad(material));
        }
        GxMaterialDestroy(material);
        for (int a = 0; a < kAtomics; a++) {
            GxAtomic* atomic = GxAtomicCreate();
            GxFrame* frame = GxFrameCreate();
            const GxV3d at = {static_cast<GxReal>(a % 40) - 20.0f, static_cast<GxReal>(a / 40) - 25.0f, 60.0f};
            GxFrameTranslate(frame, &at, 0);
            GxAtomicSetFrame(atomic, frame);
            GxAtomicSetGeometry(atomic, geometries[a % kGeometries], 0);
            atomics.push_back(atomic);
        }
        for (GxGeometry* geometry : geometries) {
            GxGeometryDestroy(geometry);  // the atomics hold them
        }
        ok = camera && Frame();  // instances every geometry once: later frames find them cached
    }

    bool Frame()
    {
        if (!GxCameraBeginUpdate(camera)) {
            return false;
        }
        bool drawn = true;
        for (GxAtomic* atomic : atomics) {
            drawn = GxAtomicDefaultRenderCallback(atomic) && drawn;
        }
        GxCameraEndUpdate(camera);
        return drawn;
    }
};

Scene& TheScene()
{
    static Scene scene;
    return scene;
}

void BM_DefaultPipeline2000Atomics(benchmark::State& state)
{
    Scene& scene = TheScene();
    if (!scene.ok) {
        state.SkipWithError("no engine");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(scene.Frame());
    }
    state.SetItemsProcessed(state.iterations() * kAtomics);
}
BENCHMARK(BM_DefaultPipeline2000Atomics)->Unit(benchmark::kMillisecond);

// Baseline: the same 2,000 indexed draws straight to the device from the cached instances, no pipeline.
void BM_Baseline2000DirectDraws(benchmark::State& state)
{
    Scene& scene = TheScene();
    if (!scene.ok) {
        state.SkipWithError("no engine");
        return;
    }
    IDirect3DDevice9* device = GxD3D9Device();
    for (auto _ : state) {
        GxCameraBeginUpdate(scene.camera);
        for (GxAtomic* atomic : scene.atomics) {
            const auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(atomic->geometry->repEntry + 1);
            const GxD3D9MeshInstance* mesh = GxD3D9InstanceMeshes(const_cast<GxD3D9InstanceHeader*>(header));
            device->SetStreamSource(0, header->streams[0].buffer, 0, header->streams[0].stride);
            device->SetIndices(header->indexBuffer);
            device->SetVertexDeclaration(header->declaration);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, static_cast<INT>(mesh->vertexBase), 0, mesh->vertexCount,
                                         mesh->firstIndex, mesh->primitiveCount);
        }
        GxCameraEndUpdate(scene.camera);
    }
    state.SetItemsProcessed(state.iterations() * kAtomics);
}
BENCHMARK(BM_Baseline2000DirectDraws)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
