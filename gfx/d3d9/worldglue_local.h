// The world glue's side of reinstancing, for the atomic pipeline: which parts of a geometry were locked since
// an instance was last written.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/core/memory.h"
#include "gfx/d3d9/d3d9_local.h"

struct GxGeometry;

// A geometry with two-stream instances, and how many of its instances hold the entry.
struct GxD3D9DynamicGeometryEntry {
    GxGeometry* geometry;
    GxInt32 users;
    GxD3D9DynamicGeometryEntry* next;
};

// The world glue's state, kept by worldglue.cpp; the pipelines' tests read it through atomicpipe_testing.h.
struct GxD3D9WorldGlue {
    GxInt32 geometryOffset = -1;
    GxD3D9DynamicGeometryEntry* dynamic = nullptr;
    GxFreeList* dynamicEntries = nullptr;
    GxD3D9DeviceRestoreCallBack previousRestore = nullptr;
    // The driver's state outlives an engine restart: the restore is chained at the first attach only, or a second
    // start would chain it to itself.
    bool restoreInstalled = false;
};

extern GxD3D9WorldGlue gxD3D9WorldGlue;

// Parts (lock bits) locked after lock stamp `stamp`. Takes the geometry's pending locked flags over first,
// dating each part, and clears them, so every instance of a shared geometry learns of each lock.
GxUInt32 GxD3D9GeometryPartsLockedSince(GxGeometry* geometry, GxUInt32 stamp);

// The material pipeline's creation: a placeholder that makes no pipeline and succeeds.
GxBool GxReturnTrue(void);
