// Tests of the driver's request handler: engine states, adapters, the mode list, refresh cap and present parameters.
#include <gtest/gtest.h>

#include "gfx/testsupport/software_fixture.h"
#include "platform/testsupport/softdevice.h"

namespace {

class D3D9Device : public GxD3D9SoftwareTest {
protected:
    D3D9Device() : GxD3D9SoftwareTest(320, 240, false) {}
    void TearDown() override
    {
        GxD3D9SoftwareTest::TearDown();
        GxD3D9SetRefreshRate(0xFFFFFFFFu);
    }
    bool Open() { return GxD3D9TestEngineOpen(&window); }

    GxD3D9TestAdapter adapter;  // outlives the engine, which holds it while open
};

GxVideoMode Mode(GxInt32 index)
{
    GxVideoMode mode = {};
    EXPECT_NE(GxEngineGetVideoModeInfo(&mode, index), nullptr) << "mode " << index;
    return mode;
}

D3DDISPLAYMODE Fs(UINT w, UINT h, UINT rate, D3DFORMAT format = D3DFMT_X8R8G8B8)
{
    return D3DDISPLAYMODE{w, h, rate, format};
}

}  // namespace

TEST_F(D3D9Device, EngineStatesThroughTheDriver)
{
    GxEngineSetDriver(GxD3D9GetDriver());
    ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
    // Before open: no parameters, no Direct3D, no device.
    EXPECT_FALSE(GxD3D9SystemHandler(gxDEVICESYSTEMOPEN, nullptr, nullptr, 0));
    EXPECT_FALSE(GxD3D9SystemHandler(gxDEVICESYSTEMSTART, nullptr, nullptr, 0));
    EXPECT_FALSE(GxD3D9SystemHandler(gxD3D9DEVICESYSTEMFOCUS, nullptr, nullptr, 1));
    ASSERT_TRUE(GxEngineOpen(&window));
    EXPECT_EQ(GxEngineInstance->engineStatus, gxENGINESTATUSOPENED);
    EXPECT_NE(gxD3D9State.d3d, nullptr);
    EXPECT_EQ(gxD3D9State.device, nullptr);
    EXPECT_EQ(gxD3D9State.window, window);
    // The driver's record is in the instance and its table is filled.
    EXPECT_EQ(GxEngineInstance->dOpenDevice.fpSystem, GxD3D9SystemHandler);
    EXPECT_EQ(GxEngineInstance->stdFunc[gxSTANDARDCAMERACLEAR], GxD3D9CameraClear);

    ASSERT_TRUE(GxEngineStart());
    EXPECT_EQ(GxEngineInstance->engineStatus, gxENGINESTATUSSTARTED);
    ASSERT_NE(gxD3D9State.device, nullptr);
    EXPECT_TRUE(gxD3D9State.started);
    EXPECT_NE(gxD3D9State.defaultRenderTarget, nullptr);
    EXPECT_NE(gxD3D9State.defaultDepthStencil, nullptr);
    // Windowed: the current mode follows the client area.
    EXPECT_EQ(gxD3D9State.currentMode.width, 320u);
    EXPECT_EQ(gxD3D9State.currentMode.height, 240u);

    EXPECT_TRUE(GxEngineStop());
    EXPECT_EQ(gxD3D9State.device, nullptr);
    EXPECT_FALSE(gxD3D9State.started);
    EXPECT_EQ(gxD3D9State.modes, nullptr);
    EXPECT_TRUE(GxEngineClose());
    EXPECT_EQ(gxD3D9State.d3d, nullptr);
    EXPECT_TRUE(GxEngineTerm());
    // And again: nothing of the first run is in the way.
    ASSERT_TRUE(Open());
    ASSERT_TRUE(GxEngineStart());
}

TEST_F(D3D9Device, ModeListOfTheStandIn)
{
    ASSERT_TRUE(Open());
    EXPECT_FALSE(GxEngineSetVideoMode(0)) << "selecting needs the list a query builds";
    const GxInt32 count = GxEngineGetNumVideoModes();
    ASSERT_GE(count, 4);
    // Windowed entry first, at the desktop size of the software back end.
    GxVideoMode windowed = Mode(0);
    EXPECT_EQ(windowed.flags, 0);
    EXPECT_EQ(windowed.width, 1024);
    EXPECT_EQ(windowed.depth, 32);
    EXPECT_EQ(windowed.format, 0x600);
    // The fixed full-screen sizes follow at stable indexes.
    const GxInt32 sizes[3][2] = {{800, 600}, {1024, 768}, {1280, 1024}};
    for (GxInt32 i = 0; i < 3; i++) {
        GxVideoMode m = Mode(i + 1);
        EXPECT_EQ(m.flags, 1);
        EXPECT_EQ(m.width, sizes[i][0]);
        EXPECT_EQ(m.height, sizes[i][1]);
        EXPECT_EQ(m.refRate, 60);
    }
    GxVideoMode bad = {};
    EXPECT_EQ(GxEngineGetVideoModeInfo(&bad, -1), nullptr);
    EXPECT_EQ(GxEngineGetVideoModeInfo(&bad, count), nullptr);
    EXPECT_FALSE(GxEngineSetVideoMode(count));

    ASSERT_TRUE(GxEngineSetVideoMode(2));
    EXPECT_EQ(GxEngineGetCurrentVideoMode(), 2);
    EXPECT_EQ(gxD3D9State.currentMode.width, 1024u);
    EXPECT_EQ(gxD3D9State.currentMode.flags, 1u);
    ASSERT_TRUE(GxEngineSetVideoMode(0));
    ASSERT_TRUE(GxEngineStart());
    // No mode change while started.
    EXPECT_FALSE(GxEngineSetVideoMode(1));
    EXPECT_EQ(GxEngineGetCurrentVideoMode(), 0);
    EXPECT_EQ(gxD3D9State.currentMode.flags, 0u);
}

TEST_F(D3D9Device, ModeListKeepsEachSizeOnceAtItsHighestRate)
{
    ASSERT_TRUE(Open());
    adapter.modes = {
        Fs(640, 480, 60), Fs(640, 480, 85), Fs(800, 600, 75), Fs(640, 480, 72), Fs(640, 480, 60, D3DFMT_R5G6B5),
        Fs(800, 600, 60)};
    GxD3D9TestInstallAdapter(&adapter);
    ASSERT_EQ(GxEngineGetNumVideoModes(), 4);
    EXPECT_EQ(Mode(0).flags, 0);
    // 16-bit modes are listed first.
    EXPECT_EQ(Mode(1).depth, 16);
    EXPECT_EQ(Mode(2).width, 640);
    EXPECT_EQ(Mode(2).refRate, 85);
    EXPECT_EQ(Mode(3).width, 800);
    EXPECT_EQ(Mode(3).refRate, 75);

    // A desktop format outside the table gives no windowed entry: the first full-screen mode takes entry 0 and
    // is left out of the duplicate checks, which start at entry 1.
    adapter.desktop = Fs(1024, 768, 60, D3DFMT_P8);
    adapter.modes = {Fs(640, 480, 60), Fs(640, 480, 75), Fs(800, 600, 60), Fs(640, 480, 85)};
    ASSERT_TRUE(GxEngineSetSubSystem(0));
    ASSERT_EQ(GxEngineGetNumVideoModes(), 3);
    EXPECT_EQ(Mode(0).flags, 1);
    EXPECT_EQ(Mode(0).refRate, 60);
    EXPECT_EQ(Mode(1).width, 640);
    EXPECT_EQ(Mode(1).refRate, 85);
    EXPECT_EQ(Mode(2).width, 800);
}

// A list memory refuses fails the request; a list already built stays whole.
TEST_F(D3D9Device, ModeListMemoryRefusesFailsTheRequest)
{
    GxEngineSetDriver(GxD3D9GetDriver());
    ASSERT_TRUE(GxEngineInit(GxTestMemoryReset(), 0, 0x400000));
    ASSERT_TRUE(GxEngineOpen(&window));
    GxInt32 listed = 0;
    gxTestMemory.mallocFailAfter = 0;
    EXPECT_FALSE(GxD3D9SystemHandler(gxDEVICESYSTEMGETNUMMODES, &listed, nullptr, 0));
    gxTestMemory.mallocFailAfter = -1;
    const GxInt32 count = GxEngineGetNumVideoModes();
    ASSERT_GE(count, 4);
    gxTestMemory.reallocFailures = 1;
    EXPECT_FALSE(GxD3D9CreateDisplayModesList());
    gxTestMemory.reallocFailures = 0;
    EXPECT_EQ(GxEngineGetNumVideoModes(), count);
    EXPECT_EQ(Mode(count - 1).flags, 1);
}

TEST_F(D3D9Device, RefreshCapTakesTheBestRateTheSizeOffers)
{
    ASSERT_TRUE(Open());
    adapter.modes = {Fs(640, 480, 60), Fs(640, 480, 75), Fs(640, 480, 100), Fs(800, 600, 100)};
    GxD3D9TestInstallAdapter(&adapter);
    ASSERT_TRUE(GxEngineSetVideoMode(1));
    ASSERT_EQ(gxD3D9State.currentMode.refreshRate, 100u);

    GxD3D9SetRefreshRate(85);
    EXPECT_EQ(GxD3D9RefreshRateFor(&gxD3D9State.currentMode), 75u);
    ASSERT_TRUE(GxD3D9SetPresentParameters(&gxD3D9State.currentMode, 1, D3DFMT_X8R8G8B8));
    EXPECT_EQ(gxD3D9State.present.FullScreen_RefreshRateInHz, 75u);
    EXPECT_FALSE(gxD3D9State.present.Windowed);
    EXPECT_EQ(gxD3D9State.present.BackBufferWidth, 640u);

    // 800x600 offers nothing at or below 85: the adapter's default rate.
    ASSERT_TRUE(GxEngineSetVideoMode(2));
    EXPECT_EQ(GxD3D9RefreshRateFor(&gxD3D9State.currentMode), 0u);
    GxD3D9SetRefreshRate(0);
    ASSERT_TRUE(GxEngineSetVideoMode(1));
    EXPECT_EQ(GxD3D9RefreshRateFor(&gxD3D9State.currentMode), 0u);
    GxD3D9SetRefreshRate(0xFFFFFFFFu);
    EXPECT_EQ(GxD3D9RefreshRateFor(&gxD3D9State.currentMode), 100u);
}

TEST_F(D3D9Device, AdapterRequests)
{
    ASSERT_TRUE(Open());
    adapter.adapters = 2;
    adapter.description = std::string(300, 'x');
    adapter.modes = {Fs(640, 480, 60)};
    GxD3D9TestInstallAdapter(&adapter);

    EXPECT_EQ(GxEngineGetNumSubSystems(), 2);
    // A long description is cut to the record, not written past it.
    struct {
        GxSubSystemInfo info;
        char guard[16];
    } record;
    memset(&record, 'g', sizeof(record));
    ASSERT_NE(GxEngineGetSubSystemInfo(&record.info, 1), nullptr);
    EXPECT_EQ(strlen(record.info.name), sizeof(record.info.name) - 1);
    EXPECT_EQ(record.guard[0], 'g');
    // No third adapter.
    EXPECT_EQ(GxEngineGetSubSystemInfo(&record.info, 2), nullptr);
    EXPECT_FALSE(GxEngineSetSubSystem(2));
    EXPECT_FALSE(GxEngineSetSubSystem(-1));
    EXPECT_EQ(GxEngineGetCurrentSubSystem(), 0);

    ASSERT_TRUE(GxEngineSetSubSystem(1));
    EXPECT_EQ(GxEngineGetCurrentSubSystem(), 1);
    EXPECT_EQ(gxD3D9State.adapter, 1u);
    EXPECT_EQ(GxEngineGetNumVideoModes(), 2);

    GxInt32 size = 0;
    ASSERT_TRUE(
        GxEngineDeviceRequest(&GxEngineInstance->dOpenDevice, gxD3D9DEVICESYSTEMGETMAXTEXTURESIZE, &size, nullptr, 0));
    EXPECT_EQ(size, 4096);
    GxUInt16 id = 0;
    ASSERT_TRUE(GxEngineDeviceRequest(&GxEngineInstance->dOpenDevice, gxD3D9DEVICESYSTEMGETID, &id, nullptr, 0));
    EXPECT_EQ(id, 2);
    EXPECT_FALSE(GxD3D9SystemHandler(23, nullptr, nullptr, 0));
}

TEST_F(D3D9Device, PresentParametersAndDepthFormats)
{
    ASSERT_TRUE(Open());
    ASSERT_TRUE(GxEngineStart());
    // Windowed on an X8R8G8B8 desktop that takes an A8R8G8B8 back buffer.
    const D3DPRESENT_PARAMETERS& pp = gxD3D9State.present;
    EXPECT_TRUE(pp.Windowed);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_A8R8G8B8);
    EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_COPY);
    EXPECT_EQ(pp.PresentationInterval, static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE));
    EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D24S8);
    EXPECT_TRUE(gxD3D9State.stencilAvailable);
    EXPECT_EQ(gxD3D9State.backBufferDepth, 32);
    GxEngineStop();

    // No 32-bit depth format: the 16-bit rule, and the buffer counts as 16 bits.
    for (D3DFORMAT f : {D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32, D3DFMT_D24X8}) {
        D3D9SoftRefuseFormat(gxD3D9State.d3d, f, true);
    }
    ASSERT_TRUE(GxEngineStart());
    EXPECT_EQ(gxD3D9State.backBufferDepth, 16);
    EXPECT_TRUE(pp.AutoDepthStencilFormat == D3DFMT_D15S1 || pp.AutoDepthStencilFormat == D3DFMT_D16);
    EXPECT_EQ(gxD3D9State.stencilAvailable, pp.AutoDepthStencilFormat == D3DFMT_D15S1);
}
