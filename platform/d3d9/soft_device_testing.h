// Test fixtures of the device-core tests: one windowed device on the software back end.
#pragma once

#include "platform/d3d9/d3d9.h"
#include "platform/testsupport/softdevice.h"

#include <gtest/gtest.h>

class SoftDeviceTest : public ::testing::Test {
protected:
    void TearDown() override { Close(); }

    void Open(DWORD behavior, UINT width, UINT height, D3DFORMAT backBufferFormat)
    {
        d3d = D3D9SoftCreate(D3D9_CAPS_FULL);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(width, height, nullptr);
        pp.BackBufferFormat = backBufferFormat;
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, behavior, &pp, &dev), D3D_OK);
    }
    // Every test must have released what it made: these are the last references.
    void Close()
    {
        if (dev) {
            EXPECT_EQ(dev->Release(), 0u);
        }
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
        dev = nullptr;
        d3d = nullptr;
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* dev = nullptr;
};

// The device most tests use: 320x240, hardware vertex processing.
class DeviceTest : public SoftDeviceTest {
protected:
    void SetUp() override { Open(D3DCREATE_HARDWARE_VERTEXPROCESSING, 320, 240, D3DFMT_X8R8G8B8); }
    size_t CountEvents(D3D9SoftEventType type) { return D3D9SoftCount(dev, type); }
};
