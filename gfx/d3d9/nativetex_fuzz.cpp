// Fuzz target: native texture structs read from arbitrary bytes on the software device.
#include "gfx/core/texture.h"
#include "gfx/d3d9/fuzz_testing.h"
#include "gfx/d3d9/nativetex.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    GxD3D9FuzzStart();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The enclosing size is unknown to the reader: the stream's own size must bound every claim.
    GxD3D9FuzzRead(data, size, [](GxStream* stream) {
        GxTexture* texture = nullptr;
        if (GxD3D9NativeTextureRead(stream, &texture, 0) && texture != nullptr) {
            GxTextureDestroy(texture);
        }
    });
    return 0;
}
