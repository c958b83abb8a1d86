// 2D toolkit text: showing strings with bitmap and outline fonts, string widths, and flowing text into a box.
#include <cmath>
#include <cstdint>

#include "gfx/2d/font_local.h"
#include "gfx/core/renderstate.h"
#include "gfx/core/texture.h"

namespace {

constexpr GxReal kHalf = 0.5f;
constexpr GxInt32 kSpace = 32;
constexpr GxInt32 kLineFeed = 10;

const GxUInt8* Bytes(const void* string) { return static_cast<const GxUInt8*>(string); }

GxInt32 CharBytes(const Gx2DFont* font) { return Gx2DFontIsUnicode(font) ? 2 : 1; }

// Calls `visit` with the glyph of every character in bytes [0, end) (end negative: up to the first code 0);
// characters the font has no glyph for are passed over.
template <typename Visit>
void ForEachGlyph(const Gx2DFont* font, const GxUInt8* string, GxInt32 end, Visit visit)
{
    GxInt32 at = 0;
    while (end < 0 || at < end) {
        const GxInt32 code = Gx2DFontNextCode(font, string, &at);
        if (code == 0) {
            return;
        }
        if (const Gx2DGlyph* glyph = Gx2DFontGetGlyph(font, code)) {
            visit(glyph);
        }
    }
}

// Width at height 1 of the characters in bytes [0, end).
GxReal RangeWidth(const Gx2DFont* font, const GxUInt8* string, GxInt32 end)
{
    GxReal width = 0.0f;
    ForEachGlyph(font, string, end, [&](const Gx2DGlyph* glyph) { width += font->gap + glyph->advance; });
    return width;
}

void DrawQuads(GxInt32 quads, const GxMatrix* matrix)
{
    Gx2DDrawBatch(gx2D.scratch, quads * 4, matrix, gxIM3DVERTEXUV | gxIM3DNOCLIPPING, gxPRIMTYPETRILIST,
                  gx2D.quadIndices, quads * gx2DINDICESPERQUAD);
}

void PushStringSpace(const Gx2DFont* font, GxReal height, const GxV2d* position)
{
    Gx2DCTMPush();
    Gx2DCTMTranslate(position->x, position->y);
    Gx2DCTMScale(height, height);
    Gx2DCTMTranslate(0.0f, -font->baseline);
}

}  // namespace

Gx2DFont* Gx2DFontShowBitmapString(Gx2DFont* font, const void* string, GxInt32 length, GxReal height, GxV2d* position,
                                   Gx2DBrush* brush)
{
    const GxUInt8* text = Bytes(string);
    const GxInt32 end = length < 0 ? -1 : length * CharBytes(font);
    const GxReal z = Gx2DDeviceDepth();
    PushStringSpace(font, height, position);
    const GxMatrix* matrix = Gx2DCTMGetWorldMatrix();
    const GxReal k = Gx2DSafeReciprocal(RangeWidth(font, text, end));
    const bool shaded = (brush->flags & gx2DBRUSHSHADED) != 0;
    const GxUInt32 flat = Gx2DBrushFlatColour(brush);

    GxReal pen = 0.0f;
    const GxTexture* current = nullptr;
    GxInt32 quads = 0;
    ForEachGlyph(font, text, end, [&](const Gx2DGlyph* glyph) {
        const bool changed = glyph->texture != current;
        if (changed || quads >= gx2DQUADSPERBATCH) {
            DrawQuads(quads, matrix);
            quads = 0;
        }
        if (changed) {
            current = glyph->texture;
            if (current) {
                GxRenderStateSet(gxRENDERSTATETEXTUREFILTER, GxRenderStateValue(GxTextureGetFilterMode(current)));
                GxRenderStateSet(gxRENDERSTATETEXTURERASTER, GxTextureGetRaster(current));
            }
            if (brush->texture && (brush->flags & gx2DBRUSHTEXTURED)) {
                brush->flags &= ~gx2DBRUSHTEXTURED;
            }
        }
        const GxReal right = pen + glyph->advance;
        GxIm3DVertex* v = &gx2D.scratch[quads * 4];
        v[0] = GxIm3DVertex{{pen, 0.0f, z}, {}, 0, glyph->ul, glyph->vb};
        v[1] = GxIm3DVertex{{pen, 1.0f, z}, {}, 0, glyph->ul, glyph->vt};
        v[2] = GxIm3DVertex{{right, 0.0f, z}, {}, 0, glyph->ur, glyph->vb};
        v[3] = GxIm3DVertex{{right, 1.0f, z}, {}, 0, glyph->ur, glyph->vt};
        if (shaded) {
            v[0].color = Gx2DBrushColourAt(brush, pen * k, 0.0f);
            v[1].color = Gx2DBrushColourAt(brush, pen * k, 1.0f);
            v[2].color = Gx2DBrushColourAt(brush, right * k, 0.0f);
            v[3].color = Gx2DBrushColourAt(brush, right * k, 1.0f);
        } else {
            v[0].color = v[1].color = v[2].color = v[3].color = flat;
        }
        quads++;
        pen += font->gap + glyph->advance;
    });
    DrawQuads(quads, matrix);
    position->x += pen * height;
    Gx2DCTMPop();
    return font;
}

Gx2DFont* Gx2DFontShowOutlineString(Gx2DFont* font, const void* string, GxInt32 length, GxReal height, GxV2d* position,
                                    Gx2DBrush* brush)
{
    const GxUInt8* text = Bytes(string);
    const GxInt32 end = length < 0 ? -1 : length * CharBytes(font);
    PushStringSpace(font, height, position);
    ForEachGlyph(font, text, end, [&](const Gx2DGlyph* glyph) {
        if (glyph->texture) {
            return;
        }
        if (glyph->path) {
            Gx2DPathStroke(glyph->path, brush);
        }
        Gx2DCTMTranslate(font->gap + glyph->advance, 0.0f);
    });
    Gx2DCTMPop();
    return font;
}

Gx2DFont* Gx2DFontShowString(Gx2DFont* font, const void* string, GxReal height, GxV2d* position, Gx2DBrush* brush)
{
    return font->showString(font, string, -1, height, position, brush);
}

GxReal Gx2DFontGetStringWidth(Gx2DFont* font, const void* string, GxReal height)
{
    return RangeWidth(font, Bytes(string), -1) * height;
}

GxReal Gx2DFontGetHeight(Gx2DFont* font)
{
    GxV2d xStep, yStep, origin;
    Gx2DDeviceGetPixelVectors(&xStep, &yStep, &origin);
    return GxV2dLength(&yStep) * font->height;
}

Gx2DFont* Gx2DFontFlowString(Gx2DFont* font, const void* string, GxReal height, const Gx2DRect* box, GxInt32 justify,
                             Gx2DBrush* brush)
{
    // A height that is not positive (or a box that is not finite) would never fill the box.
    if (!(height > 0.0f) || !std::isfinite(box->y) || !std::isfinite(box->y + box->h - height)) {
        return nullptr;
    }
    const GxUInt8* text = Bytes(string);
    const GxInt32 step = CharBytes(font);
    const GxReal wb = box->w / height;
    const GxReal factor = justify == gx2DJUSTIFYCENTER ? height * kHalf : justify == gx2DJUSTIFYRIGHT ? height : 0.0f;
    GxReal lineY = box->y + box->h - height;
    GxInt32 lineStart = 0;
    GxInt32 breakAt = 0;
    GxReal breakWidth = 0.0f;
    GxReal running = 0.0f;
    bool previousWasBreak = false;
    GxInt32 at = 0;
    for (;;) {
        const GxInt32 here = at;
        const GxInt32 code = Gx2DFontNextCode(font, text, &at);
        if (code == 0) {
            break;
        }
        bool isBreak = false;
        if (code == kSpace && !previousWasBreak) {
            breakAt = here;
            breakWidth = running;
            isBreak = true;
        } else if (code == kLineFeed) {
            breakAt = at;
            breakWidth = running;
        }
        previousWasBreak = isBreak;
        if (const Gx2DGlyph* glyph = Gx2DFontGetGlyph(font, code)) {
            running += font->gap + glyph->advance;
        }
        if (running <= wb && code != kLineFeed) {
            continue;
        }
        // The line ends at the break: shown from its start without touching the caller's string.
        GxV2d where = {box->x + (wb - breakWidth) * factor, lineY};
        const GxInt32 cut = breakAt > lineStart ? breakAt : lineStart;
        font->showString(font, text + lineStart, (cut - lineStart) / step, height, &where, brush);
        at = cut;
        while (true) {
            GxInt32 peek = at;
            if (Gx2DFontNextCode(font, text, &peek) != kSpace) {
                break;
            }
            at = peek;
        }
        lineStart = at;
        breakAt = at;
        running = 0.0f;
        previousWasBreak = false;
        lineY -= height;
        if (lineY < box->y) {
            return nullptr;
        }
    }
    GxV2d where = {box->x + (wb - running) * factor, lineY};
    font->showString(font, text + lineStart, -1, height, &where, brush);
    return font;
}
