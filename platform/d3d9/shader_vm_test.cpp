// Tests of the vs_1_1 interpreter, instruction by instruction, and of shaded draws on the software back end.
#include "platform/d3d9/d3dx9.h"
#include "platform/d3d9/device_local.h"
#include "platform/d3d9/shader_local.h"
#include "platform/d3d9/soft_device_testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

struct Machine {
    float constants[kVs11Constants][4] = {};
    float inputs[kVs11Inputs][4] = {};
    D3D9VertexShaderOutput out;

    // Runs "vs_1_1" + body and returns oT0 (where each case puts its result).
    const float* Run(const std::string& body)
    {
        std::string text = "vs_1_1\n" + body;
        std::vector<DWORD> tokens;
        std::string error;
        EXPECT_TRUE(D3D9AssembleShaderText(text.data(), text.size(), &tokens, &error)) << error;
        EXPECT_TRUE(D3D9RunVertexShader(tokens, constants, kVs11Constants, inputs, &out)) << body;
        return out.texcoords[0];
    }
};

void ExpectVec(const float* got, float x, float y, float z, float w, const std::string& what)
{
    EXPECT_FLOAT_EQ(got[0], x) << what;
    EXPECT_FLOAT_EQ(got[1], y) << what;
    EXPECT_FLOAT_EQ(got[2], z) << what;
    EXPECT_FLOAT_EQ(got[3], w) << what;
}

TEST(ShaderVm, ArithmeticInstructions)
{
    Machine m;
    const float a[4] = {1.0f, -2.0f, 3.0f, 4.0f};
    const float b[4] = {0.5f, 2.0f, -1.0f, 8.0f};
    const float c[4] = {10.0f, 20.0f, 30.0f, 40.0f};
    std::memcpy(m.inputs[0], a, sizeof(a));
    std::memcpy(m.inputs[1], b, sizeof(b));
    std::memcpy(m.constants[7], c, sizeof(c));
    ExpectVec(m.Run("mov oT0, v0"), 1, -2, 3, 4, "mov");
    ExpectVec(m.Run("mov oT0, -v0.wzyx"), -4, -3, 2, -1, "negate and swizzle");
    ExpectVec(m.Run("add oT0, v0, v1"), 1.5f, 0, 2, 12, "add");
    ExpectVec(m.Run("sub oT0, v0, v1"), 0.5f, -4, 4, -4, "sub");
    ExpectVec(m.Run("mul oT0, v0, v1"), 0.5f, -4, -3, 32, "mul");
    ExpectVec(m.Run("mad oT0, v0, v1, c7"), 10.5f, 16, 27, 72, "mad");
    ExpectVec(m.Run("dp3 oT0, v0, v1"), -6.5f, -6.5f, -6.5f, -6.5f, "dp3");
    ExpectVec(m.Run("dp4 oT0, v0, v1"), 25.5f, 25.5f, 25.5f, 25.5f, "dp4");
    ExpectVec(m.Run("min oT0, v0, v1"), 0.5f, -2, -1, 4, "min");
    ExpectVec(m.Run("max oT0, v0, v1"), 1, 2, 3, 8, "max");
    ExpectVec(m.Run("slt oT0, v0, v1"), 0, 1, 0, 1, "slt");
    ExpectVec(m.Run("sge oT0, v0, v1"), 1, 0, 1, 0, "sge");
    ExpectVec(m.Run("rcp oT0, v1.y"), 0.5f, 0.5f, 0.5f, 0.5f, "rcp");
    ExpectVec(m.Run("rsq oT0, v0.w"), 0.5f, 0.5f, 0.5f, 0.5f, "rsq");
    ExpectVec(m.Run("rsq oT0, -v0.w"), 0.5f, 0.5f, 0.5f, 0.5f, "rsq of |x|");
    ExpectVec(m.Run("frc oT0, v1"), 0.5f, 0, 0, 0, "frc");
    ExpectVec(m.Run("mov oT0, v0\nmov oT0.yw, v1"), 1, 2, 3, 8, "write mask");
    ExpectVec(m.Run("mov r0, v0\nadd r0, r0, r0.xxxx\nmov oT0, r0"), 2, -1, 4, 5, "temps and reuse");
    m.Run("rcp oFog, c0.x");
    EXPECT_TRUE(std::isinf(m.out.fog)) << "rcp of 0 is infinite";
}

TEST(ShaderVm, ExponentLogAndLighting)
{
    Machine m;
    const float x[4] = {2.5f, 0.0f, 8.0f, -0.25f};
    std::memcpy(m.inputs[0], x, sizeof(x));
    ExpectVec(m.Run("exp oT0, v0.x"), std::exp2(2.5f), std::exp2(2.5f), std::exp2(2.5f), std::exp2(2.5f), "exp");
    ExpectVec(m.Run("expp oT0, v0.x"), 4, 0.5f, std::exp2(2.5f), 1, "expp");
    ExpectVec(m.Run("log oT0, v0.z"), 3, 3, 3, 3, "log");
    ExpectVec(m.Run("logp oT0, v0.z"), 3, 1, 3, 1, "logp");
    ExpectVec(m.Run("logp oT0, v0.w"), -2, 1, -2, 1, "logp of |x|");
    const float lit[4] = {0.5f, 0.25f, 0.0f, 2.0f};
    std::memcpy(m.inputs[1], lit, sizeof(lit));
    ExpectVec(m.Run("lit oT0, v1"), 1, 0.5f, 0.0625f, 1, "lit");
    ExpectVec(m.Run("lit oT0, -v1"), 1, 0, 0, 1, "lit facing away");
    const float d0[4] = {9, 2, 3, 9};
    const float d1[4] = {9, 5, 9, 7};
    std::memcpy(m.inputs[2], d0, sizeof(d0));
    std::memcpy(m.inputs[3], d1, sizeof(d1));
    ExpectVec(m.Run("dst oT0, v2, v3"), 1, 10, 3, 7, "dst");
}

TEST(ShaderVm, MatricesAndRelativeAddressing)
{
    Machine m;
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 4; ++k)
            m.constants[20 + r][k] = static_cast<float>(r * 4 + k);  // row r = (4r, 4r+1, 4r+2, 4r+3)
    }
    const float p[4] = {1, 2, 3, 1};
    std::memcpy(m.inputs[0], p, sizeof(p));
    // dp4 of (1,2,3,1) with (4r, 4r+1, 4r+2, 4r+3) = 4r + 8r+2 + 12r+6 + 4r+3 = 28r + 11
    ExpectVec(m.Run("m4x4 oT0, v0, c20"), 11, 39, 67, 95, "m4x4");
    ExpectVec(m.Run("mov oT0, c0\nm4x3 oT0.xyz, v0, c20"), 11, 39, 67, 0, "m4x3");
    // dp3 = 4r + 8r+2 + 12r+6 = 24r + 8
    ExpectVec(m.Run("m3x4 oT0, v0, c20"), 8, 32, 56, 80, "m3x4");
    ExpectVec(m.Run("mov oT0, c0\nm3x3 oT0.xyz, v0, c20"), 8, 32, 56, 0, "m3x3");
    ExpectVec(m.Run("mov oT0, c0\nm3x2 oT0.xy, v0, c20"), 8, 32, 0, 0, "m3x2");
    // The address register picks the bone: index 3 (floored from 3.7) + 17 = c20.
    m.inputs[2][0] = 3.7f;
    ExpectVec(m.Run("mov a0.x, v2.x\nm4x4 oT0, v0, c[a0.x + 17]"), 11, 39, 67, 95, "relative m4x4");
    ExpectVec(m.Run("mov a0.x, v2.x\nmov oT0, c[a0.x + 18].yxzw"), 5, 4, 6, 7, "relative mov");
    // Temporaries as the matrix: r8..r10 rows, as blended skinning does.
    ExpectVec(m.Run("mov r8, c20\nmov r9, c21\nmov r10, c22\nmov oT0, c0\nm4x3 oT0.xyz, v0, r8"), 11, 39, 67, 0,
              "m4x3 on temps");
    // Outside the constants reads zero; a negative address too.
    m.inputs[2][0] = 250.0f;
    ExpectVec(m.Run("mov a0.x, v2.x\nmov oT0, c[a0.x + 10]"), 0, 0, 0, 0, "relative past the end");
    m.inputs[2][0] = -30.0f;
    ExpectVec(m.Run("mov a0.x, v2.x\nmov oT0, c[a0.x + 10]"), 0, 0, 0, 0, "relative below zero");
    // def overrides the constant it names.
    ExpectVec(m.Run("def c20, 5, 6, 7, 8\nmov oT0, c20"), 5, 6, 7, 8, "def");
}

TEST(ShaderVm, OutputsAndBrokenStreams)
{
    Machine m;
    m.inputs[0][0] = 3.0f;
    m.Run("mov oPos, v0.xxxx\nmov oFog, v0.x\nmov oPts, v0.x\nmov oD1.y, v0.x\nmov oT7.z, v0.x");
    EXPECT_EQ(m.out.position[3], 3.0f);
    EXPECT_EQ(m.out.fog, 3.0f);
    EXPECT_EQ(m.out.pointSize, 3.0f);
    EXPECT_EQ(m.out.colors[1][1], 3.0f);
    EXPECT_EQ(m.out.texcoords[7][2], 3.0f);

    const std::vector<std::vector<DWORD>> broken = {
        {},
        {D3DPS_VERSION(1, 1), kShaderEndToken},                                      // a pixel shader
        {D3DVS_VERSION(1, 1), SHOP_MOV, 0x800F0000u},                                // truncated
        {D3DVS_VERSION(1, 1), SHOP_MOV, 0x800F0000u, 0x90E40000u},                   // no end
        {D3DVS_VERSION(1, 1), 0x1234u, kShaderEndToken},                             // unknown opcode
        {D3DVS_VERSION(1, 1), SHOP_MOV, 0x800F0040u, 0x90E40000u, kShaderEndToken},  // r64
        {D3DVS_VERSION(1, 1), SHOP_MOV, 0x800F0000u, 0xA0E40100u, kShaderEndToken},  // c256
    };
    for (const std::vector<DWORD>& tokens : broken) {
        m.out.fog = 1.0f;
        EXPECT_FALSE(D3D9RunVertexShader(tokens, m.constants, kVs11Constants, m.inputs, &m.out));
        EXPECT_EQ(m.out.fog, 0.0f);
    }
}

// A draw with a vertex shader records each vertex's shaded outputs.
TEST_F(DeviceTest, ShadedDrawRecordsTransformedVertices)
{
    const char src[] = "vs_1_1\n"
                       "dcl_position0 v0\n"
                       "dcl_color0 v4\n"
                       "m4x4 oPos, v0, c[0]\n"
                       "mov oD0, v4\n";
    ID3DXBuffer* code = nullptr;
    ASSERT_EQ(D3DXAssembleShader(src, sizeof(src) - 1, nullptr, nullptr, 0, &code, nullptr), D3D_OK);
    IDirect3DVertexShader9* vs = nullptr;
    ASSERT_EQ(dev->CreateVertexShader(static_cast<const DWORD*>(code->GetBufferPointer()), &vs), D3D_OK);
    code->Release();

    struct Vertex {
        float x, y, z;
        D3DCOLOR color;
    };
    const Vertex quad[3] = {{1, 2, 3, 0xFF0000FFu}, {0, 0, 0, 0x80FF0000u}, {-1, 1, 0, 0}};
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(sizeof(quad), 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    void* bits = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &bits, 0), D3D_OK);
    std::memcpy(bits, quad, sizeof(quad));
    vb->Unlock();
    // Columns of a translation by (10, 20, 30), as constants hold them (transposed).
    const float translate[16] = {1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 30, 0, 0, 0, 1};
    ASSERT_EQ(dev->SetVertexShaderConstantF(0, translate, 4), D3D_OK);
    dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    dev->SetVertexShader(vs);
    dev->SetStreamSource(0, vb, 0, sizeof(Vertex));
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    D3D9SoftClearLog(dev);
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    const D3D9SoftEvent* draw = nullptr;
    for (const D3D9SoftEvent& e : D3D9SoftLog(dev)) {
        if (e.type == D3D9SOFT_DRAW)
            draw = &e;
    }
    ASSERT_NE(draw, nullptr);
    ASSERT_EQ(draw->shaded.size(), 3u);
    EXPECT_EQ(draw->shadedFirst, 0u);
    ExpectVec(draw->shaded[0].position, 11, 22, 33, 1, "vertex 0");
    ExpectVec(draw->shaded[2].position, 9, 21, 30, 1, "vertex 2");
    ExpectVec(draw->shaded[0].colors[0], 0, 0, 1, 1, "blue, opaque");
    ExpectVec(draw->shaded[1].colors[0], 1, 0, 0, 128 / 255.0f, "red, half alpha");

    // Without a shader nothing is shaded.
    dev->SetVertexShader(nullptr);
    D3D9SoftClearLog(dev);
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    for (const D3D9SoftEvent& e : D3D9SoftLog(dev))
        EXPECT_TRUE(e.shaded.empty());
    dev->SetVertexShader(vs);

    // The log keeps 2^18 shaded vertices in all: a long run's log does not grow by every draw's vertices.
    constexpr UINT kBig = 60000;
    IDirect3DVertexBuffer9* big = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(kBig * sizeof(Vertex), 0, 0, D3DPOOL_MANAGED, &big, nullptr), D3D_OK);
    dev->SetStreamSource(0, big, 0, sizeof(Vertex));
    D3D9SoftClearLog(dev);
    for (int i = 0; i < 5; i++)
        ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, kBig / 3), D3D_OK);
    std::vector<size_t> sizes;
    for (const D3D9SoftEvent& e : D3D9SoftLog(dev))
        if (e.type == D3D9SOFT_DRAW)
            sizes.push_back(e.shaded.size());
    EXPECT_EQ(sizes, (std::vector<size_t>{kBig, kBig, kBig, kBig, 0}));
    D3D9SoftClearLog(dev);
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    ASSERT_NE(D3D9SoftLast(dev, D3D9SOFT_DRAW), nullptr);
    EXPECT_EQ(D3D9SoftLast(dev, D3D9SOFT_DRAW)->shaded.size(), 3u) << "a cleared log keeps shaded vertices again";

    dev->EndScene();
    dev->SetVertexShader(nullptr);
    dev->SetStreamSource(0, nullptr, 0, 0);
    EXPECT_EQ(big->Release(), 0u);
    EXPECT_EQ(vb->Release(), 0u);
    EXPECT_EQ(vs->Release(), 0u);
}

}  // namespace
