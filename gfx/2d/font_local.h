// Internals of the 2D toolkit's fonts shared by the records, the metrics reader and text drawing.
#pragma once

#include "gfx/2d/twod_local.h"

// An empty font: outline kind, height 1.0, no glyphs, bitmap show-string.
Gx2DFont* Gx2DFontCreate(void);
// A zeroed glyph record at the end of the array; null when memory ran out.
Gx2DGlyph* Gx2DFontAddGlyph(Gx2DFont* font);

// The code of the character at byte offset *at of a string, advancing *at; 0 at the end.
inline GxInt32 Gx2DFontNextCode(const Gx2DFont* font, const GxUInt8* string, GxInt32* at)
{
    if (font->flags & gx2DFONTUNICODE) {
        const GxInt32 code = string[*at] | string[*at + 1] << 8;
        *at += code ? 2 : 0;
        return code;
    }
    const GxInt32 code = string[*at];
    *at += code ? 1 : 0;
    return code;
}
