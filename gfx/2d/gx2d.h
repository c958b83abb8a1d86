// The 2D toolkit: resolution-independent paths, brushes and fonts drawn into a camera through immediate-mode 3D.
//
// The toolkit owns its device record (the camera it draws into), the stack of current transformation
// matrices, the path, brush and font free lists, one vertex scratch buffer, the quad index table and the
// font texture dictionary; all of it is made by Gx2DOpen and released by Gx2DClose. It calls the graphics
// core (matrices, frames, free lists, files, textures, images), its immediate-mode 3D (GxIm3DTransform,
// GxIm3DRenderIndexedPrimitive, GxIm3DEnd), which the driver serves, and its render-state setter; nothing
// calls back into it except the camera end-update hook it installs. It runs on the one rendering thread: its
// module state is global and unguarded, and fill, stroke and text drawing share the one scratch buffer, so
// they never run at the same time. Callers own the paths, brushes and fonts they create and destroy them with
// the matching destroy call; fonts hold one reference to each page texture, brushes one to their texture.
// The debug character set (charset.h) is separate: it prints through immediate-mode 2D and needs no open.
#pragma once

#include "gfx/2d/brush.h"
#include "gfx/2d/font.h"
#include "gfx/2d/path.h"
