// Pixel tests of the OpenGL back end: scenes drawn through the Direct3D 9 layer and read back.
#include "platform/d3d9/gl_pixel_testing.h"
#include "platform/win32/gl_required_testing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <unistd.h>

namespace {

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

// A frame begins only once the frame presented two before it is drawn: the processor never runs more than two
// frames ahead of the rasteriser. Frames that take the rasteriser long (blended quads over a large target) would
// otherwise still be queued when the fourth frame begins.
TEST_F(GlPixelTest, FrameBeginsWithAtMostTwoFramesQueued)
{
    constexpr UINT kEdge = 1024;
    constexpr int kLayers = 24;
    IDirect3DDevice9* dev = gl_->get();
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(dev->CreateRenderTarget(kEdge, kEdge, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
              D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &back), D3D_OK);
    auto frame = [&] {
        dev->SetRenderTarget(0, target);
        dev->BeginScene();
        TLVertex v[6];
        MakeTLQuad(0.0f, 0.0f, static_cast<float>(kEdge), static_cast<float>(kEdge), 0x80FFFFFFu, v);
        dev->SetFVF(kTLFVF);
        dev->SetRenderState(D3DRS_LIGHTING, FALSE);
        dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        for (int i = 0; i < kLayers; ++i)
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
        dev->EndScene();
        dev->SetRenderTarget(0, back);
    };
    frame();
    GLsync firstFrameDrawn = qgl.FenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    ASSERT_NE(firstFrameDrawn, nullptr);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    frame();
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    frame();
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // The wait comes when the next frame begins, so the time between two frames overlaps the queued drawing.
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.0f, 0);
    EXPECT_EQ(qgl.ClientWaitSync(firstFrameDrawn, 0, 0), static_cast<GLenum>(GL_ALREADY_SIGNALED));
    qgl.DeleteSync(firstFrameDrawn);
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

// A draw without a depth surface is neither tested nor writes depth, though the back end may leave the last depth
// surface attached; a colour target larger than that surface is still drawn in full.
TEST_F(GlPixelTest, DrawsWithoutDepthSurfaceLeaveTheDepthAlone)
{
    Draw([](IDirect3DDevice9* dev) {
        TLVertex nearQuad[6], farLeft[6], middle[6];
        MakeTLQuad(0, 0, 64, 64, 0xFFFF0000u, nearQuad, 0.2f);
        MakeTLQuad(0, 0, 32, 64, 0xFF00FF00u, farLeft, 0.8f);
        MakeTLQuad(0, 0, 64, 64, 0xFF0000FFu, middle, 0.5f);
        dev->SetFVF(kTLFVF);
        dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, nearQuad, sizeof(TLVertex));
        IDirect3DSurface9* depth = nullptr;
        dev->GetDepthStencilSurface(&depth);
        dev->SetDepthStencilSurface(nullptr);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, farLeft, sizeof(TLVertex));
        dev->SetDepthStencilSurface(depth);
        if (depth)
            depth->Release();
        // Behind the first quad everywhere, unless the draw without depth wrote its 0.8.
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, middle, sizeof(TLVertex));
    });
    EXPECT_TRUE(Near(At(16, 32), 0, 255, 0));
    EXPECT_TRUE(Near(At(48, 32), 255, 0, 0));

    IDirect3DDevice9* dev = gl_->get();
    constexpr UINT kLarge = kW * 2;
    IDirect3DSurface9* large = nullptr;
    IDirect3DSurface9* copy = nullptr;
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(dev->CreateRenderTarget(kLarge, kLarge, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &large, nullptr),
              D3D_OK);
    ASSERT_EQ(dev->CreateOffscreenPlainSurface(kLarge, kLarge, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr),
              D3D_OK);
    ASSERT_EQ(dev->GetRenderTarget(0, &back), D3D_OK);
    dev->BeginScene();
    TLVertex onBack[6], whole[6];
    MakeTLQuad(0, 0, 8, 8, 0xFF000000u, onBack, 0.5f);
    MakeTLQuad(0, 0, kLarge, kLarge, 0xFFFFFF00u, whole, 0.5f);
    dev->SetFVF(kTLFVF);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, onBack, sizeof(TLVertex));  // the back buffer with its depth
    dev->SetRenderTarget(0, large);
    dev->SetDepthStencilSurface(nullptr);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, whole, sizeof(TLVertex));
    dev->EndScene();
    ASSERT_EQ(dev->GetRenderTargetData(large, copy), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    const DWORD far = static_cast<const DWORD*>(lr.pBits)[(kLarge - 1) * (lr.Pitch / 4) + kLarge - 1];
    copy->UnlockRect();
    EXPECT_TRUE(Near(far, 255, 255, 0));
    dev->SetRenderTarget(0, back);
    back->Release();
    copy->Release();
    large->Release();
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
        MALL_GL_MISSING("no OpenGL context here");
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

// Runs after the window layer's own exit handler, which is registered later: the threads still alive then are the
// ones the leak checker's tracer has to stop.
void ExitWithOneThreadLeft()
{
    const auto tasks =
        std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator());
    if (tasks != 1)
        _exit(2);
}

// A program that drew through GL ends with its driver's rasteriser threads joined.
TEST(GlDeviceWindow, ProgramEndsWithTheDriverThreadsJoined)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atexit(ExitWithOneThreadLeft);
            IDirect3D9* d3d = MakeOpenGLDirect3D();
            if (!d3d)
                std::exit(0);
            WNDCLASSA wc;
            std::memset(&wc, 0, sizeof(wc));
            wc.lpfnWndProc = PlainWindowProc;
            wc.lpszClassName = "GlBackendExitTest";
            RegisterClassA(&wc);
            HWND hwnd = CreateWindowExA(0, "GlBackendExitTest", "", WS_OVERLAPPEDWINDOW, 0, 0, 96, 64, nullptr, nullptr,
                                        nullptr, nullptr);
            D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(kW, kH, hwnd);
            IDirect3DDevice9* dev = nullptr;
            if (d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev) != D3D_OK)
                std::exit(3);
            dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030u, 1.0f, 0);
            dev->Present(nullptr, nullptr, nullptr, nullptr);
            dev->Release();
            d3d->Release();
            DestroyWindow(hwnd);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
