// Fuzz target of the debug switches of the data file: any file sets each switch to 0 or 1 or leaves its default,
// the same from the file as from its text in memory, and a second read of the same block changes nothing.
#include <cstdlib>
#include <string>

#include "engine/application/base.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/fuzz_files.h"

namespace {

std::string g_input;

bool SameSwitches(const CFerroxDebugSettings& a, const CFerroxDebugSettings& b)
{
    for (int i = 0; i < FERROX_DEBUG_COUNT; ++i) {
        if (a.GetSwitch(static_cast<FerroxDebugSwitch>(i)) != b.GetSwitch(static_cast<FerroxDebugSwitch>(i)))
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_base_in", ".xml");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CFerroxDebugSettings fromFile;
    const int read = fromFile.Load(g_input.c_str());
    for (int i = 0; i < FERROX_DEBUG_COUNT; ++i) {
        const int32_t value = fromFile.GetSwitch(static_cast<FerroxDebugSwitch>(i));
        if (value != 0 && value != 1)
            std::abort();
    }

    CFerroxTagTree tree;
    tree.LoadFromMemory(reinterpret_cast<const char*>(data), size);
    CFerroxDebugSettings fromText;
    if (fromText.Read(&tree) != read || !SameSwitches(fromFile, fromText))
        std::abort();
    // Read again from a cursor left elsewhere: the block is found from the root.
    if (fromText.Read(&tree) != read || !SameSwitches(fromFile, fromText))
        std::abort();
    return 0;
}
