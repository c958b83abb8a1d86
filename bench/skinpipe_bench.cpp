// 40 walking characters of the content tool per frame through the skin pipeline on the software Direct3D 9
// device, blended on the processor and by the generated vertex shader, against the same bodies drawn unskinned by
// the default atomic pipeline in the same run.
#include <benchmark/benchmark.h>

#include <vector>

#include "gfx/anim/anim.h"
#include "gfx/core/camera.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/skinpipe.h"
#include "gfx/d3d9/skinpipe_testing.h"
#include "gfx/testsupport/engine_fixture.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"
#include "platform/testsupport/softdevice.h"
#include "tools/content/humanoid_writer.h"

namespace {

constexpr int kCharacters = 40;
constexpr GxReal kFrame = 1.0f / 60.0f;
constexpr GxReal kSpacing = 1.5f;
constexpr GxReal kDepth = 30.0f;

GxAtomic* FirstAtomic(GxAtomic* atomic, void* data)
{
    auto** out = static_cast<GxAtomic**>(data);
    if (!*out) {
        *out = atomic;
    }
    return atomic;
}

struct Character {
    GxClump* clump = nullptr;
    GxAtomic* body = nullptr;
    GxAnimHierarchy* hierarchy = nullptr;
};

// The engine on the software device with the skin plugin, 40 characters walking out of step, and a camera.
struct Scene {
    GxCamera* camera = nullptr;
    GxAnimation* walk = nullptr;
    std::vector<Character> characters;
    bool ok = false;

    Scene()
    {
        GxTestEngineSetup setup;
        setup.width = 640;
        setup.height = 480;
        setup.arenaSize = 0x2000000;
        setup.files = false;
        setup.plugins = [] {
            return GxWorldPluginAttach() && GxLODAtomicPluginAttach() && GxUserDataPluginAttach() &&
                   GxD3D9WorldPluginAttach() && GxAnimHierarchyPluginAttach() && GxD3D9SkinPluginAttach();
        };
        ok = GxTestProcessEngineStart(setup);
        if (!ok) {
            return;
        }
        D3D9SoftSetLogging(GxD3D9Device(), false);
        camera = GxTestCameraCreate(640, 480);
        walk = ContentHumanoidAnimation("walk");
        const ContentHumanoidPlan plan = {
            {235, 200, 170, 255}, {200, 40, 40, 255}, {40, 50, 90, 255}, {25, 25, 25, 255}, {90, 60, 30, 255}};
        for (int i = 0; ok && i < kCharacters; i++) {
            Character c;
            c.clump = ContentHumanoidCreate(plan);
            auto* root = c.clump ? static_cast<GxFrame*>(c.clump->object.parent) : nullptr;
            c.hierarchy = root && root->child ? GxFrameGetAnimHierarchy(root->child) : nullptr;
            if (c.clump) {
                GxClumpForAllAtomics(c.clump, FirstAtomic, &c.body);
            }
            ok = c.hierarchy && c.body && walk;
            if (!ok) {
                break;
            }
            const GxV3d at = {kSpacing * static_cast<GxReal>(i % 8 - 4), kSpacing * static_cast<GxReal>(i / 8 - 2),
                              kDepth};
            GxFrameTranslate(root, &at, gxCOMBINEREPLACE);
            GxAnimHierarchyAttach(c.hierarchy);
            GxAnimInterpolatorSetCurrentAnim(c.hierarchy->currentAnim, walk);
            GxAnimInterpolatorAddAnimTime(c.hierarchy->currentAnim, 0.05f * static_cast<GxReal>(i));
            GxSkinAtomicSetHierarchy(c.body, c.hierarchy);
            characters.push_back(c);
        }
        ok = ok && camera;
    }

    // Every body to the skin pipeline on the path the game takes on a device with or without usable vertex
    // shaders, or to the default pipeline unskinned.
    bool Select(int path)
    {
        std::vector<GxAtomic*> bodies;
        for (Character& c : characters) {
            c.body->pipeline = nullptr;
            bodies.push_back(c.body);
        }
        if (path < 0) {
            return Frame();
        }
        if (!GxD3D9SkinTestUseShaders(bodies.data(), bodies.size(), path == 1) || !Frame()) {
            return false;
        }
        bool all = true;
        for (GxAtomic* body : bodies) {
            all = GxSkinGeometryGetSkin(body->geometry)->usesVertexShader == static_cast<GxUInt32>(path) && all;
        }
        return all;
    }

    bool Frame()
    {
        for (Character& c : characters) {
            GxAnimInterpolatorAddAnimTime(c.hierarchy->currentAnim, kFrame);
            GxAnimHierarchyUpdateMatrices(c.hierarchy);
        }
        if (!GxCameraBeginUpdate(camera)) {
            return false;
        }
        bool drawn = true;
        for (Character& c : characters) {
            drawn = GxClumpRender(c.clump) && drawn;
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

void Run(benchmark::State& state, int path)
{
    Scene& scene = TheScene();
    if (!scene.ok || !scene.Select(path)) {
        state.SkipWithError(scene.ok ? "this path is not available on the device" : "no engine");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(scene.Frame());
    }
    state.SetItemsProcessed(state.iterations() * kCharacters);
}

// Baseline: the bodies at rest through the default atomic pipeline, animation stepped all the same.
void BM_CharactersUnskinnedBaseline(benchmark::State& state) { Run(state, -1); }
void BM_CharactersProcessorSkinned(benchmark::State& state) { Run(state, 0); }
void BM_CharactersShaderSkinned(benchmark::State& state) { Run(state, 1); }

}  // namespace

BENCHMARK(BM_CharactersUnskinnedBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CharactersProcessorSkinned)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CharactersShaderSkinned)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
