// The game's benchmarks run in a game root the content tool writes for the run (or MALL_GAME_ROOT, already
// written), on the software device with the plugins the game attaches; the root is removed at the end.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "engine/world/clumpext.h"
#include "gfx/anim/anim.h"
#include "gfx/core/spline.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/d3d9/skinpipe.h"
#include "gfx/fx/fx.h"
#include "gfx/fx/particles.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

inline void BenchAttachGamePlugins()
{
    if (!GxLODAtomicPluginAttach() || !GxWorldPluginAttach() || !GxD3D9SectorPluginAttach() || !GxAnimPluginAttach() ||
        !GxAnimHierarchyPluginAttach() || !GxD3D9SkinPluginAttach() || !GxUserDataPluginAttach() ||
        !GxSplinePluginAttach() || !AttachClumpExtension() || !GxMaterialEffectsPluginAttach() ||
        !GxUVAnimPluginAttach() || !GxParticleTankPluginAttach() || !GxParticlePluginAttach())
        std::abort();
}

// Enters the game root: MALL_GAME_ROOT as it is, or a folder mkcontent (beside the benchmark's build folder)
// writes now, which *written names for removal.
inline bool BenchEnterGameRoot(const char* program, const char* stem, std::filesystem::path* written)
{
    if (const char* ready = std::getenv("MALL_GAME_ROOT")) {
        std::filesystem::current_path(ready);
        return true;
    }
    const std::filesystem::path tool =
        std::filesystem::weakly_canonical(std::filesystem::absolute(program)).parent_path().parent_path() / "tools" /
        "mkcontent";
    const char* source = std::getenv("MALL_SOURCE_DIR");
    const std::filesystem::path text =
        std::filesystem::path(source ? source : MALL_BENCH_SOURCE_DIR) / "tools/content/text";
    std::random_device entropy;
    *written = std::filesystem::temp_directory_path() /
               (std::string(stem) + "_" + std::to_string(entropy()) + std::to_string(entropy()));
    const std::string command = "MALL_D3D9_BACKEND=software \"" + tool.string() + "\" \"" + text.string() + "\" \"" +
                                written->string() + "\" > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return false;
    std::filesystem::current_path(*written);
    return true;
}

// The benchmark program's main: the engine, the game root, the registered benchmarks, the clean-up.
inline int BenchRunInGameRoot(int argc, char** argv, const char* stem)
{
    if (!GxFuzzStartOnDriver(BenchAttachGamePlugins))
        return 1;
    const std::filesystem::path start = std::filesystem::current_path();
    std::filesystem::path written;
    if (argc > 0)
        BenchEnterGameRoot(argv[0], stem, &written);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::current_path(start);
    std::error_code ignored;
    if (!written.empty())
        std::filesystem::remove_all(written, ignored);
    return 0;
}
