// Pixel reads of core images and the decoding of authored maps, shared by the toolkit, the content tools and their
// tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "gfx/core/image.h"

// True for a 32-bit or 4/8-bit palette image with pixels.
bool FerroxImageReadable(const GxImage* image);
// RGBA of one pixel of a readable image.
inline void FerroxReadImagePixel(const GxImage* image, int32_t x, int32_t y, uint8_t* rgba)
{
    const GxUInt8* row = image->pixels + static_cast<size_t>(y) * image->stride;
    if (image->depth == 32) {
        std::memcpy(rgba, row + static_cast<size_t>(x) * 4, 4);
        return;
    }
    // A 4-bit image keeps one index a byte; its palette has 16 entries.
    const GxRGBA& entry = image->palette[row[x] & ((1 << image->depth) - 1)];
    rgba[0] = entry.red;
    rgba[1] = entry.green;
    rgba[2] = entry.blue;
    rgba[3] = entry.alpha;
}

// The first block of one palette colour of a map: column, bottom-up row of its bottom, and width and height
// one less than its pixel counts so that the inclusive hit test covers the block exactly.
struct FerroxMapBlock {
    bool found;
    int32_t column;
    int32_t bottom;
    int32_t width;
    int32_t height;
};

// The palette of a map is the run of pixels of the first row up to the first white one; each colour's first
// pixel is looked for from the second to the second-last row, in one pass over the map.
std::vector<FerroxMapBlock> FerroxDecodeMap(const GxImage* map);
