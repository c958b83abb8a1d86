// 2D toolkit font records: the module (free list, font path, quad indices, texture dictionary), glyph lookup.
#include <cstring>

#include "gfx/2d/font_local.h"
#include "gfx/core/texture.h"

namespace {

constexpr GxInt32 kFontsPerBlock = 8;
constexpr const GxChar* kDefaultFontPath = "fonts\\";
// The glyph array starts with room for this many records and grows by the second figure when full.
constexpr GxInt32 kGlyphsAtFirst = 256;
constexpr GxInt32 kGlyphGrowth = 32;

}  // namespace

GxBool Gx2DFontModuleOpen(void)
{
    gx2D.fontList = GxFreeListCreateAndPreallocate(sizeof(Gx2DFont), kFontsPerBlock, alignof(Gx2DFont), 1, nullptr,
                                                   gx2DHINTFONTLIST);
    if (!gx2D.fontList || !Gx2DFontSetPath(kDefaultFontPath)) {
        return 0;
    }
    for (GxInt32 q = 0; q < gx2DQUADSPERBATCH; q++) {
        const GxUInt16 b = static_cast<GxUInt16>(4 * q);
        const GxUInt16 quad[gx2DINDICESPERQUAD] = {b, static_cast<GxUInt16>(b + 2), static_cast<GxUInt16>(b + 3),
                                                   b, static_cast<GxUInt16>(b + 3), static_cast<GxUInt16>(b + 1)};
        memcpy(&gx2D.quadIndices[q * gx2DINDICESPERQUAD], quad, sizeof(quad));
    }
    gx2D.fontDictionary = GxTexDictionaryCreate();
    gx2D.reader = Gx2DFontReadMetrics;
    return gx2D.fontDictionary != nullptr;
}

void Gx2DFontModuleClose(void)
{
    if (gx2D.fontDictionary) {
        GxTexDictionaryDestroy(gx2D.fontDictionary);
        gx2D.fontDictionary = nullptr;
    }
    if (gx2D.fontList) {
        GxFreeListDestroy(gx2D.fontList);
        gx2D.fontList = nullptr;
    }
    if (gx2D.fontPath) {
        GxFree(gx2D.fontPath);
        gx2D.fontPath = nullptr;
    }
}

GxChar* Gx2DFontSetPath(const GxChar* path)
{
    if (!path) {
        return nullptr;
    }
    const size_t length = strlen(path) + 1;
    auto* copy = static_cast<GxChar*>(GxMalloc(length, gx2DHINTSCRATCH));
    if (!copy) {
        return nullptr;
    }
    memcpy(copy, path, length);
    if (gx2D.fontPath) {
        GxFree(gx2D.fontPath);
    }
    gx2D.fontPath = copy;
    return const_cast<GxChar*>(path);
}

Gx2DFont* Gx2DFontRead(const GxChar* name) { return gx2D.reader ? gx2D.reader(name) : nullptr; }

Gx2DFont* Gx2DFontCreate(void)
{
    auto* font = static_cast<Gx2DFont*>(GxFreeListAllocEntry(gx2D.fontList, gx2DHINTFONTLIST));
    if (!font) {
        return nullptr;
    }
    *font = Gx2DFont{};
    font->kind = gx2DFONTOUTLINE;
    font->height = 1.0f;
    for (GxInt16& entry : font->lowMap) {
        entry = -1;
    }
    font->showString = Gx2DFontShowBitmapString;
    return font;
}

GxBool Gx2DFontDestroy(Gx2DFont* font)
{
    if (!font) {
        return 0;
    }
    for (GxInt32 i = 0; i < font->numGlyphs; i++) {
        if (font->glyphs[i].path) {
            Gx2DPathDestroy(font->glyphs[i].path);
        }
    }
    if (font->glyphs) {
        GxFree(font->glyphs);
    }
    if (font->extendedMap) {
        GxFree(font->extendedMap);
    }
    for (GxTexture* page : font->pages) {
        if (page) {
            GxTextureDestroy(page);
        }
    }
    GxFreeListFreeEntry(gx2D.fontList, font);
    return 1;
}

Gx2DGlyph* Gx2DFontAddGlyph(Gx2DFont* font)
{
    if (font->numGlyphs == font->glyphCapacity) {
        const GxInt32 capacity = font->glyphCapacity == 0 ? kGlyphsAtFirst : font->glyphCapacity + kGlyphGrowth;
        void* grown = GxRealloc(font->glyphs, sizeof(Gx2DGlyph) * static_cast<size_t>(capacity),
                                gx2DHINTFONTDATA | gxMEMHINTFLAGRESIZEABLE);
        if (!grown) {
            return nullptr;
        }
        font->glyphs = static_cast<Gx2DGlyph*>(grown);
        font->glyphCapacity = capacity;
    }
    Gx2DGlyph* glyph = &font->glyphs[font->numGlyphs++];
    *glyph = Gx2DGlyph{};
    return glyph;
}

GxBool Gx2DFontIsUnicode(const Gx2DFont* font) { return (font->flags & gx2DFONTUNICODE) != 0; }

GxTexDictionary* Gx2DFontGetTexDictionary(void) { return gx2D.fontDictionary; }

const Gx2DGlyph* Gx2DFontGetGlyph(const Gx2DFont* font, GxInt32 code)
{
    GxInt32 index = -1;
    if (code >= 0 && code < gx2DFONTLOWCODES) {
        index = font->lowMap[code];
    } else if (code >= gx2DFONTLOWCODES) {
        const GxInt32 offset = code - font->firstExtended;
        if (font->extendedMap && offset >= 0 && offset < font->extendedLength) {
            index = font->extendedMap[offset];
        }
    }
    return index >= 0 && index < font->numGlyphs ? &font->glyphs[index] : nullptr;
}
