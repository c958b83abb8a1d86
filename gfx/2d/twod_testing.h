// Test fixture of the 2D toolkit: the engine on the software device, a 640 x 480 camera, the toolkit open,
// and every batch it draws captured instead of submitted.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "gfx/2d/batch_testing.h"
#include "gfx/2d/twod_local.h"
#include "gfx/core/camera.h"
#include "gfx/core/raster.h"
#include "gfx/core/renderstate.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/testsupport/opengl_fixture.h"
#include "gfx/testsupport/software_fixture.h"

inline Gx2DBrush* Gx2DBrushSetHalfWidth(Gx2DBrush* brush, GxReal halfWidth)
{
    brush->halfWidth = halfWidth;
    return brush;
}

inline const Gx2DPoint* Gx2DPathGetPoints(const Gx2DPath* path) { return path->points; }

struct Gx2DTestBatch {
    std::vector<GxIm3DVertex> vertices;
    std::vector<GxUInt16> indices;
    GxUInt32 flags;
    GxInt32 primType;
    GxMatrix matrix;
};

inline std::vector<Gx2DTestBatch> gx2DTestBatches;

inline GxBool Gx2DTestCapture(GxIm3DVertex* vertices, GxInt32 numVertices, const GxMatrix* matrix, GxUInt32 flags,
                              GxInt32 primType, const GxUInt16* indices, GxInt32 numIndices)
{
    gx2DTestBatches.push_back({std::vector<GxIm3DVertex>(vertices, vertices + numVertices),
                               std::vector<GxUInt16>(indices, indices + numIndices), flags, primType, *matrix});
    return 1;
}

// Vertices of every captured batch, in order.
inline std::vector<GxIm3DVertex> Gx2DTestAllVertices()
{
    std::vector<GxIm3DVertex> all;
    for (const Gx2DTestBatch& batch : gx2DTestBatches) {
        all.insert(all.end(), batch.vertices.begin(), batch.vertices.end());
    }
    return all;
}

// Opens the toolkit on a camera whose view window is 0.5 by 0.375 (4:3): a unit of user space is the height.
inline bool Gx2DTestOpen(GxCamera* camera)
{
    const GxV2d view = {0.5f, 0.375f};
    GxCameraSetViewWindow(camera, &view);
    return Gx2DOpen(camera);
}

class Gx2DTest : public GxD3D9SoftwareTest {
protected:
    static constexpr GxInt32 kWidth = 640;
    static constexpr GxInt32 kHeight = 480;

    Gx2DTest() : GxD3D9SoftwareTest(kWidth, kHeight) {}

    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        camera = GxTestCameraCreate(kWidth, kHeight);
        ASSERT_NE(camera, nullptr);
        ASSERT_TRUE(Gx2DTestOpen(camera));
        gx2DTestBatches.clear();
        Gx2DSetBatchFunc(Gx2DTestCapture);
    }
    void TearDown() override
    {
        Gx2DSetBatchFunc(nullptr);
        gx2DTestBatches.clear();
        Gx2DClose();
        GxTestCameraDestroy(camera);
        GxD3D9SoftwareTest::TearDown();
    }

    // A named texture over a 32-bit raster, its pixels given row by row as 0xAARRGGBB (or left clear).
    GxTexture* MakeTexture(const char* name, GxInt32 width, GxInt32 height, const std::vector<GxUInt32>& pixels = {})
    {
        GxRaster* raster = GxRasterCreate(width, height, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
        if (!raster) {
            return nullptr;
        }
        if (!pixels.empty()) {
            GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKWRITE);
            if (!bits) {
                return nullptr;
            }
            for (GxInt32 y = 0; y < height; y++) {
                auto* row = reinterpret_cast<GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
                for (GxInt32 x = 0; x < width; x++) {
                    row[x] = pixels[static_cast<size_t>(y * width + x)];
                }
            }
            GxRasterUnlock(raster);
        }
        GxTexture* texture = GxTextureCreate(raster);
        if (texture) {
            GxTextureSetName(texture, name);
        }
        return texture;
    }

    GxCamera* camera = nullptr;
};

// The top matrix of the stack, and the font search path.
inline const GxMatrix* Gx2DCTMGet(void) { return gx2D.ctm[gx2D.ctmTop]; }
inline const GxChar* Gx2DFontGetPath(void) { return gx2D.fontPath; }

inline bool Gx2DTestNear(GxReal a, GxReal b, GxReal tolerance = 1e-4f) { return std::fabs(a - b) <= tolerance; }

// A font read from metrics text through a memory stream; null when the reader refuses it.
inline Gx2DFont* Gx2DTestReadMetrics(const std::string& text)
{
    GxMemory memory = {reinterpret_cast<GxUInt8*>(const_cast<char*>(text.data())), static_cast<GxUInt32>(text.size())};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (!stream) {
        return nullptr;
    }
    Gx2DFont* font = Gx2DFontStreamReadMetrics(stream);
    GxStreamClose(stream, nullptr);
    return font;
}

// Adds a 16 x 16 page of solid white named `name`, filtered nearest, to the fonts' dictionary: text of a font
// over it shows as blocks of the brush colour. False when the page cannot be made.
inline bool Gx2DTestAddBlockPage(const char* name)
{
    constexpr GxInt32 kSide = 16;
    GxRaster* raster = GxRasterCreate(kSide, kSide, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    if (!raster) {
        return false;
    }
    GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKWRITE);
    for (GxInt32 y = 0; bits && y < kSide; y++) {
        std::fill_n(reinterpret_cast<GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride), kSide, 0xFFFFFFFFu);
    }
    GxRasterUnlock(raster);
    GxTexture* texture = GxTextureCreate(raster);
    if (!bits || !texture) {
        return false;
    }
    GxTextureSetName(texture, name);
    GxTextureSetFilterMode(texture, gxFILTERNEAREST);
    GxTexDictionaryAddTexture(Gx2DFontGetTexDictionary(), texture);
    return true;
}

// The toolkit open on the OpenGL back end, drawing for real (Gx2DTest captures instead).
class Gx2DOpenGLTest : public GxD3D9OpenGLTest {
protected:
    Gx2DOpenGLTest(int width, int height) : GxD3D9OpenGLTest(width, height) {}

    void SetUp() override
    {
        GxD3D9OpenGLTest::SetUp();
        if (!Ready()) {
            return;
        }
        opened = Gx2DTestOpen(camera);
        ASSERT_TRUE(opened);
    }
    void TearDown() override
    {
        if (opened) {
            Gx2DClose();
        }
        GxD3D9OpenGLTest::TearDown();
    }

    // Begins a frame cleared to opaque black, with depth test and culling off as flat drawing wants.
    void BeginFlatFrame()
    {
        GxRGBA black = {0, 0, 0, 255};
        ASSERT_NE(GxCameraClear(camera, &black, 3), nullptr);
        ASSERT_NE(GxCameraBeginUpdate(camera), nullptr);
        GxRenderStateSet(gxRENDERSTATEZTESTENABLE, GxRenderStateValue(0));
        GxRenderStateSet(gxRENDERSTATECULLMODE, GxRenderStateValue(1));
    }

    bool opened = false;
};
