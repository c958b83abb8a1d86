// d3d9cube: a spinning lit, textured cube drawn through the Direct3D 9 layer in a Win32-layer window.
//
//   d3d9cube                                   runs until the window is closed (or Escape)
//   d3d9cube --frames N --screenshot out.bmp   draws N frames and writes the last as a BMP
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/headless.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3dx9.h"
#include "platform/win32/windows.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const UINT kWidth = 640;
const UINT kHeight = 480;

struct CubeVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
const DWORD kCubeFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

struct Options {
    int frames = 0;  // 0: until the window closes
    std::string screenshot;
};

bool ParseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            options->frames = std::atoi(argv[++i]);
            if (options->frames <= 0)
                return false;
        } else if (arg == "--screenshot" && i + 1 < argc) {
            options->screenshot = argv[++i];
        } else {
            return false;
        }
    }
    return options->screenshot.empty() || options->frames > 0;
}

LRESULT CALLBACK CubeWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    if (msg == WM_KEYDOWN && wParam == VK_ESCAPE) {
        DestroyWindow(hwnd);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND OpenWindow()
{
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = CubeWindowProc;
    wc.lpszClassName = "D3D9Cube";
    if (!RegisterClassA(&wc))
        return nullptr;
    RECT r = {0, 0, static_cast<LONG>(kWidth), static_cast<LONG>(kHeight)};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    HWND hwnd = CreateWindowExA(0, "D3D9Cube", "d3d9cube", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    if (hwnd) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
        UpdateWindow(hwnd);
    }
    return hwnd;
}

// ---------------------------------------------------------------- matrices (row vectors)

D3DXMATRIX Identity()
{
    D3DXMATRIX identity;
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
    return identity;
}

D3DXMATRIX RotationX(float a)
{
    D3DXMATRIX m = Identity();
    m._22 = std::cos(a);
    m._23 = std::sin(a);
    m._32 = -std::sin(a);
    m._33 = std::cos(a);
    return m;
}

D3DXMATRIX RotationY(float a)
{
    D3DXMATRIX m = Identity();
    m._11 = std::cos(a);
    m._13 = -std::sin(a);
    m._31 = std::sin(a);
    m._33 = std::cos(a);
    return m;
}

// Left-handed perspective: x right, y up, z into the screen.
D3DMATRIX Perspective(float fovY, float aspect, float zn, float zf)
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof(m));
    const float ys = 1.0f / std::tan(fovY * 0.5f);
    m._11 = ys / aspect;
    m._22 = ys;
    m._33 = zf / (zf - zn);
    m._34 = 1.0f;
    m._43 = -zn * zf / (zf - zn);
    return m;
}

// ---------------------------------------------------------------- scene resources

void Cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// Six faces of four vertices, clockwise seen from outside (Direct3D's front faces).
void BuildCube(std::vector<CubeVertex>* vertices, std::vector<uint16_t>* indices)
{
    static const float kNormals[6][3] = {{0, 0, -1}, {0, 0, 1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    for (int f = 0; f < 6; ++f) {
        const float* n = kNormals[f];
        const float up[3] = {0.0f, n[1] == 0.0f ? 1.0f : 0.0f, n[1] == 0.0f ? 0.0f : 1.0f};
        float right[3];
        Cross(n, up, right);
        const float corners[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};  // TL, TR, BR, BL
        const uint16_t base = static_cast<uint16_t>(vertices->size());
        for (const auto& c : corners) {
            CubeVertex v;
            v.x = n[0] + c[0] * right[0] + c[1] * up[0];
            v.y = n[1] + c[0] * right[1] + c[1] * up[1];
            v.z = n[2] + c[0] * right[2] + c[1] * up[2];
            v.nx = n[0];
            v.ny = n[1];
            v.nz = n[2];
            v.u = (c[0] + 1.0f) * 0.5f;
            v.v = (1.0f - c[1]) * 0.5f;
            vertices->push_back(v);
        }
        const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
        for (uint16_t q : quad)
            indices->push_back(static_cast<uint16_t>(base + q));
    }
}

// A checker of warm and cool squares with a border, so orientation shows.
IDirect3DTexture9* MakeTexture(IDirect3DDevice9* dev)
{
    const UINT size = 64;
    IDirect3DTexture9* tex = nullptr;
    if (FAILED(dev->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr)))
        return nullptr;
    D3DLOCKED_RECT lr;
    if (FAILED(tex->LockRect(0, &lr, nullptr, 0))) {
        tex->Release();
        return nullptr;
    }
    for (UINT y = 0; y < size; ++y) {
        DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch);
        for (UINT x = 0; x < size; ++x) {
            const bool border = x < 3 || y < 3 || x >= size - 3 || y >= size - 3;
            const bool check = ((x / 16) + (y / 16)) % 2 == 0;
            DWORD c = check ? D3DCOLOR_XRGB(240, 160, 40) : D3DCOLOR_XRGB(40, 120, 220);
            if (y < 16 && x < 16)
                c = D3DCOLOR_XRGB(230, 30, 30);  // marks the top-left corner
            if (border)
                c = D3DCOLOR_XRGB(250, 250, 250);
            row[x] = c;
        }
    }
    tex->UnlockRect(0);
    return tex;
}

void SetLighting(IDirect3DDevice9* dev)
{
    D3DMATERIAL9 mat;
    std::memset(&mat, 0, sizeof(mat));
    mat.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    mat.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    mat.Specular = {0.6f, 0.6f, 0.6f, 1.0f};
    mat.Power = 24.0f;
    dev->SetMaterial(&mat);
    D3DLIGHT9 light;
    std::memset(&light, 0, sizeof(light));
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 0.95f, 0.85f, 1.0f};
    light.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Direction = {0.45f, -0.55f, 0.7f};
    dev->SetLight(0, &light);
    dev->LightEnable(0, TRUE);
    dev->SetRenderState(D3DRS_LIGHTING, TRUE);
    dev->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(50, 50, 60));
    dev->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    dev->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
}

// ---------------------------------------------------------------- screenshots

// The graphics core is opened only to save the screenshot with its BMP writer. Its image and file
// code needs no device, so the driver's device accepts the engine's lifecycle requests and no other.
GxBool ScreenshotDeviceSystem(GxInt32 request, void*, void*, GxInt32) { return GxTestIsLifecycleRequest(request); }

GxDevice screenshotDevice = {
    1.0f, ScreenshotDeviceSystem, 0.0f, 1.0f, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};
GxDevice* ScreenshotDevice() { return &screenshotDevice; }
const GxDriver kScreenshotDriver = {ScreenshotDevice, nullptr, nullptr};
constexpr GxUInt32 kScreenshotArena = 0x100000;

// pixels: B,G,R,A rows from the top, written as a BMP through the core's image writer.
bool WriteImage(const std::string& path, const std::vector<unsigned char>& pixels, UINT w, UINT h, HWND window)
{
    GxEngineSetDriver(&kScreenshotDriver);
    if (!GxEngineInit(nullptr, 0, kScreenshotArena) || !GxTestFileSystemOpen() || !GxEngineOpen(&window)) {
        GxFileSystemManagerClose();
        GxEngineTerm();
        return false;
    }
    bool ok = false;
    if (GxEngineStart()) {
        ok = GxTestWriteScreenshot(path.c_str(), pixels.data(), static_cast<GxInt32>(w), static_cast<GxInt32>(h),
                                   static_cast<size_t>(w) * 4);
        GxEngineStop();
    }
    GxEngineClose();
    GxFileSystemManagerClose();
    GxEngineTerm();
    return ok;
}

bool SaveBackBuffer(IDirect3DDevice9* dev, const std::string& path, HWND window)
{
    IDirect3DSurface9* rt = nullptr;
    IDirect3DSurface9* copy = nullptr;
    if (FAILED(dev->GetRenderTarget(0, &rt)))
        return false;
    D3DSURFACE_DESC desc;
    rt->GetDesc(&desc);
    bool ok = false;
    if (SUCCEEDED(dev->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy,
                                                   nullptr)) &&
        SUCCEEDED(dev->GetRenderTargetData(rt, copy))) {
        D3DLOCKED_RECT lr;
        if (SUCCEEDED(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
            std::vector<unsigned char> pixels(static_cast<size_t>(desc.Width) * desc.Height * 4);
            for (UINT y = 0; y < desc.Height; ++y) {
                std::memcpy(&pixels[static_cast<size_t>(y) * desc.Width * 4],
                            static_cast<const BYTE*>(lr.pBits) + y * lr.Pitch, desc.Width * 4);
            }
            copy->UnlockRect();
            ok = WriteImage(path, pixels, desc.Width, desc.Height, window);
        }
    }
    if (copy)
        copy->Release();
    rt->Release();
    return ok;
}

// ---------------------------------------------------------------- main loop

struct Scene {
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    IDirect3DTexture9* texture = nullptr;
    UINT vertexCount = 0;
    UINT triangleCount = 0;

    ~Scene()
    {
        if (vb)
            vb->Release();
        if (ib)
            ib->Release();
        if (texture)
            texture->Release();
    }
};

bool BuildScene(IDirect3DDevice9* dev, Scene* scene)
{
    std::vector<CubeVertex> vertices;
    std::vector<uint16_t> indices;
    BuildCube(&vertices, &indices);
    const UINT vbytes = static_cast<UINT>(vertices.size() * sizeof(CubeVertex));
    const UINT ibytes = static_cast<UINT>(indices.size() * sizeof(uint16_t));
    if (FAILED(dev->CreateVertexBuffer(vbytes, D3DUSAGE_WRITEONLY, kCubeFVF, D3DPOOL_MANAGED, &scene->vb, nullptr))) {
        return false;
    }
    if (FAILED(
            dev->CreateIndexBuffer(ibytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &scene->ib, nullptr))) {
        return false;
    }
    void* p = nullptr;
    if (FAILED(scene->vb->Lock(0, 0, &p, 0)))
        return false;
    std::memcpy(p, vertices.data(), vbytes);
    scene->vb->Unlock();
    if (FAILED(scene->ib->Lock(0, 0, &p, 0)))
        return false;
    std::memcpy(p, indices.data(), ibytes);
    scene->ib->Unlock();
    scene->texture = MakeTexture(dev);
    scene->vertexCount = static_cast<UINT>(vertices.size());
    scene->triangleCount = static_cast<UINT>(indices.size() / 3);
    return scene->texture != nullptr;
}

void DrawFrame(IDirect3DDevice9* dev, const Scene& scene, float t)
{
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(24, 28, 40), 1.0f, 0);
    if (FAILED(dev->BeginScene()))
        return;
    // Spin about the vertical axis, tilted towards the camera so three faces show.
    const D3DXMATRIX spin = RotationY(t), tilt = RotationX(-0.55f);
    D3DXMATRIX world;
    D3DXMatrixMultiply(&world, &spin, &tilt);
    D3DXMATRIX view = Identity();
    view._43 = 4.5f;  // camera 4.5 units in front of the cube, looking down +z
    const D3DMATRIX proj = Perspective(0.9f, static_cast<float>(kWidth) / kHeight, 0.5f, 50.0f);
    dev->SetTransform(D3DTS_WORLD, &world);
    dev->SetTransform(D3DTS_VIEW, &view);
    dev->SetTransform(D3DTS_PROJECTION, &proj);
    SetLighting(dev);
    dev->SetTexture(0, scene.texture);
    dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    dev->SetFVF(kCubeFVF);
    dev->SetStreamSource(0, scene.vb, 0, sizeof(CubeVertex));
    dev->SetIndices(scene.ib);
    dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, scene.vertexCount, 0, scene.triangleCount);
    dev->EndScene();
}

int Run(const Options& options)
{
    HWND hwnd = OpenWindow();
    if (!hwnd) {
        std::fprintf(stderr, "d3d9cube: cannot open a window\n");
        return 1;
    }
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) {
        std::fprintf(stderr, "d3d9cube: no Direct3D 9\n");
        return 1;
    }
    D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(kWidth, kHeight, hwnd);
    if (!options.frames)
        pp.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    IDirect3DDevice9* dev = nullptr;
    if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev))) {
        std::fprintf(stderr, "d3d9cube: cannot create the device\n");
        d3d->Release();
        return 1;
    }
    int result = 0;
    {
        Scene scene;
        if (!BuildScene(dev, &scene)) {
            std::fprintf(stderr, "d3d9cube: cannot build the scene\n");
            result = 1;
        }
        bool running = result == 0;
        for (int frame = 0; running; ++frame) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT)
                    running = false;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (!running)
                break;
            DrawFrame(dev, scene, static_cast<float>(frame) * (1.0f / 60.0f) + 0.6f);
            const bool last = options.frames > 0 && frame + 1 >= options.frames;
            if (last && !options.screenshot.empty() && !SaveBackBuffer(dev, options.screenshot, hwnd)) {
                std::fprintf(stderr, "d3d9cube: cannot write %s\n", options.screenshot.c_str());
                result = 1;
            }
            dev->Present(nullptr, nullptr, nullptr, nullptr);
            if (last)
                running = false;
        }
    }
    dev->Release();
    d3d->Release();
    DestroyWindow(hwnd);  // fails harmlessly when the window is already gone
    UnregisterClassA("D3D9Cube", nullptr);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: d3d9cube [--frames N [--screenshot file.bmp]]\n");
        return 2;
    }
    return Run(options);
}
