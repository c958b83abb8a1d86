// Test support of the atomic pipeline: the engine on the software device with the world objects and the driver's
// world glue, atomics over test boxes, a camera, global lights and pixel read-back.
#pragma once

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "gfx/core/camera.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/lights.h"
#include "gfx/d3d9/worldglue_local.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/world/world.h"
#include "gfx/world/world_testing.h"
#include "platform/testsupport/softdevice.h"
#include "platform/win32/gl_required_testing.h"

// 1 when the geometry is on the world glue's list of geometries with two-stream instances.
inline GxBool GxD3D9DynamicGeometryContains(const GxGeometry* geometry)
{
    for (const GxD3D9DynamicGeometryEntry* entry = gxD3D9WorldGlue.dynamic; entry; entry = entry->next) {
        if (entry->geometry == geometry) {
            return 1;
        }
    }
    return 0;
}

// Two separate triangles as a strip: the strip needs a join, so it holds more than three indices a triangle.
inline GxGeometry* GxAtomicPipeTestSplitStrip()
{
    GxGeometry* geometry = GxGeometryCreate(6, 2, gxGEOMETRYPOSITIONS | gxGEOMETRYTRISTRIP);
    if (!geometry) {
        return nullptr;
    }
    for (GxInt32 v = 0; v < 6; v++) {
        geometry->morphTarget[0].verts[v] = GxV3d{static_cast<GxReal>(v), static_cast<GxReal>(v % 2), 0.0f};
    }
    const GxUInt16 tris[2][3] = {{5, 4, 3}, {0, 1, 2}};
    for (GxInt32 t = 0; t < 2; t++) {
        memcpy(geometry->triangles[t].vertIndex, tris[t], sizeof(tris[t]));
        geometry->triangles[t].matIndex = gxGEOMETRYNOMATERIAL;
    }
    GxMorphTargetCalcBoundingSphere(&geometry->morphTarget[0], &geometry->morphTarget[0].boundingSphere);
    return GxGeometryUnlock(geometry);
}

inline GxLink gxAtomicPipeTestLights;
inline GxLink* GxAtomicPipeTestLightsQuery(GxWorld*) { return &gxAtomicPipeTestLights; }

class GxAtomicPipeTest : public GxD3D9SoftwareTest {
protected:
    // The engine starts here on the named back end ("software" logs draws, "opengl" draws pixels).
    explicit GxAtomicPipeTest(const char* backendName = "software")
        : GxD3D9SoftwareTest(64, 64, false), backend(backendName)
    {}
    // The software device is always there; OpenGL may be missing on a machine without it.
    void BackendMissing(const std::string& reason)
    {
        if (backend != std::string("opengl")) {
            FAIL() << reason;
        }
        MALL_GL_MISSING(reason);
    }
    // Starts the engine on the back end in its first video mode with the given plugins; a back end that is missing
    // ends the test as BackendMissing says.
    void StartEngine(std::function<bool()> plugins)
    {
        GxTestEngineSetup setup;
        setup.backend = backend == std::string("opengl") ? GxTestBackend::kOpenGL : GxTestBackend::kSoftware;
        setup.memory = memoryFunctions;
        setup.firstVideoMode = true;
        setup.files = false;
        setup.plugins = [&plugins] { return plugins() && !HasFatalFailure(); };
        engine.emplace(setup);
        if (HasFatalFailure()) {
            return;
        }
        if (!engine->Ok() && engine->GLMissing()) {
            BackendMissing(engine->Failure());
            return;
        }
        ASSERT_TRUE(engine->Ok()) << engine->Failure();
        window = engine->Window();
    }
    void SetUp() override
    {
        StartEngine([this] {
            if (!GxWorldPluginAttach() || !GxD3D9WorldPluginAttach()) {
                return false;
            }
            AttachPlugins();  // a fixture's own plugins, after the world glue
            return true;
        });
        if (HasFatalFailure() || IsSkipped()) {
            return;
        }
        D3DADAPTER_IDENTIFIER9 id = {};
        gxD3D9State.d3d->GetAdapterIdentifier(0, 0, &id);
        const std::string driver = id.Driver;
        if (driver.find(backend == std::string("software") ? "soft" : backend) == std::string::npos) {
            BackendMissing(std::string("the ") + backend + " back end is not available");
            return;
        }
        GxTestTakeError();
        GxLinkInit(&gxAtomicPipeTestLights);
        GxD3D9SetWorldLightsQuery(GxAtomicPipeTestLightsQuery);
        camera = GxTestCameraCreate(64, 64);
        ASSERT_NE(camera, nullptr);
        const GxV2d window = {0.5f, 0.5f};
        GxCameraSetViewWindow(camera, &window);
        GxCameraSetNearClipPlane(camera, 0.5f);
        GxCameraSetFarClipPlane(camera, 100.0f);
    }
    void TearDown() override
    {
        for (GxAtomic* atomic : atomics) {
            GxFrame* frame = static_cast<GxFrame*>(atomic->object.object.parent);
            GxAtomicDestroy(atomic);
            GxFrameDestroy(frame);
        }
        for (GxLight* light : lights) {
            GxLinkRemove(&light->inWorld);
            GxFrame* frame = static_cast<GxFrame*>(light->object.object.parent);
            GxLightDestroy(light);
            GxFrameDestroy(frame);
        }
        for (GxTexture* texture : textures) {
            GxTextureDestroy(texture);
        }
        GxD3D9SetWorldLightsQuery(nullptr);
        GxTestCameraDestroy(camera);
        GxD3D9SoftwareTest::TearDown();
    }

    // An atomic over a box at depth z in front of the camera (the -z face, material `front`, faces it).
    GxAtomic* MakeAtomic(GxGeometry* geometry, GxReal z = 5.0f)
    {
        GxAtomic* atomic = GxAtomicCreate();
        GxFrame* frame = GxFrameCreate();
        const GxV3d at = {0, 0, z};
        GxFrameTranslate(frame, &at, 0);
        GxAtomicSetFrame(atomic, frame);
        GxAtomicSetGeometry(atomic, geometry, 0);
        GxGeometryDestroy(geometry);  // the atomic holds it now
        atomics.push_back(atomic);
        return atomic;
    }

    GxLight* AddLight(GxInt32 type, GxReal grey)
    {
        GxLight* light = GxLightCreate(type);
        GxFrame* frame = GxFrameCreate();
        GxLightSetFrame(light, frame);
        const GxRGBAReal colour = {grey, grey, grey, 1.0f};
        GxLightSetColor(light, &colour);
        GxLinkAddAfter(&gxAtomicPipeTestLights, &light->inWorld);
        lights.push_back(light);
        return light;
    }

    GxTexture* SolidTexture(GxUInt8 r, GxUInt8 g, GxUInt8 b)
    {
        GxRaster* raster = GxRasterCreate(2, 2, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
        if (!raster) {
            return nullptr;
        }
        GxUInt8* pixels = GxRasterLock(raster, 0, gxRASTERLOCKWRITE);
        for (GxInt32 y = 0; pixels && y < 2; y++) {
            for (GxInt32 x = 0; x < 2; x++) {
                GxUInt8* p = pixels + y * raster->stride + x * 4;
                p[0] = b;
                p[1] = g;
                p[2] = r;
                p[3] = 255;
            }
        }
        GxRasterUnlock(raster);
        GxTexture* texture = GxTextureCreate(raster);
        textures.push_back(texture);
        return texture;
    }

    // Clears, renders the atomics in a camera update (with a stand-in current world unless `worldless`), and reads
    // the frame back.
    bool Render(GxRGBA background = {0, 0, 0, 255})
    {
        if (!GxCameraClear(camera, &background, 3) || !GxCameraBeginUpdate(camera)) {
            return false;
        }
        GxWorldBumpRenderFrame();  // a new render frame, as the world plugin's begin update makes one
        static int worldStandIn = 0;
        GxEngineInstance->curWorld = worldless ? nullptr : reinterpret_cast<GxWorld*>(&worldStandIn);
        bool ok = true;
        for (GxAtomic* atomic : atomics) {
            ok = GxAtomicDefaultRenderCallback(atomic) != nullptr && ok;
        }
        GxEngineInstance->curWorld = nullptr;
        GxCameraEndUpdate(camera);
        pixels.clear();
        GxRaster* raster = camera->frameBuffer;
        GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        if (!bits) {
            return false;
        }
        for (GxInt32 y = 0; y < raster->height; y++) {
            const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
            pixels.insert(pixels.end(), row, row + raster->width);
        }
        GxRasterUnlock(raster);
        return ok;
    }
    GxUInt32 At(GxInt32 x, GxInt32 y) const { return pixels[static_cast<size_t>(y) * 64 + static_cast<size_t>(x)]; }

    const char* backend;
    bool worldless = false;
    GxCamera* camera = nullptr;
    std::vector<GxAtomic*> atomics;
    std::vector<GxLight*> lights;
    std::vector<GxTexture*> textures;
    std::vector<GxUInt32> pixels;
};

inline ::testing::AssertionResult GxColourNear(GxUInt32 argb, GxInt32 r, GxInt32 g, GxInt32 b, GxInt32 tolerance = 3)
{
    const GxInt32 cr = (argb >> 16) & 0xFF, cg = (argb >> 8) & 0xFF, cb = argb & 0xFF;
    if (std::abs(cr - r) <= tolerance && std::abs(cg - g) <= tolerance && std::abs(cb - b) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "got (" << cr << "," << cg << "," << cb << ") want (" << r << "," << g
                                         << "," << b << ")";
}
