// Native-texture standard functions, until the native texture module is written: each refuses its call.
#include "gfx/d3d9/d3d9_local.h"

GxBool GxD3D9NativeTextureGetSize(void*, void*, GxInt32) { return 0; }
GxBool GxD3D9NativeTextureRead(void*, void*, GxInt32) { return 0; }
GxBool GxD3D9NativeTextureWrite(void*, void*, GxInt32) { return 0; }
