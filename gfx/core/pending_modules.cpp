// Core modules whose own code is still to come; each is replaced as its module arrives.
#include "gfx/core/core_local.h"

namespace {

// Open and close only count instances: these modules keep no data yet.
GxInt32 textureInstances = 0;
GxInt32 pipelineInstances = 0;
GxInt32 im3DInstances = 0;

void* TextureOpen(void* instance, GxInt32, GxInt32) { textureInstances++; return instance; }
void* TextureClose(void* instance, GxInt32, GxInt32) { textureInstances--; return instance; }
void* PipelineOpen(void* instance, GxInt32, GxInt32) { pipelineInstances++; return instance; }
void* PipelineClose(void* instance, GxInt32, GxInt32) { pipelineInstances--; return instance; }
void* Im3DOpen(void* instance, GxInt32, GxInt32) { im3DInstances++; return instance; }
void* Im3DClose(void* instance, GxInt32, GxInt32) { im3DInstances--; return instance; }

}  // namespace

const GxCoreModule gxTextureModule = {0x408, 0, TextureOpen, TextureClose};
const GxCoreModule gxPipelineModule = {0x409, 0, PipelineOpen, PipelineClose};
const GxCoreModule gxIm3DModule = {0x40A, 0, Im3DOpen, Im3DClose};
