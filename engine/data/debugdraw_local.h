// Internals of the debug drawing: the vertex lists its drawing hands to immediate-mode 3D.
#pragma once

#include <vector>

#include "engine/data/debugdraw.h"

// The vertex colour word: alpha in the top byte, then red, green, blue.
GxUInt32 FerroxPackColor(const GxRGBA& color);

// Vertices of the polyline through the points, each lifted by height.
std::vector<GxIm3DVertex> BuildDebugLineVertices(const GxV3d* points, int count, float height);

// Line-list vertices of a grid of columns x rows cells: (columns + rows + 2) x 2; none for a negative size or
// more than one immediate-mode batch holds, which the drawing refuses anyway.
std::vector<GxIm3DVertex> BuildDebugGridVertices(const GxV3d& origin, int columns, int rows, float cellSize,
                                                 const GxRGBA& color);
