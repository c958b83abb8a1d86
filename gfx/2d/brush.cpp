// 2D toolkit brushes, and filling and stroking paths into triangle strips drawn through immediate-mode 3D.
#include <cstdint>
#include <cstring>

#include "gfx/2d/twod_local.h"
#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/renderstate.h"
#include "gfx/core/texture.h"

namespace {

constexpr GxInt32 kBrushesPerBlock = 8;
constexpr GxInt32 kBrushAlignment = 16;
constexpr GxReal kDefaultHalfWidth = 0.5f;
constexpr GxReal kOpaqueWhite = 255.0f;

Gx2DBrushColour ToColour(const GxRGBA* c)
{
    return {static_cast<GxReal>(c->red), static_cast<GxReal>(c->green), static_cast<GxReal>(c->blue),
            static_cast<GxReal>(c->alpha)};
}

Gx2DBrushColour Minus(const Gx2DBrushColour& a, const Gx2DBrushColour& b)
{
    return {a.red - b.red, a.green - b.green, a.blue - b.blue, a.alpha - b.alpha};
}

bool IsZero(const Gx2DBrushColour& c) { return c.red == 0.0f && c.green == 0.0f && c.blue == 0.0f && c.alpha == 0.0f; }

bool Same(const Gx2DBrushColour& a, const Gx2DBrushColour& b) { return IsZero(Minus(a, b)); }

// Truncated toward zero, low 8 bits kept.
GxUInt32 Channel(GxReal value)
{
    constexpr GxReal kIntRange = 2147483520.0f;
    if (!(value > -kIntRange && value < kIntRange)) {
        return 0;
    }
    return static_cast<GxUInt32>(static_cast<GxInt32>(value)) & 0xFFu;
}

GxUInt32 Pack(const Gx2DBrushColour& c)
{
    return Channel(c.alpha) << 24 | Channel(c.red) << 16 | Channel(c.green) << 8 | Channel(c.blue);
}

Gx2DBrushColour Lerp(const Gx2DBrushColour& base, const Gx2DBrushColour& delta, GxReal t)
{
    return {base.red + delta.red * t, base.green + delta.green * t, base.blue + delta.blue * t,
            base.alpha + delta.alpha * t};
}

GxUInt32 BatchFlags(const Gx2DBrush* brush) { return brush->texture ? gxIM3DVERTEXUV : 0u; }

struct Bounds {
    GxReal minX, minY, maxX, maxY;
};

Bounds PointBounds(const Gx2DPoint* pts, GxInt32 n)
{
    Bounds b = {pts[0].pos.x, pts[0].pos.y, pts[0].pos.x, pts[0].pos.y};
    for (GxInt32 i = 1; i < n; i++) {
        b.minX = pts[i].pos.x < b.minX ? pts[i].pos.x : b.minX;
        b.minY = pts[i].pos.y < b.minY ? pts[i].pos.y : b.minY;
        b.maxX = pts[i].pos.x > b.maxX ? pts[i].pos.x : b.maxX;
        b.maxY = pts[i].pos.y > b.maxY ? pts[i].pos.y : b.maxY;
    }
    return b;
}

// The subpath as drawn: itself when flat, else its flattened copy in the scratch path.
const Gx2DPath* DrawnPoints(const Gx2DPath* sub)
{
    if (sub->flat) {
        return sub;
    }
    Gx2DPath* scratch = Gx2DScratchPathGet();
    return Gx2DPathFlatten(scratch, sub);
}

struct FillContext {
    const Gx2DBrush* brush;
    const GxMatrix* matrix;
    GxReal z;
    GxReal inset;
    Bounds bounds;
    GxReal kx, ky;
};

GxIm3DVertex FillVertex(const FillContext& c, const Gx2DPoint& p)
{
    GxIm3DVertex v = {};
    v.objVertex = {p.pos.x - p.normal.x * c.inset, p.pos.y - p.normal.y * c.inset, c.z};
    const GxReal s = (v.objVertex.x - c.bounds.minX) * c.kx;
    const GxReal r = (v.objVertex.y - c.bounds.minY) * c.ky;
    const Gx2DBrush* b = c.brush;
    v.color = (b->flags & gx2DBRUSHSHADED) ? Gx2DBrushColourAt(b, s, r) : Gx2DBrushFlatColour(b);
    const GxReal uTop = b->topUV.x + b->topUVDelta.x * s;
    const GxReal vTop = b->topUV.y + b->topUVDelta.y * s;
    const GxReal uBottom = b->bottomUV.x + b->bottomUVDelta.x * s;
    const GxReal vBottom = b->bottomUV.y + b->bottomUVDelta.y * s;
    v.u = (uTop - uBottom) * r + uBottom;
    v.v = (vTop - vBottom) * r + vBottom;
    return v;
}

void FillSubpath(const Gx2DPath* sub, const Gx2DBrush* brush, const GxMatrix* matrix)
{
    const Gx2DPath* drawn = DrawnPoints(sub);
    const GxInt32 n = Gx2DPathGetNumPoints(drawn);
    if (n <= 0) {
        return;
    }
    const Gx2DPoint* pts = drawn->points;
    FillContext c = {brush, matrix, Gx2DDeviceDepth(), sub->inset, PointBounds(pts, n), 0.0f, 0.0f};
    c.kx = Gx2DSafeReciprocal(c.bounds.maxX - c.bounds.minX);
    c.ky = Gx2DSafeReciprocal(c.bounds.maxY - c.bounds.minY);
    Gx2DBrushSetupTexture(brush);
    if (n == 1) {
        return;
    }

    GxIm3DVertex* out = gx2D.scratch;
    const GxUInt32 flags = BatchFlags(brush);
    GxInt32 pending = 0;
    auto emit = [&](GxInt32 index) {
        if (pending >= gx2DBATCHVERTICES) {
            Gx2DDrawBatch(out, pending, matrix, flags, gxPRIMTYPETRISTRIP, gx2D.identityIndices, pending);
            out[0] = out[pending - 2];
            out[1] = out[pending - 1];
            pending = 2;
        }
        out[pending++] = FillVertex(c, pts[index]);
    };
    emit(n - 1);
    emit(0);
    GxInt32 back = n - 2;
    GxInt32 front = 1;
    for (GxInt32 pairs = 1; pairs < n; pairs++) {
        emit(back--);
        if (back < front) {
            break;
        }
        emit(front++);
        if (back < front) {
            break;
        }
    }
    Gx2DDrawBatch(out, pending, matrix, flags, gxPRIMTYPETRISTRIP, gx2D.identityIndices, pending);
}

void StrokeSubpath(const Gx2DPath* sub, const Gx2DBrush* brush, const GxMatrix* matrix)
{
    const Gx2DPath* drawn = DrawnPoints(sub);
    const GxInt32 n = Gx2DPathGetNumPoints(drawn);
    if (n <= 0) {
        return;
    }
    const Gx2DPoint* pts = drawn->points;
    const GxReal z = Gx2DDeviceDepth();
    const GxReal w = brush->halfWidth;
    const GxReal inset = sub->inset;
    Gx2DBrushSetupTexture(brush);
    const GxReal kd = Gx2DSafeReciprocal(pts[n - 1].distance);
    const bool shaded = (brush->flags & gx2DBRUSHSHADED) != 0;
    const bool textured = (brush->flags & gx2DBRUSHTEXTURED) != 0;
    const GxUInt32 flat = Gx2DBrushFlatColour(brush);
    const GxUInt32 flags = BatchFlags(brush);

    GxIm3DVertex* out = gx2D.scratch;
    GxInt32 pending = 0;
    for (GxInt32 i = 0; i < n; i++) {
        if (pending >= gx2DBATCHVERTICES) {
            Gx2DDrawBatch(out, pending, matrix, flags, gxPRIMTYPETRISTRIP, gx2D.identityIndices, pending);
            pending = 0;
            i--;
        }
        const Gx2DPoint& p = pts[i];
        const GxReal t = p.distance * kd;
        GxIm3DVertex left = {};
        GxIm3DVertex right = {};
        left.objVertex = {p.pos.x - p.normal.x * (inset + w), p.pos.y - p.normal.y * (inset + w), z};
        right.objVertex = {p.pos.x + p.normal.x * (w - inset), p.pos.y + p.normal.y * (w - inset), z};
        left.color = shaded ? Gx2DBrushColourAt(brush, t, 1.0f) : flat;
        right.color = shaded ? Gx2DBrushColourAt(brush, t, 0.0f) : flat;
        if (textured) {
            left.u = brush->topUV.x + brush->topUVDelta.x * t;
            left.v = brush->topUV.y + brush->topUVDelta.y * t;
            right.u = brush->bottomUV.x + brush->bottomUVDelta.x * t;
            right.v = brush->bottomUV.y + brush->bottomUVDelta.y * t;
        } else {
            // A texture with constant coordinates: every vertex takes the top-left coordinate.
            left.u = right.u = brush->topUV.x;
            left.v = right.v = brush->topUV.y;
        }
        out[pending++] = left;
        out[pending++] = right;
    }
    Gx2DDrawBatch(out, pending, matrix, flags, gxPRIMTYPETRISTRIP, gx2D.identityIndices, pending);
}

}  // namespace

GxBool Gx2DBrushModuleOpen(void)
{
    gx2D.scratch = static_cast<GxIm3DVertex*>(
        GxMalloc(sizeof(GxIm3DVertex) * static_cast<size_t>(gx2DSCRATCHVERTICES), gx2DHINTSCRATCH));
    if (!gx2D.scratch) {
        return 0;
    }
    gx2D.brushList = GxFreeListCreateAndPreallocate(sizeof(Gx2DBrush), kBrushesPerBlock, kBrushAlignment, 1, nullptr,
                                                    gx2DHINTBRUSHLIST);
    return gx2D.brushList != nullptr;
}

void Gx2DBrushModuleClose(void)
{
    if (gx2D.brushList) {
        GxFreeListDestroy(gx2D.brushList);
        gx2D.brushList = nullptr;
    }
    if (gx2D.scratch) {
        GxFree(gx2D.scratch);
        gx2D.scratch = nullptr;
    }
}

Gx2DBrush* Gx2DBrushCreate(void)
{
    auto* brush = static_cast<Gx2DBrush*>(GxFreeListAllocEntry(gx2D.brushList, gx2DHINTBRUSHLIST));
    if (!brush) {
        return nullptr;
    }
    *brush = Gx2DBrush{};
    const Gx2DBrushColour white = {kOpaqueWhite, kOpaqueWhite, kOpaqueWhite, kOpaqueWhite};
    brush->top = white;
    brush->bottom = white;
    brush->flatColour = {255, 255, 255, 255};
    brush->halfWidth = kDefaultHalfWidth;
    brush->refCount = 1;
    return brush;
}

GxBool Gx2DBrushDestroy(Gx2DBrush* brush)
{
    GX_ASSERT(brush->refCount > 0, "an object is destroyed no more often than it is referenced");
    if (--brush->refCount > 0) {
        return 0;
    }
    if (brush->texture) {
        GxTextureDestroy(brush->texture);
    }
    GxFreeListFreeEntry(gx2D.brushList, brush);
    return 1;
}

Gx2DBrush* Gx2DBrushSetRGBA(Gx2DBrush* brush, const GxRGBA* c1, const GxRGBA* c2, const GxRGBA* c3, const GxRGBA* c4)
{
    brush->top = ToColour(c4);
    brush->topDelta = Minus(ToColour(c3), brush->top);
    brush->bottom = ToColour(c1);
    brush->bottomDelta = Minus(ToColour(c2), brush->bottom);
    brush->flatColour = *c4;
    const bool uniform = IsZero(brush->topDelta) && IsZero(brush->bottomDelta) && Same(brush->top, brush->bottom);
    if (uniform) {
        brush->flags &= ~gx2DBRUSHSHADED;
    } else {
        brush->flags |= gx2DBRUSHSHADED;
    }
    return brush;
}

Gx2DBrush* Gx2DBrushSetUV(Gx2DBrush* brush, const GxV2d* t1, const GxV2d* t2, const GxV2d* t3, const GxV2d* t4)
{
    brush->topUV = *t4;
    brush->topUVDelta = {t3->x - t4->x, t3->y - t4->y};
    brush->bottomUV = *t1;
    brush->bottomUVDelta = {t2->x - t1->x, t2->y - t1->y};
    const bool constant = brush->topUVDelta.x == 0.0f && brush->topUVDelta.y == 0.0f &&
                          brush->bottomUVDelta.x == 0.0f && brush->bottomUVDelta.y == 0.0f;
    if (constant) {
        brush->flags &= ~gx2DBRUSHTEXTURED;
    } else {
        brush->flags |= gx2DBRUSHTEXTURED;
    }
    return brush;
}

Gx2DBrush* Gx2DBrushSetTexture(Gx2DBrush* brush, GxTexture* texture)
{
    if (texture) {
        GxTextureAddRef(texture);
        brush->flags |= gx2DBRUSHTEXTURED;
    } else {
        brush->flags &= ~gx2DBRUSHTEXTURED;
    }
    if (brush->texture) {
        GxTextureDestroy(brush->texture);
    }
    brush->texture = texture;
    return brush;
}

void Gx2DBrushSetupTexture(const Gx2DBrush* brush)
{
    GxTexture* texture = brush->texture;
    if (!texture) {
        GxRenderStateSet(gxRENDERSTATETEXTURERASTER, nullptr);
        return;
    }
    GxRenderStateSet(gxRENDERSTATETEXTURERASTER, GxTextureGetRaster(texture));
    GxRenderStateSet(gxRENDERSTATETEXTUREFILTER, GxRenderStateValue(GxTextureGetFilterMode(texture)));
    const GxUInt8 u = GxTextureGetAddressingU(texture);
    GxRenderStateSet(gxRENDERSTATETEXTUREADDRESS, GxRenderStateValue(u == GxTextureGetAddressingV(texture) ? u : 0u));
}

GxUInt32 Gx2DBrushFlatColour(const Gx2DBrush* brush)
{
    const GxRGBA& c = brush->flatColour;
    return static_cast<GxUInt32>(c.alpha) << 24 | static_cast<GxUInt32>(c.red) << 16 |
           static_cast<GxUInt32>(c.green) << 8 | c.blue;
}

GxUInt32 Gx2DBrushColourAt(const Gx2DBrush* brush, GxReal s, GxReal r)
{
    const Gx2DBrushColour top = Lerp(brush->top, brush->topDelta, s);
    const Gx2DBrushColour bottom = Lerp(brush->bottom, brush->bottomDelta, s);
    return Pack(Lerp(bottom, Minus(top, bottom), r));
}

Gx2DPath* Gx2DPathFill(Gx2DPath* path, Gx2DBrush* brush)
{
    const GxMatrix* matrix = Gx2DCTMGetWorldMatrix();
    for (const Gx2DPath* sub = path; sub; sub = sub->next) {
        if (sub->closed) {
            FillSubpath(sub, brush, matrix);
        }
    }
    return path;
}

Gx2DPath* Gx2DPathStroke(Gx2DPath* path, Gx2DBrush* brush)
{
    const GxMatrix* matrix = Gx2DCTMGetWorldMatrix();
    for (const Gx2DPath* sub = path; sub; sub = sub->next) {
        StrokeSubpath(sub, brush, matrix);
    }
    return path;
}
