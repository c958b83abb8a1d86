// PNG reading: the engine's reader against libpng's plain read of the same 1024 x 1024 RGBA file.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/win32fs.h"
#include "gfx/testsupport/png_writer.h"

namespace {

constexpr uint32_t kSide = 1024;
const char* const kFile = "image_bench_1024.png";

// A picture with smooth areas and noise, so the file compresses as real textures do.
bool MakeFile()
{
    ContentPngImage png;
    png.width = kSide;
    png.height = kSide;
    png.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    png.rows.resize(static_cast<size_t>(kSide) * kSide * 4);
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < kSide; ++y) {
        for (uint32_t x = 0; x < kSide; ++x) {
            seed = seed * 1664525u + 1013904223u;
            uint8_t* p = &png.rows[(static_cast<size_t>(y) * kSide + x) * 4];
            p[0] = static_cast<uint8_t>(x / 4);
            p[1] = static_cast<uint8_t>(y / 4 + (seed >> 29));
            p[2] = static_cast<uint8_t>((x ^ y) & 0xF0);
            p[3] = static_cast<uint8_t>(255 - (seed >> 30));
        }
    }
    return ContentWritePng(kFile, png);
}

// Engine, file system and the test file, once for all runs.
struct Setup {
    bool ready = false;
    Setup()
    {
        if (!GxTestEngineStart() || !GxFileSystemManagerOpen(2)) {
            return;
        }
        GxFileSystem* fs = GxWin32FileSystemCreate(10, "C:", "wfs");
        // The writer goes through the file functions, so the file is made once they are open.
        ready = fs && GxFileSystemRegister(fs) && GxFileSystemManagerSetDefault(fs) && MakeFile();
    }
    ~Setup() { std::remove(kFile); }
};

Setup& TheSetup()
{
    static Setup setup;
    return setup;
}

void BM_EngineReadPNG(benchmark::State& state)
{
    if (!TheSetup().ready) {
        state.SkipWithError("no engine or file");
        return;
    }
    for (auto _ : state) {
        GxImage* image = GxImageReadPNG(kFile);
        if (!image) {
            state.SkipWithError("read failed");
            return;
        }
        benchmark::DoNotOptimize(image->pixels[0]);
        GxImageDestroy(image);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide * 4);
}

// Baseline: libpng straight from stdio into one malloc'd buffer.
void BM_PlainLibpngRead(benchmark::State& state)
{
    if (!TheSetup().ready) {
        state.SkipWithError("no file");
        return;
    }
    std::vector<uint8_t> pixels(static_cast<size_t>(kSide) * kSide * 4);
    std::vector<png_bytep> rows(kSide);
    for (uint32_t y = 0; y < kSide; ++y) {
        rows[y] = pixels.data() + static_cast<size_t>(y) * kSide * 4;
    }
    for (auto _ : state) {
        std::FILE* file = std::fopen(kFile, "rb");
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (!file || !png || !info || setjmp(png_jmpbuf(png))) {
            state.SkipWithError("libpng failed");
            return;
        }
        png_init_io(png, file);
        png_read_info(png, info);
        png_read_update_info(png, info);
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        benchmark::DoNotOptimize(pixels[0]);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide * 4);
}

BENCHMARK(BM_PlainLibpngRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineReadPNG)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
