// 500 characters walking their routes, one update each per frame, against the bare per-frame work of a walk
// (one spline matrix and one parameter step per walker) measured in the same run. Target: a frame under 1 ms.
#include <benchmark/benchmark.h>

#include <optional>
#include <vector>

#include "engine/data/random.h"
#include "engine/navigation/blockgrid.h"
#include "engine/navigation/character.h"
#include "engine/world/clumpext.h"
#include "engine/world/composite.h"
#include "engine/world/spline.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/frame.h"
#include "gfx/core/memory.h"
#include "gfx/core/spline.h"
#include "gfx/fx/fx.h"
#include "gfx/testsupport/engine_fixture.h"
#include "gfx/world/clump.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

namespace {

constexpr GxUInt32 kArenaSize = 0x4000000;
constexpr int kWalkers = 500;
constexpr int kSide = 64;
constexpr int kCellSize = 2;
constexpr int kMinRoute = 8;
constexpr int kRouteSpread = 24;
constexpr float kFrame = 1.0f / 60.0f;

// A pooled model of one triangle on the clump's frame, read through a stream as a loader reads it.
CFerroxComposite* PooledModel()
{
    GxClump* clump = GxClumpCreate();
    GxFrame* frame = GxFrameCreate();
    GxGeometry* geometry = GxGeometryCreate(3, 1, gxGEOMETRYPOSITIONS);
    if (clump == nullptr || frame == nullptr || geometry == nullptr) {
        return nullptr;
    }
    GxClumpSetFrame(clump, frame);
    geometry->morphTarget[0].verts[1] = GxV3d{1, 0, 0};
    geometry->morphTarget[0].verts[2] = GxV3d{0, 1, 0};
    geometry->triangles[0] = GxTriangle{{0, 1, 2}, gxGEOMETRYNOMATERIAL};
    GxMorphTargetCalcBoundingSphere(&geometry->morphTarget[0], &geometry->morphTarget[0].boundingSphere);
    GxGeometryUnlock(geometry);
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetFrame(atomic, frame);
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxGeometryDestroy(geometry);
    GxClumpAddAtomic(clump, atomic);
    GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    const bool written = out != nullptr && GxClumpStreamWrite(clump, out) != nullptr;
    GxClumpDestroy(clump);
    GxMemory memory = {nullptr, 0};
    if (out != nullptr) {
        GxStreamClose(out, &memory);
    }
    GxStream* in = written ? GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory) : nullptr;
    CFerroxComposite* model = nullptr;
    if (in != nullptr && GxStreamFindChunk(in, gxID_CLUMP, nullptr, nullptr)) {
        model = new CFerroxComposite();
        const FerroxLODSetup setup = {"walker", in, nullptr, 0, nullptr, nullptr};
        if (!model->SetupLOD(&setup)) {
            delete model;
            model = nullptr;
        }
    }
    if (in != nullptr) {
        GxStreamClose(in, nullptr);
    }
    GxFree(memory.start);
    return model;
}

struct Crowd {
    CFerroxBlockGrid grid;
    CFerroxComposite* pooled = nullptr;
    FerroxModelRecord record = {1, nullptr};
    CFerroxAssetSet set;
    std::vector<CFerroxCharacter*> walkers;
    bool started = false;

    bool Build()
    {
        GxTestEngineSetup setup = GxTestRecordingSetup([] {
            return GxSplinePluginAttach() && GxWorldPluginAttach() && GxUserDataPluginAttach() &&
                   GxAnimPluginAttach() && GxUVAnimPluginAttach() && AttachClumpExtension();
        });
        setup.arenaSize = kArenaSize;
        engine.emplace(setup);
        started = engine->Ok();
        if (!started || !grid.Create(kSide, kSide, {0, 0, 0}, kCellSize, 1) || (pooled = PooledModel()) == nullptr) {
            return false;
        }
        record.asset = pooled;
        set.AddModel(&record);
        FerroxObjectDescriptor descriptor = {};
        descriptor.assetSet = &set;
        descriptor.modelMode = FERROX_MODEL_CLONE;
        descriptor.grid = &grid;
        FerroxSrand(11);
        for (int i = 0; i < kWalkers; i++) {
            auto* walker = new CFerroxCharacter();
            walkers.push_back(walker);
            walker->Setup(&descriptor);
            // A straight route along a row, so that no search is made.
            const int row = FerroxRand() % kSide;
            const int length = kMinRoute + FerroxRand() % kRouteSpread;
            const int first = FerroxRand() % (kSide - length);
            const int from = row * kSide + first, to = from + length;
            GxV3d at;
            grid.GetCellPosition(from, &at, 1);
            walker->Translate(&at, 0);
            if (walker->StepPath(from, to, 0, 0) != 1 || walker->GetPathSpline() == nullptr) {
                return false;
            }
            walker->m_movementMode = FERROX_MOVE_FOLLOWING;
            walker->m_pathParam = static_cast<float>(FerroxRand() % 100) / 100.0f;
        }
        return true;
    }

    ~Crowd()
    {
        for (CFerroxCharacter* walker : walkers) {
            delete walker;
        }
        walkers.clear();
        delete pooled;
        grid.Release();
        engine.reset();
    }
    std::optional<GxTestEngine> engine;
};

void BM_CharacterFrame(benchmark::State& state)
{
    Crowd crowd;
    if (!crowd.Build()) {
        state.SkipWithError("crowd not built");
        return;
    }
    for (auto _ : state) {
        for (CFerroxCharacter* walker : crowd.walkers) {
            walker->Update(kFrame);
            // A walker at the end of its route sets off again.
            walker->m_movementMode = FERROX_MOVE_FOLLOWING;
        }
    }
    state.counters["walkers"] = kWalkers;
}
BENCHMARK(BM_CharacterFrame)->Unit(benchmark::kMicrosecond);

// The bare walk: each walker's spline matrix at its parameter, then the parameter moved on.
void BM_BareSplineFrame(benchmark::State& state)
{
    Crowd crowd;
    if (!crowd.Build()) {
        state.SkipWithError("crowd not built");
        return;
    }
    std::vector<GxMatrix> matrices(kWalkers);
    std::vector<float> params(kWalkers);
    std::vector<GxSpline*> splines;
    for (CFerroxCharacter* walker : crowd.walkers) {
        splines.push_back(walker->GetPathSpline()->GetSpline());
    }
    const GxV3d up = {0, 1, 0};
    for (auto _ : state) {
        for (int i = 0; i < kWalkers; i++) {
            GxSplineFindMatrix(splines[i], gxSPLINEPATHSMOOTH, params[i], &up, &matrices[i]);
            params[i] += kFrame * 0.05f;
            params[i] = params[i] < 1 ? params[i] : 0;
        }
        benchmark::DoNotOptimize(matrices.data());
    }
    state.counters["walkers"] = kWalkers;
}
BENCHMARK(BM_BareSplineFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
