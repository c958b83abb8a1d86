// The interface benchmarks' set-up: the engine on the recording device, the game with its mouse, and pictures
// kept in memory only, so that a run measures the interface and not the device.
#pragma once

#include <benchmark/benchmark.h>

#include "bench/engine_local.h"
#include "engine/application/mouse.h"
#include "game/shell/game.h"
#include "ui/toolkit/canvas.h"

// Pictures decoded and kept in memory; a draw costs nothing but is not optimised away.
class BenchMemoryImage : public CFerroxImageImpl {
public:
    void Render(const float* rect, float x, float y) override { benchmark::DoNotOptimize(rect[0] + x + y); }

protected:
    GxTexture* CreateTexture(const uint8_t*, int32_t, int32_t, int32_t) override { return nullptr; }
    bool CreateBrush() override { return true; }
};

inline CFerroxImageImpl* BenchMakeMemoryImage() { return new BenchMemoryImage(); }

// Starts the engine reading `images`, makes the game and its mouse and keeps pictures in memory; null when the
// engine does not start.
inline CGame* BenchStartInterface(unsigned images)
{
    if (!BenchEngineStart(images))
        return nullptr;
    CGame* game = CGame::Instance(nullptr);
    game->m_pMouse = std::make_unique<CFerroxMouse>();
    FerroxSetImageImplFactory(BenchMakeMemoryImage);
    return game;
}

// The program's one scene, built by `build` on its first use.
template <typename Scene>
Scene& BenchScene(void (*build)(Scene&))
{
    static Scene scene;
    static const bool built = (build(scene), true);
    static_cast<void>(built);
    return scene;
}

// The program's scene when its set-up succeeded; otherwise null, and the benchmark is marked failed.
template <typename Scene>
Scene* BenchReadyScene(benchmark::State& state, Scene& scene)
{
    if (scene.ready)
        return &scene;
    state.SkipWithError("set-up failed");
    return nullptr;
}
