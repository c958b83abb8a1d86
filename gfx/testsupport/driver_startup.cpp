#include "gfx/testsupport/driver_startup.h"

#include "gfx/d3d9/d3d9drv.h"

const GxStartup* GxTestDriverStartup(void) { return GxD3D9GetStartup(); }
