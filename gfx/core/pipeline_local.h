// Internals shared by the pipeline module's files.
#pragma once

#include "gfx/core/pipeline.h"

#include <cstddef>

// Bytes of scratch arena an unlock of the pipeline may need: the resolution's work records and the run-time
// tables it leaves behind.
size_t GxPipelineUnlockArenaSize(GxPipeline* pipeline);
// Works out the clusters of an ordered, locked pipeline in the scratch arena [bottom, top) and builds its
// run-time tables (packet template, per-node slot tables, private data, inputs) from the arena's bottom. Returns
// the end of what the bottom used, or null with the error recorded.
char* GxPipelineResolveClusters(GxPipeline* pipeline, char* bottom, char* top);
