// Frame internals shared by the frame module and the frame-list chunk.
#pragma once

#include "gfx/core/frame.h"
#include "gfx/core/plugin.h"

// The frame type's extension registry.
extern GxPluginRegistry gxFrameTKList;

// Links a root frame as the parent's last child; `lastChild` is the parent's
// current last child when the caller knows it (saves the walk), else null.
// Otherwise as GxFrameAddChild. Returns the parent, or null for a cycle.
GxFrame* GxFrameAppendChild(GxFrame* parent, GxFrame* child, GxFrame* lastChild);

// An object joined a frame's object list: the sync passes' remembered lists of the frames that carry objects are
// read again (GxObjectSetFrame calls it).
void GxFrameObjectsChanged(void);
