// Fuzz target of the texture read start-up installs: the driver's own texture file first, then the pictures. The
// input less its first byte is written as the texture's driver file, PNG or BMP picture, as the first byte's low
// three bits choose; reading the texture by name gives a texture of that name or none, whatever the files hold.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/data/startup.h"
#include "gfx/core/image.h"
#include "gfx/core/texture.h"
#include "gfx/testsupport/driver_startup.h"
#include "gfx/testsupport/fuzz.h"

namespace {

const char* const kTexture = "fuzzed";
const char* const kExtensions[] = {".dds", ".png", ".bmp"};
constexpr int kExtensionCount = 3;

std::filesystem::path g_folder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver())
        std::abort();
    FerroxSetStartup(GxTestDriverStartup());
    if (!GxImageRegisterImageFormat("bmp", GxImageReadBMP, nullptr) ||
        !GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr))
        std::abort();
    // Installed twice, the read must not try itself again: a texture no reader finds would recurse forever.
    if (FerroxInstallTextureReader() != 1 || FerroxInstallTextureReader() != 1)
        std::abort();
    g_folder = GxFuzzScratchPath("ferrox_startup_textures");
    std::filesystem::create_directories(g_folder);
    GxImageSetPath((g_folder.string() + "/").c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const GxUInt8 choice = data[0];
    for (int i = 0; i < kExtensionCount; ++i) {
        const std::string path = (g_folder / (std::string(kTexture) + kExtensions[i])).string();
        std::filesystem::remove(path);
        if (choice & (1u << i))
            GxFuzzScratchWrite(path, data + 1, size - 1);
    }
    GxTexture* texture = GxTextureRead(kTexture, nullptr);
    if (texture) {
        if (std::strcmp(GxTextureGetName(texture), kTexture) != 0)
            std::abort();
        GxTextureDestroy(texture);
    }
    GxFuzzClearError();
    return 0;
}
