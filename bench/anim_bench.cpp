// Animation: 300 characters of 30 bones stepped and posed per frame against a copy of their matrices, and
// processor skinning of 200 characters of 2,000 vertices against one rigid transform of the same vertices.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "gfx/anim/anim.h"
#include "gfx/core/engine_testing.h"
#include "gfx/d3d9/skincpu.h"
#include "gfx/testsupport/engine_fixture.h"
#include "gfx/world/clump.h"
#include "gfx/world/world.h"

namespace {

constexpr GxInt32 kCharacters = 300;
constexpr GxInt32 kBones = 30;
constexpr GxInt32 kKeys = 5;
constexpr GxInt32 kSkinned = 200;
constexpr GxUInt32 kVertices = 2000;
constexpr GxReal kFrame = 1.0f / 60.0f;

bool Started()
{
    GxTestEngineSetup setup;
    setup.backend = GxTestBackend::kRecording;
    setup.files = false;
    setup.plugins = [] { return GxWorldPluginAttach() && GxAnimHierarchyPluginAttach() && GxSkinPluginAttach(); };
    return GxTestProcessEngineStart(setup);
}

void FillSwing(GxInt32 node, GxInt32 key, GxAnimStdKeyFrame* frame, void*)
{
    const GxV3d axis = {0.0f, 0.0f, 1.0f};
    GxAnimQuatFromAxisAngle(frame->q, &axis, 0.3f * std::sin(static_cast<GxReal>(key + node)));
    frame->t = {0.0f, 0.1f, 0.0f};
}

// A spine of ten bones with two limbs of ten hanging from its root: pushes and pops as a skeleton has them.
std::vector<GxInt32> SkeletonFlags()
{
    std::vector<GxInt32> flags(kBones, 0);
    flags[0] = gxHANIMPUSHPARENTMATRIX;
    flags[9] = gxHANIMPOPPARENTMATRIX;
    flags[10] = gxHANIMPUSHPARENTMATRIX;
    flags[19] = gxHANIMPOPPARENTMATRIX;
    flags[29] = gxHANIMPOPPARENTMATRIX;
    return flags;
}

struct Crowd {
    GxAnimation* animation = nullptr;
    std::vector<GxAnimHierarchy*> hierarchies;
    explicit Crowd(GxInt32 count)
    {
        const GxReal times[kKeys] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
        animation = GxAnimStdAnimationBuild(kBones, kKeys, times, FillSwing, nullptr);
        const std::vector<GxInt32> flags = SkeletonFlags();
        for (GxInt32 i = 0; i < count; i++) {
            GxAnimHierarchy* h = GxAnimHierarchyCreate(
                kBones, flags.data(), nullptr, gxHANIMHIERARCHYLOCALSPACEMATRICES, gxHANIMSTDKEYFRAMESTREAMSIZE);
            GxAnimInterpolatorSetCurrentAnim(h->currentAnim, animation);
            GxAnimInterpolatorAddAnimTime(h->currentAnim, 0.01f * static_cast<GxReal>(i));
            hierarchies.push_back(h);
        }
    }
    ~Crowd()
    {
        for (GxAnimHierarchy* h : hierarchies) {
            GxAnimHierarchyDestroy(h);
        }
        GxAnimationDestroy(animation);
    }
};

// Baseline: copying every character's bone matrices once.
void BM_CrowdMatricesMemcpy(benchmark::State& state)
{
    std::vector<GxMatrix> from(kCharacters * kBones), to(kCharacters * kBones);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size() * sizeof(GxMatrix));
        benchmark::DoNotOptimize(to.data());
    }
}

void BM_CrowdAnimate(benchmark::State& state)
{
    if (!Started()) {
        state.SkipWithError("engine did not start");
        return;
    }
    Crowd crowd(kCharacters);
    for (auto _ : state) {
        for (GxAnimHierarchy* h : crowd.hierarchies) {
            GxAnimInterpolatorAddAnimTime(h->currentAnim, kFrame);
            GxAnimHierarchyUpdateMatrices(h);
        }
        benchmark::DoNotOptimize(crowd.hierarchies.back()->pMatrixArray);
    }
}

struct SkinnedCrowd {
    Crowd crowd{kSkinned};
    std::vector<GxSkin*> skins;
    std::vector<GxV3d> positions, normals;
    std::vector<GxV3d> out;  // position and normal per vertex
    SkinnedCrowd() : positions(kVertices), normals(kVertices), out(2 * kVertices)
    {
        std::vector<GxReal> weights(kVertices * 4, 0.0f);
        std::vector<GxUInt32> indices(kVertices, 0);
        for (GxUInt32 v = 0; v < kVertices; v++) {
            positions[v] = {static_cast<GxReal>(v % 20), static_cast<GxReal>(v / 20) * 0.1f, 0.0f};
            normals[v] = {0.0f, 0.0f, 1.0f};
            const GxUInt32 bone = v % kBones;
            // Most vertices near a joint: two bones, a quarter with three.
            weights[v * 4] = 0.6f;
            weights[v * 4 + 1] = v % 4 == 0 ? 0.3f : 0.4f;
            weights[v * 4 + 2] = v % 4 == 0 ? 0.1f : 0.0f;
            indices[v] = bone | (((bone + 1) % kBones) << 8) | (((bone + 2) % kBones) << 16);
        }
        std::vector<GxMatrix> toBone(kBones);
        for (GxMatrix& m : toBone) {
            GxMatrixSetIdentity(&m);
        }
        for (GxInt32 i = 0; i < kSkinned; i++) {
            GxSkin* skin = GxSkinCreate();
            GxSkinDataAllocate(skin, kBones, 0, kVertices, nullptr, weights.data(), indices.data(), toBone.data());
            skin->maxNumWeightsForVertex = 3;
            skins.push_back(skin);
        }
        for (GxAnimHierarchy* h : crowd.hierarchies) {
            GxAnimHierarchyUpdateMatrices(h);
        }
    }
    ~SkinnedCrowd()
    {
        for (GxSkin* skin : skins) {
            GxSkinDestroy(skin);
        }
    }
};

// Baseline: every character's vertices through one rigid matrix.
void BM_SkinRigidBaseline(benchmark::State& state)
{
    if (!Started()) {
        state.SkipWithError("engine did not start");
        return;
    }
    SkinnedCrowd crowd;
    GxMatrix m;
    GxMatrixSetIdentity(&m);
    m.pos = {1.0f, 2.0f, 3.0f};
    GxMatrixUpdate(&m);
    for (auto _ : state) {
        for (GxInt32 i = 0; i < kSkinned; i++) {
            GxD3D9SkinBlendSingleBoneSSE(kVertices, &m, crowd.positions.data(), &crowd.out[0], crowd.normals.data(),
                                         &crowd.out[1], 2 * sizeof(GxV3d));
        }
        benchmark::DoNotOptimize(crowd.out.data());
    }
}

void BM_SkinCrowdProcessor(benchmark::State& state)
{
    if (!Started()) {
        state.SkipWithError("engine did not start");
        return;
    }
    SkinnedCrowd crowd;
    std::vector<GxMatrix> palette(gxSKINPALETTESIZE);
    for (auto _ : state) {
        for (GxInt32 i = 0; i < kSkinned; i++) {
            GxD3D9SkinPaletteMatrices(palette.data(), nullptr, crowd.skins[i], crowd.crowd.hierarchies[i]);
            GxD3D9SkinBlendSSE(crowd.skins[i], palette.data(), kVertices, crowd.positions.data(), &crowd.out[0],
                               crowd.normals.data(), &crowd.out[1], 2 * sizeof(GxV3d));
        }
        benchmark::DoNotOptimize(crowd.out.data());
    }
}

}  // namespace

BENCHMARK(BM_CrowdMatricesMemcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CrowdAnimate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkinRigidBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkinCrowdProcessor)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
