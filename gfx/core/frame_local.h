// Frame internals shared by the frame module and the frame-list chunk.
#pragma once

#include "gfx/core/frame.h"
#include "gfx/core/plugin.h"

// The frame type's extension registry.
extern GxPluginRegistry gxFrameTKList;
