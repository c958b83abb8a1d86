// Tests of vertex-declaration instancing: packing and reading back every produced type, weights, bone indices,
// tangents, texture-coordinate type choice, the index-list helpers and the instancing layouts.
#include "gfx/d3d9/vertexdecl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "gfx/d3d9/cache_testing.h"

namespace {

GxUInt32 Word(const GxUInt8* bytes)
{
    GxUInt32 word;
    memcpy(&word, bytes, 4);
    return word;
}

}  // namespace

TEST(VertexDecl, TypeSizesMatchTheTable)
{
    const GxUInt32 sizes[] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8};
    for (GxUInt32 type = 0; type < 17; type++) {
        EXPECT_EQ(GxD3D9VertexDeclTypeGetSize(type), sizes[type]) << type;
    }
    EXPECT_EQ(GxD3D9VertexDeclTypeGetSize(D3DDECLTYPE_UNUSED), 0u);
    // FLOAT16 types report their size but write nothing.
    GxUInt8 out[8];
    memset(out, 0xCD, sizeof(out));
    const GxV3d v = {0.5f, 0.5f, 0.5f};
    EXPECT_EQ(GxD3D9WriteV3d(D3DDECLTYPE_FLOAT16_4, out, &v, 1, 8), 8u);
    EXPECT_EQ(out[0], 0xCD);
    EXPECT_EQ(out[7], 0xCD);
}

TEST(VertexDecl, VectorsRoundTripThroughEveryType)
{
    struct Case {
        GxUInt32 type;
        GxV3d in;
        GxV3d expected;
        GxReal tolerance;
    };
    const Case cases[] = {
        {D3DDECLTYPE_FLOAT1, {0.5f, -0.25f, 1.0f}, {0.5f, 0, 0}, 0},
        {D3DDECLTYPE_FLOAT2, {0.5f, -0.25f, 1.0f}, {0.5f, -0.25f, 0}, 0},
        {D3DDECLTYPE_FLOAT3, {0.5f, -0.25f, 1.0f}, {0.5f, -0.25f, 1.0f}, 0},
        {D3DDECLTYPE_FLOAT4, {0.5f, -0.25f, 1.0f}, {0.5f, -0.25f, 1.0f}, 0},
        {D3DDECLTYPE_D3DCOLOR, {0.5f, 0.25f, 1.0f}, {0.5f, 0.25f, 1.0f}, 0.51f / 255},
        {D3DDECLTYPE_UBYTE4N, {0.5f, 0.25f, 1.0f}, {0.5f, 0.25f, 1.0f}, 0.51f / 255},
        {D3DDECLTYPE_UBYTE4, {3.4f, 200.6f, 7.0f}, {3, 201, 7}, 0},
        {D3DDECLTYPE_SHORT2, {-3.4f, 200.6f, 7.0f}, {-3, 201, 0}, 0},
        {D3DDECLTYPE_SHORT4, {-3.4f, 200.6f, 7.0f}, {-3, 201, 7}, 0},
        {D3DDECLTYPE_SHORT2N, {0.5f, -0.25f, 1.0f}, {0.5f, -0.25f, 0}, 0.51f / 32767},
        {D3DDECLTYPE_SHORT4N, {0.5f, -0.25f, 1.0f}, {0.5f, -0.25f, 1.0f}, 0.51f / 32767},
        {D3DDECLTYPE_USHORT2N, {0.5f, 0.25f, 1.0f}, {0.5f, 0.25f, 0}, 0.51f / 65535},
        {D3DDECLTYPE_USHORT4N, {0.5f, 0.25f, 1.0f}, {0.5f, 0.25f, 1.0f}, 0.51f / 65535},
        {D3DDECLTYPE_UDEC3, {3.4f, 1000.6f, 7.0f}, {3, 1001, 7}, 0},
        {D3DDECLTYPE_DEC3N, {0.5f, -0.25f, -1.0f}, {0.5f, -0.25f, -1.0f}, 0.51f / 511},
    };
    for (const Case& c : cases) {
        GxUInt8 element[32] = {};
        const GxV3d pair[2] = {c.in, c.in};
        // Two vertices 20 bytes apart: the stride is honoured.
        ASSERT_EQ(GxD3D9WriteV3d(c.type, element, pair, 2, 16), GxD3D9VertexDeclTypeGetSize(c.type));
        for (GxUInt32 v = 0; v < 2; v++) {
            GxV3d out;
            GxD3D9ReadV3d(c.type, &out, element + 16 * v);
            EXPECT_NEAR(out.x, c.expected.x, c.tolerance) << "type " << c.type;
            EXPECT_NEAR(out.y, c.expected.y, c.tolerance) << "type " << c.type;
            EXPECT_NEAR(out.z, c.expected.z, c.tolerance) << "type " << c.type;
        }
    }
}

TEST(VertexDecl, PackedLayoutsRoundToNearestAndClamp)
{
    GxUInt8 out[8];
    // D3DCOLOR is ARGB: red in bits 16-23, alpha 255.
    const GxV3d colour = {1.0f, 0.5f, 0.0f};
    GxD3D9WriteV3d(D3DDECLTYPE_D3DCOLOR, out, &colour, 1, 4);
    EXPECT_EQ(Word(out), 0xFFFF8000u);
    // DEC3N: x in bits 0-9, y in 10-19, z in 20-29, each scaled by 511 and masked.
    const GxV3d n = {1.0f, -1.0f, 0.25f};
    GxD3D9WriteV3d(D3DDECLTYPE_DEC3N, out, &n, 1, 4);
    EXPECT_EQ(Word(out), 0x1FFu | (0x201u << 10) | (128u << 20));
    // Nearest, not truncated: 0.1 x 65535 = 6553.5+ stores 6554.
    const GxReal uv[2] = {0.1f, 1.0f};
    GxD3D9WriteTexCoords(D3DDECLTYPE_USHORT2N, out, uv, 1, 4);
    GxUInt16 shorts[2];
    memcpy(shorts, out, 4);
    EXPECT_EQ(shorts[0], 6554);
    EXPECT_EQ(shorts[1], 65535);
    // Out of range values clamp instead of wrapping to the other sign.
    const GxV3d big = {1.5f, -1.5f, 2.0f};
    GxD3D9WriteV3d(D3DDECLTYPE_SHORT2N, out, &big, 1, 4);
    GxInt16 signedShorts[2];
    memcpy(signedShorts, out, 4);
    EXPECT_EQ(signedShorts[0], 32767);
    EXPECT_EQ(signedShorts[1], -32767);
    GxD3D9WriteV3d(D3DDECLTYPE_DEC3N, out, &big, 1, 4);
    GxV3d back;
    GxD3D9ReadV3d(D3DDECLTYPE_DEC3N, &back, out);
    EXPECT_FLOAT_EQ(back.x, 1.0f);
    EXPECT_FLOAT_EQ(back.y, -1.0f);
    EXPECT_FLOAT_EQ(back.z, 1.0f);
    // Texture coordinates read back from the types the instancing chooses for them.
    const GxReal coords[2] = {0.75f, 0.25f};
    for (GxUInt32 type :
         {D3DDECLTYPE_FLOAT2, D3DDECLTYPE_USHORT2N, D3DDECLTYPE_SHORT2N, D3DDECLTYPE_DEC3N, D3DDECLTYPE_D3DCOLOR}) {
        GxD3D9WriteTexCoords(type, out, coords, 1, 8);
        GxReal read[2];
        GxD3D9ReadTexCoords(type, read, out);
        EXPECT_NEAR(read[0], 0.75f, 0.003f) << type;
        EXPECT_NEAR(read[1], 0.25f, 0.003f) << type;
    }
}

TEST(VertexDecl, ColoursSectorNormalsAndInterpolation)
{
    const GxRGBA colours[2] = {{10, 20, 30, 255}, {1, 2, 3, 255}};
    GxUInt32 words[2];
    EXPECT_FALSE(GxD3D9WriteColors(words, colours, 2, 4));
    EXPECT_EQ(words[0], 0xFF0A141Eu);
    const GxRGBA seeThrough = {1, 2, 3, 254};
    EXPECT_TRUE(GxD3D9WriteColors(words, &seeThrough, 1, 4));
    EXPECT_FALSE(GxD3D9WriteColors(words, colours, 0, 4));

    const GxInt8 packed[4] = {127, -128, 64, 0};
    GxReal floats[3];
    GxD3D9WriteSectorNormals(D3DDECLTYPE_FLOAT3, floats, packed, 1, 12);
    EXPECT_FLOAT_EQ(floats[0], 127.0f / 128);
    EXPECT_FLOAT_EQ(floats[1], -1.0f);
    EXPECT_FLOAT_EQ(floats[2], 0.5f);

    const GxV3d a = {0, 4, 8};
    const GxV3d b = {4, 0, 8};
    GxD3D9WriteV3dInterpolated(D3DDECLTYPE_FLOAT3, floats, &a, &b, 0.25f, 1, 12);
    EXPECT_FLOAT_EQ(floats[0], 1.0f);
    EXPECT_FLOAT_EQ(floats[1], 3.0f);
    EXPECT_FLOAT_EQ(floats[2], 8.0f);
}

TEST(VertexDecl, WeightsAddUpToTheFullScale)
{
    GxUInt8 out[8];
    const GxReal one[4] = {1.0f, 0, 0, 0};
    GxD3D9WriteWeights(D3DDECLTYPE_UBYTE4N, out, one, 1, 4);
    EXPECT_EQ(Word(out), 0x000000FFu);
    const GxReal spread[4] = {0.5f, 0.25f, 0.25f, 0};
    GxD3D9WriteWeights(D3DDECLTYPE_UBYTE4N, out, spread, 1, 4);
    EXPECT_EQ(out[0] + out[1] + out[2] + out[3], 255);
    EXPECT_EQ(out[1], 64);
    // D3DCOLOR: the first weight is red, the second green, the third blue, the fourth alpha.
    GxD3D9WriteWeights(D3DDECLTYPE_D3DCOLOR, out, spread, 1, 4);
    GxV3d read;
    GxD3D9ReadV3d(D3DDECLTYPE_D3DCOLOR, &read, out);
    EXPECT_EQ(lrintf(read.x * 255) + lrintf(read.y * 255) + lrintf(read.z * 255) + out[3], 255);
    EXPECT_EQ(lrintf(read.y * 255), 64);

    const GxReal two[4] = {0.7f, 0.3f, 0, 0};
    GxD3D9WriteWeights(D3DDECLTYPE_SHORT2N, out, two, 1, 4);
    GxInt16 s[4];
    memcpy(s, out, 4);
    EXPECT_EQ(s[0] + s[1], 32767);
    GxD3D9WriteWeights(D3DDECLTYPE_USHORT2N, out, two, 1, 4);
    GxUInt16 u[4];
    memcpy(u, out, 4);
    EXPECT_EQ(u[0] + u[1], 65535);
    const GxReal four[4] = {0.4f, 0.3f, 0.2f, 0.1f};
    GxD3D9WriteWeights(D3DDECLTYPE_SHORT4N, out, four, 1, 8);
    memcpy(s, out, 8);
    EXPECT_EQ(s[0] + s[1] + s[2] + s[3], 32767);
    GxD3D9WriteWeights(D3DDECLTYPE_USHORT4N, out, four, 1, 8);
    memcpy(u, out, 8);
    EXPECT_EQ(u[0] + u[1] + u[2] + u[3], 65535);
    for (const GxReal* w : {two, four}) {
        GxD3D9WriteWeights(D3DDECLTYPE_DEC3N, out, w, 1, 4);
        const GxUInt32 word = Word(out);
        EXPECT_EQ((word & 0x3FF) + ((word >> 10) & 0x3FF) + ((word >> 20) & 0x3FF), 511u);
    }
    GxD3D9WriteWeights(D3DDECLTYPE_DEC3N, out, two, 1, 4);
    EXPECT_EQ(Word(out) >> 20, 0u);
}

TEST(VertexDecl, BoneIndicesGoThroughTheRemap)
{
    GxUInt8 remap[256];
    for (GxInt32 i = 0; i < 256; i++) {
        remap[i] = static_cast<GxUInt8>(i + 10);
    }
    const GxUInt8 bones[4] = {1, 2, 3, 4};
    GxUInt8 out[8];
    GxD3D9WriteBoneIndices(D3DDECLTYPE_UBYTE4, out, bones, remap, 1, 4);
    EXPECT_EQ(Word(out), 0x0E0D0C0Bu);
    // D3DCOLOR reads back (red, green, blue, alpha) as indices 1 to 4.
    GxD3D9WriteBoneIndices(D3DDECLTYPE_D3DCOLOR, out, bones, remap, 1, 4);
    GxV3d read;
    GxD3D9ReadV3d(D3DDECLTYPE_D3DCOLOR, &read, out);
    EXPECT_EQ(lrintf(read.x * 255), 11);
    EXPECT_EQ(lrintf(read.y * 255), 12);
    EXPECT_EQ(lrintf(read.z * 255), 13);
    EXPECT_EQ(out[3], 14);
    GxD3D9WriteBoneIndices(D3DDECLTYPE_SHORT4, out, bones, remap, 1, 8);
    GxInt16 s[4];
    memcpy(s, out, 8);
    EXPECT_EQ(s[0], 11);
    EXPECT_EQ(s[3], 14);
}

TEST(VertexDecl, IndexListHelpers)
{
    const GxUInt16 strip[] = {0, 1, 2, 3};
    GxUInt16 list[12];
    ASSERT_EQ(GxD3D9StripToList(list, strip, 4, 0), 6u);
    EXPECT_EQ(std::vector<GxUInt16>(list, list + 6), (std::vector<GxUInt16>{0, 1, 2, 3, 2, 1}));
    const GxUInt16 degenerate[] = {0, 1, 2, 2, 3};
    ASSERT_EQ(GxD3D9StripToList(list, degenerate, 5, 0), 3u);
    EXPECT_EQ(std::vector<GxUInt16>(list, list + 3), (std::vector<GxUInt16>{0, 1, 2}));
    const GxUInt16 based[] = {10, 11, 12};
    ASSERT_EQ(GxD3D9StripToList(list, based, 3, 10), 3u);
    EXPECT_EQ(list[2], 2);
    EXPECT_EQ(GxD3D9StripToList(list, strip, 2, 0), 0u);

    GxUInt32 count = 9, first = 9;
    GxD3D9IndexRange(strip, 0, &count, &first);
    EXPECT_EQ(count + first, 0u);
    const GxUInt16 range[] = {7, 3, 5};
    GxD3D9IndexRange(range, 3, &count, &first);
    EXPECT_EQ(first, 3u);
    EXPECT_EQ(count, 5u);

    GxUInt16 triangles[] = {5, 4, 9, 2, 1, 0, 4, 1, 0};
    GxD3D9SortTriangleList(triangles, 9);
    EXPECT_EQ(std::vector<GxUInt16>(triangles, triangles + 9), (std::vector<GxUInt16>{2, 1, 0, 4, 1, 0, 5, 4, 9}));

    // Elements sort by stream, then offset, whatever their usage.
    const D3DVERTEXELEMENT9 late = {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0};
    const D3DVERTEXELEMENT9 early = {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0};
    const D3DVERTEXELEMENT9 second = {1, 0, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0};
    EXPECT_GT(GxD3D9VertexElementCompare(&late, &early), 0);
    EXPECT_LT(GxD3D9VertexElementCompare(&early, &late), 0);
    EXPECT_LT(GxD3D9VertexElementCompare(&late, &second), 0);
    EXPECT_EQ(GxD3D9VertexElementCompare(&second, &second), 0);
}

TEST(VertexDecl, TexCoordTypeFollowsRangeAndCaps)
{
    const D3DCAPS9 saved = gxD3D9State.caps;
    gxD3D9State.caps.DeclTypes = D3DDTCAPS_USHORT2N | D3DDTCAPS_SHORT2N | D3DDTCAPS_DEC3N;
    const GxReal unit[] = {0, 0, 1, 0.5f};
    const GxReal signedUnit[] = {-1, 0, 1, 0.5f};
    const GxReal wide[] = {0, 0, 1.5f, 0.5f};
    const GxReal farNegative[] = {-2, 0, 1, 0.5f};
    EXPECT_EQ(GxD3D9TexCoordsBestType(unit, 2), static_cast<GxUInt32>(D3DDECLTYPE_USHORT2N));
    EXPECT_EQ(GxD3D9TexCoordsBestType(signedUnit, 2), static_cast<GxUInt32>(D3DDECLTYPE_SHORT2N));
    EXPECT_EQ(GxD3D9TexCoordsBestType(wide, 2), static_cast<GxUInt32>(D3DDECLTYPE_FLOAT2));
    EXPECT_EQ(GxD3D9TexCoordsBestType(farNegative, 2), static_cast<GxUInt32>(D3DDECLTYPE_FLOAT2));
    gxD3D9State.caps.DeclTypes = D3DDTCAPS_DEC3N;
    EXPECT_EQ(GxD3D9TexCoordsBestType(unit, 2), static_cast<GxUInt32>(D3DDECLTYPE_DEC3N));
    EXPECT_EQ(GxD3D9TexCoordsBestType(signedUnit, 2), static_cast<GxUInt32>(D3DDECLTYPE_DEC3N));
    gxD3D9State.caps.DeclTypes = 0;
    EXPECT_EQ(GxD3D9TexCoordsBestType(unit, 2), static_cast<GxUInt32>(D3DDECLTYPE_D3DCOLOR));
    EXPECT_EQ(GxD3D9TexCoordsBestType(signedUnit, 2), static_cast<GxUInt32>(D3DDECLTYPE_FLOAT2));
    gxD3D9State.caps = saved;
    GxReal min[2], max[2];
    GxD3D9TexCoordsGetExtents(farNegative, 2, min, max);
    EXPECT_EQ(min[0], -2.0f);
    EXPECT_EQ(max[1], 0.5f);
}

using VertexDeclDevice = GxD3D9CacheTest;

TEST_F(VertexDeclDevice, TangentsFollowTheTextureUAxis)
{
    // A quad in the XY plane whose u runs along x: every tangent is +x, whatever the strip order.
    const GxV3d positions[4] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 2, 0}};
    const GxReal uv[8] = {0, 0, 1, 0, 0, 1, 1, 1};
    for (D3DPRIMITIVETYPE primitive : {D3DPT_TRIANGLELIST, D3DPT_TRIANGLESTRIP}) {
        const std::vector<GxUInt16> indices = primitive == D3DPT_TRIANGLELIST ? std::vector<GxUInt16>{0, 1, 2, 2, 1, 3}
                                                                              : std::vector<GxUInt16>{0, 1, 2, 3};
        IDirect3DIndexBuffer9* buffer = nullptr;
        ASSERT_EQ(device->CreateIndexBuffer(static_cast<UINT>(indices.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                            D3DPOOL_MANAGED, &buffer, nullptr),
                  D3D_OK);
        void* data = nullptr;
        ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
        memcpy(data, indices.data(), indices.size() * 2);
        buffer->Unlock();
        std::vector<char> storage(sizeof(GxD3D9InstanceHeader) + sizeof(GxD3D9MeshInstance));
        auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(storage.data());
        header->meshCount = 1;
        header->indexBuffer = buffer;
        header->primitive = primitive;
        header->indexTotal = static_cast<GxUInt32>(indices.size());
        header->vertexTotal = 4;
        GxD3D9MeshInstance* mesh = GxD3D9InstanceMeshes(header);
        mesh->indexCount = header->indexTotal;
        mesh->vertexCount = 4;
        GxUInt32 packed[4];
        ASSERT_EQ(GxD3D9WriteTangents(D3DDECLTYPE_DEC3N, packed, positions, uv, header, 4), 4u);
        for (GxUInt32 v = 0; v < 4; v++) {
            GxV3d tangent;
            GxD3D9ReadV3d(D3DDECLTYPE_DEC3N, &tangent, &packed[v]);
            EXPECT_NEAR(tangent.x, 1.0f, 0.01f) << primitive << " vertex " << v;
            EXPECT_NEAR(tangent.y, 0.0f, 0.01f);
        }
        buffer->Release();
    }
}

TEST_F(VertexDeclDevice, LayoutsPackEachStreamAndDeclareInStreamOrder)
{
    // Elements appended across two streams: each stream packs its own, and the declaration lists stream 0 first.
    constexpr GxUInt32 kTangents = 0x10000;  // a part beyond the stream contents' bits
    GxD3D9VertexLayout layout = {};
    GxD3D9VertexLayoutAppend(&layout, 1, gxD3D9STREAMPOSITIONS, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
    GxD3D9VertexLayoutAppend(&layout, 0, gxD3D9STREAMNORMALS, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    GxD3D9VertexLayoutAppend(&layout, 1, gxD3D9STREAMTEXCOORDS0, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, 0);
    GxD3D9VertexLayoutAppend(&layout, 0, kTangents, D3DDECLTYPE_DEC3N, D3DDECLUSAGE_TANGENT, 0);
    EXPECT_EQ(layout.strides[0], 16u);
    EXPECT_EQ(layout.strides[1], 20u);
    EXPECT_EQ(layout.contents[0], gxD3D9STREAMNORMALS);
    EXPECT_EQ(layout.contents[1], gxD3D9STREAMPOSITIONS | gxD3D9STREAMTEXCOORDS0);
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_TRUE(GxD3D9VertexLayoutCreateDeclaration(&layout, &declaration));
    D3DVERTEXELEMENT9 elements[gxD3D9LAYOUTMAXELEMENTS + 1];
    UINT count = gxD3D9LAYOUTMAXELEMENTS + 1;
    ASSERT_EQ(declaration->GetDeclaration(elements, &count), D3D_OK);
    ASSERT_EQ(count, 5u);  // with the end element
    const BYTE usages[] = {D3DDECLUSAGE_NORMAL, D3DDECLUSAGE_TANGENT, D3DDECLUSAGE_POSITION, D3DDECLUSAGE_TEXCOORD};
    const WORD offsets[] = {0, 12, 0, 12};
    for (GxUInt32 i = 0; i < 4; i++) {
        EXPECT_EQ(elements[i].Usage, usages[i]) << i;
        EXPECT_EQ(elements[i].Offset, offsets[i]) << i;
        EXPECT_EQ(elements[i].Stream, i < 2 ? 0 : 1) << i;
    }
    GxD3D9DeleteVertexDeclaration(declaration);
}
