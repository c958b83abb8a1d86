// Fuzz target of bitmap files read by LoadImageA: any bytes give a bitmap of at most the file's own pixels that
// draws and frees, or none.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/dialog_local.h"
#include "platform/win32/wingdi.h"

namespace {

// One scratch file per process, removed at exit.
const std::string& ScratchPath()
{
    static std::string path;
    if (path.empty()) {
        char name[] = "/tmp/win32_gdi_fuzz_XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0)
            std::abort();
        close(fd);
        path = name;
        std::atexit([] { std::remove(path.c_str()); });
    }
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = ScratchPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
    HANDLE bitmap = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    if (bitmap == nullptr)
        return 0;
    const SDL_Surface* surface = static_cast<GdiBitmap*>(bitmap)->surface;
    // Even one bit a pixel cannot describe more pixels than eight a byte of the file.
    if (surface == nullptr || static_cast<size_t>(surface->w) * static_cast<size_t>(surface->h) > size * 8)
        std::abort();
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 32, SDL_PIXELFORMAT_ARGB8888);
    GdiBlit(target, static_cast<GdiBitmap*>(bitmap), -3, 5);
    SDL_FreeSurface(target);
    if (!DeleteObject(bitmap) || DeleteObject(bitmap))
        std::abort();
    return 0;
}
