// Debug drawing of lines, circles and grids in the 3D view, and the render states it sets.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/core/gx.h"

// One vertex of the immediate-mode 3D drawing: position, normal, colour (alpha in the
// top byte, then red, green, blue), u and v.
struct FerroxImVertex {
    GxV3d position;
    GxV3d normal;
    GxUInt32 color;
    GxReal u;
    GxReal v;
};

// Render states and values the engine sets.
enum FerroxRenderState {
    FERROX_RS_TEXTURERASTER = 1,
    FERROX_RS_TEXTUREADDRESS = 2,
    FERROX_RS_ZTEST = 6,
    FERROX_RS_SHADEMODE = 7,
    FERROX_RS_ZWRITE = 8,
    FERROX_RS_SRCBLEND = 10,
    FERROX_RS_DESTBLEND = 11,
    FERROX_RS_VERTEXALPHA = 12,
};
constexpr intptr_t FERROX_TEXTUREADDRESS_WRAP = 1;
constexpr intptr_t FERROX_SHADE_GOURAUD = 2;
constexpr intptr_t FERROX_BLEND_SRCALPHA = 5;
constexpr intptr_t FERROX_BLEND_INVSRCALPHA = 6;

// Sets one render state through the device table of the engine instance (nothing without a device).
void FerroxSetRenderState(GxInt32 state, intptr_t value);

GxUInt32 FerroxPackColor(const GxRGBA& color);

void BeginDebugDraw();
void EndDebugDraw();

// Vertices of the polyline through the points, each lifted by height.
std::vector<FerroxImVertex> BuildDebugLineVertices(const GxV3d* points, int count, float height);
void DrawDebugLines(const GxV3d* points, int count, float height);

// Count points on a horizontal circle, the last repeating the first; the caller frees
// them with delete[]. Null for fewer than two points.
GxV3d* MakeDebugCircle(const GxV3d& midpoint, float radius, int count);

// Line-list vertices of a grid of columns x rows cells: (columns + rows + 2) x 2.
std::vector<FerroxImVertex> BuildDebugGridVertices(const GxV3d& origin, int columns, int rows, float cellSize,
                                                   const GxRGBA& color);
void DrawDebugGrid(const GxV3d& origin, int columns, int rows, float cellSize,
                   const GxRGBA& color = GxRGBA{255, 0, 255, 255});
