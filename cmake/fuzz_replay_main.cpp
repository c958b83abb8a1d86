// Replays a fuzz target's committed corpus: every file of the folders given is fed once to the target's entry.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

// The regular files of a folder in name order, so a failure reproduces in the same sequence; a missing folder is
// empty (the crashes folder is optional).
std::vector<std::filesystem::path> CorpusFiles(const char* folder)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool ReadWhole(const std::filesystem::path& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

// Usage: <replay> folder...; fails when a folder given first holds no input, so a lost corpus cannot pass.
int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s corpus-folder [more folders]\n", argv[0]);
        return 2;
    }
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    size_t replayed = 0;
    for (int i = 1; i < argc; i++) {
        for (const auto& path : CorpusFiles(argv[i])) {
            std::vector<uint8_t> bytes;
            if (!ReadWhole(path, bytes)) {
                std::fprintf(stderr, "cannot read %s\n", path.c_str());
                return 1;
            }
            std::fprintf(stderr, "replay %s (%zu bytes)\n", path.c_str(), bytes.size());
            // A copy the exact size of the input, so a read past its end is caught as it would be in the fuzzer.
            std::vector<uint8_t> exact(bytes);
            LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
            ++replayed;
        }
        if (i == 1 && replayed == 0) {
            std::fprintf(stderr, "no input in %s\n", argv[1]);
            return 1;
        }
    }
    std::printf("%zu inputs replayed\n", replayed);
    return 0;
}
