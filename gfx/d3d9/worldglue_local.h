// The world glue's side of reinstancing, for the atomic pipeline: which parts of a geometry were locked since
// an instance was last written.
#pragma once

#include "gfx/core/gx.h"

struct GxGeometry;

// Parts (lock bits) locked after lock stamp `stamp`. Takes the geometry's pending locked flags over first,
// dating each part, and clears them, so every instance of a shared geometry learns of each lock.
GxUInt32 GxD3D9GeometryPartsLockedSince(GxGeometry* geometry, GxUInt32 stamp);

// The material pipeline's creation: a placeholder that makes no pipeline and succeeds.
GxBool GxReturnTrue(void);
