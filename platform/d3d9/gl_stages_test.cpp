// The OpenGL back end's texture stages: the temporary register and per-stage constants, which the combiners lack,
// run as a generated fragment program; arrangements without them stay on the combiners.
#include "platform/d3d9/gl_pixel_testing.h"
#include "platform/win32/gl_required_testing.h"

namespace {

void Stage(IDirect3DDevice9* dev, DWORD stage, DWORD op, DWORD arg1, DWORD arg2)
{
    dev->SetTextureStageState(stage, D3DTSS_COLOROP, op);
    dev->SetTextureStageState(stage, D3DTSS_COLORARG1, arg1);
    dev->SetTextureStageState(stage, D3DTSS_COLORARG2, arg2);
    dev->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
}

}  // namespace

TEST_F(GlPixelTest, TemporaryRegisterAndStageConstants)
{
    D3DCAPS9 caps;
    ASSERT_EQ(gl_->get()->GetDeviceCaps(&caps), D3D_OK);
    if (!(caps.PrimitiveMiscCaps & D3DPMISCCAPS_TSSARGTEMP))
        MALL_GL_MISSING("no GLSL here");
    const DWORD texels[4] = {0xFF643200u, 0xFF643200u, 0xFF643200u, 0xFF643200u};
    IDirect3DTexture9* texture = MakeTexture(2, 2, D3DFMT_A8R8G8B8, texels, 8, 2);
    ASSERT_NE(texture, nullptr);
    const Scene scene = [texture](IDirect3DDevice9* dev) {
        TLVertex left[6], right[6];
        MakeTLQuad(0, 0, kW / 2, kH, 0xFF4080C0u, left);
        MakeTLQuad(kW / 2, 0, kW, kH, 0xFF4080C0u, right);
        dev->SetFVF(kTLFVF);
        dev->SetTexture(0, texture);
        dev->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFF80u);
        // The texture kept aside in the temporary register, the diffuse colour scaled by stage 1's own constant,
        // the two added, and the sum scaled by the texture factor.
        Stage(dev, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        dev->SetTextureStageState(0, D3DTSS_RESULTARG, D3DTA_TEMP);
        Stage(dev, 1, D3DTOP_MODULATE, D3DTA_CONSTANT, D3DTA_CURRENT);
        dev->SetTextureStageState(1, D3DTSS_CONSTANT, 0xFF80FFFFu);
        Stage(dev, 2, D3DTOP_ADD, D3DTA_TEMP, D3DTA_CURRENT);
        Stage(dev, 3, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_TFACTOR);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, left, sizeof(TLVertex));
        // Back on the combiners: texture x diffuse.
        dev->SetTextureStageState(0, D3DTSS_RESULTARG, D3DTA_CURRENT);
        Stage(dev, 0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        Stage(dev, 1, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, right, sizeof(TLVertex));
        dev->SetTexture(0, nullptr);
    };
    Draw(scene);
    EXPECT_TRUE(Near(At(16, 32), 132, 178, 96));
    EXPECT_TRUE(Near(At(48, 32), 25, 25, 0));
    texture->Release();
}

// The generated text for what the combiners cannot do: the temporary register, a stage constant, a cube sampler.
TEST(GlStageProgramText, ReadsTheTemporaryAndStageConstants)
{
    GlStageSetup stages[2];
    stages[0].colorOp = D3DTOP_SELECTARG1;
    stages[0].colorArgs[1] = D3DTA_TEXTURE;
    stages[0].alphaOp = D3DTOP_SELECTARG1;
    stages[0].alphaArgs[1] = D3DTA_TEXTURE;
    stages[0].toTemp = true;
    stages[0].texture = 2;
    stages[1].colorOp = D3DTOP_LERP;
    stages[1].colorArgs[0] = D3DTA_CONSTANT | D3DTA_ALPHAREPLICATE;
    stages[1].colorArgs[1] = D3DTA_TEMP;
    stages[1].colorArgs[2] = D3DTA_CURRENT | D3DTA_COMPLEMENT;
    const std::string text = GlStageProgramText(stages, 2, false);
    EXPECT_NE(text.find("samplerCube s0"), std::string::npos);
    EXPECT_NE(text.find("temp = clamp(vec4(tex.rgb"), std::string::npos);
    EXPECT_NE(text.find("mix((1.0 - current).rgb, temp.rgb, vec4(stageConstant[1].a).rgb)"), std::string::npos);
    // Stage 1's alpha is off: it carries the current alpha on.
    EXPECT_NE(text.find("current = clamp(vec4(mix((1.0 - current).rgb, temp.rgb, vec4(stageConstant[1].a).rgb), "
                        "current.a)"),
              std::string::npos);
}
