// Particle tanks on the driver: quad corners from the instancers, the draw and its batches on the software device,
// blending put back after a draw, and a tank's quad in pixels on the OpenGL back end.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/atomicpipe_testing.h"
#include "gfx/d3d9/ptank.h"
#include "gfx/d3d9/ptank_testing.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/world/world_testing.h"
#include "platform/testsupport/softdevice.h"

namespace {

constexpr GxInt32 kSide = 64;

class TankTest : public GxAtomicPipeTest {
protected:
    explicit TankTest(const char* backendName = "software") : GxAtomicPipeTest(backendName) {}
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxD3D9ParticleTankPluginAttach());
        ASSERT_TRUE(GxParticlePluginAttach());
    }
    void TearDown() override
    {
        for (GxAtomic* tank : tanks) {
            GxParticleTankDestroy(tank);
        }
        GxAtomicPipeTest::TearDown();
        GxParticleTankSetDefaultCallbacks(nullptr);
        GxParticleTankSetDriverHooks(nullptr);
    }

    bool Ready() const { return !IsSkipped() && !HasFatalFailure(); }

    GxAtomic* Tank(GxInt32 capacity, GxUInt32 flags)
    {
        GxAtomic* tank = GxParticleTankCreate(capacity, flags, 0);
        if (tank) {
            tanks.push_back(tank);
        }
        return tank;
    }

    // Writes one kind of data for particle i.
    template <typename T>
    void Put(GxAtomic* tank, GxUInt32 bit, GxInt32 i, const T& value)
    {
        GxParticleTankLockStruct lock;
        ASSERT_TRUE(GxParticleTankLock(tank, &lock, bit, gxPTANKLOCKWRITE));
        memcpy(lock.data + static_cast<size_t>(i) * lock.stride, &value, sizeof(T));
        GxParticleTankUnlock(tank);
    }

    bool Draw(GxAtomic* tank, GxRGBA background = {0, 0, 0, 255})
    {
        if (!GxCameraClear(camera, &background, 3) || !GxCameraBeginUpdate(camera)) {
            return false;
        }
        const bool drawn = tank->renderCallBack(tank) != nullptr;
        GxCameraEndUpdate(camera);
        return drawn;
    }

    std::vector<GxAtomic*> tanks;
};

struct Corner {
    GxV3d at;
    GxUInt32 colour;
};

// The vertices of the last draw, for the position-and-colour layout.
std::vector<Corner> DrawnCorners(const D3D9SoftEvent* draw)
{
    std::vector<Corner> corners;
    const GxUInt32 stride = draw->stride0;
    const GxUInt32 first = static_cast<GxUInt32>(draw->draw.baseVertexIndex);
    for (GxUInt32 v = 0; v < draw->draw.numVertices; v++) {
        Corner c = {};
        const BYTE* at = draw->stream0->bits.data() + (first + v) * stride;
        memcpy(&c.at, at, sizeof(c.at));
        memcpy(&c.colour, at + 12, sizeof(c.colour));
        corners.push_back(c);
    }
    return corners;
}

// The value a render state had when the first draw of the log was made.
GxUInt32 RenderStateAtDraw(IDirect3DDevice9* device, GxUInt32 state)
{
    GxUInt32 value = 0;
    for (const D3D9SoftEvent& e : D3D9SoftLog(device)) {
        if (e.type == D3D9SOFT_DRAW) {
            break;
        }
        if (e.type == D3D9SOFT_STATE && e.kind == D3D9_STATE_RENDER && e.a == state) {
            value = e.value;
        }
    }
    return value;
}

// The value a stage-0 state had when the first draw of the log was made.
GxUInt32 StageStateAtDraw(IDirect3DDevice9* device, GxUInt32 state)
{
    GxUInt32 value = 0;
    for (const D3D9SoftEvent& e : D3D9SoftLog(device)) {
        if (e.type == D3D9SOFT_DRAW) {
            break;
        }
        if (e.type == D3D9SOFT_STATE && e.kind == D3D9_STATE_TEXTURESTAGE && e.a == 0 && e.b == state) {
            value = e.value;
        }
    }
    return value;
}

void ExpectNear(const GxV3d& got, GxReal x, GxReal y, GxReal z)
{
    EXPECT_NEAR(got.x, x, 1e-5f);
    EXPECT_NEAR(got.y, y, 1e-5f);
    EXPECT_NEAR(got.z, z, 1e-5f);
}

TEST_F(TankTest, QuadFacesTheCameraAndBlendFactorsArePutBack)
{
    GxAtomic* tank = Tank(4, gxPTANKDFLAGPOSITION | gxPTANKDFLAGCOLOR);
    ASSERT_NE(tank, nullptr);
    GxParticleTank* record = GxParticleTankGet(tank);
    record->cSize[0] = record->cSize[1] = 2.0f;
    record->srcBlend = D3DBLEND_ONE;
    record->dstBlend = D3DBLEND_ONE;
    record->vertexAlphaBlend = 1;
    Put(tank, gxPTANKDFLAGPOSITION, 0, GxV3d{0.0f, 0.0f, 5.0f});
    Put(tank, gxPTANKDFLAGCOLOR, 0, GxRGBA{10, 20, 30, 40});
    ASSERT_TRUE(GxParticleTankSetCount(tank, 1));
    // Blending of whatever was drawn before: off, with its own factors.
    GxD3D9SetVertexAlpha(0);
    GxD3D9SetSrcBlend(D3DBLEND_SRCALPHA);
    GxD3D9SetDestBlend(D3DBLEND_INVSRCALPHA);
    IDirect3DDevice9* device = GxD3D9Device();
    D3D9SoftClearLog(device);
    ASSERT_TRUE(Draw(tank));

    ASSERT_EQ(D3D9SoftCount(device, D3D9SOFT_DRAW), 1u);
    EXPECT_EQ(D3D9SoftCount(device, D3D9SOFT_ERROR), 0u);
    const D3D9SoftEvent* draw = D3D9SoftLast(device, D3D9SOFT_DRAW);
    EXPECT_TRUE(draw->draw.indexed);
    EXPECT_EQ(draw->draw.primitiveCount, 2u);
    EXPECT_EQ(draw->fvf, static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_DIFFUSE));
    EXPECT_EQ(RenderStateAtDraw(device, D3DRS_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(RenderStateAtDraw(device, D3DRS_DESTBLEND), static_cast<GxUInt32>(D3DBLEND_ONE));
    // The draw leaves the cull mode as the scene set it.
    EXPECT_NE(RenderStateAtDraw(device, D3DRS_CULLMODE), static_cast<GxUInt32>(D3DCULL_NONE));
    // The camera sits at the origin unturned: the axes are (-1, 0, 0) and (0, 1, 0), halved by the size of 2.
    const std::vector<Corner> corners = DrawnCorners(draw);
    ASSERT_EQ(corners.size(), 4u);
    ExpectNear(corners[0].at, 1.0f, -1.0f, 5.0f);
    ExpectNear(corners[1].at, -1.0f, -1.0f, 5.0f);
    ExpectNear(corners[2].at, -1.0f, 1.0f, 5.0f);
    ExpectNear(corners[3].at, 1.0f, 1.0f, 5.0f);
    for (const Corner& c : corners) {
        EXPECT_EQ(c.colour, 0x280A141Eu);
    }

    // The blend factors set before the tank are set again; vertex alpha stays as the tank set it.
    EXPECT_TRUE(GxD3D9GetVertexAlpha());
    GxInt32 src = 0;
    GxInt32 dst = 0;
    GxD3D9RenderStateGet(gxRENDERSTATESRCBLEND, &src);
    GxD3D9RenderStateGet(gxRENDERSTATEDESTBLEND, &dst);
    EXPECT_EQ(src, D3DBLEND_SRCALPHA);
    EXPECT_EQ(dst, D3DBLEND_INVSRCALPHA);
}

// Unlit particles without a colour of their own take the tank's constant colour as the texture factor; corner
// colours are their own and come from the vertices.
TEST_F(TankTest, UnlitTankWithoutParticleColoursDrawsItsConstantColour)
{
    GxD3D9SetRenderState(D3DRS_LIGHTING, FALSE);
    IDirect3DDevice9* device = GxD3D9Device();
    for (const GxUInt32 colours : {static_cast<GxUInt32>(gxPTANKDFLAGVTXCOLOR), 0u}) {
        GxAtomic* tank = Tank(4, gxPTANKDFLAGPOSITION | colours);
        ASSERT_NE(tank, nullptr);
        GxParticleTank* record = GxParticleTankGet(tank);
        record->cColor = {10, 20, 30, 40};
        Put(tank, gxPTANKDFLAGPOSITION, 0, GxV3d{0.0f, 0.0f, 5.0f});
        ASSERT_TRUE(GxParticleTankSetCount(tank, 1));
        D3D9SoftClearLog(device);
        ASSERT_TRUE(Draw(tank));
        ASSERT_EQ(D3D9SoftCount(device, D3D9SOFT_DRAW), 1u);
        if (colours) {
            // Only a constant-colour draw shades flat.
            EXPECT_NE(RenderStateAtDraw(device, D3DRS_SHADEMODE), static_cast<GxUInt32>(D3DSHADE_FLAT));
            continue;
        }
        EXPECT_EQ(StageStateAtDraw(device, D3DTSS_COLORARG2), static_cast<GxUInt32>(D3DTA_TFACTOR));
        EXPECT_EQ(StageStateAtDraw(device, D3DTSS_ALPHAARG2), static_cast<GxUInt32>(D3DTA_TFACTOR));
        EXPECT_EQ(RenderStateAtDraw(device, D3DRS_TEXTUREFACTOR), 0x280A141Eu);
        EXPECT_EQ(RenderStateAtDraw(device, D3DRS_SHADEMODE), static_cast<GxUInt32>(D3DSHADE_FLAT));
    }
}

TEST_F(TankTest, LargeTanksDrawInBatchesAndEmptyOnesNotAtAll)
{
    GxAtomic* tank = Tank(20000, gxPTANKDFLAGPOSITION);
    ASSERT_NE(tank, nullptr);
    IDirect3DDevice9* device = GxD3D9Device();
    D3D9SoftClearLog(device);
    ASSERT_TRUE(Draw(tank));
    EXPECT_EQ(D3D9SoftCount(device, D3D9SOFT_DRAW), 0u);

    ASSERT_TRUE(GxParticleTankSetCount(tank, 20000));
    ASSERT_TRUE(Draw(tank));
    std::vector<D3D9DrawCall> draws;
    for (const D3D9SoftEvent& e : D3D9SoftLog(device)) {
        if (e.type == D3D9SOFT_DRAW) {
            draws.push_back(e.draw);
        }
    }
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].numVertices, 65532u);
    EXPECT_EQ(draws[0].primitiveCount, 32766u);
    EXPECT_EQ(draws[1].numVertices, 14468u);
    EXPECT_EQ(draws[1].baseVertexIndex, draws[0].baseVertexIndex + 65532);
    // Both batches index inside the buffers they were given.
    EXPECT_EQ(D3D9SoftCount(device, D3D9SOFT_ERROR), 0u);
}

// Point sprites: one vertex per particle with its width in the size slot, drawn as a point list with sprites on only
// for the draw; a tank that blends without vertex alpha leaves it off.
TEST_F(TankTest, PointSpritesCarryTheirSizeAndSwitchSpritesOffAfter)
{
    GxAtomic* tank = GxParticleTankCreate(3, gxPTANKDFLAGPOSITION | gxPTANKDFLAGSIZE, gxPTANKPLATFORMPOINTSPRITES);
    ASSERT_NE(tank, nullptr);
    tanks.push_back(tank);
    GxParticleTankGet(tank)->vertexAlphaBlend = 0;
    for (GxInt32 i = 0; i < 3; i++) {
        Put(tank, gxPTANKDFLAGPOSITION, i, GxV3d{static_cast<GxReal>(i), 0.0f, 5.0f});
        const GxReal size[2] = {0.5f * static_cast<GxReal>(i + 1), 9.0f};
        GxParticleTankLockStruct lock;
        ASSERT_TRUE(GxParticleTankLock(tank, &lock, gxPTANKDFLAGSIZE, gxPTANKLOCKWRITE));
        memcpy(lock.data + i * lock.stride, size, sizeof(size));
    }
    ASSERT_TRUE(GxParticleTankSetCount(tank, 3));
    GxD3D9SetVertexAlpha(0);
    IDirect3DDevice9* device = GxD3D9Device();
    D3D9SoftClearLog(device);
    ASSERT_TRUE(Draw(tank));
    const D3D9SoftEvent* draw = D3D9SoftLast(device, D3D9SOFT_DRAW);
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->draw.type, D3DPT_POINTLIST);
    EXPECT_EQ(draw->draw.primitiveCount, 3u);
    EXPECT_EQ(draw->fvf, static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_PSIZE));
    EXPECT_EQ(RenderStateAtDraw(device, D3DRS_POINTSPRITEENABLE), 1u);
    EXPECT_EQ(RenderStateAtDraw(device, D3DRS_ALPHABLENDENABLE), 0u);
    const BYTE* last = draw->stream0->bits.data() + (draw->draw.startVertex + 2) * draw->stride0;
    GxReal x = 0.0f;
    GxReal width = 0.0f;
    memcpy(&x, last, sizeof(x));
    memcpy(&width, last + 12, sizeof(width));
    EXPECT_FLOAT_EQ(x, 2.0f);
    EXPECT_FLOAT_EQ(width, 1.5f);
    GxUInt32 sprites = 1;
    GxD3D9GetRenderState(D3DRS_POINTSPRITEENABLE, &sprites);
    EXPECT_EQ(sprites, 0u);
    EXPECT_FALSE(GxD3D9GetVertexAlpha());
}

// A point-sprite tank draws its material's texture, modulated by the vertex colours, though its vertices carry no
// texture coordinates: the device makes them across each sprite.
TEST_F(TankTest, PointSpritesDrawTheirMaterialsTexture)
{
    GxAtomic* tank = GxParticleTankCreate(2, gxPTANKDFLAGPOSITION | gxPTANKDFLAGCOLOR, gxPTANKPLATFORMPOINTSPRITES);
    ASSERT_NE(tank, nullptr);
    tanks.push_back(tank);
    GxRaster* raster = GxRasterCreate(2, 2, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    GxTexture* texture = raster ? GxTextureCreate(raster) : nullptr;
    ASSERT_NE(texture, nullptr);
    GxMaterialSetTexture(tank->geometry->matList.materials[0], texture);
    GxTextureDestroy(texture);  // the material holds it
    Put(tank, gxPTANKDFLAGPOSITION, 0, GxV3d{0.0f, 0.0f, 5.0f});
    Put(tank, gxPTANKDFLAGCOLOR, 0, GxRGBA{10, 20, 30, 40});
    ASSERT_TRUE(GxParticleTankSetCount(tank, 1));
    IDirect3DDevice9* device = GxD3D9Device();
    D3D9SoftClearLog(device);
    ASSERT_TRUE(Draw(tank));
    const D3D9SoftEvent* draw = D3D9SoftLast(device, D3D9SOFT_DRAW);
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->draw.type, D3DPT_POINTLIST);
    EXPECT_EQ(draw->fvf, static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_DIFFUSE));
    EXPECT_NE(draw->texture0, nullptr);
    GxUInt32 colourOp = D3DTOP_MODULATE;  // the device's own default for stage 0
    for (const D3D9SoftEvent& e : D3D9SoftLog(device)) {
        if (e.type == D3D9SOFT_STATE && e.kind == D3D9_STATE_TEXTURESTAGE && e.a == 0 && e.b == D3DTSS_COLOROP) {
            colourOp = e.value;
        }
    }
    EXPECT_EQ(colourOp, static_cast<GxUInt32>(D3DTOP_MODULATE));
    EXPECT_FALSE(tank->geometry->flags & gxGEOMETRYTEXTURED);
}

// The point instancers write one vertex per particle: the position, moved by the pivot in the offset forms, the
// width in the size slot after the normal, the normal itself, and the colour as an ARGB word.
TEST_F(TankTest, PointInstancersWriteOneVertexPerParticle)
{
    GxAtomic* atomic = Tank(2, gxPTANKDFLAGPOSITION | gxPTANKDFLAGSIZE | gxPTANKDFLAGCOLOR | gxPTANKDFLAGNORMAL);
    ASSERT_NE(atomic, nullptr);
    GxParticleTank* tank = GxParticleTankGet(atomic);
    tank->cPivot[0] = 1.0f;
    tank->cPivot[1] = 2.0f;
    Put(atomic, gxPTANKDFLAGPOSITION, 1, GxV3d{3.0f, 4.0f, 5.0f});
    const GxReal size[2] = {6.0f, 7.0f};
    GxParticleTankLockStruct lock;
    ASSERT_TRUE(GxParticleTankLock(atomic, &lock, gxPTANKDFLAGSIZE, gxPTANKLOCKWRITE));
    memcpy(lock.data + lock.stride, size, sizeof(size));
    Put(atomic, gxPTANKDFLAGNORMAL, 1, GxV3d{0.0f, 0.0f, -1.0f});
    Put(atomic, gxPTANKDFLAGCOLOR, 1, GxRGBA{10, 20, 30, 40});
    constexpr GxInt32 kStride = 32;  // position, normal, size, colour
    GxPTankInstanceWork work = {};
    work.hasNormals = 1;
    const auto vertex = [&](GxPTankInstancer instancer, GxInt32 at) {
        std::vector<GxUInt8> out(2 * kStride, 0);
        EXPECT_EQ(instancer(out.data() + at, kStride, 2, tank, &work), out.data() + at + 2 * kStride);
        return std::vector<GxUInt8>(out.begin() + kStride, out.end());
    };
    GxV3d p;
    GxReal width = 0.0f;
    std::vector<GxUInt8> v = vertex(GxD3D9ParticleTankInstancePointPositions, 0);
    memcpy(&p, v.data(), sizeof(p));
    ExpectNear(p, 3.0f, 4.0f, 5.0f);
    v = vertex(GxD3D9ParticleTankInstancePointPositionsOffset, 0);
    memcpy(&p, v.data(), sizeof(p));
    ExpectNear(p, 4.0f, 6.0f, 5.0f);
    v = vertex(GxD3D9ParticleTankInstancePointPositionsSize, 0);
    memcpy(&width, v.data() + 24, sizeof(width));
    EXPECT_FLOAT_EQ(width, 6.0f);
    v = vertex(GxD3D9ParticleTankInstancePointPositionsSizeOffset, 0);
    memcpy(&p, v.data(), sizeof(p));
    memcpy(&width, v.data() + 24, sizeof(width));
    ExpectNear(p, 4.0f, 6.0f, 5.0f);
    EXPECT_FLOAT_EQ(width, 6.0f);
    v = vertex(GxD3D9ParticleTankInstanceNormals, 12);
    memcpy(&p, v.data() + 12, sizeof(p));
    ExpectNear(p, 0.0f, 0.0f, -1.0f);
    v = vertex(GxD3D9ParticleTankInstanceColours, 28);
    GxUInt32 argb = 0;
    memcpy(&argb, v.data() + 28, sizeof(argb));
    EXPECT_EQ(argb, 0x280A141Eu);

    // The generic set: the quad instancers with the geometry set-up and finish.
    GxPTankSelectInstancers(atomic);
    EXPECT_EQ(tank->instancers.setup, GxPTankInstanceSetup);
    EXPECT_EQ(tank->instancers.finish, GxPTankInstanceFinish);
    EXPECT_NE(tank->instancers.positions, nullptr);
    EXPECT_NE(tank->instancers.normals, nullptr);
}

// Runs a tank's positions instancer for its first particle with the camera's axes (-1, 0, 0) and (0, 1, 0).
std::vector<GxV3d> Corners(GxAtomic* atomic)
{
    GxPTankSelectInstancers(atomic);
    GxParticleTank* tank = GxParticleTankGet(atomic);
    const GxPTankInstancers& table = tank->instancers;
    GxPTankInstanceWork work = {};
    work.right = {-1.0f, 0.0f, 0.0f};
    work.up = {0.0f, 1.0f, 0.0f};
    std::vector<GxV3d> corners(4);
    table.positions(reinterpret_cast<GxUInt8*>(corners.data()), sizeof(GxV3d), 1, tank, &work);
    return corners;
}

TEST_F(TankTest, InstancersTurnScaleAndMapEachCorner)
{
    GxAtomic* plain = Tank(1, gxPTANKDFLAGPOSITION);
    GxAtomic* turned = Tank(1, gxPTANKDFLAGPOSITION | gxPTANKDFLAG2DROTATE | gxPTANKDFLAGSIZE);
    ASSERT_TRUE(plain && turned);
    GxReal size[2] = {1.0f, 1.0f};
    GxParticleTankLockStruct lock;
    ASSERT_TRUE(GxParticleTankLock(turned, &lock, gxPTANKDFLAGSIZE, gxPTANKLOCKWRITE));
    memcpy(lock.data, size, sizeof(size));
    Put(turned, gxPTANKDFLAG2DROTATE, 0, 0.0f);
    // A turn of 0 is no turn.
    const std::vector<GxV3d> a = Corners(plain);
    const std::vector<GxV3d> b = Corners(turned);
    for (size_t c = 0; c < 4; c++) {
        ExpectNear(b[c], a[c].x, a[c].y, a[c].z);
    }
    // A quarter turn with a size of (2, 4) makes the axes (0, -1, 0) and (-2, 0, 0): corner 0 (-r - u) at (2, 1).
    size[0] = 2.0f;
    size[1] = 4.0f;
    memcpy(lock.data, size, sizeof(size));
    Put(turned, gxPTANKDFLAG2DROTATE, 0, 1.5707964f);
    const std::vector<GxV3d> q = Corners(turned);
    ExpectNear(q[0], 2.0f, 1.0f, 0.0f);
    ExpectNear(q[2], -2.0f, -1.0f, 0.0f);

    // A matrix per particle spans the quad with its own rows, corner 0 at position + right - up.
    GxAtomic* matrix = Tank(1, gxPTANKDFLAGMATRIX);
    ASSERT_NE(matrix, nullptr);
    GxMatrix m;
    GxMatrixSetIdentity(&m);
    m.right = {2.0f, 0.0f, 0.0f};
    m.pos = {0.0f, 0.0f, 3.0f};
    Put(matrix, gxPTANKDFLAGMATRIX, 0, m);
    const std::vector<GxV3d> mc = Corners(matrix);
    ExpectNear(mc[0], 1.0f, -0.5f, 3.0f);
    ExpectNear(mc[3], 1.0f, 0.5f, 3.0f);

    // Constant orientation takes the default quad ahead of the size and rotation forms: the particle's own size and
    // turn are not applied.
    GxAtomic* fixed = Tank(1, gxPTANKDFLAGPOSITION | gxPTANKDFLAGCNSMATRIX | gxPTANKDFLAG2DROTATE | gxPTANKDFLAGSIZE);
    ASSERT_NE(fixed, nullptr);
    GxParticleTankGet(fixed)->cSize[0] = GxParticleTankGet(plain)->cSize[0];
    GxParticleTankGet(fixed)->cSize[1] = GxParticleTankGet(plain)->cSize[1];
    Put(fixed, gxPTANKDFLAGSIZE, 0, size);
    Put(fixed, gxPTANKDFLAG2DROTATE, 0, 1.5707964f);
    const std::vector<GxV3d> f = Corners(fixed);
    for (size_t c = 0; c < 4; c++) {
        ExpectNear(f[c], a[c].x, a[c].y, a[c].z);
    }

    // Two texture-coordinate pairs (left, top) and (right, bottom) go bottom-left, bottom-right, top-right, top-left.
    GxAtomic* textured = Tank(1, gxPTANKDFLAGPOSITION | gxPTANKDFLAGVTX2TEXCOORDS);
    ASSERT_NE(textured, nullptr);
    const GxReal uv[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    ASSERT_TRUE(GxParticleTankLock(textured, &lock, gxPTANKDFLAGVTX2TEXCOORDS, gxPTANKLOCKWRITE));
    memcpy(lock.data, uv, sizeof(uv));
    GxPTankSelectInstancers(textured);
    GxReal out[8] = {};
    GxParticleTankGet(textured)->instancers.texCoords(reinterpret_cast<GxUInt8*>(out), 2 * sizeof(GxReal), 1,
                                                      GxParticleTankGet(textured), nullptr);
    const GxReal expected[8] = {0.25f, 1.0f, 0.75f, 1.0f, 0.75f, 0.5f, 0.25f, 0.5f};
    for (int i = 0; i < 8; i++) {
        EXPECT_FLOAT_EQ(out[i], expected[i]) << i;
    }
}

// A fire emitter with a texture, updated and drawn: its quads arrive textured, tinted by their vertex colours.
TEST_F(TankTest, EmitterTexturesReachTheDraw)
{
    GxParticleEmitterClass* emitterClass = GxParticleEmitterClassCreate(0x33);
    GxParticleClass* particleClass = GxParticleClassCreate(0x65);
    GxAtomic* atomic = GxParticleAtomicCreate(emitterClass, nullptr);
    ASSERT_NE(atomic, nullptr);
    GxParticleEmitter* emitter = GxParticleAtomicGetEmitters(atomic);
    GxParticleEmitterSetParticleClass(emitter, particleClass, 16);
    auto* std =
        static_cast<GxParticleEmitterStd*>(GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERSTANDARD));
    std->maxPTank = 16;
    std->emtPtcleEmitCount = 3;
    std->emtPtcleLife = 1.0f;
    GxRaster* raster = GxRasterCreate(2, 2, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);  // the texture owns it
    ASSERT_NE(raster, nullptr);
    std->texture = GxTextureCreate(raster);
    ASSERT_NE(std->texture, nullptr);
    GxParticleUpdateData step = {0.1f};
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    IDirect3DDevice9* device = GxD3D9Device();
    D3D9SoftClearLog(device);
    ASSERT_TRUE(Draw(atomic));
    const D3D9SoftEvent* draw = D3D9SoftLast(device, D3D9SOFT_DRAW);
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->draw.primitiveCount, 6u);
    EXPECT_EQ(draw->fvf, static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    EXPECT_NE(draw->texture0, nullptr);
    GxAtomicDestroy(atomic);
    GxParticleEmitterClassDestroy(emitterClass);
    GxParticleClassDestroy(particleClass);
}

// A tank moved onto the geometry path: its geometry holds every quad, the unused ones far away, with the colours in
// the geometry's own byte order, and the atomic pipeline draws them.
TEST_F(TankTest, GeometryPathFillsTheTanksGeometry)
{
    GxAtomic* tank = Tank(3, gxPTANKDFLAGPOSITION | gxPTANKDFLAGCOLOR);
    ASSERT_NE(tank, nullptr);
    GxFrame* frame = GxFrameCreate();
    GxAtomicSetFrame(tank, frame);
    ASSERT_NE(GxTestTankUseGeometry(tank), nullptr);
    GxParticleTankGet(tank)->cSize[0] = 2.0f;
    GxParticleTankGet(tank)->cSize[1] = 2.0f;
    Put(tank, gxPTANKDFLAGPOSITION, 0, GxV3d{0.0f, 0.0f, 5.0f});
    Put(tank, gxPTANKDFLAGCOLOR, 0, GxRGBA{10, 20, 30, 255});
    ASSERT_TRUE(GxParticleTankSetCount(tank, 1));
    IDirect3DDevice9* device = GxD3D9Device();
    D3D9SoftClearLog(device);
    ASSERT_TRUE(Draw(tank));
    const GxGeometry* geometry = tank->geometry;
    ASSERT_EQ(geometry->numVertices, 12);
    ExpectNear(geometry->morphTarget[0].verts[0], 1.0f, -1.0f, 5.0f);
    ExpectNear(geometry->morphTarget[0].verts[2], -1.0f, 1.0f, 5.0f);
    for (GxInt32 v = 4; v < 12; v++) {
        ExpectNear(geometry->morphTarget[0].verts[v], gxPTANKHIDDENPOSITION, gxPTANKHIDDENPOSITION,
                   gxPTANKHIDDENPOSITION);
    }
    ASSERT_NE(geometry->preLitLum, nullptr);
    EXPECT_EQ(geometry->preLitLum[3].red, 10);
    EXPECT_EQ(geometry->preLitLum[3].blue, 30);
    const D3D9SoftEvent* draw = D3D9SoftLast(device, D3D9SOFT_DRAW);
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->draw.primitiveCount, 6u);
    EXPECT_EQ(D3D9SoftCount(device, D3D9SOFT_ERROR), 0u);
    // Nothing is drawn twice: the tank's own draw stays out of the way.
    EXPECT_EQ(D3D9SoftCount(device, D3D9SOFT_DRAW), 1u);
    GxAtomicSetFrame(tank, nullptr);
    GxFrameDestroy(frame);
}

// The geometry set-up writes the parts the tank's flags (or its constant colour) ask for and the geometry holds; a
// geometry smaller than the tank's quads is refused.
TEST_F(TankTest, GeometrySetUpWritesTheFlaggedPartsTheGeometryHolds)
{
    GxAtomic* atomic = GxAtomicCreate();
    ASSERT_NE(atomic, nullptr);
    GxGeometry* geometry = GxGeometryCreate(4, 2, gxGEOMETRYPOSITIONS | gxGEOMETRYPRELIT);
    ASSERT_NE(geometry, nullptr);
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxGeometryDestroy(geometry);
    GxParticleTank tank = {};
    tank.maxPCount = 1;
    tank.format.dataFlags = gxPTANKDFLAGPOSITION | gxPTANKDFLAGNORMAL;
    GxPTankInstanceWork work = {};
    ASSERT_TRUE(GxPTankInstanceSetup(&work, atomic, &tank, 1));
    GxPTankInstanceFinish(atomic, &tank, &work);
    EXPECT_TRUE(work.hasPositions);
    EXPECT_FALSE(work.hasColors);
    EXPECT_FALSE(work.hasNormals) << "the geometry has no normals to write";
    tank.cFlags = gxPTANKDFLAGCNSCOLOR;
    work = {};
    ASSERT_TRUE(GxPTankInstanceSetup(&work, atomic, &tank, 1));
    GxPTankInstanceFinish(atomic, &tank, &work);
    EXPECT_TRUE(work.hasColors);
    tank.maxPCount = 2;
    EXPECT_FALSE(GxPTankInstanceSetup(&work, atomic, &tank, 1));
    GxAtomicDestroy(atomic);
}

class TankPixels : public TankTest {
protected:
    TankPixels() : TankTest("opengl") {}
};

// One red quad of size 2 at depth 5 under a view window of 0.5: a square of about 26 pixels a side in the middle.
TEST_F(TankPixels, QuadDrawnThroughATankLandsWhereItShould)
{
    if (!Ready()) {
        return;
    }
    GxAtomic* tank = Tank(2, gxPTANKDFLAGPOSITION);
    ASSERT_NE(tank, nullptr);
    GxParticleTank* record = GxParticleTankGet(tank);
    record->cSize[0] = record->cSize[1] = 2.0f;
    record->cColor = {255, 0, 0, 255};
    record->srcBlend = D3DBLEND_ONE;
    record->dstBlend = D3DBLEND_ONE;
    record->vertexAlphaBlend = 1;
    Put(tank, gxPTANKDFLAGPOSITION, 0, GxV3d{0.0f, 0.0f, 5.0f});
    ASSERT_TRUE(GxParticleTankSetCount(tank, 1));
    ASSERT_TRUE(Draw(tank, {0, 0, 64, 255}));
    GxRaster* raster = camera->frameBuffer;
    GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
    ASSERT_NE(bits, nullptr);
    const auto at = [&](int x, int y) {
        GxUInt32 p;
        memcpy(&p, bits + static_cast<size_t>(y) * raster->stride + static_cast<size_t>(x) * 4, sizeof(p));
        return p & 0xFFFFFFu;
    };
    // Added onto the blue background: red and blue.
    EXPECT_EQ(at(32, 32), 0xFF0040u);
    EXPECT_EQ(at(22, 40), 0xFF0040u);
    EXPECT_EQ(at(2, 2), 0x000040u);
    EXPECT_EQ(at(32, 60), 0x000040u);
    EXPECT_EQ(at(60, 32), 0x000040u);
    int covered = 0;
    for (int y = 0; y < kSide; y++) {
        for (int x = 0; x < kSide; x++) {
            covered += at(x, y) == 0xFF0040u ? 1 : 0;
        }
    }
    GxRasterUnlock(raster);
    EXPECT_NEAR(covered, 655, 60);
}

// An unlit quad with corner colours of its own draws them, not the tank's constant colour.
TEST_F(TankPixels, UnlitCornerColoursAreDrawn)
{
    if (!Ready()) {
        return;
    }
    GxAtomic* tank = Tank(2, gxPTANKDFLAGPOSITION | gxPTANKDFLAGVTXCOLOR);
    ASSERT_NE(tank, nullptr);
    GxParticleTank* record = GxParticleTankGet(tank);
    record->cSize[0] = record->cSize[1] = 2.0f;
    record->cColor = {255, 0, 0, 255};
    Put(tank, gxPTANKDFLAGPOSITION, 0, GxV3d{0.0f, 0.0f, 5.0f});
    const GxRGBA green = {0, 255, 0, 255};
    Put(tank, gxPTANKDFLAGVTXCOLOR, 0, std::array<GxRGBA, 4>{green, green, green, green});
    ASSERT_TRUE(GxParticleTankSetCount(tank, 1));
    GxD3D9SetRenderState(D3DRS_LIGHTING, FALSE);
    ASSERT_TRUE(Draw(tank, {0, 0, 64, 255}));
    GxRaster* raster = camera->frameBuffer;
    GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
    ASSERT_NE(bits, nullptr);
    GxUInt32 centre = 0;
    memcpy(&centre, bits + static_cast<size_t>(32) * raster->stride + 32 * 4, sizeof(centre));
    GxRasterUnlock(raster);
    EXPECT_EQ(centre & 0xFFFFFFu, 0x00FF00u);
}

// The same quad on the geometry path, its colour per particle: drawn by the atomic pipeline in the same place.
TEST_F(TankPixels, QuadOnTheGeometryPathLandsTheSame)
{
    if (!Ready()) {
        return;
    }
    GxAtomic* tank = Tank(2, gxPTANKDFLAGPOSITION | gxPTANKDFLAGCOLOR);
    ASSERT_NE(tank, nullptr);
    GxFrame* frame = GxFrameCreate();
    GxAtomicSetFrame(tank, frame);
    ASSERT_NE(GxTestTankUseGeometry(tank), nullptr);
    GxParticleTank* record = GxParticleTankGet(tank);
    record->cSize[0] = record->cSize[1] = 2.0f;
    Put(tank, gxPTANKDFLAGPOSITION, 0, GxV3d{0.0f, 0.0f, 5.0f});
    Put(tank, gxPTANKDFLAGCOLOR, 0, GxRGBA{255, 128, 0, 255});
    ASSERT_TRUE(GxParticleTankSetCount(tank, 1));
    ASSERT_TRUE(Draw(tank, {0, 0, 64, 255}));
    GxRaster* raster = camera->frameBuffer;
    GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
    ASSERT_NE(bits, nullptr);
    const auto at = [&](int x, int y) {
        GxUInt32 p;
        memcpy(&p, bits + static_cast<size_t>(y) * raster->stride + static_cast<size_t>(x) * 4, sizeof(p));
        return p & 0xFFFFFFu;
    };
    const GxUInt32 centre = at(32, 32);
    const GxUInt32 corner = at(2, 2);
    GxRasterUnlock(raster);
    EXPECT_EQ(centre, 0xFF8000u);
    EXPECT_EQ(corner, 0x000040u);
    GxAtomicSetFrame(tank, nullptr);
    GxFrameDestroy(frame);
}

}  // namespace
