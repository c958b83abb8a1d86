// The splash pictures and the cursor, drawn from simple figures so that each is told apart at a glance.
#include "tools/content/splash_images.h"

#include <cmath>
#include <filesystem>

namespace {

const float kArrowShaft = 0.08f;  // half thickness of the arrow's shaft, in heights
const uint32_t kCursorOutline = 1;

uint8_t Mix(uint8_t a, uint8_t b, float t) { return static_cast<uint8_t>(std::lround(a + (b - a) * t)); }

// Whether the figure covers the point (u, v), both in [0, 1] across the picture.
bool Covers(ContentSplashFigure figure, float u, float v)
{
    const float aspect = static_cast<float>(kContentSplashWidth) / kContentSplashHeight;
    const float x = (u - 0.5f) * aspect;
    const float y = v - 0.5f;
    switch (figure) {
    case kContentFigureArrow: {
        // A shaft from the left pointing right, ending in a triangular head.
        if (x > -0.6f && x < 0.2f && std::fabs(y) < kArrowShaft)
            return true;
        return x >= 0.2f && x < 0.55f && std::fabs(y) < (0.55f - x) * 0.7f;
    }
    case kContentFigureRidge:
        // A mountain ridge across the lower half.
        return y > 0.25f - 0.2f * std::fabs(std::sin(x * 4.0f)) - 0.1f * std::fabs(std::sin(x * 11.0f));
    case kContentFigureRings: {
        const float r = std::sqrt(x * x + y * y);
        return std::fmod(r, 0.1f) < 0.03f && r < 0.42f;
    }
    case kContentFigureBar:
        // A loading bar, two thirds full, inside a frame.
        if (v > 0.78f && v < 0.82f && u > 0.2f && u < 0.2f + 0.6f * 0.66f)
            return true;
        return (v > 0.765f && v < 0.775f && u > 0.19f && u < 0.81f) ||
               (v > 0.825f && v < 0.835f && u > 0.19f && u < 0.81f);
    }
    return false;
}

// Inside the arrow of the cursor, and on its outline.
bool InCursor(int x, int y)
{
    // A triangle from the tip (0, 0) down the left side, with a short tail.
    if (y < 0 || x < 0 || y > 20)
        return y >= 16 && y < 28 && x >= 6 + (y - 16) / 3 && x < 10 + (y - 16) / 3;
    return x <= y * 0.7f;
}

}  // namespace

ContentPngImage ContentSplashImage(const ContentSplash& splash)
{
    ContentPngImage image;
    image.width = kContentSplashWidth;
    image.height = kContentSplashHeight;
    image.colourType = PNG_COLOR_TYPE_RGB;
    image.rows.reserve(static_cast<size_t>(image.width) * image.height * 3);
    for (uint32_t y = 0; y < image.height; y++) {
        const float v = (y + 0.5f) / image.height;
        for (uint32_t x = 0; x < image.width; x++) {
            const float u = (x + 0.5f) / image.width;
            const bool figure = Covers(splash.figure, u, v);
            for (int c = 0; c < 3; c++)
                image.rows.push_back(figure ? splash.accent[c] : Mix(splash.top[c], splash.bottom[c], v));
        }
    }
    return image;
}

ContentPngImage ContentCursorImage()
{
    ContentPngImage image;
    image.width = kContentCursorSize;
    image.height = kContentCursorSize;
    image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (uint32_t y = 0; y < image.height; y++) {
        for (uint32_t x = 0; x < image.width; x++) {
            const int ix = static_cast<int>(x), iy = static_cast<int>(y);
            const bool inside = InCursor(ix, iy);
            bool edge = false;
            const int k = static_cast<int>(kCursorOutline);
            for (int dy = -k; dy <= k && inside && !edge; dy++)
                for (int dx = -k; dx <= k && !edge; dx++)
                    edge = !InCursor(ix + dx, iy + dy);
            const uint8_t value = edge ? 20 : 255;
            image.rows.push_back(value);
            image.rows.push_back(value);
            image.rows.push_back(value);
            image.rows.push_back(inside ? 255 : 0);
        }
    }
    return image;
}

bool ContentWriteSplashes(const std::string& dir, std::string* error)
{
    namespace fs = std::filesystem;
    const fs::path loading = fs::path(dir) / "images" / "loading";
    std::error_code made;
    fs::create_directories(loading, made);
    if (made) {
        *error = "cannot create " + loading.string();
        return false;
    }
    for (const ContentSplash& splash : kContentSplashes) {
        const std::string path = (loading / splash.name).string();
        if (!ContentWritePng(path.c_str(), ContentSplashImage(splash))) {
            *error = "cannot write " + path;
            return false;
        }
    }
    const std::string cursor = (fs::path(dir) / "cursor.png").string();
    if (!ContentWritePng(cursor.c_str(), ContentCursorImage())) {
        *error = "cannot write " + cursor;
        return false;
    }
    return true;
}
