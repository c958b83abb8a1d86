// 2D toolkit paths: subpath records, point building with normals, miters and distances, flattening and bounds.
#include <cstring>
#include <initializer_list>

#include "gfx/2d/twod_local.h"

namespace {

constexpr GxInt32 kPathsPerBlock = 32;
constexpr GxInt32 kFirstPointCapacity = 8;
// A miter whose component along the previous normal is at or below this would divide by (almost) zero:
// the path turns back on itself.
constexpr GxReal kMinMiterDot = 1e-4f;

Gx2DPath* NewSubpath()
{
    auto* path = static_cast<Gx2DPath*>(GxFreeListAllocEntry(gx2D.pathList, gx2DHINTPATHLIST));
    if (!path) {
        return nullptr;
    }
    *path = Gx2DPath{};
    path->count = -1;
    path->flat = 1;
    path->current = path;
    return path;
}

void FreeSubpath(Gx2DPath* path)
{
    if (path->points) {
        GxFree(path->points);
    }
    GxFreeListFreeEntry(gx2D.pathList, path);
}

// Room for one more record in an editable subpath; null when memory ran out.
Gx2DPoint* AppendPoint(Gx2DPath* path)
{
    if (path->count >= 0) {
        Gx2DPathUnlock(path);
    }
    if (path->used == path->capacity) {
        const GxInt32 capacity = path->capacity ? path->capacity * 2 : kFirstPointCapacity;
        void* grown = GxRealloc(path->points, sizeof(Gx2DPoint) * static_cast<size_t>(capacity),
                                gx2DHINTPATHPOINTS | gxMEMHINTFLAGRESIZEABLE);
        if (!grown) {
            return nullptr;
        }
        path->points = static_cast<Gx2DPoint*>(grown);
        path->capacity = capacity;
    }
    return &path->points[path->used++];
}

GxInt32 NumPoints(const Gx2DPath* path) { return Gx2DPathGetNumPoints(path); }

// The miter vector between a normal p and the next n, with component 1 along p; n itself when the
// path reverses (p + n vanishes) or p is missing.
GxV2d Miter(GxV2d p, GxV2d n)
{
    const GxV2d s = {p.x + n.x, p.y + n.y};
    const GxReal dot = p.x * s.x + p.y * s.y;
    if (!(dot > kMinMiterDot)) {
        return n;
    }
    return {s.x / dot, s.y / dot};
}

// Appends a record of the given kind ending a segment from the last record; fixes that record's
// normal when fixPrevious is set.
Gx2DPath* AppendSegment(Gx2DPath* path, GxInt32 kind, GxReal x, GxReal y, bool fixPrevious)
{
    Gx2DPath* sub = path->current;
    const GxInt32 before = NumPoints(sub);
    if (before == 0) {
        return Gx2DPathMoveto(path, x, y);
    }
    Gx2DPoint* q = AppendPoint(sub);
    if (!q) {
        return path;
    }
    Gx2DPoint* p = &sub->points[before - 1];
    const GxReal dx = x - p->pos.x;
    const GxReal dy = y - p->pos.y;
    const GxReal squared = dx * dx + dy * dy;
    GxV2d n = p->normal;
    GxReal length = 0.0f;
    if (squared > 0.0f) {
        length = GxSqrt(squared);
        const GxReal inv = GxInvSqrt(squared);
        n = {dy * inv, -dx * inv};
    }
    q->kind = kind;
    q->pos = {x, y};
    q->normal = n;
    q->distance = p->distance + length;
    if (fixPrevious) {
        p->normal = before < 2 ? n : Miter(p->normal, n);
    }
    return path;
}

// Recursive Bezier flattening into the target.
void FlattenCurve(Gx2DPath* target, GxV2d p0, GxV2d c1, GxV2d c2, GxV2d p3, GxInt32 depth, GxReal tolerance)
{
    if (depth - 1 < 0) {
        Gx2DPathLineto(target, p3.x, p3.y);
        return;
    }
    const GxV2d v = {p3.x - p0.x, p3.y - p0.y};
    const GxReal l2 = v.x * v.x + v.y * v.y;
    bool flat = true;
    for (const GxV2d& q : {c1, c2}) {
        const GxV2d e = {q.x - p0.x, q.y - p0.y};
        const GxReal ve = v.x * e.x + v.y * e.y;
        if (!(ve * ve > (e.x * e.x + e.y * e.y - tolerance) * l2)) {
            flat = false;
        }
    }
    if (flat) {
        Gx2DPathLineto(target, p3.x, p3.y);
        return;
    }
    auto mid = [](GxV2d a, GxV2d b) { return GxV2d{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f}; };
    const GxV2d a1 = mid(p0, c1);
    const GxV2d bc = mid(c1, c2);
    const GxV2d b2 = mid(c2, p3);
    const GxV2d a2 = mid(a1, bc);
    const GxV2d b1 = mid(bc, b2);
    const GxV2d m = mid(a2, b1);
    FlattenCurve(target, p0, a1, a2, m, depth - 1, tolerance);
    FlattenCurve(target, m, b1, b2, p3, depth - 1, tolerance);
}

void Widen(Gx2DRect* box, GxReal* maxX, GxReal* maxY, const Gx2DPath* sub)
{
    const GxInt32 n = NumPoints(sub);
    for (GxInt32 i = 0; i < n; i++) {
        const GxV2d p = sub->points[i].pos;
        box->x = p.x < box->x ? p.x : box->x;
        box->y = p.y < box->y ? p.y : box->y;
        *maxX = p.x > *maxX ? p.x : *maxX;
        *maxY = p.y > *maxY ? p.y : *maxY;
    }
}

}  // namespace

GxBool Gx2DPathModuleOpen(void)
{
    gx2D.pathList = GxFreeListCreateAndPreallocate(sizeof(Gx2DPath), kPathsPerBlock, alignof(Gx2DPath), 1, nullptr,
                                                   gx2DHINTPATHLIST);
    if (!gx2D.pathList) {
        return 0;
    }
    gx2D.scratchPath = Gx2DPathCreate();
    return gx2D.scratchPath != nullptr;
}

void Gx2DPathModuleClose(void)
{
    if (gx2D.scratchPath) {
        Gx2DPathDestroy(gx2D.scratchPath);
        gx2D.scratchPath = nullptr;
    }
    if (gx2D.pathList) {
        GxFreeListDestroy(gx2D.pathList);
        gx2D.pathList = nullptr;
    }
}

Gx2DPath* Gx2DPathCreate(void) { return NewSubpath(); }

GxBool Gx2DPathDestroy(Gx2DPath* path)
{
    if (!path) {
        return 0;
    }
    while (path) {
        Gx2DPath* next = path->next;
        FreeSubpath(path);
        path = next;
    }
    return 1;
}

Gx2DPath* Gx2DPathEmpty(Gx2DPath* path)
{
    Gx2DPathDestroy(path->next);
    path->next = nullptr;
    if (path->count >= 0) {
        Gx2DPathUnlock(path);
    }
    path->used = 0;
    path->closed = 0;
    path->flat = 1;
    path->current = path;
    return path;
}

Gx2DPath* Gx2DPathMoveto(Gx2DPath* path, GxReal x, GxReal y)
{
    Gx2DPath* sub = path->current;
    if (NumPoints(sub) != 0) {
        Gx2DPath* fresh = NewSubpath();
        if (!fresh) {
            return path;
        }
        fresh->next = sub->next;
        sub->next = fresh;
        path->current = fresh;
        sub = fresh;
    }
    Gx2DPoint* p = AppendPoint(sub);
    if (p) {
        *p = Gx2DPoint{gx2DPOINTMOVETO, {x, y}, {0.0f, 0.0f}, 0.0f};
    }
    return path;
}

Gx2DPath* Gx2DPathLineto(Gx2DPath* path, GxReal x, GxReal y)
{
    return AppendSegment(path, gx2DPOINTLINETO, x, y, true);
}

Gx2DPath* Gx2DPathCurveto(Gx2DPath* path, GxReal x1, GxReal y1, GxReal x2, GxReal y2, GxReal x3, GxReal y3)
{
    if (NumPoints(path->current) == 0) {
        Gx2DPathMoveto(path, x1, y1);
    }
    AppendSegment(path, gx2DPOINTCURVE, x1, y1, true);
    AppendSegment(path, gx2DPOINTCURVE, x2, y2, false);
    AppendSegment(path, gx2DPOINTCURVE, x3, y3, false);
    path->current->flat = 0;
    return path;
}

Gx2DPath* Gx2DPathClosePath(Gx2DPath* path)
{
    Gx2DPath* sub = path->current;
    if (NumPoints(sub) == 0) {
        return path;
    }
    const Gx2DPoint first = sub->points[0];
    const Gx2DPoint& last = sub->points[NumPoints(sub) - 1];
    if (last.pos.x != first.pos.x || last.pos.y != first.pos.y) {
        Gx2DPathLineto(path, first.pos.x, first.pos.y);
    }
    const GxInt32 n = NumPoints(sub);
    if (n > 1) {
        const GxV2d seam = Miter(sub->points[0].normal, sub->points[n - 1].normal);
        sub->points[n - 1].normal = seam;
        sub->points[0].normal = seam;
    }
    sub->closed = 1;
    return path;
}

Gx2DPath* Gx2DPathRect(Gx2DPath* path, GxReal x, GxReal y, GxReal width, GxReal height)
{
    Gx2DPathMoveto(path, x, y);
    Gx2DPathLineto(path, x + width, y);
    Gx2DPathLineto(path, x + width, y + height);
    Gx2DPathLineto(path, x, y + height);
    return Gx2DPathClosePath(path);
}

Gx2DPath* Gx2DPathFlatten(Gx2DPath* target, const Gx2DPath* subpath)
{
    const GxReal tolerance = Gx2DDeviceGetFlatness();
    const GxInt32 n = NumPoints(subpath);
    const Gx2DPoint* pts = subpath->points;
    for (GxInt32 i = 0; i < n; i++) {
        const Gx2DPoint& p = pts[i];
        if (p.kind == gx2DPOINTMOVETO) {
            Gx2DPathMoveto(target, p.pos.x, p.pos.y);
            Gx2DPath* sub = target->current;
            if (NumPoints(sub) != 0) {
                sub->points[NumPoints(sub) - 1] = p;
            }
        } else if (p.kind == gx2DPOINTLINETO || i == 0 || i + 2 >= n) {
            Gx2DPathLineto(target, p.pos.x, p.pos.y);
        } else {
            FlattenCurve(target, pts[i - 1].pos, p.pos, pts[i + 1].pos, pts[i + 2].pos, gx2D.device.subdivisionDepth,
                         tolerance);
            i += 2;
        }
    }
    if (subpath->closed) {
        Gx2DPathClosePath(target);
    }
    return target;
}

Gx2DPath* Gx2DScratchPathGet(void) { return Gx2DPathEmpty(gx2D.scratchPath); }

Gx2DPath* Gx2DPathGetBBox(Gx2DPath* path, Gx2DRect* rect)
{
    *rect = Gx2DRect{};
    if (NumPoints(path) == 0) {
        return path;
    }
    rect->x = path->points[0].pos.x;
    rect->y = path->points[0].pos.y;
    GxReal maxX = rect->x;
    GxReal maxY = rect->y;
    for (const Gx2DPath* sub = path; sub; sub = sub->next) {
        if (sub->flat) {
            Widen(rect, &maxX, &maxY, sub);
            continue;
        }
        Gx2DPath* scratch = Gx2DScratchPathGet();
        Gx2DPathFlatten(scratch, sub);
        Widen(rect, &maxX, &maxY, scratch);
    }
    rect->w = maxX - rect->x;
    rect->h = maxY - rect->y;
    return path;
}

Gx2DPath* Gx2DPathLock(Gx2DPath* path)
{
    for (Gx2DPath* sub = path; sub; sub = sub->next) {
        if (sub->count >= 0) {
            continue;
        }
        sub->count = sub->used;
        if (sub->used == 0 && sub->points) {
            GxFree(sub->points);
            sub->points = nullptr;
        } else if (sub->used < sub->capacity) {
            void* fitted =
                GxRealloc(sub->points, sizeof(Gx2DPoint) * static_cast<size_t>(sub->used), gx2DHINTPATHPOINTS);
            if (fitted) {
                sub->points = static_cast<Gx2DPoint*>(fitted);
            }
        }
        sub->capacity = sub->count;
    }
    return path;
}

Gx2DPath* Gx2DPathUnlock(Gx2DPath* path)
{
    for (Gx2DPath* sub = path; sub; sub = sub->next) {
        if (sub->count < 0) {
            continue;
        }
        sub->used = sub->count;
        sub->capacity = sub->count;
        sub->count = -1;
    }
    return path;
}

Gx2DPath* Gx2DPathRemoveSinglePoints(Gx2DPath* path)
{
    Gx2DPath* first = path;
    Gx2DPath* previous = nullptr;
    Gx2DPath* sub = path;
    while (sub) {
        Gx2DPath* next = sub->next;
        if (NumPoints(sub) == 1) {
            if (previous) {
                previous->next = next;
            } else {
                first = next;
            }
            FreeSubpath(sub);
        } else {
            previous = sub;
        }
        sub = next;
    }
    // The first record keeps the current subpath; point it at the last one left.
    if (first) {
        Gx2DPath* last = first;
        while (last->next) {
            last = last->next;
        }
        first->current = last;
    }
    return first;
}
