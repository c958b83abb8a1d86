// Internals of the collision plugin shared with its test access: tree records, their stream, the geometry's slot.
#pragma once

#include "gfx/world/collision.h"

// The geometry's tree slot, or null for no geometry or when the plugin is not attached.
GxCollTree** GxCollisionGeometryTreeSlot(const GxGeometry* geometry);
GxCollTree* GxCollisionGeometryGetTree(const GxGeometry* geometry);

// One allocation: the record, the splits and the index map (with `withMap`).
GxCollTree* GxCollTreeCreate(GxUInt16 numEntries, GxUInt16 numSplits, GxBool withMap);
void GxCollTreeDestroy(GxCollTree* tree);
// The collision extension body (version word and chunk 0x2C) of a tree, and its size.
GxBool GxCollTreeStreamWrite(const GxCollTree* tree, GxStream* stream);
GxInt32 GxCollTreeStreamGetSize(const GxCollTree* tree);

// Reads a collision extension body (version word and chunk 0x2C) of `length` bytes over `numTriangles`; an
// older-layout tree takes `box`. Sets `skipped` when an older-layout tree with an oversized leaf was passed
// over (null then, and the read goes on).
GxCollTree* GxCollTreeReadChunk(GxStream* stream, GxInt32 length, GxUInt32 numTriangles, const GxBBox& box,
                                bool* skipped);
