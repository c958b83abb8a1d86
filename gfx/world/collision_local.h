// Internals of the collision plugin shared with its test access: the tree slot of a geometry and the tree reader.
#pragma once

#include "gfx/world/collision.h"

// The geometry's tree slot, or null for no geometry or when the plugin is not attached.
GxCollTree** GxCollisionGeometryTreeSlot(const GxGeometry* geometry);

// Reads a collision extension body (version word and chunk 0x2C) of `length` bytes over `numTriangles`; an
// older-layout tree takes `box`. Sets `skipped` when an older-layout tree with an oversized leaf was passed
// over (null then, and the read goes on).
GxCollTree* GxCollTreeReadChunk(GxStream* stream, GxInt32 length, GxUInt32 numTriangles, const GxBBox& box,
                                bool* skipped);
