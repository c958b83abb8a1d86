// Pixel tests of the OpenGL back end's Direct3D lighting: the range cut-off, the spot falloff between the
// inner and outer cones, and texturing under the lighting program.
#include "platform/d3d9/gl_pixel_testing.h"

namespace {

// A fan around a centre vertex on the plane z = 1 facing the camera; lighting is per vertex, so the centre
// pixel shows the light at (0, 0, 1) and the corner pixels the light at (+-1, +-1, 1).
Scene LitFan(const D3DLIGHT9& light)
{
    return [light](IDirect3DDevice9* dev) {
        SetUp3D(dev);
        const D3DMATERIAL9 mat = MakeWhiteMaterial();
        dev->SetMaterial(&mat);
        dev->SetRenderState(D3DRS_LIGHTING, TRUE);
        dev->SetRenderState(D3DRS_AMBIENT, 0);
        dev->SetLight(0, &light);
        dev->LightEnable(0, TRUE);
        NormalVertex v[6] = {{0, 0, 1, 0, 0, -1},  {-1, 1, 1, 0, 0, -1},  {1, 1, 1, 0, 0, -1},
                             {1, -1, 1, 0, 0, -1}, {-1, -1, 1, 0, 0, -1}, {-1, 1, 1, 0, 0, -1}};
        dev->SetFVF(kNormalFVF);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 4, v, sizeof(NormalVertex));
    };
}

D3DLIGHT9 PointAtEye(float range)
{
    D3DLIGHT9 light;
    std::memset(&light, 0, sizeof(light));
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Range = range;
    light.Attenuation0 = 1.0f;
    return light;
}

}  // namespace

TEST_F(GlPixelTest, PointLightStopsAtItsRange)
{
    // The corners are sqrt(3) away: inside a range of 2 they take cos 55 degrees of the light.
    Draw(LitFan(PointAtEye(2.0f)));
    EXPECT_TRUE(Near(At(32, 32), 255, 255, 255));
    EXPECT_TRUE(Near(At(0, 0), 150, 150, 150, 6));
    // A range of 1.2 reaches the centre (1 away) but not the corners.
    Draw(LitFan(PointAtEye(1.2f)));
    EXPECT_TRUE(Near(At(32, 32), 255, 255, 255));
    EXPECT_TRUE(Near(At(0, 0), 4, 4, 4, 4));
    // Linear attenuation with the distance: 1 / (1 + 1 x 1) at the centre.
    D3DLIGHT9 fading = PointAtEye(10.0f);
    fading.Attenuation1 = 1.0f;
    Draw(LitFan(fading));
    EXPECT_TRUE(Near(At(32, 32), 128, 128, 128));
}

TEST_F(GlPixelTest, SpotLightFallsOffBetweenItsCones)
{
    // Inner cone 0.4 rad, outer 2.0 rad: the corners (54.7 degrees off the axis) sit between the cones,
    // where the spot factor is ((cos a - cos(phi/2)) / (cos(theta/2) - cos(phi/2)))^falloff = 0.0843^falloff.
    D3DLIGHT9 spot = PointAtEye(100.0f);
    spot.Type = D3DLIGHT_SPOT;
    spot.Direction = {0.0f, 0.0f, 1.0f};
    spot.Theta = 0.4f;
    spot.Phi = 2.0f;
    spot.Falloff = 1.0f;
    Draw(LitFan(spot));
    EXPECT_TRUE(Near(At(32, 32), 255, 255, 255));
    EXPECT_TRUE(Near(At(0, 0), 16, 16, 16, 4));  // 0.0843 x cos 54.7 of 255, plus a little of the centre
    spot.Falloff = 2.0f;
    Draw(LitFan(spot));
    EXPECT_TRUE(Near(At(0, 0), 5, 5, 5, 4));
    // Outside the outer cone nothing arrives.
    spot.Phi = 1.2f;
    Draw(LitFan(spot));
    EXPECT_TRUE(Near(At(0, 0), 4, 4, 4, 4));
    EXPECT_TRUE(Near(At(32, 32), 255, 255, 255));
}

TEST_F(GlPixelTest, TexturedDrawUnderALocalLight)
{
    const DWORD texels[4] = {0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u};
    IDirect3DTexture9* tex = MakeTexture(2, 2, D3DFMT_A8R8G8B8, texels, 8, 2);
    ASSERT_NE(tex, nullptr);
    Draw(
        [tex](IDirect3DDevice9* dev) {
            SetUp3D(dev);
            const D3DMATERIAL9 mat = MakeWhiteMaterial();
            dev->SetMaterial(&mat);
            dev->SetRenderState(D3DRS_LIGHTING, TRUE);
            dev->SetRenderState(D3DRS_AMBIENT, 0);
            dev->SetRenderState(D3DRS_COLORVERTEX, FALSE);
            D3DLIGHT9 light = PointAtEye(5.0f);
            light.Attenuation0 = 2.0f;
            dev->SetLight(3, &light);
            dev->LightEnable(3, TRUE);
            dev->SetTexture(0, tex);
            dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
            LitVertex v[6];
            MakeFacingQuad(1.0f, 0xFFFFFFFFu, v);
            dev->SetFVF(kLitFVF);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(LitVertex));
            dev->SetTexture(0, nullptr);
        },
        0xFF000000u, false);
    // The quad's vertices are its corners: half the light at cos 54.7 degrees, in the texture's green.
    EXPECT_TRUE(Near(At(32, 32), 0, 74, 0, 4));
    EXPECT_TRUE(Near(At(2, 60), 0, 74, 0, 4));
    tex->Release();
}

TEST_F(GlPixelTest, GeneratedCoordinatesUnderALocalLight)
{
    IDirect3DDevice9* dev = gl_->get();
    IDirect3DCubeTexture9* cube = MakeFaceColouredCube(dev);
    ASSERT_NE(cube, nullptr);
    // Normal (0, 0, -1) and the reflected view ray at the centre both point at the -Z face.
    for (DWORD generation : {D3DTSS_TCI_CAMERASPACENORMAL, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR}) {
        Draw(
            [cube, generation](IDirect3DDevice9* d) {
                SetUp3D(d);
                const D3DMATERIAL9 mat = MakeWhiteMaterial();
                d->SetMaterial(&mat);
                d->SetRenderState(D3DRS_LIGHTING, TRUE);
                const D3DLIGHT9 light = PointAtEye(10.0f);
                d->SetLight(0, &light);
                d->LightEnable(0, TRUE);
                d->SetTexture(0, cube);
                d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, generation);
                d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
                d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
                LitVertex v[6];
                MakeFacingQuad(1.0f, 0xFFFFFFFFu, v);
                d->SetFVF(kLitFVF);
                d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(LitVertex));
                d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
                d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
                d->SetTexture(0, nullptr);
            },
            0xFF000000u, false);
        EXPECT_TRUE(Near(At(32, 32), 0, 255, 255)) << generation;
    }
    cube->Release();
}
