// Effect content: particle pictures.
#include "tools/content/fx_writer.h"

#include <cmath>
#include <filesystem>

namespace {

constexpr uint8_t kFire[3] = {255, 150, 40};
constexpr uint8_t kFly[3] = {25, 20, 15};
constexpr uint8_t kMaskOn = 255;
// Fly bodies: centre x, centre y and radius in pixels.
constexpr float kFlies[][3] = {{9.0f, 10.0f, 2.5f}, {22.0f, 8.0f, 2.0f}, {15.0f, 21.0f, 3.0f}, {25.0f, 24.0f, 2.0f}};

float Centre() { return kContentParticleSize / 2.0f; }

bool OnFly(uint32_t x, uint32_t y)
{
    for (const auto& fly : kFlies) {
        const float dx = static_cast<float>(x) + 0.5f - fly[0];
        const float dy = static_cast<float>(y) + 0.5f - fly[1];
        if (dx * dx + dy * dy <= fly[2] * fly[2]) {
            return true;
        }
    }
    return false;
}

ContentPngImage Square(int colourType)
{
    ContentPngImage image;
    image.width = kContentParticleSize;
    image.height = kContentParticleSize;
    image.colourType = colourType;
    return image;
}

}  // namespace

ContentPngImage ContentFireImage()
{
    ContentPngImage image = Square(PNG_COLOR_TYPE_RGB_ALPHA);
    for (uint32_t y = 0; y < image.height; y++) {
        for (uint32_t x = 0; x < image.width; x++) {
            const float dx = static_cast<float>(x) + 0.5f - Centre();
            const float dy = static_cast<float>(y) + 0.5f - Centre();
            const float t = std::sqrt(dx * dx + dy * dy) / Centre();
            const float falloff = t >= 1.0f ? 0.0f : (1.0f - t) * (1.0f - t);
            image.rows.insert(image.rows.end(), kFire, kFire + 3);
            image.rows.push_back(static_cast<uint8_t>(std::lround(255.0f * falloff)));
        }
    }
    return image;
}

ContentPngImage ContentFliesImage()
{
    ContentPngImage image = Square(PNG_COLOR_TYPE_RGB);
    for (uint32_t y = 0; y < image.height; y++) {
        for (uint32_t x = 0; x < image.width; x++) {
            const uint8_t black[3] = {0, 0, 0};
            const uint8_t* colour = OnFly(x, y) ? kFly : black;
            image.rows.insert(image.rows.end(), colour, colour + 3);
        }
    }
    return image;
}

ContentPngImage ContentFliesMask()
{
    ContentPngImage image = Square(PNG_COLOR_TYPE_GRAY);
    for (uint32_t y = 0; y < image.height; y++) {
        for (uint32_t x = 0; x < image.width; x++) {
            image.rows.push_back(OnFly(x, y) ? kMaskOn : 0);
        }
    }
    return image;
}

bool ContentWriteParticleTextures(const std::string& root, std::string* detail)
{
    const std::filesystem::path dir = std::filesystem::path(root) / "images" / "particles";
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        *detail = dir.string();
        return false;
    }
    const struct {
        const char* name;
        ContentPngImage image;
    } files[] = {
        {"fire.png", ContentFireImage()}, {"flies.png", ContentFliesImage()}, {"fliesm.png", ContentFliesMask()}};
    for (const auto& file : files) {
        const std::string path = (dir / file.name).string();
        if (!ContentWritePng(path.c_str(), file.image)) {
            *detail = path;
            return false;
        }
    }
    return true;
}
