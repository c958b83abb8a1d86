// Loading a 20,000-line tag file and finding 1,000 keys in it, against reading its lines with std::getline.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/engine_local.h"
#include "engine/data/tagtree.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/win32fs.h"
#include "gfx/testsupport/headless.h"

namespace {

const int kSections = 20;
const int kKeysPerSection = 333;  // 3 lines a key: 20 x (2 + 999) = 20,020 lines
const int kFinds = 1000;

std::string g_path;

void WriteTagFile()
{
    g_path = (std::filesystem::temp_directory_path() / "ferrox_tagtree_bench.xml").string();
    std::ofstream out(g_path, std::ios::binary | std::ios::trunc);
    for (int s = 0; s < kSections; ++s) {
        out << "<section_" << s << ">\r\n";
        for (int k = 0; k < kKeysPerSection; ++k)
            out << "<key_" << s << "_" << k << ">\r\n"
                << "value of key " << k << " in section " << s << "\r\n</key_" << s << "_" << k << ">\r\n";
        out << "</section_" << s << ">\r\n";
    }
}

// The same 1,000 (section, key) names in every run.
std::vector<std::pair<std::string, std::string>> Keys()
{
    std::vector<std::pair<std::string, std::string>> keys;
    unsigned state = 12345;
    for (int i = 0; i < kFinds; ++i) {
        state = state * 1103515245u + 12345u;
        int s = static_cast<int>((state >> 16) % kSections);
        state = state * 1103515245u + 12345u;
        int k = static_cast<int>((state >> 16) % kKeysPerSection);
        keys.emplace_back("<section_" + std::to_string(s) + ">",
                          "<key_" + std::to_string(s) + "_" + std::to_string(k) + ">");
    }
    return keys;
}

void BM_GetlineBaseline(benchmark::State& state)
{
    for (auto _ : state) {
        std::ifstream in(g_path, std::ios::binary);
        std::string line;
        size_t lines = 0;
        while (std::getline(in, line))
            ++lines;
        benchmark::DoNotOptimize(lines);
    }
}
BENCHMARK(BM_GetlineBaseline)->Unit(benchmark::kMillisecond);

void BM_TagTreeLoad(benchmark::State& state)
{
    for (auto _ : state) {
        CFerroxTagTree tree;
        benchmark::DoNotOptimize(tree.Load(g_path.c_str()));
    }
}
BENCHMARK(BM_TagTreeLoad)->Unit(benchmark::kMillisecond);

// Loading alone, without freeing the tree afterwards (a loaded tree normally lives on).
void BM_TagTreeLoadWithoutFree(benchmark::State& state)
{
    for (auto _ : state) {
        CFerroxTagTree* tree = new CFerroxTagTree;
        benchmark::DoNotOptimize(tree->Load(g_path.c_str()));
        state.PauseTiming();
        delete tree;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TagTreeLoadWithoutFree)->Unit(benchmark::kMillisecond);

void BM_TagTreeParseFromMemory(benchmark::State& state)
{
    std::ifstream in(g_path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (auto _ : state) {
        CFerroxTagTree tree;
        benchmark::DoNotOptimize(tree.LoadFromMemory(text.data(), text.size()));
    }
}
BENCHMARK(BM_TagTreeParseFromMemory)->Unit(benchmark::kMillisecond);

void BM_TagTreeLoadAndFind1000(benchmark::State& state)
{
    std::vector<std::pair<std::string, std::string>> keys = Keys();
    for (auto _ : state) {
        CFerroxTagTree tree;
        tree.Load(g_path.c_str());
        int found = 0;
        for (const auto& key : keys)
            found += tree.FindNode(key.first.c_str(), 1) && tree.FindChild(key.second.c_str());
        if (found != kFinds)
            state.SkipWithError("a key was not found");
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_TagTreeLoadAndFind1000)->Unit(benchmark::kMillisecond);

void BM_TagTreeFind1000(benchmark::State& state)
{
    std::vector<std::pair<std::string, std::string>> keys = Keys();
    CFerroxTagTree tree;
    tree.Load(g_path.c_str());
    for (auto _ : state) {
        int found = 0;
        for (const auto& key : keys)
            found += tree.FindNode(key.first.c_str(), 1) && tree.FindChild(key.second.c_str());
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_TagTreeFind1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (!BenchEngineStart(kGxTestImagesNone, false, kGxTestArenaSize))
        return 1;
    WriteTagFile();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    GxFileSystemManagerClose();
    GxEngineTerm();
    std::remove(g_path.c_str());
    return 0;
}
