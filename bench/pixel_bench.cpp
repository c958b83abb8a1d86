// Pixel work of the Direct3D 9 driver: DXT5 decoding and image-to-raster conversion, against plain copies.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "gfx/core/image.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/dds.h"
#include "gfx/d3d9/pixelconv.h"
#include "gfx/d3d9/raster.h"
#include "gfx/testsupport/dds_writer.h"
#include "gfx/testsupport/engine_fixture.h"

namespace {

constexpr int kSide = 1024;

std::vector<uint8_t> Picture()
{
    std::vector<uint8_t> rgba(static_cast<size_t>(kSide) * kSide * 4);
    uint32_t seed = 99;
    for (int y = 0; y < kSide; y++) {
        for (int x = 0; x < kSide; x++) {
            seed = seed * 1664525u + 1013904223u;
            uint8_t* p = &rgba[(static_cast<size_t>(y) * kSide + x) * 4];
            p[0] = static_cast<uint8_t>(x / 4);
            p[1] = static_cast<uint8_t>(y / 4 + (seed >> 29));
            p[2] = static_cast<uint8_t>((x ^ y) & 0xF0);
            p[3] = static_cast<uint8_t>((x + y) / 8);
        }
    }
    return rgba;
}

const std::vector<uint8_t>& Blocks()
{
    static const std::vector<uint8_t> blocks = ContentDxtEncode(5, kSide, kSide, Picture().data());
    return blocks;
}

void BM_CopyBaseline(benchmark::State& state)
{
    std::vector<uint8_t> from(static_cast<size_t>(kSide) * kSide * 4, 1);
    std::vector<uint8_t> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(from.size()));
}
BENCHMARK(BM_CopyBaseline)->Unit(benchmark::kMillisecond);

void BM_DecodeDXT5(benchmark::State& state)
{
    const std::vector<uint8_t>& blocks = Blocks();
    std::vector<uint8_t> rgba(static_cast<size_t>(kSide) * kSide * 4);
    for (auto _ : state) {
        GxD3D9DecompressDXT5(kSide, kSide, rgba.data(), blocks.data());
        benchmark::DoNotOptimize(rgba.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(rgba.size()));
}
BENCHMARK(BM_DecodeDXT5)->Unit(benchmark::kMillisecond);

// The engine on the software device with one 1024 x 1024 image, for all conversion runs.
struct Setup {
    GxImage* image = nullptr;
    bool ready = false;
    Setup()
    {
        GxTestEngineSetup setup;
        setup.files = false;
        if (!GxTestProcessEngineStart(setup)) {
            return;
        }
        image = GxImageCreate(kSide, kSide, 32);
        if (image == nullptr || GxImageAllocatePixels(image) == nullptr) {
            return;
        }
        const std::vector<uint8_t> rgba = Picture();
        for (int y = 0; y < kSide; y++) {
            std::memcpy(image->pixels + y * image->stride, &rgba[static_cast<size_t>(y) * kSide * 4], kSide * 4);
        }
        ready = true;
    }
};

Setup& TheSetup()
{
    static Setup setup;
    return setup;
}

// Baseline: the image copied row by row into a locked 8888 raster.
void BM_RasterCopyBaseline(benchmark::State& state)
{
    Setup& setup = TheSetup();
    GxRaster* raster =
        setup.ready ? GxRasterCreate(kSide, kSide, 0, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888) : nullptr;
    if (raster == nullptr) {
        state.SkipWithError("no engine or raster");
        return;
    }
    for (auto _ : state) {
        GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKWRITE | gxRASTERLOCKNOFETCH);
        for (int y = 0; bits && y < kSide; y++) {
            std::memcpy(bits + y * raster->stride, setup.image->pixels + y * setup.image->stride, kSide * 4);
        }
        GxRasterUnlock(raster);
    }
    GxRasterDestroy(raster);
}
BENCHMARK(BM_RasterCopyBaseline)->Unit(benchmark::kMillisecond);

void BM_RasterSetFromImage(benchmark::State& state)
{
    Setup& setup = TheSetup();
    const GxInt32 format = static_cast<GxInt32>(state.range(0));
    GxRaster* raster = setup.ready ? GxRasterCreate(kSide, kSide, 0, gxRASTERTYPETEXTURE | format) : nullptr;
    if (raster == nullptr) {
        state.SkipWithError("no engine or raster");
        return;
    }
    for (auto _ : state) {
        if (!GxD3D9RasterSetFromImage(raster, setup.image, 0)) {
            state.SkipWithError("conversion failed");
            break;
        }
    }
    GxRasterDestroy(raster);
}
BENCHMARK(BM_RasterSetFromImage)
    ->Arg(gxRASTERFORMAT8888)
    ->Arg(gxRASTERFORMAT888)
    ->Arg(gxRASTERFORMAT565)
    ->Arg(gxRASTERFORMAT555)
    ->Arg(gxRASTERFORMAT1555)
    ->Arg(gxRASTERFORMAT4444)
    ->Arg(gxRASTERFORMATLUM8)
    ->Arg(gxRASTERFORMATPAL8 | gxRASTERFORMAT888)
    ->Unit(benchmark::kMillisecond);

void BM_ImageGetFromRaster(benchmark::State& state)
{
    Setup& setup = TheSetup();
    const GxInt32 format = static_cast<GxInt32>(state.range(0));
    GxRaster* raster = setup.ready ? GxRasterCreate(kSide, kSide, 0, gxRASTERTYPETEXTURE | format) : nullptr;
    if (raster == nullptr || !GxD3D9RasterSetFromImage(raster, setup.image, 0)) {
        state.SkipWithError("no engine or raster");
        return;
    }
    GxImage* out = GxImageCreate(kSide, kSide, 32);
    GxImageAllocatePixels(out);
    for (auto _ : state) {
        GxD3D9ImageGetFromRaster(out, raster, 0);
        benchmark::DoNotOptimize(out->pixels);
    }
    GxImageDestroy(out);
    GxRasterDestroy(raster);
}
BENCHMARK(BM_ImageGetFromRaster)
    ->Arg(gxRASTERFORMAT8888)
    ->Arg(gxRASTERFORMAT565)
    ->Arg(gxRASTERFORMAT4444)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
