// Tests of the standard functions: the table, matrices, clear flags, the frame, resizing and lost-device recovery.
#include <gtest/gtest.h>

#include <algorithm>

#include "gfx/d3d9/raster.h"
#include "gfx/testsupport/software_fixture.h"
#include "platform/testsupport/softdevice.h"

namespace {

class D3D9Standard : public GxD3D9SoftwareTest {
protected:
    D3D9Standard() : GxD3D9SoftwareTest(200, 150, false) { restores = 0; }
    void TearDown() override
    {
        GxTestCameraDestroy(camera);
        camera = nullptr;
        GxD3D9SetDeviceRestoreCallBack(nullptr);
        GxD3D9SoftwareTest::TearDown();
    }
    // Opened and started, with a camera of the window's size; the log starts empty.
    void Start(bool zBuffer = true)
    {
        ASSERT_TRUE(GxD3D9TestEngineOpen(&window));
        ASSERT_TRUE(GxEngineStart());
        camera = GxTestCameraCreate(200, 150, zBuffer);
        ASSERT_NE(camera, nullptr);
        ASSERT_NE(camera->frameBuffer, nullptr);
        D3D9SoftClearLog(Device());
    }
    static IDirect3DDevice9* Device() { return gxD3D9State.device; }
    size_t Count(D3D9SoftEventType type) { return D3D9SoftCount(Device(), type); }
    bool Clear(GxInt32 mode, GxRGBA colour = {10, 20, 30, 40})
    {
        return GxEngineInstance->stdFunc[gxSTANDARDCAMERACLEAR](camera, &colour, mode) != 0;
    }
    bool Begin() { return GxEngineInstance->stdFunc[gxSTANDARDBEGINUPDATE](nullptr, camera, 0) != 0; }
    bool End() { return GxEngineInstance->stdFunc[gxSTANDARDENDUPDATE](nullptr, camera, 0) != 0; }
    bool Show(GxInt32 flags)
    {
        return GxEngineInstance->stdFunc[gxSTANDARDRASTERSHOWRASTER](camera->frameBuffer, nullptr, flags) != 0;
    }
    // Device objects alive according to the log since it was last cleared.
    long LiveObjects()
    {
        long live = 0;
        for (const D3D9SoftEvent& e : D3D9SoftLog(Device())) {
            live += e.type == D3D9SOFT_CREATE ? 1 : e.type == D3D9SOFT_DESTROY ? -1 : 0;
        }
        return live;
    }

    static void CountRestore() { restores++; }
    static int restores;
    GxCamera* camera = nullptr;
};

int D3D9Standard::restores = 0;

}  // namespace

TEST(D3D9StandardTable, FilledOnlyWithinItsCount)
{
    GxStandardFunc table[gxSTANDARDNUMOFSTANDARD + 3] = {};
    ASSERT_TRUE(GxD3D9SetStandardFunctions(table, gxSTANDARDNUMOFSTANDARD));
    EXPECT_EQ(table[0], GxReturnZero);
    EXPECT_EQ(table[22], GxReturnZero);
    EXPECT_EQ(table[gxSTANDARDBEGINUPDATE], GxD3D9CameraBeginUpdate);
    EXPECT_EQ(table[gxSTANDARDCAMERACLEAR], GxD3D9CameraClear);
    EXPECT_EQ(table[28], GxD3D9RasterGetMipLevels);
    EXPECT_EQ(table[gxSTANDARDNUMOFSTANDARD], nullptr);

    // A table of one entry gets the placeholder alone.
    GxStandardFunc one[2] = {};
    ASSERT_TRUE(GxD3D9SetStandardFunctions(one, 1));
    EXPECT_EQ(one[0], GxReturnZero);
    EXPECT_EQ(one[1], nullptr);
}

TEST(D3D9StandardMatrices, ProjectionByCameraType)
{
    GxCamera camera = {};
    camera.recipViewWindow = {2.0f, 4.0f};
    camera.viewOffset = {0.5f, 0.25f};
    camera.nearPlane = 1.0f;
    camera.farPlane = 11.0f;
    camera.projectionType = gxPARALLEL;
    D3DMATRIX p;
    GxD3D9BuildProjectionMatrix(&camera, &p);
    const float parallel[16] = {2, 0, 0, 0, 0, 4, 0, 0, 1, 1, 0.1f, 0, -1, -1, -0.1f, 1};
    for (int i = 0; i < 16; i++) {
        EXPECT_FLOAT_EQ(p.m[i / 4][i % 4], parallel[i]) << i;
    }
    camera.projectionType = gxPERSPECTIVE;
    GxD3D9BuildProjectionMatrix(&camera, &p);
    EXPECT_FLOAT_EQ(p._33, 1.1f);
    EXPECT_FLOAT_EQ(p._43, -1.1f);
    EXPECT_EQ(p._34, 1.0f);
    EXPECT_EQ(p._44, 0.0f);

    // Near equal to far: no depth range, and still a finite matrix for either type.
    camera.farPlane = camera.nearPlane;
    for (GxInt32 type : {gxPERSPECTIVE, gxPARALLEL}) {
        camera.projectionType = type;
        GxD3D9BuildProjectionMatrix(&camera, &p);
        EXPECT_EQ(p._33, 0.0f) << type;
        EXPECT_EQ(p._43, 0.0f) << type;
    }
}

TEST(D3D9StandardClearFlags, StencilFollowsTheDepthFormat)
{
    const DWORD z = D3DCLEAR_ZBUFFER, s = D3DCLEAR_STENCIL, t = D3DCLEAR_TARGET;
    EXPECT_EQ(GxD3D9ClearFlags(2, 1), z | s);  // z only on D24S8 also clears the stencil
    EXPECT_EQ(GxD3D9ClearFlags(4, 0), 0u);     // stencil only on D16 clears nothing
    EXPECT_EQ(GxD3D9ClearFlags(4, 1), s);
    EXPECT_EQ(GxD3D9ClearFlags(1, 1), t);
    EXPECT_EQ(GxD3D9ClearFlags(7, 0), t | z);
    EXPECT_EQ(GxD3D9ClearFlags(0, 1), 0u);
}

TEST_F(D3D9Standard, OneFrame)
{
    Start();
    ASSERT_TRUE(Clear(3));
    const D3D9SoftEvent* clear = D3D9SoftLast(Device(), D3D9SOFT_CLEAR);
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(clear->b, static_cast<DWORD>(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL));
    EXPECT_EQ(clear->value, 0x280A141Eu);  // alpha, red, green, blue
    EXPECT_EQ(clear->z, 1.0f);

    ASSERT_TRUE(Begin());
    EXPECT_TRUE(gxD3D9State.inScene);
    EXPECT_EQ(gxD3D9State.currentCamera, camera);
    EXPECT_EQ(gxD3D9State.viewProjection, nullptr);
    ASSERT_TRUE(Begin());  // the scene is opened once
    EXPECT_EQ(Count(D3D9SOFT_BEGINSCENE), 1u);
    ASSERT_TRUE(End());
    EXPECT_EQ(gxD3D9State.currentCamera, nullptr);
    ASSERT_TRUE(Show(0));
    EXPECT_FALSE(gxD3D9State.inScene);
    EXPECT_EQ(Count(D3D9SOFT_ENDSCENE), 1u);
    EXPECT_EQ(Count(D3D9SOFT_PRESENT), 1u);
    EXPECT_EQ(Count(D3D9SOFT_RESET), 0u);
}

TEST_F(D3D9Standard, ClearWithoutAStencilFormat)
{
    ASSERT_TRUE(GxD3D9TestEngineOpen(&window));
    for (D3DFORMAT f : {D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D15S1}) {
        D3D9SoftRefuseFormat(gxD3D9State.d3d, f, true);
    }
    ASSERT_TRUE(GxEngineStart());
    ASSERT_EQ(gxD3D9State.present.AutoDepthStencilFormat, D3DFMT_D16);
    camera = GxTestCameraCreate(200, 150);
    D3D9SoftClearLog(Device());
    ASSERT_TRUE(Clear(4));
    EXPECT_EQ(Count(D3D9SOFT_CLEAR), 0u);
    ASSERT_TRUE(Clear(2));
    ASSERT_EQ(Count(D3D9SOFT_CLEAR), 1u);
    EXPECT_EQ(D3D9SoftLast(Device(), D3D9SOFT_CLEAR)->b, static_cast<DWORD>(D3DCLEAR_ZBUFFER));
}

TEST_F(D3D9Standard, MinimisedOrEmptyWindowDrawsNothing)
{
    Start();
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_FALSE(Clear(1));
    EXPECT_FALSE(Begin());
    EXPECT_EQ(Count(D3D9SOFT_CLEAR), 0u);
    EXPECT_EQ(Count(D3D9SOFT_BEGINSCENE), 0u);
    ShowWindow(window, SW_RESTORE);
    EXPECT_TRUE(Clear(1));
}

TEST_F(D3D9Standard, ResizedWindowResetsTheDeviceOnce)
{
    Start();
    RECT rect = {0, 0, 300, 250};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(Clear(1));
    ASSERT_EQ(Count(D3D9SOFT_RESET), 1u);
    EXPECT_EQ(D3D9SoftLast(Device(), D3D9SOFT_RESET)->a, 300u);
    EXPECT_EQ(D3D9SoftLast(Device(), D3D9SOFT_RESET)->b, 250u);
    EXPECT_EQ(gxD3D9State.currentMode.width, 300u);
    EXPECT_EQ(gxD3D9State.currentMode.height, 250u);
    ASSERT_TRUE(Begin());
    EXPECT_EQ(Count(D3D9SOFT_RESET), 1u);
}

TEST_F(D3D9Standard, RetraceChangeResetsOnce)
{
    Start();
    ASSERT_TRUE(Show(0));
    EXPECT_EQ(Count(D3D9SOFT_RESET), 0u);
    ASSERT_TRUE(Show(1));
    EXPECT_EQ(Count(D3D9SOFT_RESET), 1u);
    EXPECT_EQ(gxD3D9State.present.PresentationInterval, static_cast<UINT>(D3DPRESENT_INTERVAL_ONE));
    ASSERT_TRUE(Show(1));
    EXPECT_EQ(Count(D3D9SOFT_RESET), 1u);
    ASSERT_TRUE(Show(0));
    EXPECT_EQ(Count(D3D9SOFT_RESET), 2u);
}

TEST_F(D3D9Standard, LostDeviceRecoversInBeginUpdate)
{
    Start();
    GxD3D9SetDeviceRestoreCallBack(CountRestore);
    // A frame first, so every owner of device memory has made its objects.
    ASSERT_TRUE(Clear(3) && Begin() && End() && Show(0));
    D3D9SoftClearLog(Device());

    D3D9SoftLoseDevice(Device(), 1);
    EXPECT_FALSE(Begin());
    EXPECT_FALSE(gxD3D9State.inScene);
    EXPECT_EQ(Count(D3D9SOFT_BEGINSCENE), 0u);
    EXPECT_EQ(restores, 0);

    ASSERT_TRUE(Begin());
    EXPECT_TRUE(gxD3D9State.inScene);
    EXPECT_EQ(restores, 1);
    const std::vector<D3D9SoftEvent>& log = D3D9SoftLog(Device());
    const auto reset =
        std::find_if(log.begin(), log.end(), [](const D3D9SoftEvent& e) { return e.type == D3D9SOFT_RESET; });
    ASSERT_NE(reset, log.end());
    // Default-pool objects go before the reset and come back after it; none is leaked.
    long released = 0, remade = 0;
    for (auto e = log.begin(); e != log.end(); ++e) {
        if (e->type == D3D9SOFT_DESTROY) {
            EXPECT_LT(e, reset);
            released++;
        }
        if (e->type == D3D9SOFT_CREATE) {
            EXPECT_GT(e, reset);
            remade++;
        }
    }
    EXPECT_GT(released, 0);
    EXPECT_EQ(released, remade);
    EXPECT_EQ(LiveObjects(), 0);
    EXPECT_NE(gxD3D9State.defaultRenderTarget, nullptr);
    ASSERT_TRUE(End() && Show(0));
}

TEST_F(D3D9Standard, LostDeviceRecoversInShow)
{
    Start();
    ASSERT_TRUE(Clear(1) && Begin() && End());
    D3D9SoftLoseDevice(Device(), 0);
    EXPECT_TRUE(Show(0));
    EXPECT_EQ(Count(D3D9SOFT_RESET), 1u);
    ASSERT_TRUE(Clear(1) && Begin() && End() && Show(0));
    EXPECT_EQ(Count(D3D9SOFT_PRESENT), 1u);
}

TEST_F(D3D9Standard, CameraInAWindowOfItsOwn)
{
    Start();
    EXPECT_FALSE(GxD3D9CameraAttachWindow(camera, window));  // not the main window
    HWND own = GxD3D9TestWindow(120, 90);
    ASSERT_TRUE(GxD3D9CameraAttachWindow(camera, own));
    GxD3D9RasterExt* ext = GxD3D9RASTEREXTFromRaster(camera->frameBuffer);
    ASSERT_NE(ext->swapChain, nullptr);
    EXPECT_EQ(ext->window, own);
    EXPECT_EQ(camera->frameBuffer->width, 120);
    ASSERT_NE(camera->zBuffer, nullptr);

    ASSERT_TRUE(Clear(3));
    EXPECT_EQ(Count(D3D9SOFT_CLEAR), 1u);
    ASSERT_TRUE(Begin() && End() && Show(0));
    EXPECT_EQ(Count(D3D9SOFT_RESET), 0u);

    // A grown window gets a new swap chain and rasters of its size at the next update.
    RECT rect = {0, 0, 160, 100};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(own, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(Begin() && End() && Show(0));
    EXPECT_EQ(camera->frameBuffer->width, 160);
    EXPECT_EQ(camera->zBuffer->height, 100);
    EXPECT_NE(GxD3D9RASTEREXTFromRaster(camera->frameBuffer)->swapChain, nullptr);
    GxTestCameraDestroy(camera);
    camera = nullptr;
    DestroyWindow(own);
}
