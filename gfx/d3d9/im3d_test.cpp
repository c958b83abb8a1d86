// Tests of Im3D on the software device: draw calls and vertex data per primitive type, limits and index checks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/core/pipeline.h"
#include "gfx/d3d9/im3d.h"
#include "gfx/testsupport/software_fixture.h"
#include "platform/testsupport/softdevice.h"

namespace {

class Im3D : public GxD3D9SoftwareTest {
protected:
    Im3D() : GxD3D9SoftwareTest(320, 240) {}
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        device = GxD3D9Device();
        ASSERT_TRUE(SUCCEEDED(device->BeginScene()));
        for (GxInt32 i = 0; i < 40; i++) {
            GxIm3DVertex v = {};
            v.objVertex = GxV3d{static_cast<GxReal>(i), 2.0f * i, 0.5f};
            v.color = 0xFF000000u | static_cast<GxUInt32>(i);
            v.u = 0.25f * i;
            v.v = 1.0f;
            vertices.push_back(v);
        }
    }
    void TearDown() override
    {
        GxIm3DEnd();
        if (device != nullptr) {
            device->EndScene();
        }
        GxD3D9SoftwareTest::TearDown();
    }
    const D3D9SoftEvent* LastDraw() { return D3D9SoftLast(device, D3D9SOFT_DRAW); }
    size_t Draws() { return D3D9SoftCount(device, D3D9SOFT_DRAW); }
    IDirect3DDevice9* device = nullptr;
    std::vector<GxIm3DVertex> vertices;
};

struct Expect {
    GxInt32 type;
    D3DPRIMITIVETYPE d3dType;
    UINT primitives;
};

}  // namespace

TEST_F(Im3D, EachPrimitiveTypeDrawsItsVertices)
{
    GxMatrix matrix;
    GxMatrixSetIdentity(&matrix);
    matrix.pos = GxV3d{5.0f, 6.0f, 7.0f};
    GxMatrixUpdate(&matrix);
    ASSERT_EQ(GxIm3DTransform(vertices.data(), 6, &matrix, 0), vertices.data());
    const Expect cases[] = {{gxPRIMTYPELINELIST, D3DPT_LINELIST, 3},
                            {gxPRIMTYPEPOLYLINE, D3DPT_LINESTRIP, 5},
                            {gxPRIMTYPETRILIST, D3DPT_TRIANGLELIST, 2},
                            {gxPRIMTYPETRISTRIP, D3DPT_TRIANGLESTRIP, 4},
                            {gxPRIMTYPETRIFAN, D3DPT_TRIANGLEFAN, 4}};
    for (const Expect& c : cases) {
        const size_t before = Draws();
        ASSERT_TRUE(GxIm3DRenderPrimitive(c.type)) << c.type;
        ASSERT_EQ(Draws(), before + 1);
        const D3D9SoftEvent* draw = LastDraw();
        EXPECT_EQ(draw->draw.type, c.d3dType);
        EXPECT_EQ(draw->draw.primitiveCount, c.primitives);
        EXPECT_FALSE(draw->draw.indexed);
        // Plain layout: position and colour, 16 bytes.
        ASSERT_NE(draw->declaration, nullptr);
        EXPECT_EQ(draw->declaration->elements.size(), 2u);
        ASSERT_EQ(draw->stride0, 16u);
        const BYTE* bytes = draw->stream0->bits.data() + draw->draw.startVertex * 16;
        for (GxInt32 i = 0; i < 6; i++) {
            GxV3d position;
            GxUInt32 color;
            memcpy(&position, bytes + i * 16, 12);
            memcpy(&color, bytes + i * 16 + 12, 4);
            EXPECT_EQ(position.y, vertices[i].objVertex.y);
            EXPECT_EQ(color, vertices[i].color);
        }
    }
    D3DMATRIX world;
    ASSERT_TRUE(SUCCEEDED(device->GetTransform(D3DTS_WORLD, &world)));
    EXPECT_EQ(reinterpret_cast<float*>(&world)[12], 5.0f);

    // Texture coordinates make the 24-byte layout.
    ASSERT_TRUE(GxIm3DTransform(vertices.data(), 3, nullptr, gxIM3DVERTEXUV));
    ASSERT_TRUE(GxIm3DRenderPrimitive(gxPRIMTYPETRILIST));
    const D3D9SoftEvent* draw = LastDraw();
    ASSERT_EQ(draw->stride0, 24u);
    GxReal u = 0.0f;
    memcpy(&u, draw->stream0->bits.data() + (draw->draw.startVertex + 2) * 24 + 16, 4);
    EXPECT_EQ(u, 0.5f);
    EXPECT_TRUE(GxIm3DEnd());
    EXPECT_FALSE(GxIm3DEnd());
}

TEST_F(Im3D, CountsLimitsAndBadCalls)
{
    EXPECT_FALSE(GxIm3DRenderPrimitive(gxPRIMTYPETRILIST));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRIM3DNOTRANSFORM);
    std::vector<GxIm3DVertex> many(65537);
    EXPECT_EQ(GxIm3DTransform(many.data(), 65537, nullptr, 0), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRIM3DTOOMANY);
    EXPECT_EQ(GxIm3DTransform(many.data(), 65536, nullptr, 0), many.data());
    const GxImVertexIndex last[3] = {65535, 0, 1};  // the last vertex of a full batch can be named
    EXPECT_TRUE(GxIm3DRenderIndexedPrimitive(gxPRIMTYPETRILIST, last, 3));
    EXPECT_EQ(LastDraw()->draw.primitiveCount, 1u);
    EXPECT_EQ(GxIm3DTransform(many.data(), 65537, nullptr, 0), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRIM3DTOOMANY);
    EXPECT_FALSE(GxIm3DRenderPrimitive(gxPRIMTYPELINELIST));  // a refused transform leaves no stale batch
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRIM3DNOTRANSFORM);

    ASSERT_TRUE(GxIm3DTransform(vertices.data(), 10, nullptr, 0));
    ASSERT_TRUE(GxIm3DRenderPrimitive(gxPRIMTYPETRILIST));
    EXPECT_EQ(LastDraw()->draw.primitiveCount, 3u);
    // No indices: the batch is drawn as it stands.
    ASSERT_TRUE(GxIm3DRenderIndexedPrimitive(gxPRIMTYPETRILIST, nullptr, 4));
    EXPECT_FALSE(LastDraw()->draw.indexed);
    EXPECT_EQ(LastDraw()->draw.primitiveCount, 3u);
    EXPECT_FALSE(GxIm3DRenderPrimitive(gxPRIMTYPEPOINTLIST));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRIM3DPRIMTYPE);
    EXPECT_FALSE(GxIm3DRenderPrimitive(9));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRIM3DPRIMTYPE);

    const GxImVertexIndex lines[5] = {0, 1, 2, 3, 4};
    ASSERT_TRUE(GxIm3DRenderIndexedPrimitive(gxPRIMTYPELINELIST, lines, 5));
    EXPECT_EQ(LastDraw()->draw.primitiveCount, 2u);
    // One index of a line list rounds down to none: nothing is drawn, not the whole batch.
    size_t drawn = Draws();
    EXPECT_TRUE(GxIm3DRenderIndexedPrimitive(gxPRIMTYPELINELIST, lines, 1));
    EXPECT_EQ(Draws(), drawn);
}

TEST_F(Im3D, SmallIndexedBatchesAreCopiedLargeOnesUseTheIndexBuffer)
{
    ASSERT_TRUE(GxIm3DTransform(vertices.data(), 10, nullptr, 0));
    const GxImVertexIndex four[4] = {9, 3, 7, 3};
    ASSERT_TRUE(GxIm3DRenderIndexedPrimitive(gxPRIMTYPELINELIST, four, 4));
    const D3D9SoftEvent* draw = LastDraw();
    EXPECT_FALSE(draw->draw.indexed);
    EXPECT_EQ(draw->draw.vertexCount, 4u);
    for (GxInt32 i = 0; i < 4; i++) {
        GxUInt32 color = 0;
        memcpy(&color, draw->stream0->bits.data() + (draw->draw.startVertex + i) * 16 + 12, 4);
        EXPECT_EQ(color, vertices[four[i]].color) << i;
    }

    std::vector<GxImVertexIndex> thirty;
    for (GxInt32 i = 0; i < 30; i++) {
        thirty.push_back(static_cast<GxImVertexIndex>((i * 7) % 10));
    }
    for (GxInt32 round = 0; round < 2; round++) {
        ASSERT_TRUE(GxIm3DRenderIndexedPrimitive(gxPRIMTYPETRILIST, thirty.data(), 30));
        draw = LastDraw();
        ASSERT_TRUE(draw->draw.indexed);
        EXPECT_EQ(draw->draw.primitiveCount, 10u);
        EXPECT_EQ(draw->draw.numVertices, 10u);
        EXPECT_EQ(draw->draw.startIndex, round * 30u);
        ASSERT_NE(draw->indices, nullptr);
        GxImVertexIndex stored[30];
        memcpy(stored, draw->indices->bits.data() + draw->draw.startIndex * 2, sizeof(stored));
        EXPECT_EQ(memcmp(stored, thirty.data(), sizeof(stored)), 0);
    }
}

TEST_F(Im3D, PipelinesCanBeReplacedAndRestored)
{
    GxPipeline* standard = GxIm3DSetRenderPipeline(nullptr, gxPRIMTYPETRILIST);
    ASSERT_NE(standard, nullptr);
    GxPipeline* own = GxPipelineCreate();
    EXPECT_EQ(GxIm3DSetRenderPipeline(own, gxPRIMTYPETRILIST), own);
    EXPECT_EQ(GxIm3DSetRenderPipeline(nullptr, gxPRIMTYPETRILIST), standard);
    EXPECT_EQ(GxIm3DSetRenderPipeline(own, 0), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRIM3DPRIMTYPE);
    GxPipeline* transform = GxIm3DSetTransformPipeline(nullptr);
    EXPECT_EQ(GxIm3DSetTransformPipeline(own), own);
    EXPECT_EQ(GxIm3DSetTransformPipeline(nullptr), transform);
    GxPipelineDestroy(own);
}

// The module's close takes the batch context and its pipelines away; its open builds them again, one render
// pipeline for every primitive type.
TEST_F(Im3D, ModuleClosesAndOpensAgain)
{
    const GxInt32 offset = GxEngineGetPluginOffset(gxPLUGINIM3D);
    ASSERT_GE(offset, 0);
    void* instance = GxEngineInstance;
    EXPECT_EQ(GxIm3DClose(instance, offset, 0), instance);
    EXPECT_FALSE(GxIm3DContextIsOpen());
    ASSERT_EQ(GxIm3DOpen(instance, offset, 0), instance);
    ASSERT_TRUE(GxIm3DContextIsOpen());
    EXPECT_NE(GxIm3DSetTransformPipeline(nullptr), nullptr);
    GxPipeline* render = GxIm3DSetRenderPipeline(nullptr, gxPRIMTYPETRILIST);
    ASSERT_NE(render, nullptr);
    for (GxInt32 type : {gxPRIMTYPETRIFAN, gxPRIMTYPETRISTRIP, gxPRIMTYPELINELIST, gxPRIMTYPEPOLYLINE}) {
        EXPECT_EQ(GxIm3DSetRenderPipeline(nullptr, type), render) << type;
    }
    GxMatrix matrix;
    GxMatrixSetIdentity(&matrix);
    ASSERT_NE(GxIm3DTransform(vertices.data(), 3, &matrix, 0), nullptr);
    EXPECT_TRUE(GxIm3DRenderPrimitive(gxPRIMTYPETRILIST));
    EXPECT_EQ(Draws(), 1u);
}
