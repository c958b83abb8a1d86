// 2D toolkit brushes: corner colours and texture coordinates, a texture and a stroke half-width; fill and stroke.
#pragma once

#include "gfx/2d/path.h"
#include "gfx/core/gx.h"

struct GxTexture;

enum Gx2DBrushFlag : GxUInt32 {
    gx2DBRUSHSHADED = 0x1,    // the corner colours differ
    gx2DBRUSHTEXTURED = 0x2,  // a texture, or texture coordinates that vary
};

struct Gx2DBrushColour {
    GxReal red, green, blue, alpha;
};

struct Gx2DBrush {
    Gx2DBrushColour top;  // top-left corner
    GxV2d topUV;
    Gx2DBrushColour topDelta;  // top-right minus top-left
    GxV2d topUVDelta;
    Gx2DBrushColour bottom;  // bottom-left corner
    GxV2d bottomUV;
    Gx2DBrushColour bottomDelta;
    GxV2d bottomUVDelta;
    GxRGBA flatColour;  // the top-left colour, used when not shaded
    GxUInt32 flags;
    GxTexture* texture;  // one reference
    GxReal halfWidth;    // of a stroke, in user units
    GxInt32 refCount;
};

Gx2DBrush* Gx2DBrushCreate(void);
GxBool Gx2DBrushDestroy(Gx2DBrush* brush);
// Corners in the order bottom-left, bottom-right, top-right, top-left.
Gx2DBrush* Gx2DBrushSetRGBA(Gx2DBrush* brush, const GxRGBA* c1, const GxRGBA* c2, const GxRGBA* c3, const GxRGBA* c4);
Gx2DBrush* Gx2DBrushSetUV(Gx2DBrush* brush, const GxV2d* t1, const GxV2d* t2, const GxV2d* t3, const GxV2d* t4);
Gx2DBrush* Gx2DBrushSetTexture(Gx2DBrush* brush, GxTexture* texture);

Gx2DPath* Gx2DPathFill(Gx2DPath* path, Gx2DBrush* brush);
Gx2DPath* Gx2DPathStroke(Gx2DPath* path, Gx2DBrush* brush);
