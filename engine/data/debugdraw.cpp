// Debug drawing: the vertex lists of lines, circles and grids, and the render states around them.
#include "engine/data/debugdraw.h"

#include "engine/data/debugdraw_local.h"

#include <cmath>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Vertices of DrawDebugLines carry no colour of their own choosing: a fixed opaque white.
constexpr GxUInt32 kLineColor = 0xFFFFFFFFu;

GxIm3DVertex MakeVertex(const GxV3d& position, GxUInt32 color)
{
    GxIm3DVertex v = {};
    v.objVertex = position;
    v.color = color;
    return v;
}

// World positions, opaque: no matrix, vertex alpha stays off. An empty list is refused by the transform.
void DrawDebugVertices(std::vector<GxIm3DVertex>& vertices, GxInt32 primType)
{
    BeginDebugDraw();
    if (GxIm3DTransform(vertices.data(), static_cast<GxInt32>(vertices.size()), nullptr, gxIM3DNOVERTEXALPHA)) {
        GxIm3DRenderPrimitive(primType);
        GxIm3DEnd();
    }
    EndDebugDraw();
}

}  // namespace

GxUInt32 FerroxPackColor(const GxRGBA& color)
{
    return (static_cast<GxUInt32>(color.alpha) << 24) | (static_cast<GxUInt32>(color.red) << 16) |
           (static_cast<GxUInt32>(color.green) << 8) | color.blue;
}

void BeginDebugDraw()
{
    GxRenderStateSet(gxRENDERSTATESHADEMODE, FerroxStateValue(FERROX_SHADE_GOURAUD));
    GxRenderStateSet(gxRENDERSTATETEXTURERASTER, nullptr);
    GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, FerroxStateValue(0));
    GxRenderStateSet(gxRENDERSTATEZTESTENABLE, FerroxStateValue(1));
    GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, FerroxStateValue(1));
}

void EndDebugDraw()
{
    GxRenderStateSet(gxRENDERSTATESRCBLEND, FerroxStateValue(FERROX_BLEND_SRCALPHA));
    GxRenderStateSet(gxRENDERSTATEDESTBLEND, FerroxStateValue(FERROX_BLEND_INVSRCALPHA));
    GxRenderStateSet(gxRENDERSTATEZTESTENABLE, FerroxStateValue(1));
    GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, FerroxStateValue(1));
}

std::vector<GxIm3DVertex> BuildDebugLineVertices(const GxV3d* points, int count, float height)
{
    GX_ASSERT(count >= 0 && (points != nullptr || count == 0), "a polyline of count points");
    std::vector<GxIm3DVertex> vertices;
    vertices.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; i++) {
        GxV3d p = points[i];
        p.y += height;
        vertices.push_back(MakeVertex(p, kLineColor));
    }
    return vertices;
}

void DrawDebugLines(const GxV3d* points, int count, float height)
{
    std::vector<GxIm3DVertex> vertices = BuildDebugLineVertices(points, count, height);
    DrawDebugVertices(vertices, gxPRIMTYPEPOLYLINE);
}

std::unique_ptr<GxV3d[]> MakeDebugCircle(const GxV3d& midpoint, float radius, int count)
{
    // No points at all leave no first point to repeat.
    if (count < 1) {
        return nullptr;
    }
    auto points = std::make_unique<GxV3d[]>(count);
    const double step = count > 1 ? 360.0 / (count - 1) : 0.0;
    for (int i = 0; i < count - 1; i++) {
        const double angle = i * step * kPi / 180.0;
        points[i] = {static_cast<GxReal>(midpoint.x + std::cos(angle) * radius), midpoint.y,
                     static_cast<GxReal>(midpoint.z + std::sin(angle) * radius)};
    }
    points[count - 1] = points[0];
    return points;
}

std::vector<GxIm3DVertex> BuildDebugGridVertices(const GxV3d& origin, int columns, int rows, float cellSize,
                                                 const GxRGBA& color)
{
    std::vector<GxIm3DVertex> vertices;
    // In 64 bits, so that huge sizes cannot wrap round into a small count.
    const int64_t count = (static_cast<int64_t>(columns) + rows + 2) * 2;
    if (columns < 0 || rows < 0 || count > gxIM3DMAXVERTICES) {
        return vertices;
    }
    const GxUInt32 packed = FerroxPackColor(color);
    vertices.reserve(static_cast<size_t>(count));
    for (int i = 0; i <= rows; i++) {
        const GxReal z = origin.z - i * cellSize;
        vertices.push_back(MakeVertex({origin.x, origin.y, z}, packed));
        vertices.push_back(MakeVertex({origin.x + columns * cellSize, origin.y, z}, packed));
    }
    for (int i = 0; i <= columns; i++) {
        const GxReal x = origin.x + i * cellSize;
        vertices.push_back(MakeVertex({x, origin.y, origin.z}, packed));
        vertices.push_back(MakeVertex({x, origin.y, origin.z - rows * cellSize}, packed));
    }
    return vertices;
}

void DrawDebugGrid(const GxV3d& origin, int columns, int rows, float cellSize, const GxRGBA& color)
{
    std::vector<GxIm3DVertex> vertices = BuildDebugGridVertices(origin, columns, rows, cellSize, color);
    DrawDebugVertices(vertices, gxPRIMTYPELINELIST);
}
