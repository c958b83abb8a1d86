// Tests of the shader assembler: token encodings of what the renderer writes, and refusal of malformed lines.
#include "platform/d3d9/device_local.h"
#include "platform/d3d9/shader_local.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::vector<DWORD> Assemble(const std::string& text)
{
    std::vector<DWORD> tokens;
    std::string error;
    EXPECT_TRUE(D3D9AssembleShaderText(text.data(), text.size(), &tokens, &error)) << error << "\n" << text;
    return tokens;
}

std::string Refusal(const std::string& text)
{
    std::vector<DWORD> tokens;
    std::string error;
    EXPECT_FALSE(D3D9AssembleShaderText(text.data(), text.size(), &tokens, &error)) << text;
    EXPECT_TRUE(tokens.empty());
    return error;
}

TEST(ShaderAsm, VertexShaderTokens)
{
    std::vector<DWORD> t = Assemble("vs_1_1 // skin\n"
                                    "dcl_position0 v0\n"
                                    "dcl_texcoord1 v6\n"
                                    "mov a0.x, v2.x\n"
                                    "m4x3 r3.xyz, v0, c[a0.x + 10]\n"
                                    "mad oFog, r0.w, c[9].x, -c[9].y\n"
                                    "max r6.xy, c5.w, -r6.xyxy ; comment\n"
                                    "mul r2, r4.zxyw, r5.yzxw\n"
                                    "mov oD1, c[ 4 ]\n"
                                    "mov oT7.xy, v15\n");
    const DWORD expected[] = {0xFFFE0101u, SHOP_DCL,    0x80000000u, 0x900F0000u,  // position0 v0
                              SHOP_DCL,    0x80010005u, 0x900F0006u,               // texcoord1 v6
                              SHOP_MOV,    0xB0010000u, 0x90000002u,               // a0.x <- v2.xxxx
                              SHOP_M4x3,   0x80070003u, 0x90E40000u, 0xA0E4200Au,  // relative c10
                              SHOP_MAD,    0xC00F0001u, 0x80FF0000u, 0xA0000009u, 0xA1550009u, SHOP_MAX,    0x80030006u,
                              0xA0FF0005u, 0x81440006u, SHOP_MUL,    0x800F0002u, 0x80D20004u, 0x80C90005u, SHOP_MOV,
                              0xD00F0001u, 0xA0E40004u, SHOP_MOV,    0xE0030007u, 0x90E4000Fu, 0x0000FFFFu};
    ASSERT_EQ(t.size(), sizeof(expected) / sizeof(expected[0]));
    for (size_t i = 0; i < t.size(); ++i)
        EXPECT_EQ(t[i], expected[i]) << "token " << i;
}

TEST(ShaderAsm, DefCarriesFloatBits)
{
    std::vector<DWORD> t = Assemble("vs.1.1\ndef c90, 1.0, -0.5, 2, 0\n");
    ASSERT_EQ(t.size(), 8u);
    EXPECT_EQ(t[1], static_cast<DWORD>(SHOP_DEF));
    EXPECT_EQ(t[2], 0xA00F005Au);
    float f[4];
    std::memcpy(f, &t[3], sizeof(f));
    EXPECT_EQ(f[0], 1.0f);
    EXPECT_EQ(f[1], -0.5f);
    EXPECT_EQ(f[2], 2.0f);
    EXPECT_EQ(f[3], 0.0f);
}

TEST(ShaderAsm, PixelShaderTokens)
{
    std::vector<DWORD> t = Assemble("ps_1_1\n"
                                    "tex t0\n"
                                    "mul r0, t0, 1-t0.a\n"
                                    "mul_sat r1.rgb, t1_bx2, -v0\n"
                                    "+mov_x2 r1.a, c7\n"
                                    "lrp r0, c0, t0_bias, r1\n");
    const DWORD expected[] = {0xFFFF0101u, SHOP_TEX,    0xB00F0000u, SHOP_MUL,
                              0x800F0000u, 0xB0E40000u, 0xB6FF0000u, SHOP_MUL,
                              0x80170001u, 0xB4E40001u, 0x91E40000u, SHOP_MOV | kShaderCoissueBit,
                              0x81080001u, 0xA0E40007u, SHOP_LRP,    0x800F0000u,
                              0xA0E40000u, 0xB2E40000u, 0x80E40001u, 0x0000FFFFu};
    ASSERT_EQ(t.size(), sizeof(expected) / sizeof(expected[0]));
    for (size_t i = 0; i < t.size(); ++i)
        EXPECT_EQ(t[i], expected[i]) << "token " << i;
}

// The material effects' pixel shaders in the forms their formulas take.
TEST(ShaderAsm, EffectPixelShadersAssemble)
{
    const char* const kShaders[] = {
        "ps_1_1\ntex t0\ntex t1\nmul r0, t0, 1-t0.a\nmul r1, t1, t1.a\nadd r0, r0, r1\nmul r0, r0, v0\n",
        "ps_1_1\ntex t0\ntex t1\nmul r1, t1, t1.a\nmul r1, r1, c0\nmul r0, t0, v0\nadd r0.rgb, r0, r1\n",
        "ps_1_1\ntex t0\nmul r0, t0, t0.a\nmad r0.rgb, r0, c0, v0\n+mov r0.a, v0.a\n",
        "ps_1_1\ntex t0\ntex t1\ntex t2\nmul r0, t0, 1-t0.a\nmad r0, t1, t1.a, r0\nmul r0, r0, v0\n"
        "mul r1, t2, t2.a\nmad r0, r1, c0, r0\n",
        "ps_1_1\ntex t0\ntex t1\ntex t2\nmul r0.rgb, t0, 1-t0.a\n+mov r0.a, t0.a\nmul r1.rgb, t1, t1.a\n"
        "+mov r1.a, t1.a\nadd r0, r0, r1\nmul r0, r0, v0\nmul r1, t2, t2.a\nmul r1, r1, r0.a\nmad r0, r1, c0, r0\n",
        "ps_1_1\ntex t0\ntex t1\ntex t2\nmul r0.rgb, t0, 1-t0.a\n+mov r0.a, t0.a\nmul r1.rgb, t1, t1.a\n"
        "+mov r1.a, t1.a\nadd r0, r0, r1\nmul r0, r0, v0\nmul r1, t2, r0.a\nmad r0, r1, c0, r0\n",
    };
    for (const char* text : kShaders) {
        std::vector<DWORD> t = Assemble(text);
        ASSERT_FALSE(t.empty());
        EXPECT_EQ(t.front(), static_cast<DWORD>(D3DPS_VERSION(1, 1)));
        EXPECT_EQ(t.back(), kShaderEndToken);
    }
}

TEST(ShaderAsm, MalformedLinesAreRefusedWithTheirLine)
{
    const char* const kBad[] = {
        "",                                // no version
        "vs_3_0\nmov oPos, v0",            // unsupported model
        "vs_1_1\nfrob r0, r1",             // unknown instruction
        "vs_1_1\nmov r0",                  // too few operands
        "vs_1_1\nmov r0, r1, r2",          // too many
        "vs_1_1\nmov r12, v0",             // temp out of range
        "vs_1_1\nmov r0, v16",             // input out of range
        "vs_1_1\nmov r0, c256",            // constant out of range
        "vs_1_1\nmov r0, c[a0.x + 300]",   // relative base out of range
        "vs_1_1\nmov r0, c[a0.y + 1]",     // only a0.x addresses
        "vs_1_1\nmov r0, c[5",             // unclosed bracket
        "vs_1_1\nmov v0, r0",              // inputs are read-only
        "vs_1_1\nmov r0, oPos",            // outputs are write-only
        "vs_1_1\nmov r0.yx, v0",           // mask out of order
        "vs_1_1\nmov r0.q, v0",            // bad mask letter
        "vs_1_1\nmov r0, v0.xyzwx",        // swizzle too long
        "vs_1_1\nmov r0, v0.xq",           // bad swizzle letter
        "vs_1_1\nadd a0.x, v0, v1",        // a0 takes mov only
        "vs_1_1\nmov a0.xy, v0",           // a0.x only
        "vs_1_1\nmov r0, 1-v0",            // complement is pixel-only
        "vs_1_1\nmov r0, v0_bx2",          // so are bias and sign
        "vs_1_1\nmov_sat r0, v0",          // no result modifiers in vs_1_1
        "vs_1_1\n+mov r0, v0",             // no co-issue
        "vs_1_1\ndcl_bogus0 v0",           // unknown usage
        "vs_1_1\ndcl_texcoord16 v0",       // usage index past 15
        "vs_1_1\ndcl_position r0",         // dcl names an input
        "vs_1_1\ndef c0, 1, 2, 3",         // def needs four numbers
        "vs_1_1\ndef c0, 1, 2, 3, x",      // and numbers
        "vs_1_1\ndef c0, 1, 2, 3, 1e999",  // finite ones
        "vs_1_1\nmov r0, , v0",            // empty operand
        "vs_1_1\nmov r0, q7",              // unknown register
        "vs_1_1\n#define X 1",             // no preprocessor
        "vs_1_1\nlrp r0, v0, v1, v2",      // pixel-only instruction
        "ps_1_1\nm4x4 r0, v0, c0",         // vertex-only instruction
        "ps_1_1\nmov r2, v0",              // two temps in ps_1_1
        "ps_1_1\nmov r0, c8",              // eight constants
        "ps_1_1\ntex r0",                  // tex writes t#
        "ps_1_1\nmov t0, v0",              // t# written by tex only
        "ps_1_1\ndcl_position v0",         // no dcl
        "ps_1_1\nmov oD0, v0",             // no vertex outputs
        "ps_1_1\nmov r0, c[a0.x]",         // no relative addressing
        "ps_1_1\nmov_x3 r0, v0",           // unknown shift
        "ps_1_1\nmov r0, -1-v0",           // complement and negate
    };
    for (const char* text : kBad) {
        std::string error = Refusal(text);
        EXPECT_FALSE(error.empty()) << text;
        const char* line = std::strncmp(text, "vs_3_0", 6) == 0 ? "line 1:" : "line 2:";
        if (std::strchr(text, '\n'))
            EXPECT_EQ(error.compare(0, 7, line), 0) << error << " for " << text;
    }
}

TEST(ShaderAsm, LengthAndTerminatorBoundTheText)
{
    std::string text = "vs_1_1\nmov oPos, v0\ngarbage";
    std::vector<DWORD> tokens;
    std::string error;
    EXPECT_TRUE(D3D9AssembleShaderText(text.data(), text.size() - 7, &tokens, &error)) << error;
    std::string withNul = std::string("vs_1_1\nmov oPos, v0\n", 20) + '\0' + "garbage";
    EXPECT_TRUE(D3D9AssembleShaderText(withNul.data(), withNul.size(), &tokens, &error)) << error;
    EXPECT_EQ(tokens.size(), 5u);
}

}  // namespace
