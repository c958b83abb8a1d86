// Pixel tests of the OpenGL back end: textures, texture stages and per-pixel operations.
#include "platform/d3d9/gl_pixel_testing.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// ---------------------------------------------------------------- textures

TEST_F(GlPixelTest, TextureRowZeroIsTopAndTexelsMapOneToOne)
{
    // 2 x 2 texels: red green / blue white, in B,G,R,A memory order.
    const DWORD texels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    IDirect3DTexture9* tex = MakeTexture(2, 2, D3DFMT_A8R8G8B8, texels, 8, 2);
    ASSERT_NE(tex, nullptr);
    Draw(
        [tex](IDirect3DDevice9* dev) {
            TLVertex v[6];
            MakeTLQuad(-0.5f, -0.5f, 63.5f, 63.5f, 0xFFFFFFFFu, v);
            dev->SetFVF(kTLFVF);
            dev->SetTexture(0, tex);
            dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
            dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
            dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
            dev->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            dev->SetTexture(0, nullptr);
        },
        0xFF000000u, false);
    // With the -0.5 offset, linear filtering lands on texel centres at the corners.
    EXPECT_TRUE(Near(At(0, 0), 255, 0, 0, 4));
    EXPECT_TRUE(Near(At(63, 0), 0, 255, 0, 4));
    EXPECT_TRUE(Near(At(0, 63), 0, 0, 255, 4));
    EXPECT_TRUE(Near(At(63, 63), 255, 255, 255, 4));
    tex->Release();
}

TEST_F(GlPixelTest, SixteenBitAndDxt1TexturesDecode)
{
    // R5G6B5: top row pure red, bottom row pure blue.
    const uint16_t rgb565[4] = {0xF800, 0xF800, 0x001F, 0x001F};
    // A4R4G4B4: half-transparent green everywhere.
    const uint16_t argb4444[4] = {0x80F0, 0x80F0, 0x80F0, 0x80F0};
    // One DXT1 block: colour0 red, colour1 blue; rows 0-1 take colour0, rows 2-3 colour1.
    const uint8_t dxt1[8] = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x00, 0x55, 0x55};
    IDirect3DTexture9* t565 = MakeTexture(2, 2, D3DFMT_R5G6B5, rgb565, 4, 2);
    IDirect3DTexture9* t4444 = MakeTexture(2, 2, D3DFMT_A4R4G4B4, argb4444, 4, 2);
    IDirect3DTexture9* tdxt = MakeTexture(4, 4, D3DFMT_DXT1, dxt1, 8, 1);
    ASSERT_TRUE(t565 && t4444 && tdxt);
    Draw(
        [&](IDirect3DDevice9* dev) {
            dev->SetFVF(kTLFVF);
            TLVertex v[6];
            MakeTLQuad(0, 0, 16, 64, 0xFFFFFFFFu, v);
            dev->SetTexture(0, t565);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            MakeTLQuad(16, 0, 32, 64, 0xFFFFFFFFu, v);
            dev->SetTexture(0, tdxt);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            MakeTLQuad(32, 0, 48, 64, 0xFFFFFFFFu, v);
            dev->SetTexture(0, t4444);
            dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
            dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            dev->SetTexture(0, nullptr);
        },
        0xFF0000FFu, false);
    EXPECT_TRUE(Near(At(8, 4), 255, 0, 0));
    EXPECT_TRUE(Near(At(8, 60), 0, 0, 255));
    EXPECT_TRUE(Near(At(24, 4), 255, 0, 0));
    EXPECT_TRUE(Near(At(24, 60), 0, 0, 255));
    // 0x8 of 0xF alpha: 136/255 green over blue.
    EXPECT_TRUE(Near(At(40, 30), 0, 136, 119, 4));
    t565->Release();
    t4444->Release();
    tdxt->Release();
}

TEST_F(GlPixelTest, OneBitAlphaTextureKeepsOnlyOpaqueTexels)
{
    // A1R5G5B5: left texel transparent red, right texel opaque green.
    const uint16_t texels[2] = {0x7C00, 0x83E0};
    IDirect3DTexture9* tex = MakeTexture(2, 1, D3DFMT_A1R5G5B5, texels, 4, 1);
    ASSERT_NE(tex, nullptr);
    Draw(
        [tex](IDirect3DDevice9* dev) {
            dev->SetFVF(kTLFVF);
            dev->SetTexture(0, tex);
            dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
            dev->SetRenderState(D3DRS_ALPHAREF, 0);
            dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
            TLVertex v[6];
            MakeTLQuad(0, 0, 64, 64, 0xFFFFFFFFu, v);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            dev->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
            dev->SetTexture(0, nullptr);
        },
        0xFF0000FFu, false);
    EXPECT_TRUE(Near(At(16, 32), 0, 0, 255));
    EXPECT_TRUE(Near(At(48, 32), 0, 255, 0));
    tex->Release();
}

// ---------------------------------------------------------------- stages

TEST_F(GlPixelTest, StageOperationsModulateAddSelectAndBlend)
{
    const DWORD grey[4] = {0x80808080u, 0x80808080u, 0x80808080u, 0x80808080u};
    const DWORD halfRed[4] = {0x80FF0000u, 0x80FF0000u, 0x80FF0000u, 0x80FF0000u};
    IDirect3DTexture9* greyTex = MakeTexture(2, 2, D3DFMT_A8R8G8B8, grey, 8, 2);
    IDirect3DTexture9* redTex = MakeTexture(2, 2, D3DFMT_A8R8G8B8, halfRed, 8, 2);
    ASSERT_TRUE(greyTex && redTex);
    Draw(
        [&](IDirect3DDevice9* dev) {
            dev->SetFVF(kTLFVF);
            dev->SetTexture(0, greyTex);
            TLVertex v[6];
            // Modulate: grey texture times diffuse (0, 255, 200).
            MakeTLQuad(0, 0, 16, 32, 0xFF00FFC8u, v);
            dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            // Add: grey plus diffuse (0x40, 0, 0x10).
            MakeTLQuad(16, 0, 32, 32, 0xFF400010u, v);
            dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            // Select the diffuse colour (arg2), ignoring the texture.
            MakeTLQuad(32, 0, 48, 32, 0xFF123456u, v);
            dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            // Select the texture factor.
            MakeTLQuad(48, 0, 64, 32, 0xFFFFFFFFu, v);
            dev->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF00A0FFu);
            dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
            dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            // Stage 1 blends its half-transparent red over stage 0's diffuse by texture alpha.
            MakeTLQuad(0, 32, 64, 64, 0xFF0000FFu, v);
            dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
            dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
            dev->SetTexture(1, redTex);
            dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDTEXTUREALPHA);
            dev->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            dev->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
            dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
            dev->SetTexture(0, nullptr);
            dev->SetTexture(1, nullptr);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(8, 16), 0, 128, 100));
    EXPECT_TRUE(Near(At(24, 16), 0xC0, 0x80, 0x90));
    EXPECT_TRUE(Near(At(40, 16), 0x12, 0x34, 0x56));
    EXPECT_TRUE(Near(At(56, 16), 0x00, 0xA0, 0xFF));
    EXPECT_TRUE(Near(At(32, 48), 128, 0, 127));
    greyTex->Release();
    redTex->Release();
}

// ---------------------------------------------------------------- per-pixel operations

TEST_F(GlPixelTest, AlphaTestAndBlending)
{
    Draw(
        [](IDirect3DDevice9* dev) {
            dev->SetFVF(kTLFVF);
            TLVertex v[6];
            dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
            dev->SetRenderState(D3DRS_ALPHAREF, 0x80);
            dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
            MakeTLQuad(0, 0, 32, 32, 0x40FFFFFFu, v);  // rejected
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            MakeTLQuad(32, 0, 64, 32, 0xC0FFFFFFu, v);  // kept
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            dev->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
            dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
            dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
            MakeTLQuad(0, 32, 32, 64, 0x80FF0000u, v);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
            dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
            dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
            MakeTLQuad(32, 32, 64, 64, 0xFF004000u, v);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
        },
        0xFF0000FFu);
    EXPECT_TRUE(Near(At(16, 16), 0, 0, 255));
    EXPECT_TRUE(Near(At(48, 16), 255, 255, 255));
    EXPECT_TRUE(Near(At(16, 48), 128, 0, 127));
    EXPECT_TRUE(Near(At(48, 48), 0, 0x40, 255));
}

TEST_F(GlPixelTest, LinearFogVertexAndTable)
{
    auto fogged = [](DWORD tableMode, DWORD vertexMode) {
        return [=](IDirect3DDevice9* dev) {
            SetUp3D(dev);
            dev->SetRenderState(D3DRS_LIGHTING, FALSE);
            dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
            dev->SetRenderState(D3DRS_FOGCOLOR, 0xFF00FF00u);
            dev->SetRenderState(D3DRS_FOGTABLEMODE, tableMode);
            dev->SetRenderState(D3DRS_FOGVERTEXMODE, vertexMode);
            const float start = 0.0f, end = 4.0f;
            DWORD bits;
            std::memcpy(&bits, &start, 4);
            dev->SetRenderState(D3DRS_FOGSTART, bits);
            std::memcpy(&bits, &end, 4);
            dev->SetRenderState(D3DRS_FOGEND, bits);
            LitVertex v[6];
            MakeFacingQuad(1.0f, 0xFFFF0000u, v);  // a quarter of the way: 75 % object colour
            dev->SetFVF(kLitFVF);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(LitVertex));
        };
    };
    Draw(fogged(D3DFOG_NONE, D3DFOG_LINEAR));
    EXPECT_TRUE(Near(At(32, 32), 191, 64, 0, 4));
    Draw(fogged(D3DFOG_LINEAR, D3DFOG_NONE));
    EXPECT_TRUE(Near(At(32, 32), 191, 64, 0, 4));
    // A stage reading the stage constant runs as a generated fragment program, which fogs by the same state; after
    // a draw with the fog off, and one with other fog values, it takes the values now set.
    auto constantStage = [=](float start, float end) {
        return [=](IDirect3DDevice9* dev) {
            fogged(D3DFOG_NONE, D3DFOG_LINEAR)(dev);
            LitVertex v[6];
            MakeFacingQuad(1.0f, 0xFF0000FFu, v);
            dev->SetRenderState(D3DRS_FOGENABLE, FALSE);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(LitVertex));
            dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
            DWORD bits;
            std::memcpy(&bits, &start, 4);
            dev->SetRenderState(D3DRS_FOGSTART, bits);
            std::memcpy(&bits, &end, 4);
            dev->SetRenderState(D3DRS_FOGEND, bits);
            dev->SetTextureStageState(0, D3DTSS_CONSTANT, 0xFFFF0000u);
            dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_CONSTANT);
            dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
            dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
            dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(LitVertex));
        };
    };
    Draw(constantStage(0.0f, 2.0f));  // half way: half red, half green
    EXPECT_TRUE(Near(At(32, 32), 128, 128, 0, 4));
}

TEST_F(GlPixelTest, StencilMaskWithColourWritesOff)
{
    Draw([](IDirect3DDevice9* dev) {
        dev->SetFVF(kTLFVF);
        TLVertex v[6];
        // Mark a square in the stencil buffer without touching the colours.
        dev->SetRenderState(D3DRS_STENCILENABLE, TRUE);
        dev->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        dev->SetRenderState(D3DRS_STENCILREF, 1);
        dev->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
        dev->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
        MakeTLQuad(16, 16, 48, 48, 0xFFFFFFFFu, v);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
        // Then fill everything where the mark is.
        dev->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
        dev->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
        dev->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        MakeTLQuad(0, 0, 64, 64, 0xFFFFFF00u, v);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
        dev->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    });
    EXPECT_TRUE(Near(At(8, 8), 0, 0, 0));
    EXPECT_TRUE(Near(At(20, 20), 255, 255, 0));
    EXPECT_TRUE(Near(At(47, 47), 255, 255, 0));
    EXPECT_TRUE(Near(At(48, 30), 0, 0, 0));
}

TEST_F(GlPixelTest, TextureTransformOfTwoDimensionalCoordinatesTranslatesByRowTwo)
{
    // Left texel red, right texel green.
    const DWORD texels[2] = {0xFFFF0000u, 0xFF00FF00u};
    IDirect3DTexture9* tex = MakeTexture(2, 1, D3DFMT_A8R8G8B8, texels, 8, 1);
    ASSERT_NE(tex, nullptr);
    auto scene = [tex](DWORD flags) {
        return [tex, flags](IDirect3DDevice9* dev) {
            SetUp3D(dev);
            dev->SetRenderState(D3DRS_LIGHTING, FALSE);
            dev->SetTexture(0, tex);
            dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
            // (u, v, 1) times the matrix: row 2 holds the translation of 2D coordinates.
            D3DMATRIX shift = MakeIdentity();
            shift._31 = 0.5f;
            dev->SetTransform(D3DTS_TEXTURE0, &shift);
            dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, flags);
            LitVertex v[6];
            MakeFacingQuad(1.0f, 0xFFFFFFFFu, v);
            dev->SetFVF(kLitFVF);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(LitVertex));
            dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
            dev->SetTexture(0, nullptr);
        };
    };
    Draw(scene(D3DTTFF_COUNT2), 0xFF000000u, false);
    EXPECT_TRUE(Near(At(8, 32), 0, 255, 0));
    EXPECT_TRUE(Near(At(56, 32), 255, 0, 0));
    // Switched off for the next frame's draw, then on again: each draw has its own matrix.
    Draw(scene(D3DTTFF_DISABLE), 0xFF000000u, false);
    EXPECT_TRUE(Near(At(8, 32), 255, 0, 0));
    EXPECT_TRUE(Near(At(56, 32), 0, 255, 0));
    Draw(scene(D3DTTFF_COUNT2), 0xFF000000u, false);
    EXPECT_TRUE(Near(At(8, 32), 0, 255, 0));
    tex->Release();
}

TEST_F(GlPixelTest, CubeMapLookedUpByGeneratedCameraSpaceNormal)
{
    IDirect3DDevice9* dev = gl_->get();
    IDirect3DCubeTexture9* cube = MakeFaceColouredCube(dev);
    ASSERT_NE(cube, nullptr);
    Draw(
        [cube](IDirect3DDevice9* d) {
            SetUp3D(d);
            d->SetRenderState(D3DRS_LIGHTING, FALSE);
            d->SetTexture(0, cube);
            d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
            d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
            d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            LitVertex v[6];
            MakeFacingQuad(1.0f, 0xFFFFFFFFu, v);  // normals (0, 0, -1): the -Z face
            d->SetFVF(kLitFVF);
            d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(LitVertex));
            d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
            d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            d->SetTexture(0, nullptr);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(32, 32), 0, 255, 255));
    cube->Release();
}

TEST_F(GlPixelTest, PointSpriteTextureRunsTopToBottom)
{
    // Top texel row red, bottom row blue.
    const DWORD texels[4] = {0xFFFF0000u, 0xFFFF0000u, 0xFF0000FFu, 0xFF0000FFu};
    IDirect3DTexture9* tex = MakeTexture(2, 2, D3DFMT_A8R8G8B8, texels, 8, 2);
    ASSERT_NE(tex, nullptr);
    Draw(
        [tex](IDirect3DDevice9* dev) {
            const float size = 32.0f;
            DWORD bits;
            std::memcpy(&bits, &size, 4);
            dev->SetRenderState(D3DRS_POINTSIZE, bits);
            dev->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
            dev->SetTexture(0, tex);
            const TLVertex point = {32.0f, 32.0f, 0.5f, 1.0f, 0xFFFFFFFFu, 0.0f, 0.0f};
            dev->SetFVF(kTLFVF);
            dev->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof(TLVertex));
            dev->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
            dev->SetTexture(0, nullptr);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(32, 20), 255, 0, 0));
    EXPECT_TRUE(Near(At(32, 44), 0, 0, 255));
    EXPECT_TRUE(Near(At(32, 4), 0, 0, 0));
    tex->Release();
}

}  // namespace
