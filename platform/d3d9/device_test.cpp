// Tests of the Direct3D 9 device core on the software back end.
#include "platform/d3d9/soft_device_testing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// ---------------------------------------------------------------- reference counts

TEST_F(DeviceTest, ReferenceCounts)
{
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(dev->CreateTexture(64, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    EXPECT_EQ(tex->GetLevelCount(), 7u);
    EXPECT_EQ(tex->AddRef(), 2u);
    EXPECT_EQ(tex->Release(), 1u);

    // Level surfaces count on their texture.
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(tex->GetSurfaceLevel(2, &level), D3D_OK);
    EXPECT_EQ(tex->AddRef(), 3u);
    EXPECT_EQ(tex->Release(), 2u);
    EXPECT_EQ(level->Release(), 1u);

    // A bound texture outlives the caller's last reference; the binding keeps it.
    D3D9SoftClearLog(dev);
    EXPECT_EQ(dev->SetTexture(0, tex), D3D_OK);
    EXPECT_EQ(tex->Release(), 0u);
    EXPECT_EQ(CountEvents(D3D9SOFT_DESTROY), 0u);
    IDirect3DBaseTexture9* got = nullptr;
    ASSERT_EQ(dev->GetTexture(0, &got), D3D_OK);
    ASSERT_EQ(got, static_cast<IDirect3DBaseTexture9*>(tex));
    EXPECT_EQ(got->GetLevelCount(), 7u);
    EXPECT_EQ(got->Release(), 0u);
    EXPECT_EQ(dev->SetTexture(0, nullptr), D3D_OK);
    EXPECT_EQ(CountEvents(D3D9SOFT_DESTROY), 1u);
}

TEST_F(DeviceTest, ReleaseUntilZeroIsSafeWhileBound)
{
    IDirect3DVertexDeclaration9* decl = nullptr;
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    ASSERT_EQ(dev->CreateVertexDeclaration(elements, &decl), D3D_OK);
    EXPECT_EQ(decl->AddRef(), 2u);
    ASSERT_EQ(dev->SetVertexDeclaration(decl), D3D_OK);
    // A caller that releases until the count reaches 0 must not free what the device still uses.
    while (decl->Release() > 0) {}
    EXPECT_EQ(decl->Release(), 0u);  // over-release is ignored
    IDirect3DVertexDeclaration9* bound = nullptr;
    ASSERT_EQ(dev->GetVertexDeclaration(&bound), D3D_OK);
    UINT count = 0;
    EXPECT_EQ(bound->GetDeclaration(nullptr, &count), D3D_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(bound->Release(), 0u);
    // SetFVF replaces the declaration, which then goes.
    D3D9SoftClearLog(dev);
    EXPECT_EQ(dev->SetFVF(D3DFVF_XYZ), D3D_OK);
    EXPECT_EQ(D3D9SoftLast(dev, D3D9SOFT_DESTROY)->kind, static_cast<DWORD>(D3D9SOFT_DECLARATION));
}

// Setting again an object whose only reference is its binding must take the
// new reference before it drops the old one: the other order frees the object
// in the middle of the call (AddressSanitizer reports the use after free).
TEST_F(DeviceTest, RebindingAnObjectOnlyItsBindingHoldsKeepsItAlive)
{
    size_t destroyed = CountEvents(D3D9SOFT_DESTROY);
    auto expectDestroyedOnUnbind = [&](HRESULT unbind) {
        EXPECT_EQ(unbind, D3D_OK);
        EXPECT_EQ(CountEvents(D3D9SOFT_DESTROY), destroyed + 1);
        destroyed = CountEvents(D3D9SOFT_DESTROY);
    };

    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(dev->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    ASSERT_EQ(dev->SetTexture(0, tex), D3D_OK);
    EXPECT_EQ(tex->Release(), 0u);
    EXPECT_EQ(dev->SetTexture(0, tex), D3D_OK);
    EXPECT_EQ(tex->GetLevelCount(), 1u);
    expectDestroyedOnUnbind(dev->SetTexture(0, nullptr));

    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(dev->CreateCubeTexture(8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    ASSERT_EQ(dev->SetTexture(1, cube), D3D_OK);
    EXPECT_EQ(cube->Release(), 0u);
    EXPECT_EQ(dev->SetTexture(1, cube), D3D_OK);
    EXPECT_EQ(cube->GetLevelCount(), 1u);
    expectDestroyedOnUnbind(dev->SetTexture(1, nullptr));

    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(dev->SetStreamSource(0, vb, 0, 16), D3D_OK);
    EXPECT_EQ(vb->Release(), 0u);
    EXPECT_EQ(dev->SetStreamSource(0, vb, 0, 16), D3D_OK);
    D3DVERTEXBUFFER_DESC vbDesc;
    EXPECT_EQ(vb->GetDesc(&vbDesc), D3D_OK);
    expectDestroyedOnUnbind(dev->SetStreamSource(0, nullptr, 0, 0));

    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(dev->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    ASSERT_EQ(dev->SetIndices(ib), D3D_OK);
    EXPECT_EQ(ib->Release(), 0u);
    EXPECT_EQ(dev->SetIndices(ib), D3D_OK);
    D3DINDEXBUFFER_DESC ibDesc;
    EXPECT_EQ(ib->GetDesc(&ibDesc), D3D_OK);
    expectDestroyedOnUnbind(dev->SetIndices(nullptr));

    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(dev->CreateVertexDeclaration(elements, &decl), D3D_OK);
    ASSERT_EQ(dev->SetVertexDeclaration(decl), D3D_OK);
    EXPECT_EQ(decl->Release(), 0u);
    EXPECT_EQ(dev->SetVertexDeclaration(decl), D3D_OK);
    UINT count = 0;
    EXPECT_EQ(decl->GetDeclaration(nullptr, &count), D3D_OK);
    expectDestroyedOnUnbind(dev->SetVertexDeclaration(nullptr));

    const DWORD vsTokens[] = {0xFFFE0101, 0x0000FFFF};
    IDirect3DVertexShader9* vs = nullptr;
    ASSERT_EQ(dev->CreateVertexShader(vsTokens, &vs), D3D_OK);
    ASSERT_EQ(dev->SetVertexShader(vs), D3D_OK);
    EXPECT_EQ(vs->Release(), 0u);
    EXPECT_EQ(dev->SetVertexShader(vs), D3D_OK);
    UINT size = 0;
    EXPECT_EQ(vs->GetFunction(nullptr, &size), D3D_OK);
    expectDestroyedOnUnbind(dev->SetVertexShader(nullptr));

    const DWORD psTokens[] = {0xFFFF0101, 0x0000FFFF};
    IDirect3DPixelShader9* ps = nullptr;
    ASSERT_EQ(dev->CreatePixelShader(psTokens, &ps), D3D_OK);
    ASSERT_EQ(dev->SetPixelShader(ps), D3D_OK);
    EXPECT_EQ(ps->Release(), 0u);
    EXPECT_EQ(dev->SetPixelShader(ps), D3D_OK);
    EXPECT_EQ(ps->GetFunction(nullptr, &size), D3D_OK);
    expectDestroyedOnUnbind(dev->SetPixelShader(nullptr));

    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(dev->GetDepthStencilSurface(&depth), D3D_OK);
    IDirect3DSurface9* ownDepth = nullptr;
    ASSERT_EQ(dev->CreateDepthStencilSurface(320, 240, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, FALSE, &ownDepth, nullptr),
              D3D_OK);
    ASSERT_EQ(dev->SetDepthStencilSurface(ownDepth), D3D_OK);
    EXPECT_EQ(ownDepth->Release(), 0u);
    EXPECT_EQ(dev->SetDepthStencilSurface(ownDepth), D3D_OK);
    D3DSURFACE_DESC desc;
    EXPECT_EQ(ownDepth->GetDesc(&desc), D3D_OK);
    expectDestroyedOnUnbind(dev->SetDepthStencilSurface(depth));
    depth->Release();

    // Render targets: a standalone surface, then a texture level whose binding
    // holds its whole texture.
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &back), D3D_OK);
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(dev->CreateRenderTarget(64, 64, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
              D3D_OK);
    ASSERT_EQ(dev->SetRenderTarget(0, target), D3D_OK);
    EXPECT_EQ(target->Release(), 0u);
    EXPECT_EQ(dev->SetRenderTarget(0, target), D3D_OK);
    EXPECT_EQ(target->GetDesc(&desc), D3D_OK);
    expectDestroyedOnUnbind(dev->SetRenderTarget(0, back));

    IDirect3DTexture9* targetTex = nullptr;
    ASSERT_EQ(
        dev->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &targetTex, nullptr),
        D3D_OK);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(targetTex->GetSurfaceLevel(0, &level), D3D_OK);
    ASSERT_EQ(dev->SetRenderTarget(0, level), D3D_OK);
    EXPECT_EQ(level->Release(), 1u);
    EXPECT_EQ(targetTex->Release(), 0u);
    EXPECT_EQ(dev->SetRenderTarget(0, level), D3D_OK);
    EXPECT_EQ(level->GetDesc(&desc), D3D_OK);
    expectDestroyedOnUnbind(dev->SetRenderTarget(0, back));
    back->Release();
}

TEST_F(DeviceTest, ABoundTextureLevelKeepsItsTextureAlive)
{
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(dev->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &tex, nullptr),
              D3D_OK);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(tex->GetSurfaceLevel(0, &level), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &back), D3D_OK);
    ASSERT_EQ(dev->SetRenderTarget(0, level), D3D_OK);
    EXPECT_EQ(level->Release(), 1u);
    EXPECT_EQ(tex->Release(), 0u);
    D3D9SoftClearLog(dev);
    IDirect3DSurface9* bound = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &bound), D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(bound->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 64u);
    EXPECT_EQ(bound->Release(), 0u);
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(CountEvents(D3D9SOFT_DESTROY), 0u);
    ASSERT_EQ(dev->SetRenderTarget(0, back), D3D_OK);
    EXPECT_EQ(CountEvents(D3D9SOFT_DESTROY), 1u);
    EXPECT_EQ(D3D9SoftLast(dev, D3D9SOFT_DESTROY)->kind, static_cast<DWORD>(D3D9SOFT_TEXTURE));
    back->Release();
}

TEST_F(DeviceTest, DefaultTargetsStayValidAfterTheCallerReleasesThem)
{
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &back), D3D_OK);
    ASSERT_EQ(dev->GetDepthStencilSurface(&depth), D3D_OK);
    EXPECT_EQ(back->Release(), 0u);
    EXPECT_EQ(depth->Release(), 0u);
    IDirect3DSurface9* again = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &again), D3D_OK);
    EXPECT_EQ(again, back);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(again->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 320u);
    EXPECT_EQ(desc.Usage & D3DUSAGE_RENDERTARGET, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
    again->Release();
    IDirect3DSurface9* same = nullptr;
    ASSERT_EQ(dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &same), D3D_OK);
    EXPECT_EQ(same, back);
    same->Release();
}

TEST_F(DeviceTest, ResourcesKeepTheDeviceAlive)
{
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(dev->CreateIndexBuffer(64, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    EXPECT_EQ(dev->Release(), 0u);
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(ib->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, dev);
    EXPECT_EQ(owner->Release(), 0u);
    EXPECT_EQ(ib->Release(), 0u);
    dev = nullptr;  // gone with its last resource
}

// ---------------------------------------------------------------- locks

TEST_F(DeviceTest, BufferLocksKeepOrDiscardContents)
{
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(256, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vb, nullptr),
              D3D_OK);
    BYTE* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, reinterpret_cast<void**>(&p), D3DLOCK_DISCARD), D3D_OK);
    for (int i = 0; i < 256; ++i)
        p[i] = static_cast<BYTE>(i);
    ASSERT_EQ(vb->Unlock(), D3D_OK);

    // A plain lock of a write-only buffer still reads back what was written.
    ASSERT_EQ(vb->Lock(16, 16, reinterpret_cast<void**>(&p), 0), D3D_OK);
    EXPECT_EQ(p[0], 16);
    EXPECT_EQ(p[15], 31);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    ASSERT_EQ(vb->Lock(100, 4, reinterpret_cast<void**>(&p), D3DLOCK_NOOVERWRITE), D3D_OK);
    EXPECT_EQ(p[0], 100);
    ASSERT_EQ(vb->Unlock(), D3D_OK);

    // DISCARD never hands back the old contents.
    ASSERT_EQ(vb->Lock(0, 32, reinterpret_cast<void**>(&p), D3DLOCK_DISCARD), D3D_OK);
    EXPECT_EQ(p[17], 0);
    D3D9SoftClearLog(dev);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    const D3D9SoftEvent* up = D3D9SoftLast(dev, D3D9SOFT_UPLOAD);
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->a, 0u);
    EXPECT_EQ(up->b, 32u);
    EXPECT_EQ(up->value & D3DLOCK_DISCARD, static_cast<DWORD>(D3DLOCK_DISCARD));

    // Out-of-range locks fail; unlocking an unlocked buffer fails; read-only locks upload nothing.
    EXPECT_EQ(vb->Lock(250, 16, reinterpret_cast<void**>(&p), 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    D3D9SoftClearLog(dev);
    ASSERT_EQ(vb->Lock(0, 0, reinterpret_cast<void**>(&p), D3DLOCK_READONLY), D3D_OK);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(CountEvents(D3D9SOFT_UPLOAD), 0u);
    vb->Release();
}

TEST_F(DeviceTest, DiscardOnAStaticBufferKeepsItsContents)
{
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(dev->CreateIndexBuffer(8, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    WORD* p = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, reinterpret_cast<void**>(&p), 0), D3D_OK);
    p[0] = 7;
    p[3] = 9;
    ASSERT_EQ(ib->Unlock(), D3D_OK);
    ASSERT_EQ(ib->Lock(0, 0, reinterpret_cast<void**>(&p), D3DLOCK_DISCARD), D3D_OK);
    EXPECT_EQ(p[0], 7);
    EXPECT_EQ(p[3], 9);
    ASSERT_EQ(ib->Unlock(), D3D_OK);
    ib->Release();
}

TEST_F(DeviceTest, TextureLevelLocks)
{
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(dev->CreateTexture(32, 16, 3, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(tex->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 4u);
    EXPECT_EQ(tex->GetLevelDesc(3, &desc), D3DERR_INVALIDCALL);

    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->LockRect(1, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 32);
    static_cast<WORD*>(lr.pBits)[5] = 0xBEEF;
    EXPECT_EQ(tex->LockRect(1, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
    D3D9SoftClearLog(dev);
    ASSERT_EQ(tex->UnlockRect(1), D3D_OK);
    const D3D9SoftEvent* up = D3D9SoftLast(dev, D3D9SOFT_UPLOAD);
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->kind, static_cast<DWORD>(D3D9SOFT_TEXTURE));
    EXPECT_EQ(up->b, 1u);

    // Reading back through a sub-rectangle finds the same texel.
    RECT r = {4, 0, 8, 2};
    ASSERT_EQ(tex->LockRect(1, &lr, &r, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<WORD*>(lr.pBits)[1], 0xBEEF);
    ASSERT_EQ(tex->UnlockRect(1), D3D_OK);
    RECT outside = {0, 0, 17, 1};
    EXPECT_EQ(tex->LockRect(1, &lr, &outside, 0), D3DERR_INVALIDCALL);
    tex->Release();
}

TEST_F(DeviceTest, DxtLevelsLockWithAPitchPerBlockRow)
{
    IDirect3DTexture9* dxt1 = nullptr;
    IDirect3DTexture9* dxt5 = nullptr;
    ASSERT_EQ(dev->CreateTexture(64, 32, 0, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &dxt1, nullptr), D3D_OK);
    ASSERT_EQ(dev->CreateTexture(64, 32, 0, 0, D3DFMT_DXT5, D3DPOOL_MANAGED, &dxt5, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(dxt1->LockRect(0, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 16 * 8);
    BYTE* base = static_cast<BYTE*>(lr.pBits);
    base[1 * 128 + 2 * 8] = 0x5A;  // block row 1, block column 2
    ASSERT_EQ(dxt1->UnlockRect(0), D3D_OK);
    RECT r = {8, 4, 16, 8};
    ASSERT_EQ(dxt1->LockRect(0, &lr, &r, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<BYTE*>(lr.pBits)[0], 0x5A);
    ASSERT_EQ(dxt1->UnlockRect(0), D3D_OK);
    RECT unaligned = {2, 0, 8, 4};
    EXPECT_EQ(dxt1->LockRect(0, &lr, &unaligned, 0), D3DERR_INVALIDCALL);
    // The 1x1 and 2x2 levels still hold one whole block.
    ASSERT_EQ(dxt1->LockRect(6, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 8);
    ASSERT_EQ(dxt1->UnlockRect(6), D3D_OK);
    ASSERT_EQ(dxt5->LockRect(0, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 16 * 16);
    ASSERT_EQ(dxt5->UnlockRect(0), D3D_OK);
    dxt1->Release();
    dxt5->Release();
}

TEST_F(DeviceTest, RenderTargetsAndStaticDefaultTexturesRefuseLocks)
{
    IDirect3DTexture9* rt = nullptr;
    IDirect3DTexture9* plain = nullptr;
    IDirect3DTexture9* dynamic = nullptr;
    ASSERT_EQ(dev->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &rt, nullptr),
              D3D_OK);
    ASSERT_EQ(dev->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr), D3D_OK);
    ASSERT_EQ(dev->CreateTexture(64, 64, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &dynamic, nullptr),
              D3D_OK);
    D3DLOCKED_RECT lr;
    EXPECT_EQ(rt->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(plain->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(dynamic->LockRect(0, &lr, nullptr, D3DLOCK_DISCARD), D3D_OK);
    EXPECT_EQ(dynamic->UnlockRect(0), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &back), D3D_OK);
    EXPECT_EQ(back->LockRect(&lr, nullptr, 0), D3DERR_INVALIDCALL);
    back->Release();
    rt->Release();
    plain->Release();
    dynamic->Release();
}

TEST_F(DeviceTest, RenderTargetReadBackThroughASystemMemorySurface)
{
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &back), D3D_OK);
    ASSERT_EQ(dev->CreateOffscreenPlainSurface(320, 240, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr), D3D_OK);
    D3DVIEWPORT9 vp = {10, 20, 30, 40, 0.0f, 1.0f};
    ASSERT_EQ(dev->SetViewport(&vp), D3D_OK);
    // Clear without rectangles covers the viewport only.
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233, 1.0f, 0), D3D_OK);
    ASSERT_EQ(dev->GetRenderTargetData(back, copy), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    const DWORD* row20 = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(lr.pBits) + 20 * lr.Pitch);
    const DWORD* row60 = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(lr.pBits) + 60 * lr.Pitch);
    EXPECT_EQ(row20[10], 0xFF112233u);
    EXPECT_EQ(row20[39], 0xFF112233u);
    EXPECT_EQ(row20[40], 0u);
    EXPECT_EQ(row20[9], 0u);
    EXPECT_EQ(row60[10], 0u);
    ASSERT_EQ(copy->UnlockRect(), D3D_OK);
    // Read-back needs matching sizes and a system-memory destination.
    IDirect3DSurface9* small = nullptr;
    ASSERT_EQ(dev->CreateOffscreenPlainSurface(32, 32, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &small, nullptr), D3D_OK);
    EXPECT_EQ(dev->GetRenderTargetData(back, small), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->GetRenderTargetData(copy, back), D3DERR_INVALIDCALL);
    small->Release();
    copy->Release();
    back->Release();
}

TEST_F(DeviceTest, PalettesForP8Textures)
{
    IDirect3DTexture9* p8 = nullptr;
    ASSERT_EQ(dev->CreateTexture(16, 16, 1, 0, D3DFMT_P8, D3DPOOL_MANAGED, &p8, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(p8->LockRect(0, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 16);
    ASSERT_EQ(p8->UnlockRect(0), D3D_OK);
    EXPECT_EQ(dev->SetCurrentTexturePalette(3), D3DERR_INVALIDCALL);  // never filled
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i)
        entries[i] = PALETTEENTRY{static_cast<BYTE>(i), 0, static_cast<BYTE>(255 - i), 255};
    ASSERT_EQ(dev->SetPaletteEntries(3, entries), D3D_OK);
    ASSERT_EQ(dev->SetCurrentTexturePalette(3), D3D_OK);
    PALETTEENTRY back[256];
    ASSERT_EQ(dev->GetPaletteEntries(3, back), D3D_OK);
    EXPECT_EQ(back[10].peRed, 10);
    EXPECT_EQ(back[10].peBlue, 245);
    UINT current = 0;
    ASSERT_EQ(dev->GetCurrentTexturePalette(&current), D3D_OK);
    EXPECT_EQ(current, 3u);
    p8->Release();
}

// ---------------------------------------------------------------- reset and device loss

TEST_F(DeviceTest, ResetRefusedWhileADefaultPoolResourceLives)
{
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(64, 0x208, 0, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
    D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(640, 480, nullptr);
    EXPECT_EQ(dev->Reset(&pp), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    // Bound but released objects do not block it; the caller's references do.
    ASSERT_EQ(dev->SetStreamSource(0, vb, 0, 16), D3D_OK);
    EXPECT_EQ(vb->Release(), 0u);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &back), D3D_OK);
    EXPECT_EQ(dev->Reset(&pp), D3DERR_INVALIDCALL);
    back->Release();
    EXPECT_EQ(dev->Reset(&pp), D3D_OK);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 1, stride = 1;
    ASSERT_EQ(dev->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(stride, 0u);
}

TEST_F(DeviceTest, ResetRestoresTheDocumentedDefaults)
{
    IDirect3DTexture9* managed = nullptr;
    ASSERT_EQ(dev->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(managed->LockRect(0, &lr, nullptr, 0), D3D_OK);
    static_cast<DWORD*>(lr.pBits)[0] = 0xCAFEF00D;
    ASSERT_EQ(managed->UnlockRect(0), D3D_OK);

    dev->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    dev->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    dev->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_MAX);
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
    dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    D3DMATRIX scale = {};
    scale._11 = scale._22 = scale._33 = 2.0f;
    scale._44 = 1.0f;
    dev->SetTransform(D3DTS_WORLD, &scale);
    dev->SetTransform(D3DTS_TEXTURE0, &scale);
    dev->SetTexture(0, managed);
    dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_POINT;
    dev->SetLight(5, &light);

    D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(640, 480, nullptr);
    ASSERT_EQ(dev->Reset(&pp), D3D_OK);

    DWORD v = 0;
    dev->GetRenderState(D3DRS_FILLMODE, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DFILL_SOLID));
    dev->GetRenderState(D3DRS_COLORWRITEENABLE, &v);
    EXPECT_EQ(v, 0xFu);
    dev->GetRenderState(D3DRS_BLENDOP, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DBLENDOP_ADD));
    dev->GetRenderState(D3DRS_LIGHTING, &v);
    EXPECT_EQ(v, static_cast<DWORD>(TRUE));
    dev->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DZB_TRUE));  // the device has an automatic depth buffer
    dev->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DCULL_CCW));
    for (DWORD stage = 0; stage < 8; ++stage) {
        dev->GetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, &v);
        EXPECT_EQ(v, stage);
        dev->GetTextureStageState(stage, D3DTSS_COLOROP, &v);
        EXPECT_EQ(v, stage == 0 ? static_cast<DWORD>(D3DTOP_MODULATE) : static_cast<DWORD>(D3DTOP_DISABLE));
    }
    dev->GetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DTTFF_DISABLE));
    dev->GetSamplerState(0, D3DSAMP_MINFILTER, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DTEXF_POINT));
    D3DMATRIX m;
    dev->GetTransform(D3DTS_WORLD, &m);
    EXPECT_EQ(m._11, 1.0f);
    dev->GetTransform(D3DTS_TEXTURE0, &m);
    EXPECT_EQ(m._22, 1.0f);
    IDirect3DBaseTexture9* bound = nullptr;
    dev->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    dev->GetFVF(&v);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(dev->GetLight(5, &light), D3DERR_INVALIDCALL);
    D3DVIEWPORT9 vp;
    dev->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 640u);
    EXPECT_EQ(vp.Height, 480u);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &back), D3D_OK);
    D3DSURFACE_DESC desc;
    back->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 640u);
    back->Release();

    // Managed resources survive with their contents.
    ASSERT_EQ(managed->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<DWORD*>(lr.pBits)[0], 0xCAFEF00Du);
    managed->UnlockRect(0);
    managed->Release();
}

TEST_F(DeviceTest, InjectedDeviceLossAndRecovery)
{
    D3D9SoftLoseDevice(dev, 2);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(320, 240, nullptr);
    EXPECT_EQ(dev->Reset(&pp), D3DERR_DEVICELOST);  // still lost: cannot reset yet
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(dev->Reset(&pp), D3D_OK);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    // The driver keeps the default targets without references across failed
    // Resets and binds them again before retrying: they must stay valid.
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &back), D3D_OK);
    ASSERT_EQ(dev->GetDepthStencilSurface(&depth), D3D_OK);
    back->Release();
    depth->Release();
    D3D9SoftFailResets(dev, 1);
    D3DPRESENT_PARAMETERS bigger = D3D9WindowedParameters(400, 300, nullptr);
    EXPECT_EQ(dev->Reset(&bigger), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(dev->SetRenderTarget(0, back), D3D_OK);
    EXPECT_EQ(dev->SetDepthStencilSurface(depth), D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 320u);
    EXPECT_EQ(dev->Reset(&bigger), D3D_OK);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    IDirect3DSurface9* now = nullptr;
    ASSERT_EQ(dev->GetRenderTarget(0, &now), D3D_OK);
    EXPECT_EQ(now, back);
    ASSERT_EQ(now->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 400u);
    now->Release();
}

TEST_F(DeviceTest, InjectedCreationFailuresAndRefusedFormats)
{
    D3D9SoftFailCreates(dev, 1, D3D9SOFT_FAIL_TEXTURES);
    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_EQ(dev->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    IDirect3DTexture9* tex = reinterpret_cast<IDirect3DTexture9*>(1);
    EXPECT_EQ(dev->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(tex, nullptr);
    EXPECT_EQ(dev->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    tex->Release();
    vb->Release();

    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_DXT3), D3D_OK);
    D3D9SoftRefuseFormat(d3d, D3DFMT_DXT3, true);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_DXT3),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(dev->CreateTexture(16, 16, 1, 0, D3DFMT_DXT3, D3DPOOL_MANAGED, &tex, nullptr), D3DERR_INVALIDCALL);
    D3D9SoftRefuseFormat(d3d, D3DFMT_DXT3, false);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_DXT3), D3D_OK);
}

// Four-character codes use all 32 bits: one with its top bit set is a format value like any other, asked
// about and refused without being misread.
TEST_F(DeviceTest, FourCCCodesWithTheTopBitSetAreFormats)
{
    D3DSURFACE_DESC desc = {};
    desc.Format = static_cast<D3DFORMAT>(MAKEFOURCC('D', 'X', 'T', 0xB1));
    const D3DFORMAT stored = desc.Format;
    EXPECT_EQ(static_cast<DWORD>(stored), 0xB1545844u);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, stored),
              D3DERR_NOTAVAILABLE);
    IDirect3DTexture9* tex = nullptr;
    EXPECT_EQ(dev->CreateTexture(4, 4, 1, 0, stored, D3DPOOL_MANAGED, &tex, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex, nullptr);
}

// ---------------------------------------------------------------- capability profiles

TEST_F(DeviceTest, FullProfile)
{
    D3DCAPS9 caps;
    ASSERT_EQ(dev->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_TRUE(caps.DevCaps2 & D3DDEVCAPS2_STREAMOFFSET);
    EXPECT_TRUE(caps.Caps2 & D3DCAPS2_CANAUTOGENMIPMAP);
    EXPECT_TRUE(caps.TextureCaps & D3DPTEXTURECAPS_CUBEMAP);
    EXPECT_FALSE(caps.TextureCaps & D3DPTEXTURECAPS_POW2);
    EXPECT_EQ(caps.VertexShaderVersion, D3DVS_VERSION(1, 1));
    EXPECT_EQ(caps.PixelShaderVersion, D3DPS_VERSION(1, 1));
    EXPECT_GE(caps.MaxVertexShaderConst, 96u);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_AUTOGENMIPMAP, D3DRTYPE_TEXTURE,
                                     D3DFMT_A8R8G8B8),
              D3D_OK);
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(dev->CreateCubeTexture(32, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    IDirect3DSurface9* face = nullptr;
    ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Z, 5, &face), D3D_OK);
    D3DSURFACE_DESC desc;
    face->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 1u);
    face->Release();
    cube->Release();
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(256, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    EXPECT_EQ(dev->SetStreamSource(0, vb, 64, 16), D3D_OK);
    vb->Release();
}

TEST_F(DeviceTest, MinimalProfile)
{
    Close();
    d3d = D3D9SoftCreate(D3D9_CAPS_MINIMAL);
    D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(320, 240, nullptr);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(dev, nullptr);
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &dev), D3D_OK);
    D3DCAPS9 caps;
    ASSERT_EQ(dev->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_FALSE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_FALSE(caps.DevCaps2 & D3DDEVCAPS2_STREAMOFFSET);
    EXPECT_FALSE(caps.Caps2 & D3DCAPS2_CANAUTOGENMIPMAP);
    EXPECT_EQ(caps.MaxTextureBlendStages, 2u);
    EXPECT_EQ(caps.DeclTypes, 0u);
    EXPECT_EQ(caps.CubeTextureFilterCaps, 0u);
    EXPECT_EQ(caps.VertexShaderVersion, D3DVS_VERSION(0, 0));
    EXPECT_EQ(caps.PixelShaderVersion, D3DPS_VERSION(0, 0));
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_AUTOGENMIPMAP, D3DRTYPE_TEXTURE,
                                     D3DFMT_A8R8G8B8),
              D3DOK_NOAUTOGEN);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_P8),
              D3DERR_NOTAVAILABLE);
    IDirect3DCubeTexture9* cube = nullptr;
    EXPECT_EQ(dev->CreateCubeTexture(32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3DERR_INVALIDCALL);
    IDirect3DTexture9* tex = nullptr;
    EXPECT_EQ(dev->CreateTexture(48, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3DERR_INVALIDCALL);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(256, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    EXPECT_EQ(dev->SetStreamSource(0, vb, 64, 16), D3DERR_INVALIDCALL);  // no stream offsets
    EXPECT_EQ(dev->SetStreamSource(0, vb, 0, 16), D3D_OK);
    vb->Release();
    DWORD passes = 9;
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
    EXPECT_EQ(dev->ValidateDevice(&passes), D3DERR_UNSUPPORTEDCOLOROPERATION);
    EXPECT_EQ(passes, 0u);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    EXPECT_EQ(dev->ValidateDevice(&passes), D3D_OK);
    EXPECT_EQ(passes, 1u);
}

// ---------------------------------------------------------------- adapters and modes

TEST(SoftAdapter, FixedModesComeFirstAndFullScreenNeedsAListedMode)
{
    IDirect3D9* d3d = D3D9SoftCreate(D3D9_CAPS_FULL);
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    ASSERT_GE(d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8), 3u);
    D3DDISPLAYMODE mode;
    const UINT expected[3][2] = {{800, 600}, {1024, 768}, {1280, 1024}};
    for (UINT i = 0; i < 3; ++i) {
        ASSERT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &mode), D3D_OK);
        EXPECT_EQ(mode.Width, expected[i][0]);
        EXPECT_EQ(mode.Height, expected[i][1]);
    }
    EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, 99, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->GetAdapterModeCount(1, D3DFMT_X8R8G8B8), 0u);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, TRUE), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, TRUE), D3DERR_NOTAVAILABLE);

    D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(1024, 768, nullptr);
    pp.Windowed = FALSE;
    pp.SwapEffect = D3DSWAPEFFECT_FLIP;
    pp.FullScreen_RefreshRateInHz = 85;  // not offered
    IDirect3DDevice9* dev = nullptr;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev),
              D3DERR_INVALIDCALL);
    pp.FullScreen_RefreshRateInHz = 0;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev), D3D_OK);
    // One device per entry object.
    IDirect3DDevice9* second = nullptr;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &second),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(dev->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
}

size_t Count2(IDirect3DDevice9* dev) { return D3D9SoftCount(dev, D3D9SOFT_PRESENT); }

TEST(SoftAdapter, AdditionalSwapChainsPresentTheirOwnBackBuffer)
{
    IDirect3D9* d3d = D3D9SoftCreate(D3D9_CAPS_FULL);
    D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(320, 240, nullptr);
    IDirect3DDevice9* dev = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev), D3D_OK);
    D3DPRESENT_PARAMETERS extra = D3D9WindowedParameters(64, 32, nullptr);
    extra.EnableAutoDepthStencil = FALSE;
    IDirect3DSwapChain9* chain = nullptr;
    ASSERT_EQ(dev->CreateAdditionalSwapChain(&extra, &chain), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc;
    back->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 64u);
    D3D9SoftClearLog(dev);
    EXPECT_EQ(chain->Present(nullptr, nullptr, nullptr, nullptr, 0), D3D_OK);
    const void* chainBack = D3D9SoftLast(dev, D3D9SOFT_PRESENT)->object;
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_NE(D3D9SoftLast(dev, D3D9SOFT_PRESENT)->object, chainBack);
    EXPECT_EQ(Count2(dev), 2u);
    // The chain is a default-pool object: it blocks Reset while held.
    EXPECT_EQ(dev->Reset(&pp), D3DERR_INVALIDCALL);
    back->Release();
    EXPECT_EQ(chain->Release(), 0u);
    EXPECT_EQ(dev->Reset(&pp), D3D_OK);
    EXPECT_EQ(dev->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
}

}  // namespace
