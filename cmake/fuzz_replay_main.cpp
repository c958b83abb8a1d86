// Stands in for libFuzzer's main where the compiler has none: every file named is fed once to the target's entry.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

bool ReadWhole(const char* path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

// Usage: <target> [-option...] file...; options are libFuzzer's and ignored here.
int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    size_t replayed = 0;
    for (int i = 1; i < argc; i++) {
        if (argv[i][0] == '-')
            continue;
        std::vector<uint8_t> bytes;
        if (!ReadWhole(argv[i], bytes)) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        std::fprintf(stderr, "replay %s (%zu bytes)\n", argv[i], bytes.size());
        // A copy the exact size of the input, so a read past its end is caught as it would be in the fuzzer.
        std::vector<uint8_t> exact(bytes);
        LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
        ++replayed;
    }
    std::printf("%zu inputs replayed\n", replayed);
    return replayed == 0 ? 1 : 0;
}
