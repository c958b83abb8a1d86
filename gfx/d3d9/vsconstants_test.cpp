// Vertex-shader constant routines: lights brought into an atomic's object space through the inverse world
// matrix, and the material-colour and fog registers.
#include "gfx/d3d9/vsconstants.h"

#include <cmath>

#include "gfx/core/matrix.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/testsupport/software_fixture.h"

namespace {

using VSConstants = GxD3D9SoftwareTest;

constexpr GxReal kTolerance = 1e-5f;

void ExpectNear(const GxV3d& v, GxReal x, GxReal y, GxReal z)
{
    EXPECT_NEAR(v.x, x, kTolerance);
    EXPECT_NEAR(v.y, y, kTolerance);
    EXPECT_NEAR(v.z, z, kTolerance);
}

// A world matrix: `scale` times the size (1: none), a quarter turn about z, then a move to (1, 2, 3).
GxMatrix World(GxReal scale)
{
    GxMatrix m;
    GxMatrixSetIdentity(&m);
    const GxV3d z = {0.0f, 0.0f, 1.0f};
    const GxV3d at = {1.0f, 2.0f, 3.0f};
    const GxV3d size = {scale, scale, scale};
    if (scale != 1.0f) {
        GxMatrixScale(&m, &size, gxCOMBINEREPLACE);
    }
    GxMatrixRotate(&m, &z, 90.0f, gxCOMBINEPOSTCONCAT);
    GxMatrixTranslate(&m, &at, gxCOMBINEPOSTCONCAT);
    return m;
}

float Register(GxUInt32 reg, GxInt32 component)
{
    float value[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    gxD3D9State.device->GetVertexShaderConstantF(reg, value, 1);
    return value[component];
}

TEST_F(VSConstants, LightsComeIntoObjectSpaceThroughTheInverseWorld)
{
    const GxV3d objectPoint = {0.5f, -1.0f, 2.0f};
    const GxV3d unitX = {1.0f, 0.0f, 0.0f};
    GxV3d out;
    GxMatrix inverse;

    // No world matrix: everything stays as it is.
    GxD3D9VSSetWorldMatrix(nullptr);
    GxD3D9VSGetInverseWorldMatrix(&inverse);
    ExpectNear(inverse.pos, 0, 0, 0);
    ExpectNear(inverse.right, 1, 0, 0);
    GxD3D9VSTransformPoint(&out, &objectPoint);
    ExpectNear(out, objectPoint.x, objectPoint.y, objectPoint.z);
    EXPECT_FLOAT_EQ(GxD3D9VSTransformRadius(4.0f), 4.0f);

    // A turned and moved world: a point placed by it comes back; directions turn back; radii keep their size.
    const GxMatrix turned = World(1.0f);
    ASSERT_EQ(turned.flags & gxMATRIXTYPEORTHONORMAL, static_cast<GxUInt32>(gxMATRIXTYPEORTHONORMAL));
    GxD3D9VSSetWorldMatrix(&turned);
    GxV3d placed;
    GxV3dTransformPoint(&placed, &objectPoint, &turned);
    GxD3D9VSTransformPoint(&out, &placed);
    ExpectNear(out, objectPoint.x, objectPoint.y, objectPoint.z);
    GxD3D9VSGetInverseWorldMatrix(&inverse);
    ExpectNear(inverse.right, 0, -1, 0);  // the turn's transpose
    const GxV3d worldY = {0.0f, 1.0f, 0.0f};
    GxD3D9VSTransformDirection(&out, &worldY);
    ExpectNear(out, 1, 0, 0);
    EXPECT_FLOAT_EQ(GxD3D9VSTransformRadius(4.0f), 4.0f);

    // Twice the size: the point still comes back, a direction keeps unit length, and a light's reach halves.
    const GxMatrix twice = World(2.0f);
    GxD3D9VSSetWorldMatrix(&twice);
    GxV3dTransformPoint(&placed, &objectPoint, &twice);
    GxD3D9VSTransformPoint(&out, &placed);
    ExpectNear(out, objectPoint.x, objectPoint.y, objectPoint.z);
    GxD3D9VSTransformDirection(&out, &worldY);
    ExpectNear(out, 1, 0, 0);
    EXPECT_NEAR(GxD3D9VSTransformRadius(4.0f), 2.0f, kTolerance);

    // Stretched along x alone: the direction goes through the orthonormal part only.
    GxMatrix stretched;
    GxMatrixSetIdentity(&stretched);
    const GxV3d stretch = {4.0f, 1.0f, 1.0f};
    GxMatrixScale(&stretched, &stretch, gxCOMBINEREPLACE);
    GxD3D9VSSetWorldMatrix(&stretched);
    GxD3D9VSTransformDirection(&out, &unitX);
    ExpectNear(out, 1, 0, 0);
    const GxReal diagonal = std::sqrt((1.0f / 16.0f + 2.0f) / 3.0f);  // |inverse x (1, 1, 1) / sqrt(3)|
    EXPECT_NEAR(GxD3D9VSTransformRadius(3.0f), 3.0f * diagonal, 1e-4f);
    GxD3D9VSSetWorldMatrix(nullptr);
}

TEST_F(VSConstants, MaterialColourAndFogRegisters)
{
    const GxRGBA colour = {255, 0, 51, 128};
    GxD3D9VSSetMaterialColor(10, &colour);
    EXPECT_FLOAT_EQ(Register(10, 0), 1.0f);
    EXPECT_FLOAT_EQ(Register(10, 1), 0.0f);
    EXPECT_NEAR(Register(10, 2), 0.2f, kTolerance);
    EXPECT_NEAR(Register(10, 3), 128.0f / 255.0f, kTolerance);

    GxReal density = 0.5f;
    ASSERT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEFOGDENSITY, &density));
    GxD3D9VSSetFog(12, 2);
    EXPECT_NEAR(Register(12, 0), 0.5f * 1.442695f, kTolerance);
    EXPECT_FLOAT_EQ(Register(12, 3), 1.0f);
    // A device that fogs by w takes no fog register.
    const DWORD saved = gxD3D9State.caps.RasterCaps;
    gxD3D9State.caps.RasterCaps |= D3DPRASTERCAPS_WFOG;
    GxD3D9VSSetFog(13, 2);
    EXPECT_NE(Register(13, 0), 0.5f * 1.442695f);
    gxD3D9State.caps.RasterCaps = saved;
}

}  // namespace
