// Debug drawing of lines, circles and grids in the 3D view, and the render states it sets.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/core/gx.h"
#include "gfx/core/im3d.h"
#include "gfx/core/renderstate.h"

// Values of the render states the engine sets (through GxRenderStateSet).
constexpr intptr_t FERROX_TEXTUREADDRESS_WRAP = 1;
constexpr intptr_t FERROX_SHADE_GOURAUD = 2;
constexpr intptr_t FERROX_BLEND_SRCALPHA = 5;
constexpr intptr_t FERROX_BLEND_INVSRCALPHA = 6;

// A render-state value as GxRenderStateSet takes it.
inline void* FerroxStateValue(intptr_t value) { return reinterpret_cast<void*>(value); }

void BeginDebugDraw();
void EndDebugDraw();

// Draws in world space through immediate-mode 3D, between BeginDebugDraw and EndDebugDraw.
void DrawDebugLines(const GxV3d* points, int count, float height);

// Count points on a horizontal circle, the last repeating the first. Null for no points.
std::unique_ptr<GxV3d[]> MakeDebugCircle(const GxV3d& midpoint, float radius, int count);

void DrawDebugGrid(const GxV3d& origin, int columns, int rows, float cellSize,
                   const GxRGBA& color = GxRGBA{255, 0, 255, 255});
