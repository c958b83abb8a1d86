// Tests of the device core's state calls, clears and draws on the software back end.
#include "platform/d3d9/soft_device_testing.h"

#include "platform/d3d9/backend.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// ---------------------------------------------------------------- state, clears and draws

TEST_F(DeviceTest, EveryStateCallIsRecordedEvenWhenRedundant)
{
    D3D9SoftClearLog(dev);
    EXPECT_EQ(dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    EXPECT_EQ(dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    EXPECT_EQ(dev->SetRenderState(static_cast<D3DRENDERSTATETYPE>(210), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_ADD), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetSamplerState(2, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3D_OK);
    const std::vector<D3D9SoftEvent>& log = D3D9SoftLog(dev);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].kind, static_cast<DWORD>(D3D9_STATE_RENDER));
    EXPECT_EQ(log[0].a, static_cast<DWORD>(D3DRS_ALPHABLENDENABLE));
    EXPECT_EQ(log[1].value, static_cast<DWORD>(TRUE));
    EXPECT_EQ(log[2].kind, static_cast<DWORD>(D3D9_STATE_SAMPLER));
    EXPECT_EQ(log[2].a, 2u);
    EXPECT_EQ(log[2].b, static_cast<DWORD>(D3DSAMP_ADDRESSU));
    DWORD v = 0;
    dev->GetSamplerState(2, D3DSAMP_ADDRESSU, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DTADDRESS_CLAMP));

    // Lights: sparse indices grow; enabling an unset light gives the default light.
    EXPECT_EQ(dev->LightEnable(1000, TRUE), D3D_OK);
    D3DLIGHT9 light;
    ASSERT_EQ(dev->GetLight(1000, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.Direction.z, 1.0f);
    BOOL on = FALSE;
    dev->GetLightEnable(1000, &on);
    EXPECT_TRUE(on);
    EXPECT_EQ(dev->GetLight(999, &light), D3DERR_INVALIDCALL);
}

class DrawTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        ASSERT_EQ(dev->CreateVertexBuffer(4 * 16, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
        ASSERT_EQ(dev->CreateIndexBuffer(6 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
                  D3D_OK);
        WORD* idx = nullptr;
        ASSERT_EQ(ib->Lock(0, 0, reinterpret_cast<void**>(&idx), 0), D3D_OK);
        const WORD quad[6] = {0, 1, 2, 2, 1, 3};
        std::memcpy(idx, quad, sizeof(quad));
        ib->Unlock();
        dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        dev->SetStreamSource(0, vb, 0, 16);
        dev->SetIndices(ib);
        D3D9SoftClearLog(dev);
    }
    void TearDown() override
    {
        vb->Release();
        ib->Release();
        DeviceTest::TearDown();
    }
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
};

TEST_F(DrawTest, DrawsOnlyInsideAScene)
{
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    EXPECT_EQ(dev->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    EXPECT_EQ(CountEvents(D3D9SOFT_DRAW), 1u);
    EXPECT_EQ(CountEvents(D3D9SOFT_BEGINSCENE), 1u);
    EXPECT_EQ(CountEvents(D3D9SOFT_ENDSCENE), 1u);
}

TEST_F(DrawTest, DrawRecordsTheCallAndTheBoundState)
{
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    // Zero primitives: success and nothing drawn.
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 0), D3D_OK);
    EXPECT_EQ(CountEvents(D3D9SOFT_DRAW), 0u);
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    const D3D9SoftEvent* draw = D3D9SoftLast(dev, D3D9SOFT_DRAW);
    ASSERT_NE(draw, nullptr);
    EXPECT_TRUE(draw->draw.indexed);
    EXPECT_EQ(draw->draw.type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(draw->draw.primitiveCount, 2u);
    EXPECT_EQ(draw->draw.vertexCount, 6u);
    EXPECT_EQ(draw->draw.numVertices, 4u);
    EXPECT_EQ(draw->fvf, static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_DIFFUSE));
    EXPECT_EQ(draw->stride0, 16u);
    EXPECT_NE(draw->stream0, nullptr);
    EXPECT_NE(draw->indices, nullptr);
    EXPECT_NE(draw->renderTarget, nullptr);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
}

TEST_F(DrawTest, DrawsOutsideTheirBuffersFail)
{
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    // Past the end of the index buffer.
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2), D3DERR_INVALIDCALL);
    // Indices outside the declared vertex range.
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 2), D3DERR_INVALIDCALL);
    // A base vertex index that reads past the vertex buffer.
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);
    // A negative base vertex index is fine while it stays inside the buffer.
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1, 1, 2, 1, 1), D3D_OK);
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -2, 1, 2, 1, 1), D3DERR_INVALIDCALL);
    // A vertex larger than the stride.
    dev->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(CountEvents(D3D9SOFT_DRAW), 1u);
    EXPECT_EQ(CountEvents(D3D9SOFT_ERROR), 5u);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
}

TEST_F(DrawTest, PalettedTexturesNeedACurrentPalette)
{
    IDirect3DTexture9* p8 = nullptr;
    ASSERT_EQ(dev->CreateTexture(8, 8, 1, 0, D3DFMT_P8, D3DPOOL_MANAGED, &p8, nullptr), D3D_OK);
    dev->SetTexture(0, p8);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3D9SoftLast(dev, D3D9SOFT_ERROR)->a, static_cast<DWORD>(D3D9SOFT_ERROR_NO_PALETTE));
    PALETTEENTRY entries[256] = {};
    dev->SetPaletteEntries(0, entries);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_NE(D3D9SoftLast(dev, D3D9SOFT_DRAW)->texture0, nullptr);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    dev->SetTexture(0, nullptr);
    p8->Release();
}

// Every index of a draw lies in [MinVertexIndex, MinVertexIndex + NumVertices), in either index width.
TEST_F(DrawTest, IndexedDrawsRefuseIndicesOutsideTheirVertexRange)
{
    struct Vertex {
        float x, y, z, rhw;
    } verts[8] = {};
    dev->SetFVF(D3DFVF_XYZRHW);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(sizeof(verts), 0, D3DFVF_XYZRHW, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    dev->SetStreamSource(0, vb, 0, sizeof(Vertex));
    auto indexBuffer = [&](D3DFORMAT format, const std::vector<DWORD>& values) {
        IDirect3DIndexBuffer9* ib = nullptr;
        const UINT bytes = D3D9IndexBytes(format);
        EXPECT_EQ(
            dev->CreateIndexBuffer(static_cast<UINT>(values.size()) * bytes, 0, format, D3DPOOL_MANAGED, &ib, nullptr),
            D3D_OK);
        void* data = nullptr;
        ib->Lock(0, 0, &data, 0);
        for (size_t i = 0; i < values.size(); ++i)
            std::memcpy(static_cast<BYTE*>(data) + i * bytes, &values[i], bytes);  // little-endian low bytes
        ib->Unlock();
        return ib;
    };
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
        IDirect3DIndexBuffer9* ib = indexBuffer(format, {3, 4, 5, 5, 4, 7});
        dev->SetIndices(ib);
        EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 5, 0, 2), D3D_OK);
        EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 4, 0, 2), D3DERR_INVALIDCALL) << "7 is past 6";
        EXPECT_EQ(D3D9SoftLast(dev, D3D9SOFT_ERROR)->a, static_cast<DWORD>(D3D9SOFT_ERROR_INDEX_RANGE));
        EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 4, 0, 2), D3DERR_INVALIDCALL) << "3 is below 4";
        dev->SetIndices(nullptr);
        ib->Release();
    }
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    vb->Release();
}

TEST_F(DrawTest, UserPointerDrawsUnbindStreamZeroAndIndices)
{
    struct Vertex {
        float x, y, z, rhw;
        DWORD color;
        float u, v;
    } verts[4] = {};
    const WORD idx[6] = {0, 1, 2, 2, 1, 3};
    dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    EXPECT_EQ(dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, idx, D3DFMT_INDEX16, verts, sizeof(Vertex)),
              D3D_OK);
    EXPECT_EQ(dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 2, idx, D3DFMT_INDEX16, verts, sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    // A range that runs past the last index there can be holds no index at all.
    EXPECT_EQ(dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0xFFFFFFF0u, 0x20, 2, idx, D3DFMT_INDEX16, verts,
                                          sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, verts, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    EXPECT_EQ(CountEvents(D3D9SOFT_DRAW), 1u);
    EXPECT_EQ(D3D9SoftLast(dev, D3D9SOFT_DRAW)->stride0, static_cast<UINT>(sizeof(Vertex)));
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset, stride;
    dev->GetStreamSource(0, &stream, &offset, &stride);
    EXPECT_EQ(stream, nullptr);
    IDirect3DIndexBuffer9* indices = nullptr;
    dev->GetIndices(&indices);
    EXPECT_EQ(indices, nullptr);
}

TEST_F(DrawTest, ClearIsRecordedAndChecked)
{
    D3DRECT rect = {1, 2, 3, 4};
    EXPECT_EQ(dev->Clear(1, &rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF00FF00, 1.0f, 0), D3D_OK);
    const D3D9SoftEvent* clear = D3D9SoftLast(dev, D3D9SOFT_CLEAR);
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(clear->a, 1u);
    EXPECT_EQ(clear->b, static_cast<DWORD>(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER));
    EXPECT_EQ(clear->value, 0xFF00FF00u);
    EXPECT_EQ(clear->z, 1.0f);
    EXPECT_EQ(dev->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 2.0f, 0), D3DERR_INVALIDCALL);
    // No depth buffer bound: depth clears fail, colour clears still work.
    ASSERT_EQ(dev->SetDepthStencilSurface(nullptr), D3D_OK);
    EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(CountEvents(D3D9SOFT_CLEAR), 2u);
}

}  // namespace
