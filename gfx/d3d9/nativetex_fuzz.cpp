// Fuzz target: native texture structs on the software device, inside an enclosing chunk of the input's size and
// of unknown size; a texture read writes back and reads again.
#include <cstdlib>
#include <vector>

#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/nativetex.h"
#include "gfx/testsupport/fuzz.h"

namespace {

GxTexture* Read(std::vector<GxUInt8> bytes, GxInt32 enclosing)
{
    GxTestReadStream in(std::move(bytes));
    GxTexture* texture = nullptr;
    if (in.Get() == nullptr || !GxD3D9NativeTextureRead(in.Get(), &texture, enclosing)) {
        return nullptr;
    }
    return texture;
}

void WriteBack(GxTexture* texture)
{
    GxInt32 size = -1;
    GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    if (out == nullptr || !GxD3D9NativeTextureGetSize(&size, texture, 0)) {
        std::abort();
    }
    const bool written = GxD3D9NativeTextureWrite(out, texture, 0);
    std::vector<GxUInt8> bytes = GxTestCloseWriteStream(out);
    if (!written) {
        return;
    }
    if (bytes.size() != static_cast<size_t>(size)) {
        std::abort();
    }
    GxTexture* again = Read(bytes, size);
    if (again == nullptr) {
        std::abort();
    }
    GxTextureDestroy(again);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver()) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<GxUInt8> bytes(data, data + size);
    if (GxTexture* texture = Read(bytes, static_cast<GxInt32>(size))) {
        WriteBack(texture);
        GxTextureDestroy(texture);
    }
    if (GxTexture* texture = Read(bytes, 0)) {
        GxTextureDestroy(texture);
    }
    GxFuzzClearError();
    return 0;
}
