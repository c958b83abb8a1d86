// Parsing a 100 MB stream of nested chunks from memory, against memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/stream.h"

namespace {

constexpr size_t kStreamBytes = 100u * 1024u * 1024u;
constexpr GxUInt32 kObjectChunk = 0x10;
constexpr GxUInt32 kOtherChunk = 0x07;  // skipped by the finder
constexpr GxUInt32 kArrayChunk = 0x0F;
constexpr GxUInt32 kOtherBytes = 64;

struct Corpus {
    GxUInt8* bytes = nullptr;
    GxUInt32 length = 0;
    GxUInt32 objects = 0;
    GxUInt32 arrayBytes = 0;
};

// One object: a struct chunk with the value count, a chunk to skip, and the int32 array.
bool WriteObject(GxStream* s, const std::vector<GxInt32>& values)
{
    GxUInt32 arrayBytes = static_cast<GxUInt32>(values.size() * 4);
    GxUInt32 body = 12 + 4 + 12 + kOtherBytes + 12 + arrayBytes;
    GxInt32 count = static_cast<GxInt32>(values.size());
    static const GxUInt8 other[kOtherBytes] = {};
    return GxStreamWriteChunkHeader(s, kObjectChunk, body, gxLIBRARYVERSION, gxLIBRARYBUILD) &&
           GxStreamWriteChunkHeader(s, gxID_STRUCT, 4, gxLIBRARYVERSION, gxLIBRARYBUILD) &&
           GxStreamWriteInt32(s, &count, 4) &&
           GxStreamWriteChunkHeader(s, kOtherChunk, kOtherBytes, gxLIBRARYVERSION, gxLIBRARYBUILD) &&
           GxStreamWrite(s, other, kOtherBytes) &&
           GxStreamWriteChunkHeader(s, kArrayChunk, arrayBytes, gxLIBRARYVERSION, gxLIBRARYBUILD) &&
           GxStreamWriteInt32(s, values.data(), arrayBytes);
}

Corpus BuildCorpus(GxUInt32 arrayBytes)
{
    Corpus corpus;
    std::vector<GxInt32> values(arrayBytes / 4);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<GxInt32>(i * 2654435761u);
    GxStream* s = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    size_t objectBytes = 12 + 12 + 4 + 12 + kOtherBytes + 12 + arrayBytes;
    corpus.objects = static_cast<GxUInt32>(kStreamBytes / objectBytes);
    for (GxUInt32 i = 0; i < corpus.objects; ++i) {
        if (!WriteObject(s, values)) {
            std::fprintf(stderr, "writing the corpus failed\n");
            break;
        }
    }
    GxMemory mem = {nullptr, 0};
    GxStreamClose(s, &mem);
    corpus.bytes = mem.start;
    corpus.length = mem.length;
    corpus.arrayBytes = arrayBytes;
    return corpus;
}

Corpus gCorpora[2];  // 256-byte and 4 KB arrays, built on first use

Corpus& GetCorpus(GxUInt32 arrayBytes)
{
    Corpus& c = gCorpora[arrayBytes <= 256 ? 0 : 1];
    if (c.bytes == nullptr)
        c = BuildCorpus(arrayBytes);
    return c;
}

// Reads every object: find the object, its struct, the array past the skipped chunk.
bool ParseCorpus(const Corpus& corpus, std::vector<GxInt32>& values)
{
    GxMemory mem = {corpus.bytes, corpus.length};
    GxStream* s = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &mem);
    bool ok = s != nullptr;
    for (GxUInt32 i = 0; ok && i < corpus.objects; ++i) {
        GxInt32 count = 0;
        GxUInt32 length = 0;
        ok = GxStreamFindChunk(s, kObjectChunk, nullptr, nullptr) &&
             GxStreamFindChunk(s, gxID_STRUCT, nullptr, nullptr) && GxStreamReadInt32(s, &count, 4) &&
             GxStreamFindChunk(s, kArrayChunk, &length, nullptr) && length == static_cast<GxUInt32>(count) * 4 &&
             length <= values.size() * 4 && GxStreamReadInt32(s, values.data(), length);
    }
    GxStreamClose(s, nullptr);
    return ok;
}

void BM_ParseChunks(benchmark::State& state)
{
    const Corpus& corpus = GetCorpus(static_cast<GxUInt32>(state.range(0)));
    std::vector<GxInt32> values(corpus.arrayBytes / 4);
    for (auto _ : state) {
        if (!ParseCorpus(corpus, values)) {
            state.SkipWithError("parse failed");
            break;
        }
        benchmark::DoNotOptimize(values.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * corpus.length);
}

// The baseline: the same bytes copied in one go to a second buffer of the same size.
void BM_MemcpyWhole(benchmark::State& state)
{
    const Corpus& corpus = GetCorpus(static_cast<GxUInt32>(state.range(0)));
    std::vector<GxUInt8> out(corpus.length);
    for (auto _ : state) {
        std::memcpy(out.data(), corpus.bytes, corpus.length);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * corpus.length);
}

// A stricter baseline: the same bytes copied in array-sized pieces into one warm buffer, as the parser does.
void BM_MemcpyPieces(benchmark::State& state)
{
    const Corpus& corpus = GetCorpus(static_cast<GxUInt32>(state.range(0)));
    size_t piece = corpus.arrayBytes + 12 * 4 + 4 + kOtherBytes;
    std::vector<GxUInt8> out(piece);
    for (auto _ : state) {
        for (size_t at = 0; at < corpus.length; at += piece) {
            size_t n = corpus.length - at < piece ? corpus.length - at : piece;
            std::memcpy(out.data(), corpus.bytes + at, n);
            benchmark::DoNotOptimize(out.data());
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * corpus.length);
}

BENCHMARK(BM_MemcpyWhole)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyPieces)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseChunks)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyPieces)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseChunks)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!GxTestEngineStart()) {
        std::fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    for (Corpus& c : gCorpora)
        GxFree(c.bytes);
    GxTestEngineShutdown();
    benchmark::Shutdown();
    return 0;
}
