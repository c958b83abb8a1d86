// Frame synchronisation of a 10,000-frame hierarchy after moving 1,000 frames, against plain-loop recomputation.
#include <benchmark/benchmark.h>

#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/frame.h"

namespace {

constexpr int kFrames = 10000;
constexpr int kBranches = 99;  // root -> 99 branches -> 100 leaves each
constexpr int kMovedStride = 10;

// Parent index of frame i in creation order: 0 the root, 1..99 branches, then the leaves.
int ParentOf(int i)
{
    if (i == 0) {
        return -1;
    }
    if (i <= kBranches) {
        return 0;
    }
    return 1 + (i - kBranches - 1) % kBranches;
}

GxMatrix LocalFor(int i)
{
    GxMatrix m;
    GxMatrixSetIdentity(&m);
    const GxV3d axis = {0.0f, 1.0f, 0.2f};
    const GxV3d t = {float(i % 7), 1.0f, float(i % 5)};
    GxMatrixRotate(&m, &axis, float(i % 90), gxCOMBINEREPLACE);
    GxMatrixTranslate(&m, &t, gxCOMBINEPOSTCONCAT);
    return m;
}

// world = local x parent, written out the plain way.
void Multiply(GxMatrix* out, const GxMatrix& a, const GxMatrix& b)
{
    const GxV3d* rows[4] = {&a.right, &a.up, &a.at, &a.pos};
    GxV3d* outRows[4] = {&out->right, &out->up, &out->at, &out->pos};
    for (int r = 0; r < 4; r++) {
        const GxV3d& v = *rows[r];
        outRows[r]->x = v.x * b.right.x + v.y * b.up.x + v.z * b.at.x + (r == 3 ? b.pos.x : 0.0f);
        outRows[r]->y = v.x * b.right.y + v.y * b.up.y + v.z * b.at.y + (r == 3 ? b.pos.y : 0.0f);
        outRows[r]->z = v.x * b.right.z + v.y * b.up.z + v.z * b.at.z + (r == 3 ? b.pos.z : 0.0f);
    }
}

struct Scene {
    std::vector<GxFrame*> frames;
    std::vector<int> moved;

    Scene()
    {
        frames.resize(kFrames);
        for (int i = 0; i < kFrames; i++) {
            frames[i] = GxFrameCreate();
            const GxMatrix local = LocalFor(i);
            GxFrameTransform(frames[i], &local, gxCOMBINEREPLACE);
            if (ParentOf(i) >= 0) {
                GxFrameAddChild(frames[ParentOf(i)], frames[i]);
            }
        }
        for (int i = 1; i < kFrames; i += kMovedStride) {
            moved.push_back(i);
        }
        GxFrameSyncDirty();
    }
    ~Scene() { GxFrameDestroyHierarchy(frames[0]); }
};

void BM_FrameSyncDirty(benchmark::State& state)
{
    if (!GxTestEngineStart()) {
        state.SkipWithError("engine did not start");
        return;
    }
    {
        Scene scene;
        const GxV3d step = {0.001f, 0.0f, 0.0f};
        for (auto _ : state) {
            for (int i : scene.moved) {
                GxFrameTranslate(scene.frames[i], &step, gxCOMBINEPOSTCONCAT);
            }
            GxFrameSyncDirty();
            benchmark::DoNotOptimize(scene.frames[kFrames - 1]->ltm.pos.x);
        }
        state.SetItemsProcessed(state.iterations() * GxInt32(scene.moved.size()));
    }
    GxTestEngineShutdown();
}
BENCHMARK(BM_FrameSyncDirty)->Unit(benchmark::kMicrosecond);

// The same local updates and the same world matrices (the moved frames and
// everything below them), recomputed in a plain loop over arrays.
void BM_BaselineSameMatrices(benchmark::State& state)
{
    std::vector<GxMatrix> local(kFrames);
    std::vector<GxMatrix> world(kFrames);
    std::vector<int> parent(kFrames);
    std::vector<char> dirty(kFrames, 0);
    std::vector<int> moved;
    for (int i = 0; i < kFrames; i++) {
        local[i] = LocalFor(i);
        parent[i] = ParentOf(i);
    }
    for (int i = 1; i < kFrames; i += kMovedStride) {
        moved.push_back(i);
        dirty[i] = 1;
    }
    // Creation order puts every parent before its children, so one pass propagates.
    std::vector<int> recompute;
    for (int i = 1; i < kFrames; i++) {
        if (dirty[i] || dirty[parent[i]]) {
            dirty[i] = 1;
            recompute.push_back(i);
        }
    }
    world[0] = local[0];
    for (int i = 1; i < kFrames; i++) {
        Multiply(&world[i], local[i], world[parent[i]]);
    }
    for (auto _ : state) {
        for (int i : moved) {
            local[i].pos.x += 0.001f;
        }
        for (int i : recompute) {
            Multiply(&world[i], local[i], world[parent[i]]);
        }
        benchmark::DoNotOptimize(world[kFrames - 1].pos.x);
    }
    state.counters["recomputed"] = double(recompute.size());
    state.SetItemsProcessed(state.iterations() * GxInt32(moved.size()));
}
BENCHMARK(BM_BaselineSameMatrices)->Unit(benchmark::kMicrosecond);

// Every world matrix of the hierarchy, as an engine without dirty tracking would.
void BM_BaselineAllMatrices(benchmark::State& state)
{
    std::vector<GxMatrix> local(kFrames);
    std::vector<GxMatrix> world(kFrames);
    std::vector<int> parent(kFrames);
    for (int i = 0; i < kFrames; i++) {
        local[i] = LocalFor(i);
        parent[i] = ParentOf(i);
    }
    for (auto _ : state) {
        for (int i = 1; i < kFrames; i += kMovedStride) {
            local[i].pos.x += 0.001f;
        }
        world[0] = local[0];
        for (int i = 1; i < kFrames; i++) {
            Multiply(&world[i], local[i], world[parent[i]]);
        }
        benchmark::DoNotOptimize(world[kFrames - 1].pos.x);
    }
}
BENCHMARK(BM_BaselineAllMatrices)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
