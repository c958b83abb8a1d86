// Fuzz target of the camera's settings: any ./setup.xml gives a camera with a usable projection.
#include <cmath>
#include <cstdlib>

#include "engine/application/base.h"
#include "engine/data/tagtree.h"
#include "engine/world/camera.h"
#include "gfx/core/camera.h"
#include "gfx/testsupport/fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver())
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFerroxTagTree settings;
    settings.LoadFromMemory(reinterpret_cast<const char*>(data), size);
    g_pFerroxSetupTree = &settings;
    {
        CFerroxCamera camera;
        if (!camera.Create(16, 16, 1))
            std::abort();
        const GxCamera* graphics = camera.GetGraphicsCamera();
        if (!(graphics->nearPlane > 0.0f) || !(graphics->farPlane > graphics->nearPlane) ||
            !std::isfinite(graphics->farPlane) || !std::isfinite(graphics->fogPlane))
            std::abort();
    }
    g_pFerroxSetupTree = nullptr;
    GxError error;
    GxErrorGet(&error);
    return 0;
}
