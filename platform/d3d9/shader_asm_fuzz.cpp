// Fuzz target: the shader assembler on arbitrary text, and the interpreter on what it accepts.
#include "platform/d3d9/device_local.h"
#include "platform/d3d9/shader_local.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<DWORD> tokens;
    std::string error;
    if (!D3D9AssembleShaderText(reinterpret_cast<const char*>(data), size, &tokens, &error))
        return 0;
    if ((tokens[0] & kShaderKindMask) != kVertexShaderKind)
        return 0;
    static float constants[kVs11Constants][4];
    static float inputs[kVs11Inputs][4];
    D3D9VertexShaderOutput out;
    D3D9RunVertexShader(tokens, constants, kVs11Constants, inputs, &out);
    return 0;
}
