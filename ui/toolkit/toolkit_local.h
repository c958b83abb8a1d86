// Internals the toolkit's files share: pixel reads of core images and the decoding of authored maps.
#pragma once

#include <cstdint>
#include <vector>

struct GxImage;

// True for a 32-bit or 4/8-bit palette image with pixels.
bool FerroxImageReadable(const GxImage* image);
// RGBA of one pixel of a readable image.
void FerroxReadImagePixel(const GxImage* image, int32_t x, int32_t y, uint8_t* rgba);

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
