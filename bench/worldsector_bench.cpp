// World sectors: re-tying 1,000 moving atomics in a 500-sector world against the same moves of atomics outside
// any world, and a line query over 2,000 atomics in the world against a brute-force test of their spheres.
#include <benchmark/benchmark.h>

#include <vector>

#include "gfx/world/fuzz_testing.h"
#include "tools/content/world_writer.h"

namespace {

constexpr GxInt32 kCells = 50;               // 50 x 50 cells, 5,000 triangles
constexpr GxInt32 kTrianglesPerSector = 12;  // about 500 sectors
constexpr GxReal kCell = 2.0f;
constexpr GxInt32 kMovers = 1000;
constexpr GxInt32 kQueried = 2000;
constexpr GxReal kRadius = 0.75f;

struct Scene {
    GxMaterial* material = nullptr;
    GxWorld* world = nullptr;
    GxInt32 sectors = 0;
};

Scene& TheScene()
{
    static Scene scene;
    if (scene.world || !GxWorldEngineStart()) {
        return scene;
    }
    ContentWorldMesh mesh;
    for (GxInt32 z = 0; z < kCells; z++) {
        for (GxInt32 x = 0; x < kCells; x++) {
            const GxReal x0 = x * kCell, z0 = z * kCell;
            const GxV3d corners[4] = {
                {x0, 0, z0}, {x0, 0, z0 + kCell}, {x0 + kCell, 0, z0 + kCell}, {x0 + kCell, 0, z0}};
            ContentWorldAddQuad(&mesh, corners, GxV3d{0, 1, 0}, GxRGBA{255, 255, 255, 255}, 0, 1.0f);
        }
    }
    scene.material = GxMaterialCreate();
    const GxReal size = kCells * kCell;
    const ContentWorldPlan plan = {
        gxGEOMETRYPOSITIONS, GxBBox{{size, 10, size}, {0, -10, 0}}, {scene.material}, kTrianglesPerSector};
    const std::vector<GxUInt8> bytes = ContentWorldBytes(mesh, plan);
    GxMemory memory = {const_cast<GxUInt8*>(bytes.data()), static_cast<GxUInt32>(bytes.size())};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (stream && GxStreamFindChunk(stream, gxID_WORLD, nullptr, nullptr)) {
        scene.world = GxWorldStreamRead(stream);
    }
    if (stream) {
        GxStreamClose(stream, nullptr);
    }
    GxWorldForAllWorldSectors(
        scene.world,
        [](GxWorldSector* s, void* data) {
            ++*static_cast<GxInt32*>(data);
            return s;
        },
        &scene.sectors);
    return scene;
}

// A clump of `count` atomics, each on a frame of its own under the clump's root, spread over the ground.
GxClump* Crowd(GxInt32 count, GxUInt32 seed)
{
    GxClump* clump = GxClumpCreate();
    GxFrame* root = GxFrameCreate();
    GxClumpSetFrame(clump, root);
    GxUInt32 state = seed;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<GxReal>(state >> 8) / static_cast<GxReal>(1u << 24);
    };
    for (GxInt32 i = 0; i < count; i++) {
        GxAtomic* atomic = GxAtomicCreate();
        GxFrame* frame = GxFrameCreate();
        GxFrameAddChild(root, frame);
        GxAtomicSetFrame(atomic, frame);
        atomic->boundingSphere = GxSphere{{0, 0, 0}, kRadius};
        atomic->interpolator.flags = 0;
        const GxV3d at = {next() * kCells * kCell, 0, next() * kCells * kCell};
        GxFrameTranslate(frame, &at, 0);
        GxClumpAddAtomic(clump, atomic);
    }
    return clump;
}

// Moves every atomic a little and synchronises the frames (which re-ties them when they are in a world).
void MoveAll(GxClump* clump, GxReal step)
{
    GxFrame* root = static_cast<GxFrame*>(clump->object.parent);
    const GxV3d delta = {step, 0, step * 0.5f};
    for (GxFrame* child = root->child; child; child = child->next) {
        GxFrameTranslate(child, &delta, 2);
    }
    GxFrameSyncDirty();
}

// Moves the crowd to and fro; in the world every move ties its atomics to their sectors again.
void MoveCrowd(benchmark::State& state, bool inWorld)
{
    Scene& scene = TheScene();
    GxClump* clump = Crowd(kMovers, 1);
    if (inWorld) {
        GxWorldAddClump(scene.world, clump);
        GxFrameSyncDirty();
    }
    GxReal step = 0.01f;
    for (auto _ : state) {
        MoveAll(clump, step);
        step = -step;
    }
    state.counters["sectors"] = scene.sectors;
    if (inWorld) {
        GxWorldRemoveClump(scene.world, clump);
    }
    GxClumpDestroy(clump);
}

void BM_MoveOutsideWorld(benchmark::State& state) { MoveCrowd(state, false); }
BENCHMARK(BM_MoveOutsideWorld)->Unit(benchmark::kMicrosecond);

void BM_RetieInWorld(benchmark::State& state) { MoveCrowd(state, true); }
BENCHMARK(BM_RetieInWorld)->Unit(benchmark::kMicrosecond);

GxWorldSector* CountHit(GxIntersection*, GxWorldSector* sector, GxAtomic*, GxReal, void* data)
{
    ++*static_cast<GxInt32*>(data);
    return sector;
}

const GxLine kLine = {{0, 0, 1}, {kCells * kCell, 0, kCells* kCell - 1}};

void BM_LineQueryBruteForce(benchmark::State& state)
{
    TheScene();
    GxClump* clump = Crowd(kQueried, 2);
    std::vector<GxSphere> spheres;
    GxClumpForAllAtomics(
        clump,
        [](GxAtomic* atomic, void* data) {
            static_cast<std::vector<GxSphere>*>(data)->push_back(*GxAtomicGetWorldBoundingSphere(atomic));
            return atomic;
        },
        &spheres);
    const GxV3d d = {kLine.end.x - kLine.start.x, kLine.end.y - kLine.start.y, kLine.end.z - kLine.start.z};
    const GxReal L = GxV3dDotProduct(&d, &d);
    for (auto _ : state) {
        GxInt32 hits = 0;
        for (const GxSphere& s : spheres) {
            const GxV3d w = {s.center.x - kLine.start.x, s.center.y - kLine.start.y, s.center.z - kLine.start.z};
            const GxReal k = GxV3dDotProduct(&w, &d);
            const GxReal f = s.radius * s.radius * L - (L * GxV3dDotProduct(&w, &w) - k * k);
            hits += f >= 0 && k >= 0 && k <= L;
        }
        benchmark::DoNotOptimize(hits);
    }
    GxClumpDestroy(clump);
}
BENCHMARK(BM_LineQueryBruteForce)->Unit(benchmark::kMicrosecond);

void BM_LineQueryInWorld(benchmark::State& state)
{
    Scene& scene = TheScene();
    GxClump* clump = Crowd(kQueried, 2);
    GxWorldAddClump(scene.world, clump);
    GxFrameSyncDirty();
    GxIntersection query = {};
    query.type = gxINTERSECTLINE;
    query.t.line = kLine;
    GxInt32 hits = 0;
    for (auto _ : state) {
        hits = 0;
        GxWorldForAllIntersections(scene.world, &query, CountHit, &hits);
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = hits;
    GxWorldRemoveClump(scene.world, clump);
    GxClumpDestroy(clump);
}
BENCHMARK(BM_LineQueryInWorld)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
