// Pixel tests of the OpenGL back end: scenes drawn through the Direct3D 9 layer and read back.
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_soft.h"
#include "platform/d3d9/gl_baseline.h"
#include "platform/d3d9/gl_local.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const UINT kW = 64;
const UINT kH = 64;

struct TLVertex {  // XYZRHW | DIFFUSE | TEX1
    float x, y, z, rhw;
    DWORD color;
    float u, v;
};
const DWORD kTLFVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct LitVertex {  // XYZ | NORMAL | DIFFUSE | TEX1
    float x, y, z;
    float nx, ny, nz;
    DWORD color;
    float u, v;
};
const DWORD kLitFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct NormalVertex {  // XYZ | NORMAL
    float x, y, z;
    float nx, ny, nz;
};
const DWORD kNormalFVF = D3DFVF_XYZ | D3DFVF_NORMAL;

typedef std::function<void(IDirect3DDevice9*)> Scene;

struct Rgb {
    int r, g, b, a;
};

Rgb SplitArgb(DWORD argb)
{
    return {static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF), static_cast<int>(argb & 0xFF),
            static_cast<int>(argb >> 24)};
}

::testing::AssertionResult Near(DWORD argb, int r, int g, int b, int tolerance = 3)
{
    const Rgb c = SplitArgb(argb);
    if (std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "got (" << c.r << "," << c.g << "," << c.b << ") want (" << r << "," << g
                                         << "," << b << ")";
}

// Quad of two triangles as a list, screen-clockwise (Direct3D's front faces).
void MakeTLQuad(float x0, float y0, float x1, float y1, DWORD color, TLVertex out[6], float z = 0.5f)
{
    const TLVertex tl = {x0, y0, z, 1.0f, color, 0.0f, 0.0f};
    const TLVertex tr = {x1, y0, z, 1.0f, color, 1.0f, 0.0f};
    const TLVertex bl = {x0, y1, z, 1.0f, color, 0.0f, 1.0f};
    const TLVertex br = {x1, y1, z, 1.0f, color, 1.0f, 1.0f};
    out[0] = tl;
    out[1] = tr;
    out[2] = bl;
    out[3] = bl;
    out[4] = tr;
    out[5] = br;
}

D3DMATRIX MakeIdentity()
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof(m));
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Left-handed orthographic projection of a 2 x 2 window, z 0..10.
D3DMATRIX MakeOrtho()
{
    D3DMATRIX m = MakeIdentity();
    m._33 = 1.0f / 10.0f;
    return m;
}

// A quad filling the 2 x 2 window at depth z, facing the camera (-z).
void MakeFacingQuad(float z, DWORD color, LitVertex out[6])
{
    const LitVertex tl = {-1, 1, z, 0, 0, -1, color, 0, 0};
    const LitVertex tr = {1, 1, z, 0, 0, -1, color, 1, 0};
    const LitVertex bl = {-1, -1, z, 0, 0, -1, color, 0, 1};
    const LitVertex br = {1, -1, z, 0, 0, -1, color, 1, 1};
    out[0] = tl;
    out[1] = tr;
    out[2] = bl;
    out[3] = bl;
    out[4] = tr;
    out[5] = br;
}

void SetUp3D(IDirect3DDevice9* dev)
{
    const D3DMATRIX id = MakeIdentity(), proj = MakeOrtho();
    dev->SetTransform(D3DTS_WORLD, &id);
    dev->SetTransform(D3DTS_VIEW, &id);
    dev->SetTransform(D3DTS_PROJECTION, &proj);
}

D3DMATERIAL9 MakeWhiteMaterial()
{
    D3DMATERIAL9 m;
    std::memset(&m, 0, sizeof(m));
    m.Diffuse = {1, 1, 1, 1};
    m.Ambient = {1, 1, 1, 1};
    return m;
}

IDirect3D9* MakeOpenGLDirect3D()
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    return D3D9CreateOnBackend("opengl");
}

// One device through the layer on the back end of `d3d` (which it owns).
class DeviceOnBackend {
public:
    explicit DeviceOnBackend(IDirect3D9* d3d) : d3d_(d3d)
    {
        if (!d3d_)
            return;
        D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(kW, kH, nullptr);
        pp.BackBufferFormat = D3DFMT_A8R8G8B8;
        d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev_);
    }
    ~DeviceOnBackend()
    {
        if (dev_)
            dev_->Release();
        if (d3d_)
            d3d_->Release();
    }
    IDirect3DDevice9* get() const { return dev_; }

    // Clears to `background`, draws the scene in one scene bracket and reads the back buffer.
    std::vector<DWORD> Run(const Scene& scene, D3DCOLOR background = 0xFF000000u)
    {
        std::vector<DWORD> pixels;
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, background, 1.0f, 0);
        if (FAILED(dev_->BeginScene()))
            return pixels;
        scene(dev_);
        dev_->EndScene();
        return ReadBack();
    }

    // The clears and draws the software back end recorded, as the GL trace has them.
    std::vector<GlTraceCall> SoftCalls()
    {
        std::vector<GlTraceCall> calls;
        for (const D3D9SoftEvent& e : D3D9SoftLog(dev_)) {
            if (e.type == D3D9SOFT_CLEAR)
                calls.push_back({0, {e.a, e.b, e.value, 0, 0, 0}});
            if (e.type == D3D9SOFT_ERROR)
                ADD_FAILURE() << "software back end refused a draw: " << e.a;
            if (e.type != D3D9SOFT_DRAW)
                continue;
            const D3D9DrawCall& d = e.draw;
            calls.push_back({1,
                             {static_cast<DWORD>(d.type), d.primitiveCount, d.indexed ? 1u : 0u, d.startVertex,
                              static_cast<DWORD>(d.baseVertexIndex), d.minIndex}});
        }
        return calls;
    }

    // The back buffer through GetRenderTargetData into a system-memory surface.
    std::vector<DWORD> ReadBack()
    {
        std::vector<DWORD> pixels;
        IDirect3DSurface9* rt = nullptr;
        IDirect3DSurface9* copy = nullptr;
        if (FAILED(dev_->GetRenderTarget(0, &rt)))
            return pixels;
        if (SUCCEEDED(dev_->CreateOffscreenPlainSurface(kW, kH, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr)) &&
            SUCCEEDED(dev_->GetRenderTargetData(rt, copy))) {
            D3DLOCKED_RECT lr;
            if (SUCCEEDED(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
                pixels.resize(kW * kH);
                for (UINT y = 0; y < kH; ++y) {
                    std::memcpy(&pixels[y * kW], static_cast<const BYTE*>(lr.pBits) + y * lr.Pitch, kW * 4);
                }
                copy->UnlockRect();
            }
        }
        if (copy)
            copy->Release();
        rt->Release();
        return pixels;
    }

private:
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* dev_ = nullptr;
};

class GlPixelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gl_.reset(new DeviceOnBackend(MakeOpenGLDirect3D()));
        if (!gl_->get())
            GTEST_SKIP() << "no OpenGL context here";
    }

    // Draws the scene through GL and reads it back. Scenes that bring no
    // resources of their own are also drawn through the software back end,
    // which must receive the same clears and draws.
    std::vector<DWORD> Draw(const Scene& scene, D3DCOLOR background = 0xFF000000u, bool compare = true)
    {
        std::vector<GlTraceCall> trace;
        gGlTrace = &trace;
        pixels_ = gl_->Run(scene, background);
        gGlTrace = nullptr;
        EXPECT_EQ(pixels_.size(), kW * kH);
        if (pixels_.size() != kW * kH)
            pixels_.assign(kW * kH, 0);
        if (compare) {
            DeviceOnBackend soft(D3D9SoftCreate(D3D9_CAPS_FULL));
            EXPECT_NE(soft.get(), nullptr);
            if (soft.get()) {
                D3D9SoftClearLog(soft.get());
                soft.Run(scene, background);
                const std::vector<GlTraceCall> calls = soft.SoftCalls();
                EXPECT_EQ(calls.size(), trace.size());
                for (size_t i = 0; i < std::min(calls.size(), trace.size()); ++i) {
                    EXPECT_EQ(calls[i].what, trace[i].what) << "call " << i;
                    for (int k = 0; k < 6; ++k)
                        EXPECT_EQ(calls[i].v[k], trace[i].v[k]) << "call " << i << " value " << k;
                }
            }
        }
        return pixels_;
    }
    DWORD At(int x, int y) const { return pixels_[static_cast<size_t>(y) * kW + static_cast<size_t>(x)]; }

    IDirect3DTexture9* MakeTexture(UINT w, UINT h, D3DFORMAT format, const void* texels, UINT rowBytes, UINT rows)
    {
        IDirect3DTexture9* tex = nullptr;
        if (FAILED(gl_->get()->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &tex, nullptr)))
            return nullptr;
        D3DLOCKED_RECT lr;
        if (SUCCEEDED(tex->LockRect(0, &lr, nullptr, 0))) {
            for (UINT y = 0; y < rows; ++y) {
                std::memcpy(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch,
                            static_cast<const BYTE*>(texels) + y * rowBytes, rowBytes);
            }
            tex->UnlockRect(0);
        }
        return tex;
    }

    std::unique_ptr<DeviceOnBackend> gl_;
    std::vector<DWORD> pixels_;
};

// ---------------------------------------------------------------- clears and read-back

TEST_F(GlPixelTest, ClearStaysInsideViewportAndRowZeroIsTop)
{
    Draw(
        [](IDirect3DDevice9* dev) {
            D3DVIEWPORT9 vp = {8, 0, 16, 4, 0.0f, 1.0f};
            dev->SetViewport(&vp);
            dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0);
            // A rectangle is clipped to the viewport too.
            D3DVIEWPORT9 lower = {0, 32, 64, 32, 0.0f, 1.0f};
            dev->SetViewport(&lower);
            D3DRECT r = {0, 0, 10, 40};
            dev->Clear(1, &r, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
        },
        0xFF0000FFu);
    EXPECT_TRUE(Near(At(8, 0), 255, 0, 0));
    EXPECT_TRUE(Near(At(23, 3), 255, 0, 0));
    EXPECT_TRUE(Near(At(7, 0), 0, 0, 255));
    EXPECT_TRUE(Near(At(24, 0), 0, 0, 255));
    EXPECT_TRUE(Near(At(8, 4), 0, 0, 255));
    EXPECT_TRUE(Near(At(0, 32), 0, 255, 0));
    EXPECT_TRUE(Near(At(9, 39), 0, 255, 0));
    EXPECT_TRUE(Near(At(0, 31), 0, 0, 255));
    EXPECT_TRUE(Near(At(0, 40), 0, 0, 255));
    EXPECT_TRUE(Near(At(10, 35), 0, 0, 255));
}

TEST_F(GlPixelTest, SetRenderTargetResetsViewportAndTargetsReadBack)
{
    IDirect3DDevice9* dev = gl_->get();
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(dev->CreateRenderTarget(kW, kH, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
              D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &back), D3D_OK);
    D3DVIEWPORT9 small = {0, 0, 8, 8, 0.0f, 1.0f};
    dev->SetViewport(&small);
    dev->SetRenderTarget(0, target);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808000u, 1.0f, 0);
    // Copy the off-screen target's top half into the back buffer.
    dev->SetRenderTarget(0, back);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    RECT half = {0, 0, static_cast<LONG>(kW), static_cast<LONG>(kH / 2)};
    EXPECT_EQ(dev->StretchRect(target, &half, back, &half, D3DTEXF_POINT), D3D_OK);
    pixels_ = gl_->ReadBack();
    ASSERT_EQ(pixels_.size(), kW * kH);
    EXPECT_TRUE(Near(At(63, 31), 128, 128, 0));  // the whole target was cleared, not 8 x 8
    EXPECT_TRUE(Near(At(63, 32), 0, 0, 0));
    target->Release();
    back->Release();
}

// ---------------------------------------------------------------- rasterisation conventions

TEST_F(GlPixelTest, PretransformedQuadCoversIntegerPixelCentres)
{
    Draw([](IDirect3DDevice9* dev) {
        TLVertex v[6];
        // Pixel centres on integers: a span from 0.4 to 10.4 covers pixels 1 to 10.
        MakeTLQuad(0.4f, 0.4f, 10.4f, 10.4f, 0xFFFFFFFFu, v);
        dev->SetFVF(kTLFVF);
        dev->SetRenderState(D3DRS_LIGHTING, FALSE);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
    });
    EXPECT_TRUE(Near(At(0, 5), 0, 0, 0));
    EXPECT_TRUE(Near(At(1, 5), 255, 255, 255));
    EXPECT_TRUE(Near(At(10, 5), 255, 255, 255));
    EXPECT_TRUE(Near(At(11, 5), 0, 0, 0));
    EXPECT_TRUE(Near(At(5, 0), 0, 0, 0));
    EXPECT_TRUE(Near(At(5, 1), 255, 255, 255));
    EXPECT_TRUE(Near(At(5, 10), 255, 255, 255));
    EXPECT_TRUE(Near(At(5, 11), 0, 0, 0));
}

TEST_F(GlPixelTest, CullModesFollowScreenWinding)
{
    // Left triangle clockwise on screen, right one counter-clockwise.
    auto scene = [](DWORD cull) {
        return [cull](IDirect3DDevice9* dev) {
            const TLVertex cw[3] = {{2, 2, 0.5f, 1, 0xFFFF0000u, 0, 0},
                                    {30, 2, 0.5f, 1, 0xFFFF0000u, 0, 0},
                                    {2, 30, 0.5f, 1, 0xFFFF0000u, 0, 0}};
            const TLVertex ccw[3] = {{34, 2, 0.5f, 1, 0xFF00FF00u, 0, 0},
                                     {34, 30, 0.5f, 1, 0xFF00FF00u, 0, 0},
                                     {62, 2, 0.5f, 1, 0xFF00FF00u, 0, 0}};
            dev->SetFVF(kTLFVF);
            dev->SetRenderState(D3DRS_CULLMODE, cull);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(TLVertex));
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(TLVertex));
        };
    };
    Draw(scene(D3DCULL_CCW));
    EXPECT_TRUE(Near(At(6, 6), 255, 0, 0));
    EXPECT_TRUE(Near(At(38, 6), 0, 0, 0));
    Draw(scene(D3DCULL_CW));
    EXPECT_TRUE(Near(At(6, 6), 0, 0, 0));
    EXPECT_TRUE(Near(At(38, 6), 0, 255, 0));
    Draw(scene(D3DCULL_NONE));
    EXPECT_TRUE(Near(At(6, 6), 255, 0, 0));
    EXPECT_TRUE(Near(At(38, 6), 0, 255, 0));
}

TEST_F(GlPixelTest, DefaultCullingKeepsFrontFacesOf3DGeometry)
{
    Draw([](IDirect3DDevice9* dev) {
        SetUp3D(dev);
        dev->SetRenderState(D3DRS_LIGHTING, FALSE);
        LitVertex v[6];
        MakeFacingQuad(1.0f, 0xFF00FFFFu, v);
        dev->SetFVF(kLitFVF);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(LitVertex));
    });
    EXPECT_TRUE(Near(At(32, 32), 0, 255, 255));
    EXPECT_TRUE(Near(At(0, 5), 0, 255, 255));
    EXPECT_TRUE(Near(At(5, 0), 0, 255, 255));
    EXPECT_TRUE(Near(At(5, 63), 0, 255, 255));
    EXPECT_TRUE(Near(At(63, 5), 0, 255, 255));
    EXPECT_TRUE(Near(At(0, 0), 0, 255, 255));
    EXPECT_TRUE(Near(At(63, 63), 0, 255, 255));
}

TEST_F(GlPixelTest, DepthTestKeepsNearerSurface)
{
    auto scene = [](DWORD func) {
        return [func](IDirect3DDevice9* dev) {
            TLVertex nearQuad[6], farQuad[6];
            MakeTLQuad(0, 0, 64, 64, 0xFFFF0000u, nearQuad, 0.2f);
            MakeTLQuad(16, 16, 48, 48, 0xFF00FF00u, farQuad, 0.8f);
            dev->SetFVF(kTLFVF);
            dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
            dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, nearQuad, sizeof(TLVertex));
            dev->SetRenderState(D3DRS_ZFUNC, func);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, farQuad, sizeof(TLVertex));
        };
    };
    Draw(scene(D3DCMP_LESSEQUAL));
    EXPECT_TRUE(Near(At(32, 32), 255, 0, 0));
    Draw(scene(D3DCMP_GREATER));
    EXPECT_TRUE(Near(At(32, 32), 0, 255, 0));
    EXPECT_TRUE(Near(At(4, 4), 255, 0, 0));
}

// ---------------------------------------------------------------- lighting

TEST_F(GlPixelTest, DirectionalPointAndSpotLights)
{
    auto lit = [](const D3DLIGHT9& light) {
        return [light](IDirect3DDevice9* dev) {
            SetUp3D(dev);
            const D3DMATERIAL9 mat = MakeWhiteMaterial();
            dev->SetMaterial(&mat);
            dev->SetRenderState(D3DRS_LIGHTING, TRUE);
            dev->SetRenderState(D3DRS_AMBIENT, 0);
            dev->SetLight(0, &light);
            dev->LightEnable(0, TRUE);
            // Lighting is per vertex: a fan around a centre vertex samples the light there.
            NormalVertex v[6] = {{0, 0, 1, 0, 0, -1},  {-1, 1, 1, 0, 0, -1},  {1, 1, 1, 0, 0, -1},
                                 {1, -1, 1, 0, 0, -1}, {-1, -1, 1, 0, 0, -1}, {-1, 1, 1, 0, 0, -1}};
            dev->SetFVF(kNormalFVF);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 4, v, sizeof(NormalVertex));
        };
    };
    D3DLIGHT9 dir;
    std::memset(&dir, 0, sizeof(dir));
    dir.Type = D3DLIGHT_DIRECTIONAL;
    dir.Diffuse = {0.5f, 0.25f, 1.0f, 1.0f};
    dir.Direction = {0.0f, 0.0f, 1.0f};  // travelling away from the camera onto the quad
    Draw(lit(dir));
    EXPECT_TRUE(Near(At(32, 32), 128, 64, 255));
    EXPECT_TRUE(Near(At(1, 62), 128, 64, 255));

    // Pointing the other way lights the back: nothing on the front.
    dir.Direction = {0.0f, 0.0f, -1.0f};
    Draw(lit(dir));
    EXPECT_TRUE(Near(At(32, 32), 0, 0, 0));

    D3DLIGHT9 point;
    std::memset(&point, 0, sizeof(point));
    point.Type = D3DLIGHT_POINT;
    point.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    point.Position = {0.0f, 0.0f, 0.0f};
    point.Range = 100.0f;
    point.Attenuation0 = 2.0f;  // half strength at any distance
    Draw(lit(point));
    EXPECT_TRUE(Near(At(32, 32), 128, 128, 128));
    // At a corner the light falls at 55 degrees: cos = 1/sqrt(3).
    EXPECT_TRUE(Near(At(0, 0), 74, 74, 74, 5));

    D3DLIGHT9 spot = point;
    spot.Type = D3DLIGHT_SPOT;
    spot.Attenuation0 = 1.0f;
    spot.Direction = {0.0f, 0.0f, 1.0f};
    spot.Theta = 0.4f;
    spot.Phi = 0.4f;
    spot.Falloff = 1.0f;
    Draw(lit(spot));
    // Lit at the centre vertex only; in between, Gouraud shading.
    EXPECT_TRUE(Near(At(32, 32), 255, 255, 255));
    EXPECT_TRUE(Near(At(32, 12), 96, 96, 96, 5));
    EXPECT_TRUE(Near(At(0, 0), 0, 0, 0));
}

TEST_F(GlPixelTest, VertexColourFeedsDiffuseMaterialWhenLit)
{
    Draw([](IDirect3DDevice9* dev) {
        SetUp3D(dev);
        D3DMATERIAL9 mat = MakeWhiteMaterial();
        mat.Ambient = {0.0f, 0.0f, 0.0f, 1.0f};
        dev->SetMaterial(&mat);
        dev->SetRenderState(D3DRS_LIGHTING, TRUE);
        dev->SetRenderState(D3DRS_AMBIENT, 0);
        D3DLIGHT9 dir;
        std::memset(&dir, 0, sizeof(dir));
        dir.Type = D3DLIGHT_DIRECTIONAL;
        dir.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        dir.Direction = {0.0f, 0.0f, 1.0f};
        dev->SetLight(0, &dir);
        dev->LightEnable(0, TRUE);
        LitVertex v[6];
        MakeFacingQuad(1.0f, 0xFF20C040u, v);
        dev->SetFVF(kLitFVF);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(LitVertex));
    });
    EXPECT_TRUE(Near(At(32, 32), 0x20, 0xC0, 0x40));
}

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
    Draw(
        [tex](IDirect3DDevice9* dev) {
            SetUp3D(dev);
            dev->SetRenderState(D3DRS_LIGHTING, FALSE);
            dev->SetTexture(0, tex);
            dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
            // (u, v, 1) times the matrix: row 2 holds the translation of 2D coordinates.
            D3DMATRIX shift = MakeIdentity();
            shift._31 = 0.5f;
            dev->SetTransform(D3DTS_TEXTURE0, &shift);
            dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
            LitVertex v[6];
            MakeFacingQuad(1.0f, 0xFFFFFFFFu, v);
            dev->SetFVF(kLitFVF);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(LitVertex));
            dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
            dev->SetTexture(0, nullptr);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(8, 32), 0, 255, 0));
    EXPECT_TRUE(Near(At(56, 32), 255, 0, 0));
    tex->Release();
}

TEST_F(GlPixelTest, CubeMapLookedUpByGeneratedCameraSpaceNormal)
{
    IDirect3DDevice9* dev = gl_->get();
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(dev->CreateCubeTexture(2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    // +X -X +Y -Y +Z -Z
    const DWORD colours[6] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u, 0xFFFF00FFu, 0xFF00FFFFu};
    for (int face = 0; face < 6; ++face) {
        D3DLOCKED_RECT lr;
        ASSERT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 0, &lr, nullptr, 0), D3D_OK);
        for (int y = 0; y < 2; ++y) {
            DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch);
            row[0] = row[1] = colours[face];
        }
        cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 0);
    }
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

// ---------------------------------------------------------------- indexed draws from buffers

TEST_F(GlPixelTest, IndexedDrawFromBuffersHonoursBaseVertex)
{
    IDirect3DDevice9* dev = gl_->get();
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(12 * sizeof(TLVertex), D3DUSAGE_WRITEONLY, kTLFVF, D3DPOOL_MANAGED, &vb, nullptr),
              D3D_OK);
    ASSERT_EQ(
        dev->CreateIndexBuffer(6 * sizeof(uint16_t), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
        D3D_OK);
    void* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    TLVertex* v = static_cast<TLVertex*>(p);
    // Two quads of four vertices after four unused ones.
    for (int i = 0; i < 4; ++i)
        v[i] = {0, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
    const float xs[2] = {0, 32};
    const DWORD colors[2] = {0xFFFF0000u, 0xFF00FF00u};
    for (int q = 0; q < 2; ++q) {
        TLVertex* o = v + 4 + q * 4;
        o[0] = {xs[q], 0, 0.5f, 1, colors[q], 0, 0};
        o[1] = {xs[q] + 32, 0, 0.5f, 1, colors[q], 0, 0};
        o[2] = {xs[q], 64, 0.5f, 1, colors[q], 0, 0};
        o[3] = {xs[q] + 32, 64, 0.5f, 1, colors[q], 0, 0};
    }
    vb->Unlock();
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
    const uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(p, idx, sizeof(idx));
    ib->Unlock();
    Draw(
        [&](IDirect3DDevice9* d) {
            d->SetFVF(kTLFVF);
            d->SetStreamSource(0, vb, 0, sizeof(TLVertex));
            d->SetIndices(ib);
            d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 8, 0, 4, 0, 2);  // the green quad only
            d->SetStreamSource(0, nullptr, 0, 0);
            d->SetIndices(nullptr);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 0, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 255, 0));
    vb->Release();
    ib->Release();
}

// ---------------------------------------------------------------- device windows

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(GlDeviceWindow, DrawsIntoAWindowAndOutlivesIt)
{
    IDirect3D9* d3d = MakeOpenGLDirect3D();
    if (!d3d)
        GTEST_SKIP() << "no OpenGL context here";
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = PlainWindowProc;
    wc.lpszClassName = "GlBackendTest";
    RegisterClassA(&wc);
    HWND hwnd =
        CreateWindowExA(0, "GlBackendTest", "", WS_OVERLAPPEDWINDOW, 0, 0, 96, 64, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(kW, kH, hwnd);
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    IDirect3DDevice9* dev = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev), D3D_OK);
    EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030u, 1.0f, 0), D3D_OK);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // The window goes first; the device keeps working on its own.
    DestroyWindow(hwnd);
    EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF405060u, 1.0f, 0), D3D_OK);
    dev->Present(nullptr, nullptr, nullptr, nullptr);
    IDirect3DSurface9* rt = nullptr;
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &rt), D3D_OK);
    ASSERT_EQ(dev->CreateOffscreenPlainSurface(kW, kH, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr), D3D_OK);
    EXPECT_EQ(dev->GetRenderTargetData(rt, copy), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_TRUE(Near(static_cast<const DWORD*>(lr.pBits)[0], 0x40, 0x50, 0x60));
    copy->UnlockRect();
    copy->Release();
    rt->Release();
    dev->Release();
    d3d->Release();
    UnregisterClassA("GlBackendTest", nullptr);
}

}  // namespace
