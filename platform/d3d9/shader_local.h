// Shader token layout shared by the assembler, the software interpreter and the GL translator.
#pragma once

#include "platform/d3d9/d3d9.h"

#include <cstddef>
#include <string>
#include <vector>

// ---- token layout

constexpr DWORD kShaderOpcodeMask = 0x0000FFFFu;
constexpr DWORD kShaderCoissueBit = 0x40000000u;
constexpr DWORD kShaderParamBit = 0x80000000u;
constexpr DWORD kShaderRegNumMask = 0x000007FFu;
constexpr DWORD kShaderRelativeBit = 1u << 13;
constexpr int kShaderMaskShift = 16;
constexpr DWORD kShaderFullMask = 0xFu;
constexpr int kShaderSwizzleShift = 16;
constexpr DWORD kShaderIdentitySwizzle = 0xE4u;  // x y z w
constexpr int kShaderSrcModShift = 24;
constexpr int kShaderDstModShift = 20;
constexpr DWORD kShaderSaturate = 1u;
constexpr int kShaderShiftShift = 24;
constexpr DWORD kShaderDclMarker = 0x80000000u;
constexpr int kShaderDclIndexShift = 16;
constexpr DWORD kShaderDclUsageMask = 0x1Fu;

// Register type, split over bits 28-30 and 11-12 of a parameter token.
enum D3D9ShaderRegType : DWORD {
    SHREG_TEMP = 0,
    SHREG_INPUT = 1,
    SHREG_CONST = 2,
    SHREG_ADDR = 3,  // a0 in vertex shaders, t# in pixel shaders
    SHREG_RASTOUT = 4,
    SHREG_ATTROUT = 5,
    SHREG_TEXCRDOUT = 6
};
enum {
    SHRAST_POSITION = 0,
    SHRAST_FOG = 1,
    SHRAST_POINTSIZE = 2
};

inline DWORD D3D9ShaderRegTypeBits(DWORD type) { return ((type & 7u) << 28) | ((type & 0x18u) << 8); }
inline DWORD D3D9ShaderRegTypeOf(DWORD token) { return ((token >> 28) & 7u) | ((token >> 8) & 0x18u); }

enum D3D9ShaderOpcode : DWORD {
    SHOP_NOP = 0,
    SHOP_MOV = 1,
    SHOP_ADD = 2,
    SHOP_SUB = 3,
    SHOP_MAD = 4,
    SHOP_MUL = 5,
    SHOP_RCP = 6,
    SHOP_RSQ = 7,
    SHOP_DP3 = 8,
    SHOP_DP4 = 9,
    SHOP_MIN = 10,
    SHOP_MAX = 11,
    SHOP_SLT = 12,
    SHOP_SGE = 13,
    SHOP_EXP = 14,
    SHOP_LOG = 15,
    SHOP_LIT = 16,
    SHOP_DST = 17,
    SHOP_LRP = 18,
    SHOP_FRC = 19,
    SHOP_M4x4 = 20,
    SHOP_M4x3 = 21,
    SHOP_M3x4 = 22,
    SHOP_M3x3 = 23,
    SHOP_M3x2 = 24,
    SHOP_DCL = 31,
    SHOP_TEXCOORD = 64,
    SHOP_TEXKILL = 65,
    SHOP_TEX = 66,
    SHOP_EXPP = 78,
    SHOP_LOGP = 79,
    SHOP_CND = 80,
    SHOP_DEF = 81,
    SHOP_END = 0xFFFF
};

// The matrix instructions: m<width>x<rows> takes `rows` dot products of `width` components with consecutive
// registers. False for every other opcode.
inline bool D3D9ShaderMatrixShape(DWORD opcode, int* rows, int* width)
{
    switch (opcode) {
    case SHOP_M4x4:
        *rows = 4, *width = 4;
        return true;
    case SHOP_M4x3:
        *rows = 3, *width = 4;
        return true;
    case SHOP_M3x4:
        *rows = 4, *width = 3;
        return true;
    case SHOP_M3x3:
        *rows = 3, *width = 3;
        return true;
    case SHOP_M3x2:
        *rows = 2, *width = 3;
        return true;
    default:
        return false;
    }
}

enum D3D9ShaderSrcMod : DWORD {
    SHMOD_NONE = 0,
    SHMOD_NEG = 1,
    SHMOD_BIAS = 2,
    SHMOD_BIASNEG = 3,
    SHMOD_SIGN = 4,
    SHMOD_SIGNNEG = 5,
    SHMOD_COMP = 6,
    SHMOD_X2 = 7,
    SHMOD_X2NEG = 8
};

// Register limits of the 1.1 models.
constexpr DWORD kVs11Temps = 12;
constexpr DWORD kVs11Inputs = 16;
constexpr DWORD kVs11Constants = 256;
constexpr DWORD kVs11ColorOuts = 2;
constexpr DWORD kVs11TexOuts = 8;
constexpr DWORD kPs11Temps = 2;
constexpr DWORD kPs11Inputs = 2;
constexpr DWORD kPs11Constants = 8;
constexpr DWORD kPs11Textures = 4;
// ps_1_1 arithmetic saturates at +-1.
constexpr float kPs11MaxValue = 1.0f;

// Number of parameter tokens after an instruction token (def: dest + 4 floats;
// dcl: usage token + dest); -1 for an opcode the 1.1 models do not have.
int D3D9ShaderParamCount(DWORD opcode);

// Assembles vs_1_1 or ps_1_1 text. On failure *error names the line and what is wrong.
bool D3D9AssembleShaderText(const char* text, size_t length, std::vector<DWORD>* tokens, std::string* error);

// ---- the vertex shader interpreter (software back end, tests)

struct D3D9VertexShaderOutput {
    float position[4];
    float fog;
    float pointSize;
    float colors[kVs11ColorOuts][4];
    float texcoords[kVs11TexOuts][4];
};

// Runs a vs_1_1 token stream for one vertex. inputs are v0..v15, constants
// the float constants (count of them). False for a stream it cannot run (its
// outputs are then zero); a relative constant address out of range reads zero.
bool D3D9RunVertexShader(const std::vector<DWORD>& tokens, const float (*constants)[4], UINT constantCount,
                         const float (*inputs)[4], D3D9VertexShaderOutput* out);

// The input register a vs_1_1 stream declares for a usage and usage index (-1: none).
int D3D9ShaderInputFor(const std::vector<DWORD>& tokens, BYTE usage, BYTE usageIndex);
