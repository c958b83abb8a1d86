// Fuzz target: a hot-spot or placement map decoded from arbitrary pixels (two size bytes, then RGBA).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx/core/image.h"
#include "ui/toolkit/imagemap.h"

namespace {
constexpr int32_t kMaxSide = 64;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int32_t width = 1 + data[0] % kMaxSide;
    const int32_t height = 1 + data[1] % kMaxSide;
    std::vector<GxUInt8> pixels(static_cast<size_t>(width) * height * 4, 0);
    for (size_t i = 2; i < size && i - 2 < pixels.size(); i++)
        pixels[i - 2] = data[i];
    GxImage image = {};
    image.width = width;
    image.height = height;
    image.depth = 32;
    image.stride = width * 4;
    image.pixels = pixels.data();
    for (const FerroxMapBlock& block : FerroxDecodeMap(&image)) {
        if (!block.found)
            continue;
        // A block lies inside the map, rows 1 to height - 2 for its top.
        if (block.column < 0 || block.column + block.width >= width || block.bottom < 0 ||
            block.bottom + block.height > height - 2)
            __builtin_trap();
    }
    return 0;
}
