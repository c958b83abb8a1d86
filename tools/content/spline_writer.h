// Writes spline chunks (0x0C) for camera paths and test fixtures through the graphics core's streams.
#pragma once

#include <vector>

#include "gfx/core/gx.h"

struct GxStream;

// Body size of a spline chunk of count points.
GxUInt32 ContentSplineBodySize(GxInt32 count);
// Writes the chunk header and body; the name is cut to 32 characters. False when a write fails.
bool ContentSplineWrite(GxStream* stream, const char* name, GxInt32 type, const GxV3d* points, GxInt32 count);
// The whole chunk as bytes (empty on failure); needs an initialised engine.
std::vector<GxUInt8> ContentSplineBytes(const char* name, GxInt32 type, const GxV3d* points, GxInt32 count);
// Writes a file that holds the one chunk.
bool ContentSplineWriteFile(const char* fileName, const char* name, GxInt32 type, const GxV3d* points, GxInt32 count);
