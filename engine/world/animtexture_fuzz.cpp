// Fuzz target: an animated texture's description read from arbitrary bytes, line by line as the loader reads.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/world/animtexture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FerroxAnimIniReader reader;
    std::string line;
    for (size_t i = 0; i < size; i++) {
        line.push_back(static_cast<char>(data[i]));
        // The loader's line buffer ends a line at a newline or at its length.
        if (data[i] == '\n' || line.size() == kFerroxAnimLineBytes) {
            reader.Line(line.c_str());
            line.clear();
        }
    }
    if (!line.empty())
        reader.Line(line.c_str());
    const int32_t count = reader.FrameCount();
    (void)reader.DelaySeconds();
    if (count < 0 || count > kFerroxAnimMaxFrames)
        __builtin_trap();
    if (count > 0)
        (void)FerroxAnimFrameName("base", count - 1);
    return 0;
}
