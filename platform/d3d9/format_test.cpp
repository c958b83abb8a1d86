// Tests of the format, vertex-layout and primitive-count helpers shared by the core and the back ends.
#include "platform/d3d9/backend.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(D3D9Format, SizesPitchesAndVertexLayouts)
{
    EXPECT_EQ(D3D9FormatPitch(D3DFMT_A8R8G8B8, 10), 40u);
    EXPECT_EQ(D3D9FormatPitch(D3DFMT_R8G8B8, 3), 9u);
    EXPECT_EQ(D3D9FormatPitch(D3DFMT_DXT1, 13), 4u * 8u);
    EXPECT_EQ(D3D9FormatPitch(D3DFMT_DXT3, 2), 16u);
    EXPECT_EQ(D3D9FormatRows(D3DFMT_DXT5, 9), 3u);
    EXPECT_EQ(D3D9FormatRows(D3DFMT_L8, 9), 9u);
    EXPECT_FALSE(D3D9FormatKnown(D3DFMT_UNKNOWN));
    EXPECT_FALSE(D3D9FormatKnown(static_cast<D3DFORMAT>(MAKEFOURCC('A', 'T', 'I', '1'))));
    EXPECT_TRUE(D3D9FormatIsDepth(D3DFMT_D24S8));

    EXPECT_EQ(D3D9FVFSize(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2), 12u + 12u + 4u + 16u);
    EXPECT_EQ(D3D9FVFSize(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1), 28u);
    EXPECT_EQ(D3D9FVFSize(D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_DIFFUSE), 20u);
    EXPECT_EQ(D3D9FVFSize(D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0)), 24u);

    std::vector<D3DVERTEXELEMENT9> e;
    D3D9DeclarationFromFVF(D3DFVF_XYZB3 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL | D3DFVF_SPECULAR, &e);
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[1].Usage, D3DDECLUSAGE_BLENDWEIGHT);
    EXPECT_EQ(e[1].Type, D3DDECLTYPE_FLOAT2);
    EXPECT_EQ(e[2].Usage, D3DDECLUSAGE_BLENDINDICES);
    EXPECT_EQ(e[2].Type, D3DDECLTYPE_UBYTE4);
    EXPECT_EQ(e[2].Offset, 20u);
    EXPECT_EQ(e[4].Usage, D3DDECLUSAGE_COLOR);
    EXPECT_EQ(e[4].UsageIndex, 1u);

    EXPECT_EQ(D3D9PrimitiveVertexCount(D3DPT_TRIANGLEFAN, 4), 6u);
    EXPECT_EQ(D3D9PrimitiveVertexCount(D3DPT_LINESTRIP, 4), 5u);
    EXPECT_EQ(D3D9PrimitiveVertexCount(static_cast<D3DPRIMITIVETYPE>(9), 4), 0u);
    EXPECT_EQ(sizeof(D3DVERTEXELEMENT9), 8u);
}

D3D9SurfaceData MakeImage(D3DFORMAT format, UINT width, UINT height)
{
    D3D9SurfaceData s;
    s.width = width;
    s.height = height;
    s.format = format;
    s.pitch = D3D9FormatPitch(format, width);
    s.rows = D3D9FormatRows(format, height);
    s.bits.assign(static_cast<size_t>(s.pitch) * s.rows, 0);
    return s;
}

WORD ReadWord(const D3D9SurfaceData& s, UINT x, UINT y)
{
    return static_cast<WORD>(s.bits[y * s.pitch + x * 2] | (s.bits[y * s.pitch + x * 2 + 1] << 8));
}

TEST(D3D9Format, FillsPackColoursAndClipToTheImage)
{
    D3D9SurfaceData rgb565 = MakeImage(D3DFMT_R5G6B5, 4, 4);
    ASSERT_TRUE(D3D9FillRect(&rgb565, RECT{-2, -2, 1, 1}, 0xFFFF8000));
    EXPECT_EQ(ReadWord(rgb565, 0, 0), (0x1F << 11) | (0x20 << 5));
    EXPECT_EQ(ReadWord(rgb565, 1, 0), 0);
    D3D9SurfaceData argb1555 = MakeImage(D3DFMT_A1R5G5B5, 2, 2);
    ASSERT_TRUE(D3D9FillRect(&argb1555, RECT{0, 0, 9, 9}, 0x80FF0000));
    EXPECT_EQ(ReadWord(argb1555, 1, 1), 0x8000 | (0x1F << 10));
    D3D9SurfaceData argb4444 = MakeImage(D3DFMT_A4R4G4B4, 2, 2);
    ASSERT_TRUE(D3D9FillRect(&argb4444, RECT{0, 0, 2, 2}, 0x7F10E0F0));
    EXPECT_EQ(ReadWord(argb4444, 0, 1), 0x71EF);
    D3D9SurfaceData l8 = MakeImage(D3DFMT_L8, 2, 1);
    ASSERT_TRUE(D3D9FillRect(&l8, RECT{0, 0, 2, 1}, 0xFFFFFFFF));
    EXPECT_GE(l8.bits[1], 254);
    D3D9SurfaceData dxt = MakeImage(D3DFMT_DXT1, 4, 4);
    EXPECT_FALSE(D3D9FillRect(&dxt, RECT{0, 0, 4, 4}, 0));
    D3D9SurfaceData depth = MakeImage(D3DFMT_D16, 4, 4);
    EXPECT_FALSE(D3D9FillRect(&depth, RECT{0, 0, 4, 4}, 0));
}

TEST(D3D9Format, PointCopiesScaleByWholePixels)
{
    D3D9SurfaceData src = MakeImage(D3DFMT_A8R8G8B8, 2, 2);
    D3D9FillRect(&src, RECT{1, 0, 2, 1}, 0x11111111);
    D3D9FillRect(&src, RECT{0, 1, 1, 2}, 0x22222222);
    D3D9SurfaceData dst = MakeImage(D3DFMT_A8R8G8B8, 8, 8);
    D3D9CopyRectPoint(src, RECT{0, 0, 2, 2}, &dst, RECT{2, 2, 6, 6});
    auto at = [&](UINT x, UINT y) {
        DWORD v;
        std::memcpy(&v, dst.bits.data() + y * dst.pitch + x * 4, 4);
        return v;
    };
    EXPECT_EQ(at(2, 2), 0u);
    EXPECT_EQ(at(4, 2), 0x11111111u);
    EXPECT_EQ(at(5, 3), 0x11111111u);
    EXPECT_EQ(at(3, 4), 0x22222222u);
    EXPECT_EQ(at(6, 4), 0u);  // outside the destination rectangle
    EXPECT_EQ(at(1, 1), 0u);
}

}  // namespace
