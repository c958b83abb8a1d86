// Debug text: one line of ASCII printed with a fixed 8 x 14 bitmap font held in a raster, through immediate-mode 2D.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/core/im2d.h"
#include "gfx/core/raster.h"

// The character set's layout, shared with whatever draws its raster.
constexpr GxInt32 gxCHARSETCHARWIDTH = 8;
constexpr GxInt32 gxCHARSETCHARHEIGHT = 14;
constexpr GxInt32 gxCHARSETCELLWIDTH = 9;
constexpr GxInt32 gxCHARSETCELLHEIGHT = 15;
constexpr GxInt32 gxCHARSETFIRSTCODE = 32;
constexpr GxInt32 gxCHARSETLASTCODE = 122;
constexpr GxInt32 gxCHARSETNUMCHARS = gxCHARSETLASTCODE - gxCHARSETFIRSTCODE + 1;
constexpr GxInt32 gxCHARSETRASTERSIZE = 128;
constexpr GxInt32 gxCHARSETCELLSPERROW = gxCHARSETRASTERSIZE / gxCHARSETCELLWIDTH;

// Position of a code's cell in the raster (top-left texel).
inline GxInt32 GxCharsetCellLeft(GxInt32 code)
{
    return ((code - gxCHARSETFIRSTCODE) % gxCHARSETCELLSPERROW) * gxCHARSETCELLWIDTH;
}
inline GxInt32 GxCharsetCellTop(GxInt32 code)
{
    return ((code - gxCHARSETFIRSTCODE) / gxCHARSETCELLSPERROW) * gxCHARSETCELLHEIGHT;
}

GxCharset* GxCharsetPrint(GxCharset* charset, const GxChar* string, GxInt32 x, GxInt32 y);
GxInt32 GxCharsetBuildQuads(const GxChar* string, GxInt32 length, GxCharset* charset, GxInt32 x, GxInt32 y,
                            GxIm2DVertex* vertices, GxUInt16* indices, GxInt32 firstIndex);
