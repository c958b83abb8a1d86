// Internals shared by the pipeline module's files.
#pragma once

#include "gfx/core/pipeline.h"

// Works out the clusters of an ordered, locked pipeline and builds its run-time block (packet template,
// per-node slot tables, private data, inputs). 0 with the error recorded on failure.
GxBool GxPipelineResolveClusters(GxPipeline* pipeline);
