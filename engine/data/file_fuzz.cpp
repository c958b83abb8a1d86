// Fuzz target of the line-file reader: lines keep every byte but their line ends, and section seeks stay safe.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/data/file.h"
#include "engine/testsupport/fuzz_files.h"

namespace {

std::string g_input;
std::string g_output;

std::string WithoutLineEnds(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c != '\r' && c != '\n')
            out += c;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_file_in");
    g_output = GxFuzzScratchPath("ferrox_file_out");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    std::string input(reinterpret_cast<const char*>(data), size);
    CFerroxTagFile file;
    if (file.Open(g_input.c_str(), 1) != 0)
        std::abort();
    std::string line;
    std::string joined;
    std::vector<std::string> read;
    while (!file.IsEof()) {
        file.ReadLine(line);
        if (line.find('\n') != std::string::npos)
            std::abort();
        joined += line;
        read.push_back(line);
        if (read.size() > size + 1)
            std::abort();
    }
    const size_t lines = read.size();
    // One line per LF, and one more for a last line without it.
    size_t expected = static_cast<size_t>(std::count(input.begin(), input.end(), '\n'));
    if (!input.empty() && input.back() != '\n')
        ++expected;
    if (lines != expected)
        std::abort();
    // Text without NUL bytes loses nothing but its CR and LF bytes.
    if (input.find('\0') == std::string::npos && WithoutLineEnds(joined) != WithoutLineEnds(input))
        std::abort();

    std::string tag = input.substr(0, input.find_first_of("\r\n"));
    if (tag.size() > 8)
        tag.resize(8);
    if (file.SeekTag(tag) == 0) {
        file.ReadLine(line);
        if (file.SeekTag(tag) != 0)
            std::abort();
    }
    file.Close();

    // The lines written back one per LF read back the same.
    CFerroxFile out;
    if (out.Open(g_output.c_str(), 0) != 0)
        std::abort();
    for (const std::string& text : read)
        out.WriteLine(text + "\n");
    out.Close();
    if (out.Open(g_output.c_str(), 1) != 0)
        std::abort();
    for (const std::string& text : read) {
        if (out.IsEof() || WithoutLineEnds(out.ReadLine(line)) != WithoutLineEnds(text))
            std::abort();
    }
    if (!out.IsEof())
        std::abort();
    out.Close();
    return 0;
}
