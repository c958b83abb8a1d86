// 2D toolkit fonts: ".met" metrics files (bitmap pages or outline paths), showing, measuring and flowing text.
#pragma once

#include "gfx/2d/brush.h"
#include "gfx/2d/path.h"
#include "gfx/core/gx.h"

struct GxStream;
struct GxTexture;
struct GxTexDictionary;
struct Gx2DFont;

enum Gx2DFontKind : GxInt32 {
    gx2DFONTBITMAP = 0,
    gx2DFONTOUTLINE = 1,
};

// Flag bit 1: strings hold 16-bit codes, low byte first.
constexpr GxUInt32 gx2DFONTUNICODE = 0x2;
constexpr GxInt32 gx2DFONTMAXPAGES = 4;
constexpr GxInt32 gx2DFONTLOWCODES = 128;
// Codes at and above this are refused.
constexpr GxInt32 gx2DFONTCODELIMIT = 0x10000;

struct Gx2DGlyph {
    GxReal advance;      // width in height units
    GxTexture* texture;  // bitmap glyphs; none for outlines
    GxReal ul, vt, ur, vb;
    Gx2DPath* path;  // outline glyphs, locked
    GxUInt8 page;
};

// Shows `length` characters of a string (or up to its first code 0 when length is negative).
typedef Gx2DFont* (*Gx2DFontShowFunc)(Gx2DFont* font, const void* string, GxInt32 length, GxReal height,
                                      GxV2d* position, Gx2DBrush* brush);

struct Gx2DFont {
    GxInt32 kind;
    GxReal height;    // design height: pixels for bitmap fonts, 1.0 for outlines
    GxReal baseline;  // above the cell bottom, as a fraction of the height
    GxReal gap;       // extra advance after every glyph, in height units
    GxUInt32 flags;
    GxTexture* pages[gx2DFONTMAXPAGES];
    GxInt16 lowMap[gx2DFONTLOWCODES];
    GxInt32 firstExtended;
    GxInt32 extendedLength;
    GxInt16* extendedMap;
    GxInt32 numGlyphs;
    GxInt32 glyphCapacity;
    Gx2DGlyph* glyphs;
    Gx2DFontShowFunc showString;
};

typedef Gx2DFont* (*Gx2DFontReader)(const GxChar* name);

GxChar* Gx2DFontSetPath(const GxChar* path);
Gx2DFont* Gx2DFontRead(const GxChar* name);
// The default reader: prefix + name + ".met" along the font path.
Gx2DFont* Gx2DFontReadMetrics(const GxChar* name);
// The same on an open stream (the file's whole text); the font path still serves the page images.
Gx2DFont* Gx2DFontStreamReadMetrics(GxStream* stream);
GxBool Gx2DFontDestroy(Gx2DFont* font);
GxBool Gx2DFontIsUnicode(const Gx2DFont* font);
GxTexDictionary* Gx2DFontGetTexDictionary(void);
// The glyph of a code, or none.
const Gx2DGlyph* Gx2DFontGetGlyph(const Gx2DFont* font, GxInt32 code);

Gx2DFont* Gx2DFontShowString(Gx2DFont* font, const void* string, GxReal height, GxV2d* position, Gx2DBrush* brush);
Gx2DFont* Gx2DFontShowBitmapString(Gx2DFont* font, const void* string, GxInt32 length, GxReal height, GxV2d* position,
                                   Gx2DBrush* brush);
Gx2DFont* Gx2DFontShowOutlineString(Gx2DFont* font, const void* string, GxInt32 length, GxReal height, GxV2d* position,
                                    Gx2DBrush* brush);
GxReal Gx2DFontGetStringWidth(Gx2DFont* font, const void* string, GxReal height);
GxReal Gx2DFontGetHeight(Gx2DFont* font);

enum Gx2DJustify : GxInt32 {
    gx2DJUSTIFYLEFT = 0,
    gx2DJUSTIFYCENTER = 1,
    gx2DJUSTIFYRIGHT = 2,
};
// box: x, y, width, height in user space. None when the box filled up before the text ended.
Gx2DFont* Gx2DFontFlowString(Gx2DFont* font, const void* string, GxReal height, const Gx2DRect* box, GxInt32 justify,
                             Gx2DBrush* brush);
