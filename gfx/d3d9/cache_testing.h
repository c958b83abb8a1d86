// Test fixture of the driver caches: the engine on a test device and a software Direct3D device behind the driver.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/vertexbuffer.h"
#include "platform/testsupport/softdevice.h"

// The caches run on a software device put straight into the driver state, so each test
// sees exactly the calls the caches make, in the software back end's log.
class GxD3D9CacheTest : public ::testing::Test {
protected:
    D3D9CapsProfile profile = D3D9_CAPS_FULL;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    HWND window = nullptr;
    D3DPRESENT_PARAMETERS present = {};
    GxD3D9State saved = {};  // the driver state is put back for the tests that follow

    void SetUp() override { Start(D3D9_CAPS_FULL); }
    void TearDown() override { Stop(); }

    void Start(D3D9CapsProfile caps)
    {
        profile = caps;
        saved = gxD3D9State;
        GxD3D9TestUseBackend("software");
        ASSERT_TRUE(GxTestEngineStart());
        window = GxD3D9TestWindow(64, 48);
        d3d = D3D9SoftCreate(profile);
        ASSERT_NE(d3d, nullptr);
        ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &gxD3D9State.caps), D3D_OK);
        present = D3D9WindowedParameters(64, 48, window);
        const bool hardware = (gxD3D9State.caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
        const DWORD behaviour = hardware ? D3DCREATE_HARDWARE_VERTEXPROCESSING : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, behaviour, &present, &device), D3D_OK);
        gxD3D9State.d3d = d3d;
        gxD3D9State.device = device;
        GxD3D9ForgetRenderTargets();
        GxD3D9ResetDeviceCaches();
        ASSERT_TRUE(GxD3D9ClearTransformCache());
        GxD3D9LightTableEmpty();
        GxD3D9RenderStateReset();
        ASSERT_TRUE(GxD3D9VertexBufferManagerOpen());
        D3D9SoftClearLog(device);
    }

    void Stop()
    {
        if (device) {
            GxD3D9VertexBufferManagerClose();
            GxD3D9VertexDeclarationCacheRelease();
            GxD3D9TransformCacheDestroy();
            GxD3D9LightTableFree();
            device->Release();
        }
        if (d3d) {
            d3d->Release();
        }
        device = nullptr;
        d3d = nullptr;
        gxD3D9State = saved;
        if (window) {
            DestroyWindow(window);
            window = nullptr;
        }
        GxTestEngineShutdown();
    }

    // Switches to another capability profile for the rest of the test.
    void Restart(D3D9CapsProfile caps)
    {
        Stop();
        Start(caps);
    }

    // State events of one kind in log order, as (a, b, value).
    struct StateEvent {
        DWORD a;
        DWORD b;
        DWORD value;
        bool operator==(const StateEvent& o) const { return a == o.a && b == o.b && value == o.value; }
    };
    std::vector<StateEvent> Events(D3D9StateKind kind) const
    {
        std::vector<StateEvent> out;
        for (const D3D9SoftEvent& e : D3D9SoftLog(device)) {
            if (e.type == D3D9SOFT_STATE && e.kind == static_cast<DWORD>(kind)) {
                out.push_back(StateEvent{e.a, e.b, e.value});
            }
        }
        return out;
    }
    size_t Count(D3D9StateKind kind) const { return Events(kind).size(); }
    // The value a render state last reached the device with, or -1.
    long long LastRenderState(DWORD state) const
    {
        long long value = -1;
        for (const StateEvent& e : Events(D3D9_STATE_RENDER)) {
            if (e.a == state) {
                value = e.value;
            }
        }
        return value;
    }
    void ClearLog() { D3D9SoftClearLog(device); }
};
