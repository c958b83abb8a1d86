// Fixture and scene helpers of the OpenGL back end's pixel tests: devices on both back ends, scenes drawn
// through the Direct3D 9 layer and read back, compared with the software back end's draw calls.
#pragma once

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/gl_local.h"
#include "platform/testsupport/softdevice.h"
#include "platform/win32/gl_required_testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

constexpr UINT kW = 64;
constexpr UINT kH = 64;

struct TLVertex {  // XYZRHW | DIFFUSE | TEX1
    float x, y, z, rhw;
    DWORD color;
    float u, v;
};
constexpr DWORD kTLFVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct LitVertex {  // XYZ | NORMAL | DIFFUSE | TEX1
    float x, y, z;
    float nx, ny, nz;
    DWORD color;
    float u, v;
};
constexpr DWORD kLitFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct NormalVertex {  // XYZ | NORMAL
    float x, y, z;
    float nx, ny, nz;
};
constexpr DWORD kNormalFVF = D3DFVF_XYZ | D3DFVF_NORMAL;

typedef std::function<void(IDirect3DDevice9*)> Scene;

struct Rgb {
    int r, g, b, a;
};

inline Rgb SplitArgb(DWORD argb)
{
    return {static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF), static_cast<int>(argb & 0xFF),
            static_cast<int>(argb >> 24)};
}

inline ::testing::AssertionResult Near(DWORD argb, int r, int g, int b, int tolerance = 3)
{
    const Rgb c = SplitArgb(argb);
    if (std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "got (" << c.r << "," << c.g << "," << c.b << ") want (" << r << "," << g
                                         << "," << b << ")";
}

// The corners of a quad as a list of two triangles, screen-clockwise (Direct3D's front faces).
template <typename Vertex>
void QuadAsList(const Vertex& tl, const Vertex& tr, const Vertex& bl, const Vertex& br, Vertex out[6])
{
    out[0] = tl;
    out[1] = tr;
    out[2] = bl;
    out[3] = bl;
    out[4] = tr;
    out[5] = br;
}

inline void MakeTLQuad(float x0, float y0, float x1, float y1, DWORD color, TLVertex out[6], float z = 0.5f)
{
    const TLVertex tl = {x0, y0, z, 1.0f, color, 0.0f, 0.0f};
    const TLVertex tr = {x1, y0, z, 1.0f, color, 1.0f, 0.0f};
    const TLVertex bl = {x0, y1, z, 1.0f, color, 0.0f, 1.0f};
    const TLVertex br = {x1, y1, z, 1.0f, color, 1.0f, 1.0f};
    QuadAsList(tl, tr, bl, br, out);
}

// A 2x2 cube texture with one colour per face, in face order +X -X +Y -Y +Z -Z; null when it can not be made.
inline IDirect3DCubeTexture9* MakeFaceColouredCube(IDirect3DDevice9* dev)
{
    static const DWORD colours[6] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u, 0xFFFF00FFu, 0xFF00FFFFu};
    IDirect3DCubeTexture9* cube = nullptr;
    if (dev->CreateCubeTexture(2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr) != D3D_OK)
        return nullptr;
    for (int face = 0; face < 6; ++face) {
        D3DLOCKED_RECT lr;
        if (cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 0, &lr, nullptr, 0) != D3D_OK) {
            cube->Release();
            return nullptr;
        }
        for (int y = 0; y < 2; ++y) {
            DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch);
            row[0] = row[1] = colours[face];
        }
        cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 0);
    }
    return cube;
}

inline D3DMATRIX MakeIdentity()
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof(m));
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Left-handed orthographic projection of a 2 x 2 window, z 0..10.
inline D3DMATRIX MakeOrtho()
{
    D3DMATRIX m = MakeIdentity();
    m._33 = 1.0f / 10.0f;
    return m;
}

// A quad filling the 2 x 2 window at depth z, facing the camera (-z).
inline void MakeFacingQuad(float z, DWORD color, LitVertex out[6])
{
    const LitVertex tl = {-1, 1, z, 0, 0, -1, color, 0, 0};
    const LitVertex tr = {1, 1, z, 0, 0, -1, color, 1, 0};
    const LitVertex bl = {-1, -1, z, 0, 0, -1, color, 0, 1};
    const LitVertex br = {1, -1, z, 0, 0, -1, color, 1, 1};
    QuadAsList(tl, tr, bl, br, out);
}

inline void SetUp3D(IDirect3DDevice9* dev)
{
    const D3DMATRIX id = MakeIdentity(), proj = MakeOrtho();
    dev->SetTransform(D3DTS_WORLD, &id);
    dev->SetTransform(D3DTS_VIEW, &id);
    dev->SetTransform(D3DTS_PROJECTION, &proj);
}

inline D3DMATERIAL9 MakeWhiteMaterial()
{
    D3DMATERIAL9 m;
    std::memset(&m, 0, sizeof(m));
    m.Diffuse = {1, 1, 1, 1};
    m.Ambient = {1, 1, 1, 1};
    return m;
}

inline IDirect3D9* MakeOpenGLDirect3D()
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
            MALL_GL_MISSING("no OpenGL context here");
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
