// Test access to collision trees: reading an extension body and giving a geometry a tree.
#pragma once

#include "gfx/world/collision_local.h"

// The collision extension body (version word and chunk 0x2C) of a tree; a null box reads as an empty one.
inline GxCollTree* GxCollTreeStreamRead(GxStream* stream, GxInt32 length, GxUInt32 numTriangles, const GxBBox* box)
{
    bool skipped = false;
    return GxCollTreeReadChunk(stream, length, numTriangles, box ? *box : GxBBox{}, &skipped);
}

// Gives the geometry a tree (destroying any it had); the tree must name only the geometry's triangles.
inline GxGeometry* GxCollisionGeometrySetTree(GxGeometry* geometry, GxCollTree* tree)
{
    GxCollTree** slot = GxCollisionGeometryTreeSlot(geometry);
    if (!slot) {
        return nullptr;
    }
    GxCollTreeDestroy(*slot);
    *slot = tree;
    return geometry;
}
