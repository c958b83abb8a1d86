// Fuzz target: the OpenGL back end's ps_1_1 translation on arbitrary token streams, flat and cube samplers.
#include "platform/d3d9/gl_local.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<DWORD> tokens(size / sizeof(DWORD));
    if (!tokens.empty())
        std::memcpy(tokens.data(), data, tokens.size() * sizeof(DWORD));
    std::string error;
    unsigned samplers = 0;
    GlPixelShaderText(tokens, 0, &samplers, &error);
    GlPixelShaderText(tokens, 0xFu, nullptr, &error);
    return 0;
}
