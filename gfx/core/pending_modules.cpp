// Core modules whose own code is still to come; each is replaced as its module arrives.
#include "gfx/core/core_local.h"

namespace {

// Open and close only count instances: these modules keep no data yet.
GxInt32 textureInstances = 0;

void* TextureOpen(void* instance, GxInt32, GxInt32) { textureInstances++; return instance; }
void* TextureClose(void* instance, GxInt32, GxInt32) { textureInstances--; return instance; }

}  // namespace

const GxCoreModule gxTextureModule = {0x408, 0, TextureOpen, TextureClose};
