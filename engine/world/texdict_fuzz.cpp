// Fuzz target of the level texture dictionary file reader: any file loads or fails without harm.
#include <cstdlib>
#include <string>

#include "engine/testsupport/fuzz_files.h"
#include "engine/world/texdict.h"
#include "gfx/testsupport/fuzz.h"

namespace {

std::string g_input;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_texdict_in");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CFerroxTexDictionary dictionary;
    if (dictionary.LoadFile(g_input.c_str()))
        dictionary.MakeCurrent();
    dictionary.Destroy();
    GxError error;
    GxErrorGet(&error);
    return 0;
}
