// Fuzz target: ".met" metrics text read from arbitrary bytes, and the fonts it makes measured and shown.
#include "gfx/2d/batch_testing.h"
#include "gfx/2d/gx2d.h"
#include "gfx/2d/twod_local.h"
#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/fuzz_testing.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"

namespace {

// Glyph batches are counted, not drawn: the test device has no immediate mode.
GxBool Discard(GxIm3DVertex*, GxInt32, const GxMatrix*, GxUInt32, GxInt32, const GxUInt16*, GxInt32) { return 1; }

// The toolkit open on a camera of the started engine, with the pages the seed files name.
bool OpenToolkit()
{
    // A framed camera record with a frame-buffer raster record gives the toolkit its device.
    GxCamera* camera = GxCameraCreate();
    GxFrame* frame = GxFrameCreate();
    GxRaster* frameBuffer = GxRasterCreate(640, 480, 32, gxRASTERTYPECAMERA | gxRASTERDONTALLOCATE);
    if (!camera || !frame || !frameBuffer) {
        return false;
    }
    GxObjectSetFrame(&camera->object, frame);
    frameBuffer->width = 640;
    frameBuffer->height = 480;
    camera->frameBuffer = frameBuffer;
    const GxV2d view = {0.5f, 0.375f};
    GxCameraSetViewWindow(camera, &view);
    if (!Gx2DOpen(camera)) {
        return false;
    }
    Gx2DSetBatchFunc(Discard);
    // Pages the seed files name: found in the font dictionary, so no image file is read.
    for (const char* name : {"page", "cells"}) {
        GxRaster* raster = GxRasterCreate(64, 32, 32, gxRASTERTYPETEXTURE | gxRASTERDONTALLOCATE);
        if (raster) {
            raster->width = 64;
            raster->height = 32;
        }
        GxTexture* texture = GxTextureCreate(raster);
        if (!texture) {
            return false;
        }
        GxTextureSetName(texture, name);
        GxTexDictionaryAddTexture(Gx2DFontGetTexDictionary(), texture);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    GxTestFuzzStart([] { return true; }, OpenToolkit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxTestFuzzRead(data, size, [](GxStream* stream) {
        Gx2DFont* font = Gx2DFontStreamReadMetrics(stream);
        if (font == nullptr) {
            return;
        }
        static const GxUInt8 text[] = {'A', 0, 'b', 0, ' ', 0, 0x3A, 0x26, 'A', 0, 0, 0};
        GxV2d position = {0.0f, 0.0f};
        Gx2DBrush* brush = Gx2DBrushCreate();
        Gx2DFontGetStringWidth(font, text, 0.1f);
        if (brush != nullptr) {
            Gx2DFontShowString(font, text, 0.1f, &position, brush);
            const Gx2DRect box = {0.0f, 0.0f, 0.3f, 0.3f};
            Gx2DFontFlowString(font, text, 0.1f, &box, gx2DJUSTIFYCENTER, brush);
            Gx2DBrushDestroy(brush);
        }
        Gx2DFontDestroy(font);
    });
    return 0;
}
