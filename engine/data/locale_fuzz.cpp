// Fuzz target of the text catalogue: any language file loads in every language, every text of every list is
// fetched, and the catalogue exports to its split tag and data files.
#include <cstdlib>
#include <string>

#include "engine/data/locale.h"
#include "engine/testsupport/fuzz_files.h"

namespace {

// Languages tried: the catalogue keeps one text per entry for the language chosen.
constexpr int32_t kLanguages = 3;
// Entries fetched past the end of a list, to reach the out-of-range text.
constexpr uint16_t kPastEnd = 2;

std::string g_input;
std::string g_export;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_locale_in");
    g_export = GxFuzzScratchPath("ferrox_locale_export");
    gxFuzzScratch.paths.push_back(g_export + "_DATA.txt");
    gxFuzzScratch.paths.push_back(g_export + "_TAGS.xml");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CLocale locale;
    for (int32_t language = 0; language < kLanguages; language++) {
        locale.Release();
        locale.ClearTexts();
        locale.SetLanguage(language);
        locale.LoadTextsFrom(g_input.c_str());
        for (int16_t list = -1; list <= static_cast<int16_t>(locale.GetListCount()); list++) {
            bool outOfRange = false;
            for (uint16_t index = 0; !outOfRange && index < size + kPastEnd; index++)
                locale.GetText(list, index, &outOfRange);
        }
        const std::string name(reinterpret_cast<const char*>(data), size < 4 ? size : 4);
        locale.FindTextList(name.c_str());
    }
    locale.ExportTextsFrom(g_input.c_str(), g_export.c_str());
    return 0;
}
