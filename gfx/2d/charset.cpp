// Debug text: quads for one string of the 8 x 14 character set, drawn in one indexed immediate-mode 2D call.
#include "gfx/2d/charset.h"

#include <cstdint>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/renderstate.h"

namespace {

constexpr GxUInt32 kPrintHint = 0x10180;
constexpr GxUInt32 kOpaqueWhite = 0xFFFFFFFFu;
constexpr GxInt32 kVerticesPerQuad = 4;
constexpr GxInt32 kIndicesPerQuad = 6;
constexpr GxUInt32 kFilterNearest = 1;
constexpr GxUInt32 kBlendSrcAlpha = 5;
constexpr GxUInt32 kBlendInvSrcAlpha = 6;
constexpr GxUInt32 kCullNone = 1;
constexpr GxReal kTexelCentre = 0.5f;

// The states a print changes, in the order they are restored.
constexpr GxInt32 kSavedStates[] = {gxRENDERSTATEZTESTENABLE, gxRENDERSTATEZWRITEENABLE,  gxRENDERSTATESRCBLEND,
                                    gxRENDERSTATEDESTBLEND,   gxRENDERSTATETEXTURERASTER, gxRENDERSTATETEXTUREFILTER,
                                    gxRENDERSTATECULLMODE};
constexpr GxInt32 kNumSavedStates = sizeof(kSavedStates) / sizeof(kSavedStates[0]);

}  // namespace

GxInt32 GxCharsetBuildQuads(const GxChar* string, GxInt32 length, GxCharset* charset, GxInt32 x, GxInt32 y,
                            GxIm2DVertex* vertices, GxUInt16* indices, GxInt32 firstIndex)
{
    const GxCamera* camera = GxEngineInstance->curCamera;
    GX_ASSERT(charset && charset->width > 0 && charset->height > 0, "a charset is a raster with pixels");
    if (!camera || !camera->frameBuffer) {
        return 0;
    }
    const GxInt32 sw = camera->frameBuffer->width;
    const GxInt32 sh = camera->frameBuffer->height;
    const GxReal tw = static_cast<GxReal>(charset->width);
    const GxReal th = static_cast<GxReal>(charset->height);
    const GxReal z = GxEngineInstance->dOpenDevice.zBufferNear;
    const GxReal rhw = camera->nearPlane > 0.0f ? 1.0f / camera->nearPlane : 1.0f;
    GxInt32 quads = 0;
    GxInt32 pen = x;
    for (GxInt32 n = 0; n < length; n++, pen += gxCHARSETCHARWIDTH) {
        const GxInt32 code = static_cast<GxInt32>(static_cast<signed char>(string[n]));
        // Codes outside the set name cells outside the 91 characters: blank parts of the raster above it, texture
        // coordinates before the raster's start below it (bytes of 128 and more read as negative).
        GxInt32 left = pen;
        GxInt32 top = y;
        GxInt32 right = pen + gxCHARSETCHARWIDTH;
        GxInt32 bottom = y + gxCHARSETCHARHEIGHT;
        if (y >= sh || bottom < 1 || pen >= sw || right < 1) {
            continue;
        }
        GxInt32 texLeft = GxCharsetCellLeft(code);
        GxInt32 texTop = GxCharsetCellTop(code);
        GxInt32 texRight = texLeft + gxCHARSETCHARWIDTH;
        GxInt32 texBottom = texTop + gxCHARSETCHARHEIGHT;
        if (top < 0) {
            texTop -= top;
            top = 0;
        }
        if (bottom > sh - 1) {
            texBottom = texTop - top + sh - 1;
            bottom = sh - 1;
        }
        if (left < 0) {
            texLeft -= left;
            left = 0;
        }
        if (right > sw - 1) {
            texRight = texLeft - left + sw - 1;
            right = sw - 1;
        }
        const GxReal uLeft = (static_cast<GxReal>(texLeft) + kTexelCentre) / tw;
        const GxReal uRight = (static_cast<GxReal>(texRight) + kTexelCentre) / tw;
        const GxReal vTop = (static_cast<GxReal>(texTop) + kTexelCentre) / th;
        const GxReal vBottom = (static_cast<GxReal>(texBottom) + kTexelCentre) / th;
        const GxReal l = static_cast<GxReal>(left);
        const GxReal r = static_cast<GxReal>(right);
        const GxReal t = static_cast<GxReal>(top);
        const GxReal b = static_cast<GxReal>(bottom);
        GxIm2DVertex* v = &vertices[quads * kVerticesPerQuad];
        v[0] = {l, t, z, rhw, kOpaqueWhite, uLeft, vTop};
        v[1] = {l, b, z, rhw, kOpaqueWhite, uLeft, vBottom};
        v[2] = {r, b, z, rhw, kOpaqueWhite, uRight, vBottom};
        v[3] = {r, t, z, rhw, kOpaqueWhite, uRight, vTop};
        const GxUInt16 base = static_cast<GxUInt16>(firstIndex + kVerticesPerQuad * quads);
        GxUInt16* i = &indices[quads * kIndicesPerQuad];
        const GxUInt16 quad[kIndicesPerQuad] = {base, static_cast<GxUInt16>(base + 1), static_cast<GxUInt16>(base + 2),
                                                base, static_cast<GxUInt16>(base + 2), static_cast<GxUInt16>(base + 3)};
        memcpy(i, quad, sizeof(quad));
        quads++;
    }
    return quads;
}

GxCharset* GxCharsetPrint(GxCharset* charset, const GxChar* string, GxInt32 x, GxInt32 y)
{
    GX_ASSERT(string, "a string is given");
    const GxInt32 n = static_cast<GxInt32>(strlen(string));
    if (n == 0) {
        return charset;
    }
    auto* vertices = static_cast<GxIm2DVertex*>(
        GxMalloc(sizeof(GxIm2DVertex) * kVerticesPerQuad * static_cast<size_t>(n), kPrintHint));
    auto* indices =
        static_cast<GxUInt16*>(GxMalloc(sizeof(GxUInt16) * kIndicesPerQuad * static_cast<size_t>(n), kPrintHint));
    if (!vertices || !indices) {
        GxFree(vertices);
        GxFree(indices);
        GxErrorRaise(gxPLUGINCHARSET, gxERRNOMEMORY);
        return nullptr;
    }
    const GxInt32 quads = GxCharsetBuildQuads(string, n, charset, x, y, vertices, indices, 0);
    GxDevice& device = GxEngineInstance->dOpenDevice;
    GX_ASSERT(device.fpRenderStateGet && device.fpRenderStateSet && device.fpIm2DRenderIndexedPrimitive,
              "the open device renders");
    if (quads == 0) {
        GxFree(vertices);
        GxFree(indices);
        return nullptr;
    }
    void* saved[kNumSavedStates] = {};
    for (GxInt32 s = 0; s < kNumSavedStates; s++) {
        GxUInt32 value = 0;
        if (kSavedStates[s] == gxRENDERSTATETEXTURERASTER) {
            device.fpRenderStateGet(kSavedStates[s], &saved[s]);
        } else {
            device.fpRenderStateGet(kSavedStates[s], &value);
            saved[s] = GxRenderStateValue(value);
        }
    }
    device.fpRenderStateSet(gxRENDERSTATEZTESTENABLE, GxRenderStateValue(0));
    device.fpRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(0));
    device.fpRenderStateSet(gxRENDERSTATETEXTUREFILTER, GxRenderStateValue(kFilterNearest));
    device.fpRenderStateSet(gxRENDERSTATETEXTURERASTER, charset);
    device.fpRenderStateSet(gxRENDERSTATESRCBLEND, GxRenderStateValue(kBlendSrcAlpha));
    device.fpRenderStateSet(gxRENDERSTATEDESTBLEND, GxRenderStateValue(kBlendInvSrcAlpha));
    device.fpRenderStateSet(gxRENDERSTATECULLMODE, GxRenderStateValue(kCullNone));
    device.fpIm2DRenderIndexedPrimitive(gxPRIMTYPETRILIST, vertices, kVerticesPerQuad * quads, indices,
                                        kIndicesPerQuad * quads);
    for (GxInt32 s = 0; s < kNumSavedStates; s++) {
        device.fpRenderStateSet(kSavedStates[s], saved[s]);
    }
    GxFree(vertices);
    GxFree(indices);
    return charset;
}
