// Test access to the hierarchy plugin, for test programs that start engines with other plugin sets in turn.
#pragma once

#include "gfx/anim/anim_local.h"

// Forgets the frame offset an earlier engine gave the plugin, so that a later engine which does not attach it
// finds no hierarchy on its frames instead of reading them at that offset.
inline void GxAnimHierarchyForgetPlugin(void) { gxAnimHierarchyFrameOffset = -1; }
