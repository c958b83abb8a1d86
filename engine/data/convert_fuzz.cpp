// Fuzz target of the number texts of saved games: any text either gives a number whose own text reads back to a
// number that writes the same text, or leaves the target as it was; a list line gives one value per piece, and written back reads the
// same.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/testsupport/fuzz_files.h"

namespace {

constexpr char kSeparator = ',';

std::string g_input;
std::string g_output;

// A stored integer reads back from its text; a refused text leaves the target as it was.
template <typename T>
void CheckInteger(const std::string& text)
{
    const T untouched = static_cast<T>(7);
    T value = untouched;
    if (!FromString<T>(text, value)) {
        if (value != untouched)
            std::abort();
        return;
    }
    T again = untouched;
    if (!FromString<T>(ToString<T>(value), again) || again != value)
        std::abort();
}

// A float read gives a text with its point shown that reads back to a float of the same sign that writes the same
// text again.
void CheckFloat(const std::string& text)
{
    float value = 7.0f;
    if (!FromString<float>(text, value)) {
        if (value != 7.0f)
            std::abort();
        return;
    }
    const std::string written = ToString<float>(value);
    float again = 0.0f;
    if (written.find('.') == std::string::npos || !FromString<float>(written, again) ||
        std::signbit(again) != std::signbit(value) || ToString<float>(again) != written)
        std::abort();
}

void CheckNumbers(const std::string& text)
{
    CheckInteger<int>(text);
    CheckInteger<unsigned int>(text);
    CheckInteger<unsigned short>(text);
    CheckFloat(text);
}

// The pieces of a list line that are not empty, as the list readers cut it.
size_t CountPieces(const std::string& line)
{
    size_t count = 0;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(kSeparator, start);
        if (end == std::string::npos)
            end = line.size();
        count += end > start ? 1 : 0;
        start = end + 1;
    }
    return count;
}

// The first line's lists: one value per piece; the 16-bit list written back reads the same values.
void CheckLists(const std::string& firstLine)
{
    CFerroxTagFile file;
    if (file.Open(g_input.c_str(), 1) != 0)
        std::abort();
    std::vector<int> integers;
    ReadIntList(&file, integers, kSeparator);
    file.Close();
    if (file.Open(g_input.c_str(), 1) != 0)
        std::abort();
    std::vector<unsigned short> shorts;
    ReadU16List(&file, shorts, kSeparator);
    file.Close();
    const size_t pieces = CountPieces(firstLine);
    if (integers.size() != pieces || shorts.size() != pieces)
        std::abort();

    CFerroxFile out;
    if (out.Open(g_output.c_str(), 0) != 0)
        std::abort();
    WriteU16List(&out, shorts, kSeparator);
    if (out.Close() != 0 || out.Open(g_output.c_str(), 1) != 0)
        std::abort();
    std::vector<unsigned short> again;
    ReadU16List(&out, again, kSeparator);
    out.Close();
    if (again != shorts)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_convert_in");
    g_output = GxFuzzScratchPath("ferrox_convert_out");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    CheckNumbers(input);
    // Every piece of every line, as the list readers and the saved sections hand them over.
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find_first_of(",\n", start);
        if (end == std::string::npos)
            end = input.size();
        CheckNumbers(input.substr(start, end - start));
        start = end + 1;
    }
    GxFuzzScratchWrite(g_input, data, size);
    CFerroxTagFile file;
    if (file.Open(g_input.c_str(), 1) != 0)
        std::abort();
    std::string firstLine;
    file.ReadLine(firstLine);
    file.Close();
    CheckLists(firstLine);
    return 0;
}
