// The ray picker over 300 boxed objects and a ground plate against a brute-force pick (every triangle of every
// atomic, in world space) of the same rays, measured in the same run. Target: a pick under 0.5 ms.
#include <benchmark/benchmark.h>

#include <cfloat>
#include <optional>
#include <vector>

#include "engine/data/random.h"
#include "engine/world/clumpext.h"
#include "engine/world/composite.h"
#include "engine/world/picker.h"
#include "engine/world/picker_testing.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/frame.h"
#include "gfx/core/matrix.h"
#include "gfx/testsupport/engine_fixture.h"
#include "gfx/world/collision.h"

namespace {

constexpr GxUInt32 kArenaSize = 0x1000000;
constexpr int kColumns = 20;
constexpr int kRows = 15;  // 300 objects
constexpr GxReal kSpacing = 4.0f;
constexpr GxReal kHalf = 1.0f;
constexpr int kRays = 256;

int g_storage[kColumns * kRows + 1] = {};

// The benchmark's world: the engine world stands for the scene's graphics world.
int g_worldStorage = 0;
CFerroxWorld* const kWorld = reinterpret_cast<CFerroxWorld*>(&g_worldStorage);
GxWorld* g_graphicsWorld = nullptr;
GxWorld* GraphicsWorld(CFerroxWorld*) { return g_graphicsWorld; }

// A box of half-size `half` whose faces face outwards: 4 corners and 2 triangles per face.
GxGeometry* BoxGeometry(GxReal half)
{
    static const GxV3d normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    GxGeometry* geometry = GxGeometryCreate(24, 12, gxGEOMETRYPOSITIONS);
    if (geometry == nullptr) {
        return nullptr;
    }
    GxMorphTarget* target = &geometry->morphTarget[0];
    for (GxInt32 face = 0; face < 6; face++) {
        const GxV3d n = normals[face];
        const GxV3d u = n.x != 0 ? GxV3d{0, 1, 0} : GxV3d{1, 0, 0};
        const GxV3d w = {n.y * u.z - n.z * u.y, n.z * u.x - n.x * u.z, n.x * u.y - n.y * u.x};
        for (GxInt32 corner = 0; corner < 4; corner++) {
            const GxReal a = (corner & 1) ? half : -half;
            const GxReal b = (corner & 2) ? half : -half;
            target->verts[face * 4 + corner] =
                GxV3d{n.x * half + u.x * a + w.x * b, n.y * half + u.y * a + w.y * b, n.z * half + u.z * a + w.z * b};
        }
        const auto base = static_cast<GxUInt16>(face * 4);
        geometry->triangles[face * 2] =
            GxTriangle{{base, static_cast<GxUInt16>(base + 1), static_cast<GxUInt16>(base + 3)}, gxGEOMETRYNOMATERIAL};
        geometry->triangles[face * 2 + 1] =
            GxTriangle{{base, static_cast<GxUInt16>(base + 3), static_cast<GxUInt16>(base + 2)}, gxGEOMETRYNOMATERIAL};
    }
    GxMorphTargetCalcBoundingSphere(target, &target->boundingSphere);
    GxGeometryUnlock(geometry);
    return geometry;
}

struct Scene {
    GxWorld* world = nullptr;
    std::vector<GxClump*> clumps;
    std::vector<GxAtomic*> atomics;
    std::vector<GxLine> rays;
    CFerroxComposite* ground = reinterpret_cast<CFerroxComposite*>(&g_storage[kColumns * kRows]);

    bool Build()
    {
        GxTestEngineSetup setup = GxTestRecordingSetup(
            [] { return GxWorldPluginAttach() && GxCollisionPluginAttach() && AttachClumpExtension(); });
        setup.arenaSize = kArenaSize;
        engine.emplace(setup);
        if (!engine->Ok()) {
            return false;
        }
        const GxBBox box = {{200, 50, 200}, {-200, -50, -200}};
        world = GxWorldCreate(&box);
        GxGeometry* cube = BoxGeometry(kHalf);
        GxGeometry* plate = BoxGeometry(kSpacing * kColumns);
        if (world == nullptr || cube == nullptr || plate == nullptr) {
            return false;
        }
        for (int i = 0; i < kColumns * kRows; i++) {
            const GxV3d at = {(i % kColumns) * kSpacing, kHalf, (i / kColumns) * kSpacing};
            Add(cube, at, reinterpret_cast<CFerroxObject*>(&g_storage[i]), nullptr);
        }
        // The ground: a plate whose top lies at y 0 under every object.
        const GxReal plateHalf = kSpacing * kColumns;
        Add(plate, GxV3d{plateHalf / 2, -plateHalf, plateHalf / 2}, nullptr, ground);
        GxGeometryDestroy(cube);
        GxGeometryDestroy(plate);
        GxFrameSyncDirty();
        FerroxSrand(7);
        for (int i = 0; i < kRays; i++) {
            const GxReal x = static_cast<GxReal>(FerroxRand() % (kColumns * 40)) / 10.0f;
            const GxReal z = static_cast<GxReal>(FerroxRand() % (kRows * 40)) / 10.0f;
            // From a camera high above one side, down through a point of the floor.
            rays.push_back(GxLine{{x - 30, 60, z - 30}, {x + 10, -20, z + 10}});
        }
        return true;
    }

    void Add(GxGeometry* geometry, GxV3d at, CFerroxObject* owner, CFerroxComposite* model)
    {
        GxClump* clump = GxClumpCreate();
        GxFrame* frame = GxFrameCreate();
        GxClumpSetFrame(clump, frame);
        GxFrameTranslate(frame, &at, 0);
        GxAtomic* atomic = GxAtomicCreate();
        GxAtomicSetFrame(atomic, frame);
        GxAtomicSetGeometry(atomic, geometry, 0);
        atomic->object.object.flags |= gxATOMICCOLLISIONTEST;
        GxClumpAddAtomic(clump, atomic);
        SetClumpOwner(clump, owner);
        SetClumpComposite(clump, model);
        GxWorldAddClump(world, clump);
        clumps.push_back(clump);
        atomics.push_back(atomic);
    }

    ~Scene()
    {
        for (GxClump* clump : clumps) {
            GxWorldRemoveClump(world, clump);
            GxClumpDestroy(clump);
        }
        if (world != nullptr) {
            GxWorldDestroy(world);
        }
        engine.reset();
    }
    std::optional<GxTestEngine> engine;
};

// Every triangle of every atomic in world space; the nearest owner.
CFerroxObject* BrutePick(Scene& scene, const GxLine& line)
{
    const GxV3d delta = {line.end.x - line.start.x, line.end.y - line.start.y, line.end.z - line.start.z};
    GxReal best = FLT_MAX;
    GxClump* nearest = nullptr;
    for (GxAtomic* atomic : scene.atomics) {
        const GxMatrix* matrix = GxFrameGetWorldMatrix(static_cast<GxFrame*>(atomic->object.object.parent));
        const GxGeometry* geometry = atomic->geometry;
        const GxV3d* verts = geometry->morphTarget[0].verts;
        for (GxInt32 t = 0; t < geometry->numTriangles; t++) {
            GxV3d v[3];
            for (int k = 0; k < 3; k++) {
                GxV3dTransformPoint(&v[k], &verts[geometry->triangles[t].vertIndex[k]], matrix);
            }
            GxReal distance = 0;
            if (GxIntersectLineTriangle(&line.start, &delta, &v[0], &v[1], &v[2], &distance) && distance < best) {
                best = distance;
                nearest = atomic->clump;
            }
        }
    }
    return nearest != nullptr ? GetClumpOwner(nearest) : nullptr;
}

void Report(benchmark::State& state)
{
    state.counters["us_per_pick"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kRays,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}

void BM_PickerPick(benchmark::State& state)
{
    Scene scene;
    if (!scene.Build()) {
        state.SkipWithError("scene not built");
        return;
    }
    FerroxLinePicker picker;
    g_graphicsWorld = scene.world;
    FerroxGetWorldAccess().graphicsWorld = GraphicsWorld;
    picker.SetScene(kWorld, nullptr);
    GxV3d point = {0, 0, 0};
    int grounded = 0;
    for (const GxLine& ray : scene.rays) {
        point.y = -1;
        if (picker.PickLine(ray, scene.ground, &point) != BrutePick(scene, ray)) {
            state.SkipWithError("the picker's object differs from the brute-force pick");
            return;
        }
        grounded += point.y == 0;
    }
    for (auto _ : state) {
        for (const GxLine& ray : scene.rays) {
            benchmark::DoNotOptimize(picker.PickLine(ray, scene.ground, &point));
        }
    }
    state.counters["ground_points"] = grounded;
    Report(state);
}
BENCHMARK(BM_PickerPick)->Unit(benchmark::kMillisecond);

void BM_BruteForcePick(benchmark::State& state)
{
    Scene scene;
    if (!scene.Build()) {
        state.SkipWithError("scene not built");
        return;
    }
    for (auto _ : state) {
        for (const GxLine& ray : scene.rays) {
            benchmark::DoNotOptimize(BrutePick(scene, ray));
        }
    }
    Report(state);
}
BENCHMARK(BM_BruteForcePick)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
