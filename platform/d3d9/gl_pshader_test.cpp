// The OpenGL back end's ps_1_1 translation: what it refuses, and the colours translated shaders give on GL.
#include "platform/d3d9/gl_pixel_testing.h"
#include "platform/d3d9/shader_local.h"
#include "platform/win32/gl_required_testing.h"

namespace {

std::vector<DWORD> Assemble(const char* text)
{
    std::vector<DWORD> tokens;
    std::string error;
    EXPECT_TRUE(D3D9AssembleShaderText(text, std::strlen(text), &tokens, &error)) << error;
    return tokens;
}

}  // namespace

TEST(GlPixelShaderText, RefusesWhatItCannotRun)
{
    std::string error;
    unsigned samplers = 0;
    EXPECT_FALSE(GlPixelShaderText(Assemble("ps_1_1\ntex t0\ntex t2\nmul r0, t0, t2\n"), 0, &samplers, &error).empty())
        << error;
    EXPECT_EQ(samplers, 0x5u);
    EXPECT_TRUE(GlPixelShaderText(Assemble("vs_1_1\nmov oPos, v0\n"), 0, nullptr, &error).empty());
    std::vector<DWORD> cut = Assemble("ps_1_1\nmov r0, v0\n");
    cut.pop_back();
    EXPECT_TRUE(GlPixelShaderText(cut, 0, nullptr, &error).empty());
    EXPECT_EQ(error, "no end token");
    // Registers past the model's: a fifth texture, a third temporary, a ninth constant; a relative address.
    const struct {
        size_t token;
        DWORD value;
    } broken[] = {{2, 4}, {2, 2}, {3, 8}};
    for (const auto& b : broken) {
        std::vector<DWORD> t = Assemble("ps_1_1\nmov r0, c0\n");
        t[b.token] = (t[b.token] & ~kShaderRegNumMask) | b.value;
        if (b.value == 4)
            t[b.token] = (t[b.token] & ~(D3D9ShaderRegTypeBits(7) | kShaderRegNumMask)) |
                         D3D9ShaderRegTypeBits(SHREG_ADDR) | b.value;
        EXPECT_TRUE(GlPixelShaderText(t, 0, nullptr, &error).empty()) << b.token << " " << b.value;
    }
    std::vector<DWORD> relative = Assemble("ps_1_1\nmov r0, c0\n");
    relative[3] |= kShaderRelativeBit;
    EXPECT_TRUE(GlPixelShaderText(relative, 0, nullptr, &error).empty());
    // A cube map on a stage makes its sampler a cube sampler.
    const std::string cube = GlPixelShaderText(Assemble("ps_1_1\ntex t1\nmov r0, t1\n"), 0x2u, nullptr, &error);
    EXPECT_NE(cube.find("samplerCube s1"), std::string::npos);
}

namespace {

// A full-window quad of one diffuse colour and coordinates 0..1, drawn through a pixel shader.
Scene ShadedQuad(const char* text, DWORD diffuse, IDirect3DTexture9* texture, const float* c0)
{
    return [=](IDirect3DDevice9* dev) {
        const std::vector<DWORD> tokens = Assemble(text);
        IDirect3DPixelShader9* ps = nullptr;
        ASSERT_EQ(dev->CreatePixelShader(tokens.data(), &ps), D3D_OK);
        TLVertex quad[6];
        MakeTLQuad(0, 0, kW, kH, diffuse, quad);
        dev->SetFVF(kTLFVF);
        dev->SetTexture(0, texture);
        // The stage operations do not matter to a shader: stage 0 is off.
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
        if (c0)
            dev->SetPixelShaderConstantF(0, c0, 1);
        dev->SetPixelShader(ps);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(TLVertex));
        dev->SetPixelShader(nullptr);
        dev->SetTexture(0, nullptr);
        ps->Release();
    };
}

}  // namespace

TEST_F(GlPixelTest, PixelShadersRunAfterTheFixedVertexStage)
{
    D3DCAPS9 caps;
    ASSERT_EQ(gl_->get()->GetDeviceCaps(&caps), D3D_OK);
    if (caps.PixelShaderVersion < D3DPS_VERSION(1, 1))
        MALL_GL_MISSING("no GLSL here");
    const DWORD texels[4] = {0xFF808080u, 0xFF808080u, 0xFF808080u, 0xFF808080u};
    IDirect3DTexture9* texture = MakeTexture(2, 2, D3DFMT_A8R8G8B8, texels, 8, 2);
    ASSERT_NE(texture, nullptr);
    // Environment without a base: t0 t0.a c0 + diffuse, the diffuse alpha.
    const float half[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    Draw(ShadedQuad("ps_1_1\ntex t0\nmul r0, t0, t0.a\nmad r0.rgb, r0, c0, v0\n+mov r0.a, v0.a\n", 0xFF402000u, texture,
                    half),
         0xFF000000u, false);
    EXPECT_TRUE(Near(At(32, 32), 128, 96, 64));
    // Modifiers and results: (1 - v0) x2, saturated, then halved.
    Draw(ShadedQuad("ps_1_1\nmul_x2_sat r0, 1-v0, c0\nmov_d2 r0, r0\n", 0xFF402000u, nullptr, half), 0xFF000000u,
         false);
    EXPECT_TRUE(Near(At(32, 32), 96, 112, 128));
    // A co-issued instruction reads what its partner is about to overwrite: r1.a takes the old r1.r (1), not v0.r.
    Draw(ShadedQuad("ps_1_1\ndef c1, 1, 0, 0, 0\nmov r1, c1\nmov r1.rgb, v0\n+mov r1.a, r1.r\nmov r0, r1.a\n",
                    0xFF402000u, nullptr, nullptr),
         0xFF000000u, false);
    EXPECT_TRUE(Near(At(32, 32), 255, 255, 255));
    texture->Release();
}
