// Fuzz target of tag-file seeks: tags taken from the input and those the saved game uses are found, read past and
// sought again; what follows a tag, written back under it, is found again.
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/data/file.h"
#include "engine/testsupport/fuzz_files.h"

namespace {

// Longest tag taken from the input: tags in the game's files are short.
constexpr size_t kMaxTag = 12;

std::string g_input;
std::string g_output;

// Tags to seek: the sections of a saved game, and slices of the input's first and middle bytes.
std::vector<std::string> TagsFor(const std::string& input)
{
    std::vector<std::string> tags = {"<GAME_DATA>", "<TECHTREE>", "<END>", "<"};
    std::string first = input.substr(0, input.find_first_of("\r\n"));
    tags.push_back(first.substr(0, kMaxTag));
    const size_t middle = input.size() / 2;
    std::string inner = input.substr(middle, input.find_first_of("\r\n", middle) - middle);
    tags.push_back(inner.substr(0, kMaxTag));
    return tags;
}

// Seeks a tag and reads the lines after it; a found tag is found again by a second seek.
std::vector<std::string> ReadAfter(CFerroxTagFile& file, const std::string& tag, size_t limit, bool* found)
{
    std::vector<std::string> lines;
    *found = file.SeekTag(tag) == 0;
    if (!*found)
        return lines;
    std::string line;
    while (!file.IsEof()) {
        lines.push_back(file.ReadLine(line));
        if (lines.size() > limit)
            std::abort();
    }
    if (file.SeekTag(tag) != 0)
        std::abort();
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_tagfile_in");
    g_output = GxFuzzScratchPath("ferrox_tagfile_out");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    const std::string input(reinterpret_cast<const char*>(data), size);
    CFerroxTagFile file;
    if (file.Open(g_input.c_str(), 1) != 0)
        std::abort();
    for (const std::string& tag : TagsFor(input)) {
        bool found = false;
        std::vector<std::string> lines = ReadAfter(file, tag, size + 1, &found);
        if (!found || tag.find_first_of("\r\n") != std::string::npos || tag.find('\0') != std::string::npos)
            continue;
        CFerroxFile out;
        if (out.Open(g_output.c_str(), 0) != 0)
            std::abort();
        out.WriteLine(tag + "\r\n");
        for (const std::string& line : lines)
            out.WriteLine(line + "\r\n");
        out.Close();
        CFerroxTagFile again;
        if (again.Open(g_output.c_str(), 1) != 0)
            std::abort();
        // The tag line is followed by at least the line that followed it before.
        if (!lines.empty() && again.SeekTag(tag) != 0)
            std::abort();
        again.Close();
    }
    file.Close();
    return 0;
}
