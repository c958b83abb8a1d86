// Tests of surface copies, declarations, shaders and back-end selection of the Direct3D 9 core (software back end).
#include "platform/d3d9/soft_device_testing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class ResourceTest : public SoftDeviceTest {
protected:
    void SetUp() override { Open(D3DCREATE_SOFTWARE_VERTEXPROCESSING, 64, 64, D3DFMT_A8R8G8B8); }

    // Reads one 32-bit texel of a render target through a system-memory copy.
    DWORD ReadTarget(IDirect3DSurface9* target, int x, int y)
    {
        D3DSURFACE_DESC desc;
        target->GetDesc(&desc);
        IDirect3DSurface9* copy = nullptr;
        EXPECT_EQ(
            dev->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr),
            D3D_OK);
        EXPECT_EQ(dev->GetRenderTargetData(target, copy), D3D_OK);
        D3DLOCKED_RECT lr;
        EXPECT_EQ(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        DWORD v = (reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(lr.pBits) + y * lr.Pitch))[x];
        copy->UnlockRect();
        copy->Release();
        return v;
    }
};

TEST_F(ResourceTest, UpdateSurfaceAndUpdateTextureCopyIntoTheDefaultPool)
{
    IDirect3DTexture9* staging = nullptr;
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(dev->CreateTexture(16, 16, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staging, nullptr), D3D_OK);
    ASSERT_EQ(dev->CreateTexture(16, 16, 2, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr),
              D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(staging->LockRect(1, &lr, nullptr, 0), D3D_OK);
    static_cast<DWORD*>(lr.pBits)[3] = 0x01020304;
    staging->UnlockRect(1);
    // A system-memory texture cannot be drawn from.
    EXPECT_EQ(dev->SetTexture(0, staging), D3DERR_INVALIDCALL);

    D3D9SoftClearLog(dev);
    ASSERT_EQ(dev->UpdateTexture(staging, target), D3D_OK);
    EXPECT_EQ(D3D9SoftCount(dev, D3D9SOFT_UPLOAD), 2u);
    ASSERT_EQ(target->LockRect(1, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<DWORD*>(lr.pBits)[3], 0x01020304u);
    target->UnlockRect(1);
    EXPECT_EQ(dev->UpdateTexture(target, staging), D3DERR_INVALIDCALL);  // wrong direction

    IDirect3DSurface9* from = nullptr;
    IDirect3DSurface9* to = nullptr;
    staging->GetSurfaceLevel(0, &from);
    target->GetSurfaceLevel(0, &to);
    ASSERT_EQ(staging->LockRect(0, &lr, nullptr, 0), D3D_OK);
    (reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + 2 * lr.Pitch))[1] = 0xAABBCCDD;  // texel (1, 2)
    staging->UnlockRect(0);
    RECT source = {1, 2, 3, 4};
    POINT at = {10, 12};
    ASSERT_EQ(dev->UpdateSurface(from, &source, to, &at), D3D_OK);
    ASSERT_EQ(target->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ((reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + 12 * lr.Pitch))[10], 0xAABBCCDDu);
    target->UnlockRect(0);
    POINT outside = {15, 15};
    EXPECT_EQ(dev->UpdateSurface(from, &source, to, &outside), D3DERR_INVALIDCALL);
    from->Release();
    to->Release();
    staging->Release();
    target->Release();
}

TEST_F(ResourceTest, ColorFillAndStretchRectReachRenderTargets)
{
    IDirect3DSurface9* rt = nullptr;
    IDirect3DSurface9* plain = nullptr;
    ASSERT_EQ(dev->CreateRenderTarget(32, 32, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &rt, nullptr), D3D_OK);
    ASSERT_EQ(dev->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr), D3D_OK);
    ASSERT_EQ(dev->ColorFill(plain, nullptr, 0xFF00FF00), D3D_OK);
    RECT corner = {0, 0, 4, 4};
    ASSERT_EQ(dev->ColorFill(rt, &corner, 0xFFFF0000), D3D_OK);
    EXPECT_EQ(ReadTarget(rt, 3, 3), 0xFFFF0000u);
    EXPECT_EQ(ReadTarget(rt, 4, 4), 0u);
    // Stretch the 8x8 green surface over the right half of the target.
    RECT half = {16, 0, 32, 32};
    ASSERT_EQ(dev->StretchRect(plain, nullptr, rt, &half, D3DTEXF_POINT), D3D_OK);
    EXPECT_EQ(ReadTarget(rt, 16, 0), 0xFF00FF00u);
    EXPECT_EQ(ReadTarget(rt, 31, 31), 0xFF00FF00u);
    EXPECT_EQ(ReadTarget(rt, 15, 31), 0u);
    // The destination must be a render target; rects must lie inside.
    EXPECT_EQ(dev->StretchRect(rt, nullptr, plain, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    RECT tooBig = {0, 0, 33, 1};
    EXPECT_EQ(dev->StretchRect(plain, nullptr, rt, &tooBig, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    rt->Release();
    plain->Release();
}

// The raster code copies between managed textures and cameras in both directions.
TEST_F(ResourceTest, CopiesBetweenManagedTexturesAndRenderTargets)
{
    IDirect3DTexture9* managed = nullptr;
    ASSERT_EQ(dev->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(managed->LockRect(0, &lr, nullptr, 0), D3D_OK);
    static_cast<DWORD*>(lr.pBits)[0] = 0xFF123456;
    managed->UnlockRect(0);
    IDirect3DSurface9* level = nullptr;
    IDirect3DSurface9* back = nullptr;
    managed->GetSurfaceLevel(0, &level);
    dev->GetRenderTarget(0, &back);
    RECT one = {0, 0, 1, 1};
    POINT at = {5, 6};
    ASSERT_EQ(dev->UpdateSurface(level, &one, back, &at), D3D_OK);
    EXPECT_EQ(ReadTarget(back, 5, 6), 0xFF123456u);

    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    D3D9SoftClearLog(dev);
    ASSERT_EQ(dev->GetRenderTargetData(back, level), D3D_OK);
    EXPECT_EQ(D3D9SoftCount(dev, D3D9SOFT_UPLOAD), 1u);  // the managed copy goes to the back end too
    ASSERT_EQ(managed->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<DWORD*>(lr.pBits)[63 * lr.Pitch / 4 + 63], 0xFF00FF00u);
    managed->UnlockRect(0);
    // Copies need matching formats and never write into system memory by UpdateSurface.
    IDirect3DSurface9* sys = nullptr;
    ASSERT_EQ(dev->CreateOffscreenPlainSurface(64, 64, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr), D3D_OK);
    EXPECT_EQ(dev->UpdateSurface(level, nullptr, sys, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->UpdateSurface(back, nullptr, level, nullptr), D3DERR_INVALIDCALL);
    sys->Release();
    level->Release();
    back->Release();
    managed->Release();
}

TEST_F(ResourceTest, RenderTargetSwitchResetsTheViewport)
{
    IDirect3DSurface9* rt = nullptr;
    ASSERT_EQ(dev->CreateRenderTarget(16, 8, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &rt, nullptr), D3D_OK);
    D3DVIEWPORT9 vp = {4, 4, 40, 40, 0.0f, 1.0f};
    ASSERT_EQ(dev->SetViewport(&vp), D3D_OK);
    ASSERT_EQ(dev->SetRenderTarget(0, rt), D3D_OK);
    ASSERT_EQ(dev->GetViewport(&vp), D3D_OK);
    EXPECT_EQ(vp.X, 0u);
    EXPECT_EQ(vp.Width, 16u);
    EXPECT_EQ(vp.Height, 8u);
    D3DVIEWPORT9 tooBig = {0, 0, 17, 8, 0.0f, 1.0f};
    EXPECT_EQ(dev->SetViewport(&tooBig), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetRenderTarget(1, nullptr), D3D_OK);
    EXPECT_EQ(dev->SetRenderTarget(1, rt), D3DERR_INVALIDCALL);  // one simultaneous target

    // Clear honours the scissor rectangle when it is enabled.
    RECT scissor = {0, 0, 2, 2};
    dev->SetScissorRect(&scissor);
    dev->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
    EXPECT_EQ(ReadTarget(rt, 1, 1), 0xFF0000FFu);
    EXPECT_EQ(ReadTarget(rt, 2, 1), 0u);
    rt->Release();  // still bound: stays usable
    IDirect3DSurface9* bound = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &bound), D3D_OK);
    EXPECT_EQ(bound, rt);
    bound->Release();
}

TEST_F(ResourceTest, DeclarationsAreCheckedAndReturnedWithTheirEnd)
{
    const D3DVERTEXELEMENT9 good[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                      {0, 12, D3DDECLTYPE_DEC3N, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
                                      {1, 0, D3DDECLTYPE_USHORT2N, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
                                      D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(dev->CreateVertexDeclaration(good, &decl), D3D_OK);
    D3DVERTEXELEMENT9 back[4];
    UINT count = 0;
    ASSERT_EQ(decl->GetDeclaration(nullptr, &count), D3D_OK);
    ASSERT_EQ(count, 4u);
    ASSERT_EQ(decl->GetDeclaration(back, &count), D3D_OK);
    EXPECT_EQ(back[1].Type, D3DDECLTYPE_DEC3N);
    EXPECT_EQ(back[2].Stream, 1u);
    EXPECT_EQ(back[3].Stream, 0xFFu);
    EXPECT_EQ(back[3].Type, D3DDECLTYPE_UNUSED);
    // A declaration and an FVF exclude each other.
    dev->SetFVF(D3DFVF_XYZ);
    dev->SetVertexDeclaration(decl);
    DWORD fvf = 1;
    dev->GetFVF(&fvf);
    EXPECT_EQ(fvf, 0u);
    decl->Release();

    const D3DVERTEXELEMENT9 badType[] = {{0, 0, 17, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    const D3DVERTEXELEMENT9 badStream[] = {{16, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* bad = reinterpret_cast<IDirect3DVertexDeclaration9*>(1);
    EXPECT_EQ(dev->CreateVertexDeclaration(badType, &bad), D3DERR_INVALIDCALL);
    EXPECT_EQ(bad, nullptr);
    EXPECT_EQ(dev->CreateVertexDeclaration(badStream, &bad), D3DERR_INVALIDCALL);
}

TEST_F(ResourceTest, ShadersKeepTheirTokensUpToTheEnd)
{
    const DWORD vs[] = {0xFFFE0101, 0x00000001, 0x800F0000, 0x90E40000, 0x0000FFFF, 0xDEADBEEF};
    IDirect3DVertexShader9* shader = nullptr;
    ASSERT_EQ(dev->CreateVertexShader(vs, &shader), D3D_OK);
    UINT size = 0;
    ASSERT_EQ(shader->GetFunction(nullptr, &size), D3D_OK);
    EXPECT_EQ(size, 5u * sizeof(DWORD));
    DWORD copy[5] = {};
    ASSERT_EQ(shader->GetFunction(copy, &size), D3D_OK);
    EXPECT_EQ(copy[4], 0x0000FFFFu);
    ASSERT_EQ(dev->SetVertexShader(shader), D3D_OK);
    EXPECT_EQ(shader->Release(), 0u);  // the device keeps the bound shader
    IDirect3DVertexShader9* bound = nullptr;
    dev->GetVertexShader(&bound);
    EXPECT_EQ(bound, shader);
    bound->Release();
    dev->SetVertexShader(nullptr);
    // A pixel-shader version token is not a vertex shader.
    const DWORD ps[] = {0xFFFF0101, 0x0000FFFF};
    EXPECT_EQ(dev->CreateVertexShader(ps, &shader), D3DERR_INVALIDCALL);
    IDirect3DPixelShader9* pixel = nullptr;
    ASSERT_EQ(dev->CreatePixelShader(ps, &pixel), D3D_OK);
    EXPECT_EQ(pixel->Release(), 0u);
    float c[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(dev->SetVertexShaderConstantF(254, c, 2), D3D_OK);
    EXPECT_EQ(dev->SetVertexShaderConstantF(255, c, 2), D3DERR_INVALIDCALL);
    float back[4];
    dev->GetVertexShaderConstantF(255, back, 1);
    EXPECT_EQ(back[0], 5.0f);
}

TEST_F(ResourceTest, BufferLocksNestAndUploadTheirUnion)
{
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(128, D3DUSAGE_WRITEONLY, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    D3DVERTEXBUFFER_DESC desc;
    vb->GetDesc(&desc);
    EXPECT_EQ(desc.FVF, static_cast<DWORD>(D3DFVF_XYZ));
    EXPECT_EQ(desc.Size, 128u);
    void* a = nullptr;
    void* b = nullptr;
    D3D9SoftClearLog(dev);
    ASSERT_EQ(vb->Lock(8, 8, &a, 0), D3D_OK);
    ASSERT_EQ(vb->Lock(64, 16, &b, 0), D3D_OK);
    EXPECT_EQ(static_cast<BYTE*>(b) - static_cast<BYTE*>(a), 56);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(D3D9SoftCount(dev, D3D9SOFT_UPLOAD), 0u);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    const D3D9SoftEvent* up = D3D9SoftLast(dev, D3D9SOFT_UPLOAD);
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->a, 8u);
    EXPECT_EQ(up->b, 72u);
    vb->Release();
    IDirect3DVertexBuffer9* tooSmall = nullptr;
    EXPECT_EQ(dev->CreateVertexBuffer(8, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &tooSmall, nullptr), D3DERR_INVALIDCALL);
    IDirect3DIndexBuffer9* ib = nullptr;
    EXPECT_EQ(dev->CreateIndexBuffer(8, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->CreateIndexBuffer(8, D3DUSAGE_DYNAMIC, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
              D3DERR_INVALIDCALL);
}

TEST(Direct3DCreate, EnvironmentChoosesTheBackEnd)
{
    EXPECT_EQ(Direct3DCreate9(20), nullptr);
    const char* old = std::getenv("MALL_D3D9_BACKEND");
    std::string saved = old ? old : "";
    setenv("MALL_D3D9_BACKEND", "software", 1);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    EXPECT_TRUE(D3D9SoftIsSoftware(d3d));
    D3DADAPTER_IDENTIFIER9 id;
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), D3D_OK);
    EXPECT_GT(std::strlen(id.Description), 0u);
    EXPECT_LT(std::strlen(id.Description), 80u);  // the launcher shows at most 80 characters
    EXPECT_EQ(d3d->Release(), 0u);
    if (old) {
        setenv("MALL_D3D9_BACKEND", saved.c_str(), 1);
    } else {
        unsetenv("MALL_D3D9_BACKEND");
    }
}

}  // namespace
