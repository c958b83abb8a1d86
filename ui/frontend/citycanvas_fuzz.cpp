// Fuzz target of the scenario description reader: any bytes as a scenario file give a description index or none.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gfx/core/engine_testing.h"
#include "gfx/testsupport/fuzz.h"
#include "ui/frontend/citycanvas.h"

namespace {
std::string g_path;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_path = GxFuzzScratchPath("ferrox_scenario_in");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_path, data, size);
    int16_t index = -1;
    const bool read = CityReadDescription(g_path.c_str(), &index);
    // Nothing read leaves the index as it was.
    if (!read && index != -1)
        __builtin_trap();
    return 0;
}
