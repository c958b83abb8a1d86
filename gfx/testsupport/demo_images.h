// The two small demo images the window tool draws: an RGB checkerboard and an RGBA badge disc with a see-through ring.
#pragma once

#include <cstdint>

#include "gfx/testsupport/png_writer.h"

constexpr uint32_t kContentDemoSize = 64;      // both images are square
constexpr uint32_t kContentCheckerSquare = 8;  // pixels per checker square
constexpr uint8_t kContentCheckerLight[3] = {210, 210, 200};
constexpr uint8_t kContentCheckerDark[3] = {70, 80, 110};
constexpr uint8_t kContentBadgeColour[3] = {240, 170, 20};
// Radii in pixels from the image centre: opaque inside the first, half alpha up to the second, clear beyond.
constexpr float kContentBadgeSolidRadius = 16.0f;
constexpr float kContentBadgeRingRadius = 28.0f;
constexpr uint8_t kContentBadgeRingAlpha = 128;

// The checker colour of pixel (x, y); square (0, 0) is light.
inline const uint8_t* ContentCheckerColour(uint32_t x, uint32_t y)
{
    const bool dark = ((x / kContentCheckerSquare) + (y / kContentCheckerSquare)) % 2 != 0;
    return dark ? kContentCheckerDark : kContentCheckerLight;
}

inline ContentPngImage ContentCheckerImage()
{
    ContentPngImage image;
    image.width = kContentDemoSize;
    image.height = kContentDemoSize;
    image.colourType = PNG_COLOR_TYPE_RGB;
    for (uint32_t y = 0; y < image.height; y++) {
        for (uint32_t x = 0; x < image.width; x++) {
            const uint8_t* colour = ContentCheckerColour(x, y);
            image.rows.insert(image.rows.end(), colour, colour + 3);
        }
    }
    return image;
}

// Alpha of badge pixel (x, y), measured from the pixel's centre.
inline uint8_t ContentBadgeAlpha(uint32_t x, uint32_t y)
{
    const float centre = static_cast<float>(kContentDemoSize) / 2.0f;
    const float dx = static_cast<float>(x) + 0.5f - centre;
    const float dy = static_cast<float>(y) + 0.5f - centre;
    const float squared = dx * dx + dy * dy;
    if (squared <= kContentBadgeSolidRadius * kContentBadgeSolidRadius) {
        return 255;
    }
    if (squared <= kContentBadgeRingRadius * kContentBadgeRingRadius) {
        return kContentBadgeRingAlpha;
    }
    return 0;
}

// Every pixel keeps the badge colour, so filtering at the disc's edge only softens alpha.
inline ContentPngImage ContentBadgeImage()
{
    ContentPngImage image;
    image.width = kContentDemoSize;
    image.height = kContentDemoSize;
    image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (uint32_t y = 0; y < image.height; y++) {
        for (uint32_t x = 0; x < image.width; x++) {
            image.rows.insert(image.rows.end(), kContentBadgeColour, kContentBadgeColour + 3);
            image.rows.push_back(ContentBadgeAlpha(x, y));
        }
    }
    return image;
}
