// The benchmarks' engine on the recording device with the host's files, started once per program.
#pragma once

#include "gfx/testsupport/engine_fixture.h"

constexpr GxUInt32 kBenchArenaSize = 0x2000000;

// Opened and started with the given image formats; with `start` false the engine is only initialised.
inline bool BenchEngineStart(unsigned images, bool start = true, GxUInt32 arenaSize = kBenchArenaSize)
{
    GxTestEngineSetup setup;
    setup.backend = GxTestBackend::kRecording;
    setup.arenaSize = arenaSize;
    setup.images = images;
    setup.start = start;
    return GxTestProcessEngineStart(setup);
}
