// Tests of the cached device bindings: shaders and declarations, refused calls, transforms, lights, frustum tests.
#include <cstring>

#include "gfx/core/camera.h"
#include "gfx/d3d9/bindings_testing.h"
#include "gfx/d3d9/cache_testing.h"

namespace {

using BindingsTest = GxD3D9CacheTest;

const DWORD vertexShaderTokens[] = {0xFFFE0101, 0x0000FFFF};

D3DLIGHT9 PointLight(float x)
{
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = D3DCOLORVALUE{1.0f, 0.5f, 0.25f, 1.0f};
    light.Position = D3DVECTOR{x, 2.0f, 3.0f};
    light.Range = 10.0f;
    light.Attenuation0 = 1.0f;
    return light;
}

TEST_F(BindingsTest, ShadersAndDeclarationsReachTheDeviceOnlyOnChange)
{
    IDirect3DVertexShader9* shader = nullptr;
    ASSERT_TRUE(GxD3D9CreateVertexShader(vertexShaderTokens, &shader));
    EXPECT_TRUE(GxD3D9SetVertexShader(shader));
    EXPECT_TRUE(GxD3D9SetVertexShader(shader));
    EXPECT_EQ(Count(D3D9_STATE_VERTEXSHADER), 1u);
    IDirect3DVertexShader9* other = nullptr;
    ASSERT_TRUE(GxD3D9CreateVertexShader(vertexShaderTokens, &other));
    EXPECT_TRUE(GxD3D9SetVertexShader(shader));
    EXPECT_EQ(Count(D3D9_STATE_VERTEXSHADER), 2u) << "creating a shader forgets the cached one";
    EXPECT_TRUE(GxD3D9SetVertexShader(nullptr));
    EXPECT_EQ(GxD3D9DeleteVertexShader(other), 0u);
    EXPECT_EQ(GxD3D9DeleteVertexShader(shader), 0u);

    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    const D3DVERTEXELEMENT9 coloured[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                          D3DDECL_END()};
    IDirect3DVertexDeclaration9* first = nullptr;
    IDirect3DVertexDeclaration9* shared = nullptr;
    IDirect3DVertexDeclaration9* second = nullptr;
    ASSERT_TRUE(GxD3D9CreateVertexDeclaration(elements, &first));
    ASSERT_TRUE(GxD3D9CreateVertexDeclaration(elements, &shared));
    EXPECT_EQ(first, shared) << "equal elements share one declaration";
    ASSERT_TRUE(GxD3D9CreateVertexDeclaration(coloured, &second));
    EXPECT_NE(first, second);

    EXPECT_TRUE(GxD3D9SetFVF(D3DFVF_XYZ));
    EXPECT_TRUE(GxD3D9SetVertexDeclaration(first));
    EXPECT_EQ(GxD3D9GetFVF(), gxD3D9UNKNOWNFVF);
    EXPECT_TRUE(GxD3D9SetFVF(D3DFVF_XYZ));
    EXPECT_TRUE(GxD3D9SetVertexDeclaration(first)) << "the FVF replaced it on the device";
    EXPECT_EQ(Count(D3D9_STATE_DECLARATION), 2u);
    EXPECT_TRUE(GxD3D9SetFVF(D3DFVF_XYZ));
    EXPECT_EQ(Count(D3D9_STATE_FVF), 3u);

    // Deleted to its last reference and made again: a fresh declaration from the same entry.
    EXPECT_TRUE(GxD3D9SetVertexDeclaration(nullptr));
    GxD3D9DeleteVertexDeclaration(shared);
    GxD3D9DeleteVertexDeclaration(first);
    IDirect3DVertexDeclaration9* again = nullptr;
    ASSERT_TRUE(GxD3D9CreateVertexDeclaration(elements, &again));
    EXPECT_NE(again, nullptr);
    GxD3D9DeleteVertexDeclaration(again);
    GxD3D9DeleteVertexDeclaration(second);
}

TEST_F(BindingsTest, ARefusedCallStillLeavesTheValueInTheCache)
{
    // The device never accepts a null render target 0: the refusal is told, and the cache holds the value asked
    // for, so asking again finds it unchanged.
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), D3D_OK);
    EXPECT_TRUE(GxD3D9SetRenderTargetSurface(0, backBuffer));
    backBuffer->Release();
    EXPECT_FALSE(GxD3D9SetRenderTargetSurface(0, nullptr));
    EXPECT_TRUE(GxD3D9SetRenderTargetSurface(0, nullptr));
    EXPECT_FALSE(GxD3D9SetRenderTargetSurface(4, nullptr));

    // Stream offsets need a capability the minimal profile lacks.
    Restart(D3D9_CAPS_MINIMAL);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(256, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    EXPECT_FALSE(GxD3D9SetStreamSource(0, buffer, 16, 16));
    EXPECT_TRUE(GxD3D9SetStreamSource(0, buffer, 16, 16));
    EXPECT_TRUE(GxD3D9SetStreamSource(0, buffer, 0, 16));
    EXPECT_TRUE(GxD3D9SetStreamSource(0, buffer, 0, 16));
    EXPECT_EQ(Count(D3D9_STATE_STREAM), 1u);
    EXPECT_FALSE(GxD3D9SetStreamSource(4, buffer, 0, 16));

    // Streams of a record pair: a record without a buffer clears only a bound stream.
    GxD3D9StreamRecord records[2] = {{buffer, 32, 16, 0}, {nullptr, 0, 0, 0}};
    ClearLog();
    GxD3D9SetStreams(records, 0);  // stream 0 unchanged; stream 1 unknown, so cleared
    GxD3D9SetStreams(records, 0);  // nothing: stream 1 is known to be clear now
    EXPECT_TRUE(GxD3D9SetStreamSource(1, buffer, 0, 8));
    GxD3D9SetStreams(records, 0);
    const std::vector<StateEvent> streams = {{1, 0, 0}, {1, 0, 8}, {1, 0, 0}};
    EXPECT_EQ(Events(D3D9_STATE_STREAM), streams);
    buffer->Release();

    // A light the device refuses (negative range) is kept as set too.
    D3DLIGHT9 bad = PointLight(0.0f);
    bad.Range = -1.0f;
    EXPECT_FALSE(GxD3D9SetLight(0, &bad));
    EXPECT_TRUE(GxD3D9SetLight(0, &bad));
    D3DLIGHT9 good = PointLight(0.0f);
    EXPECT_TRUE(GxD3D9SetLight(0, &good));
    EXPECT_EQ(Count(D3D9_STATE_LIGHT), 1u);
}

TEST_F(BindingsTest, TransformsAreComparedWordForWord)
{
    D3DMATRIX view = {};
    for (int i = 0; i < 4; i++) {
        view.m[i][i] = 2.0f;
    }
    EXPECT_TRUE(GxD3D9SetTransform(D3DTS_VIEW, &view));
    EXPECT_TRUE(GxD3D9SetTransform(D3DTS_VIEW, &view));
    EXPECT_EQ(Count(D3D9_STATE_TRANSFORM), 1u);
    D3DMATRIX read = {};
    GxD3D9GetTransform(D3DTS_VIEW, &read);
    EXPECT_EQ(memcmp(&read, &view, sizeof(view)), 0);
    GxD3D9GetTransform(D3DTS_PROJECTION, &read);
    EXPECT_EQ(read._11, 1.0f) << "an empty slot reads as the identity";
    EXPECT_FALSE(GxD3D9SetTransform(gxD3D9NUMTRANSFORMS, &view));

    // The world matrix through the frame path: identity once, then a real matrix once.
    ClearLog();
    GxMatrix world = {};
    GxMatrixSetIdentity(&world);
    EXPECT_TRUE(GxD3D9SetTransformWorld(&world));
    EXPECT_TRUE(GxD3D9SetTransformWorld(nullptr));
    EXPECT_EQ(Count(D3D9_STATE_TRANSFORM), 1u);
    world.pos = GxV3d{1.0f, 2.0f, 3.0f};
    GxMatrixUpdate(&world);
    EXPECT_TRUE(GxD3D9SetTransformWorld(&world));
    EXPECT_TRUE(GxD3D9SetTransformWorld(&world));
    EXPECT_EQ(Count(D3D9_STATE_TRANSFORM), 2u);
    D3DMATRIX onDevice = {};
    device->GetTransform(D3DTS_WORLD, &onDevice);
    EXPECT_EQ(onDevice._41, 1.0f);
    EXPECT_EQ(onDevice._44, 1.0f);

    // Another world matrix set directly must not let the frame path skip its own.
    EXPECT_TRUE(GxD3D9SetTransform(D3DTS_WORLD, &view));
    EXPECT_TRUE(GxD3D9SetTransformWorld(&world));
    device->GetTransform(D3DTS_WORLD, &onDevice);
    EXPECT_EQ(onDevice._41, 1.0f);
    EXPECT_TRUE(GxD3D9SetTransform(D3DTS_WORLD, &view));
    device->GetTransform(D3DTS_WORLD, &onDevice);
    EXPECT_EQ(onDevice._11, 2.0f) << "and the other way round";

    // Clearing the cache forgets everything: the same view is sent again.
    ASSERT_TRUE(GxD3D9ClearTransformCache());
    ClearLog();
    EXPECT_TRUE(GxD3D9SetTransform(D3DTS_VIEW, &view));
    EXPECT_EQ(Count(D3D9_STATE_TRANSFORM), 1u);
}

TEST_F(BindingsTest, LightTableGrowsEnablesAndRestores)
{
    const D3DLIGHT9 light = PointLight(1.0f);
    EXPECT_TRUE(GxD3D9SetLight(5, &light));
    GxInt32 count = 0;
    const GxD3D9LightRecord* table = GxD3D9GetLightTable(&count);
    ASSERT_EQ(count, 6);
    for (GxInt32 i = 0; i < 6; i++) {
        EXPECT_EQ(table[i].enabled, 0u) << i;
    }
    EXPECT_EQ(Count(D3D9_STATE_LIGHT), 1u);
    EXPECT_TRUE(GxD3D9EnableLight(7, 1));
    EXPECT_EQ(Count(D3D9_STATE_LIGHTENABLE), 0u) << "indexes outside the table do nothing";

    D3DLIGHT9 shinier = light;
    shinier.Specular = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
    EXPECT_TRUE(GxD3D9SetLight(5, &shinier));
    EXPECT_EQ(Count(D3D9_STATE_LIGHT), 1u) << "specular colour is not compared";
    D3DLIGHT9 moved = PointLight(4.0f);
    EXPECT_TRUE(GxD3D9SetLight(5, &moved));
    EXPECT_EQ(Count(D3D9_STATE_LIGHT), 2u);

    EXPECT_TRUE(GxD3D9EnableLight(5, 1));
    EXPECT_TRUE(GxD3D9EnableLight(5, 7));
    EXPECT_EQ(Count(D3D9_STATE_LIGHTENABLE), 1u);

    // A high index grows the table to hold it.
    constexpr GxInt32 kHigh = 4095;
    EXPECT_TRUE(GxD3D9SetLight(kHigh, &light));
    GxD3D9GetLightTable(&count);
    EXPECT_EQ(count, kHigh + 1);

    // After a reset the device has forgotten every light; the restore sends the set ones only.
    GxD3D9DynamicVertexBuffersRelease();
    ASSERT_EQ(device->Reset(&present), D3D_OK);
    ClearLog();
    EXPECT_TRUE(GxD3D9LightTableRestore());
    const std::vector<StateEvent> lights = Events(D3D9_STATE_LIGHT);
    ASSERT_EQ(lights.size(), 2u);
    EXPECT_EQ(lights[0].a, 5u);
    EXPECT_EQ(lights[1].a, static_cast<DWORD>(kHigh));
    D3DLIGHT9 onDevice = {};
    ASSERT_EQ(device->GetLight(5, &onDevice), D3D_OK);
    EXPECT_EQ(onDevice.Position.x, 4.0f);
    BOOL enabled = FALSE;
    ASSERT_EQ(device->GetLightEnable(5, &enabled), D3D_OK);
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(GxD3D9DynamicVertexBuffersRestore());
}

TEST_F(BindingsTest, FrustumTestsCountTouchingAsInside)
{
    // A unit cube frustum: planes x, y, z = +-1 with outward normals.
    GxCamera camera = {};
    const GxV3d normals[6] = {{0, 0, 1}, {0, 0, -1}, {-1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, -1, 0}};
    for (int i = 0; i < 6; i++) {
        GxFrustumPlane& plane = camera.frustumPlanes[i];
        plane.plane.normal = normals[i];
        plane.plane.distance = 1.0f;
        plane.closestX = normals[i].x >= 0 ? 1 : 0;
        plane.closestY = normals[i].y >= 0 ? 1 : 0;
        plane.closestZ = normals[i].z >= 0 ? 1 : 0;
    }
    const GxSphere touching = {{0.5f, 0.0f, 0.0f}, 0.5f};
    const GxSphere crossing = {{0.6f, 0.0f, 0.0f}, 0.5f};
    EXPECT_TRUE(GxD3D9CameraIsSphereFullyInsideFrustum(&camera, &touching));
    EXPECT_FALSE(GxD3D9CameraIsSphereFullyInsideFrustum(&camera, &crossing));

    const GxBBox inside = {{1.0f, 0.5f, 0.5f}, {-1.0f, -0.5f, -0.5f}};
    const GxBBox poking = {{1.0f, 1.5f, 0.5f}, {-1.0f, -0.5f, -0.5f}};
    EXPECT_TRUE(GxD3D9CameraIsBBoxFullyInsideFrustum(&camera, &inside));
    EXPECT_FALSE(GxD3D9CameraIsBBoxFullyInsideFrustum(&camera, &poking));
}

}  // namespace
