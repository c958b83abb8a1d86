// Benchmarks' access to the OpenGL back end's counters, compiled only into the programs that include it.
#pragma once

#include "platform/d3d9/gl_local.h"

inline const D3D9GLCounters& D3D9GLGetCounters() { return gGlCounters; }
