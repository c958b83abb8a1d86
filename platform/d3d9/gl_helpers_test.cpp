// Tests of the OpenGL back end's helpers that need no device, and of the benchmarks' plain-GL baseline.
#include "platform/d3d9/d3dx9.h"
#include "platform/d3d9/gl_baseline.h"
#include "platform/d3d9/gl_local.h"
#include "platform/d3d9/gl_pixel_testing.h"
#include "platform/win32/gl_required_testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

const int kSize = 64;  // the baseline's framebuffer, square

// ---------------------------------------------------------------- helpers without a context

TEST(GlHelpers, PixelCentreShiftAndPretransformedMapping)
{
    const D3DXMATRIX id = MakeIdentity();
    float m[16];
    GlPixelCentreProjection(id, 64.0f, 32.0f, m);
    // Row 3 carries the half-pixel shift: +1/w in x, about -1/h in y (rows run down).
    EXPECT_FLOAT_EQ(m[12], 1.0f / 64.0f);
    EXPECT_LT(m[13], -0.9f / 32.0f);
    EXPECT_GT(m[13], -1.0f / 32.0f);
    GlPretransformedProjection(64.0f, 32.0f, m);
    // Pixel 0's centre (x = 0) lands half a pixel inside the left edge.
    const float x = 0.0f * m[0] + m[12];
    EXPECT_FLOAT_EQ(x, -1.0f + 1.0f / 64.0f);
    // Row 31's centre lands a little over half a pixel above the bottom edge.
    const float y = 31.0f * m[5] + m[13];
    EXPECT_GT(y, -1.0f + 1.0f / 32.0f);
    EXPECT_LT(y, -1.0f + 1.1f / 32.0f);
}

TEST(GlHelpers, SpotExponentAndElementDecoding)
{
    EXPECT_EQ(GlSpotExponent(0.5f, 0.5f, 1.0f), 0.0f);
    const float e = GlSpotExponent(0.2f, 1.0f, 1.0f);
    EXPECT_GT(e, 0.0f);
    // Half intensity half way between the cones' cosines.
    const float cosHalf = 0.5f * (std::cos(0.1f) + std::cos(0.5f));
    EXPECT_NEAR(std::pow(cosHalf, e), 0.5f, 1e-3f);

    float out[4];
    const uint8_t color[4] = {0x10, 0x20, 0x30, 0x40};  // B, G, R, A
    GlDecodeElement(D3DDECLTYPE_D3DCOLOR, color, out);
    EXPECT_FLOAT_EQ(out[0], 0x30 / 255.0f);
    EXPECT_FLOAT_EQ(out[2], 0x10 / 255.0f);
    EXPECT_FLOAT_EQ(out[3], 0x40 / 255.0f);
    const uint32_t dec = (511u) | (0x201u << 10) | (0u << 20);  // +1, -1, 0
    GlDecodeElement(D3DDECLTYPE_DEC3N, reinterpret_cast<const BYTE*>(&dec), out);
    EXPECT_FLOAT_EQ(out[0], 1.0f);
    EXPECT_FLOAT_EQ(out[1], -1.0f);
    EXPECT_FLOAT_EQ(out[2], 0.0f);
    const int16_t shorts[2] = {32767, -32767};
    GlDecodeElement(D3DDECLTYPE_SHORT2N, reinterpret_cast<const BYTE*>(shorts), out);
    EXPECT_FLOAT_EQ(out[0], 1.0f);
    EXPECT_FLOAT_EQ(out[1], -1.0f);
    EXPECT_FLOAT_EQ(out[3], 1.0f);
    const uint16_t halves[2] = {0x3C00, 0xC000};  // 1.0, -2.0
    GlDecodeElement(D3DDECLTYPE_FLOAT16_2, reinterpret_cast<const BYTE*>(halves), out);
    EXPECT_FLOAT_EQ(out[0], 1.0f);
    EXPECT_FLOAT_EQ(out[1], -2.0f);
}

// Buffer elements reach GL as offsets; one at offset 0 must not be formed by adding to a null pointer (which
// clang's undefined-behaviour checks stop at).
TEST(GlHelpers, ElementPointersAreBufferOffsetsOrClientAddresses)
{
    const GlSource first = {nullptr, 0, 16};
    EXPECT_EQ(reinterpret_cast<uintptr_t>(GlSourcePointer(first, 12)), 12u);
    EXPECT_EQ(GlSourcePointer(first, 0), nullptr);
    const GlSource later = {nullptr, 32, 16};
    EXPECT_EQ(reinterpret_cast<uintptr_t>(GlSourcePointer(later, 12)), 44u);
    const BYTE bytes[32] = {};
    const GlSource client = {bytes, 0, 16};
    EXPECT_EQ(GlSourcePointer(client, 12), bytes + 12);
}

TEST(GlHelpers, FormatTableRefusesPalettesAndWidensA4L4)
{
    EXPECT_EQ(GlFormatFind(D3DFMT_P8), nullptr);
    const GlFormat* f = GlFormatFind(D3DFMT_A4L4);
    ASSERT_NE(f, nullptr);
    const uint8_t src[1] = {0xF8};
    uint8_t dst[4];
    GlFormatConvertRow(f, src, dst, 1);
    EXPECT_EQ(dst[0], 0x88);
    EXPECT_EQ(dst[3], 0xFF);
    ASSERT_NE(GlFormatFind(D3DFMT_DXT1), nullptr);
    EXPECT_EQ(GlFormatFind(D3DFMT_DXT1)->blockBytes, 8);
}

// ---------------------------------------------------------------- the benchmark's plain-GL baseline

TEST(GlBaseline, DrawsTheLitTexturedSceneIntoItsFramebuffer)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    // One screen-filling quad, clockwise on screen, facing the light.
    const float vertices[4][8] = {{-1, 1, 0.5f, 0, 0, -1, 0, 0},
                                  {1, 1, 0.5f, 0, 0, -1, 1, 0},
                                  {1, -1, 0.5f, 0, 0, -1, 1, 1},
                                  {-1, -1, 0.5f, 0, 0, -1, 0, 1}};
    const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    const uint32_t base[1] = {0};
    const uint32_t texels[4] = {0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u};
    const GlBaselineScene scene = {vertices, 4, indices, 6, base, 1, texels, 2, 0xFF000080u, 0xFF000000u, {0, 0, 1}};
    GlBaseline* baseline = GlBaselineCreate(scene, kSize, kSize, true);
    if (!baseline)
        MALL_GL_MISSING("no OpenGL context here");
    const D3DXMATRIX id = MakeIdentity();
    GlBaselineDrawFrame(baseline, id, id, id);
    uint8_t rgba[4] = {0, 0, 0, 0};
    glReadPixels(kSize / 2, kSize / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    EXPECT_LT(rgba[0], 8);
    EXPECT_GT(rgba[1], 247);  // the green texture under a full white light, not the blue background
    EXPECT_LT(rgba[2], 8);
    GlBaselineDestroy(baseline);
}

}  // namespace
