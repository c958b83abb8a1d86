// A change of music track on the main thread: opening and starting a 60 s track against reading its bytes,
// measured in the same run. The track must start well inside one frame (under 20 ms).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/testsupport/temp_dir.h"
#include "platform/fmod/fmod.h"
#include "platform/fmod/wav.h"
#include "platform/win32/windows.h"

namespace {

constexpr uint32_t kRate = 22050;
constexpr double kTrackSeconds = 60.0;

std::string g_path;

bool WriteTrack(const std::string& path)
{
    std::vector<int16_t> samples(static_cast<size_t>(kTrackSeconds * kRate));
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = static_cast<int16_t>(8000.0 * std::sin(static_cast<double>(i) * 0.06));
    const std::vector<uint8_t> bytes = WavEncode16(1, kRate, samples);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// Baseline: the file's bytes read whole, as the stream open must read them.
void BM_ReadTrackBytesBaseline(benchmark::State& state)
{
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        HANDLE file = CreateFileA(g_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD size = GetFileSize(file, nullptr);
        buffer.resize(size);
        DWORD read = 0;
        ReadFile(file, buffer.data(), size, &read, nullptr);
        CloseHandle(file);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_ReadTrackBytesBaseline)->Unit(benchmark::kMillisecond);

void BM_OpenAndStartTrack(benchmark::State& state)
{
    for (auto _ : state) {
        FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(g_path.c_str(), 107, 0);
        const int channel = FSOUND_Stream_Play(FSOUND_FREE, stream);
        benchmark::DoNotOptimize(channel);
        state.PauseTiming();
        FSOUND_Stream_Stop(stream);
        FSOUND_Stream_Close(stream);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenAndStartTrack)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    g_path = (std::filesystem::temp_directory_path() / ("sound_bench_" + GxTestRunTag() + ".wav")).string();
    if (!WriteTrack(g_path) || !FSOUND_Init(44100, 32, 0))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    FSOUND_Close();
    std::remove(g_path.c_str());
    return 0;
}
