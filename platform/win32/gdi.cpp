// Bitmaps read from BMP files, drawn with DrawStateA and freed with DeleteObject.
#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include "platform/win32/dialog_local.h"
#include "platform/win32/wingdi.h"

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kHeaderBytes = 26;    // file header, info size, width and height (32 bits each)
constexpr size_t kCoreInfoBytes = 12;  // the oldest info header: 16-bit width and height
constexpr size_t kInfoBytes = 40;
constexpr long kMaxSide = 8192;
constexpr Uint32 kCompressionNone = 0;
constexpr Uint32 kCompressionBitFields = 3;

std::set<GdiBitmap*>& Bitmaps()
{
    static std::set<GdiBitmap*> bitmaps;
    return bitmaps;
}

Uint32 U32(const unsigned char* p)
{
    return static_cast<Uint32>(p[0]) | static_cast<Uint32>(p[1]) << 8 | static_cast<Uint32>(p[2]) << 16 |
           static_cast<Uint32>(p[3]) << 24;
}

Uint16 U16(const unsigned char* p) { return static_cast<Uint16>(p[0] | p[1] << 8); }

// The header is checked before SDL reads the file, so a hostile size cannot ask for more memory than the
// file's own pixel bytes: an uncompressed or bit-field BMP whose rows all lie inside the file.
bool PlausibleBmp(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    unsigned char header[kFileHeaderBytes + kInfoBytes] = {};
    const size_t got = std::fread(header, 1, sizeof(header), file);
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    std::fclose(file);
    if (got < kHeaderBytes || header[0] != 'B' || header[1] != 'M' || size < 0)
        return false;
    const Uint32 offset = U32(header + 10);
    const Uint32 infoSize = U32(header + 14);
    long width = 0, height = 0;
    Uint16 bits = 0;
    Uint32 compression = kCompressionNone;
    if (infoSize == kCoreInfoBytes) {
        width = U16(header + 18);
        height = static_cast<Sint16>(U16(header + 20));
        bits = U16(header + 24);
    } else if (infoSize >= kInfoBytes && got >= kFileHeaderBytes + kInfoBytes) {
        width = static_cast<Sint32>(U32(header + 18));
        height = static_cast<Sint32>(U32(header + 22));
        bits = U16(header + 28);
        compression = U32(header + 30);
    } else {
        return false;
    }
    if (height < 0)
        height = -height;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    if (compression != kCompressionNone && compression != kCompressionBitFields)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    const long long rowBytes = ((static_cast<long long>(width) * bits + 31) / 32) * 4;
    return static_cast<long long>(offset) + rowBytes * height <= size;
}

}  // namespace

bool GdiIsBitmap(HBITMAP bitmap) { return Bitmaps().count(reinterpret_cast<GdiBitmap*>(bitmap)) != 0; }

void GdiBlit(SDL_Surface* target, const GdiBitmap* bitmap, int x, int y)
{
    if (target == nullptr || bitmap == nullptr || bitmap->surface == nullptr)
        return;
    SDL_Rect to = {x, y, bitmap->surface->w, bitmap->surface->h};
    SDL_BlitSurface(bitmap->surface, nullptr, target, &to);
}

HANDLE WINAPI LoadImageA(HINSTANCE, LPCSTR name, UINT type, int, int, UINT fuLoad)
{
    if (name == nullptr || type != IMAGE_BITMAP || (fuLoad & LR_LOADFROMFILE) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!PlausibleBmp(name)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    SDL_Surface* read = SDL_LoadBMP(name);
    if (read == nullptr) {
        SDL_ClearError();
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(read, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(read);
    if (converted == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Bitmaps are opaque: whatever an alpha channel says, they cover what lies under them.
    SDL_SetSurfaceBlendMode(converted, SDL_BLENDMODE_NONE);
    auto* bitmap = new GdiBitmap;
    bitmap->surface = converted;
    Bitmaps().insert(bitmap);
    return bitmap;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    auto* bitmap = static_cast<GdiBitmap*>(ho);
    if (ho == nullptr || Bitmaps().erase(bitmap) == 0)
        return FALSE;
    SDL_FreeSurface(bitmap->surface);
    delete bitmap;
    return TRUE;
}

BOOL WINAPI DrawStateA(HDC hdc, HBRUSH, DRAWSTATEPROC, LPARAM lData, WPARAM, int x, int y, int, int, UINT uFlags)
{
    auto* context = reinterpret_cast<GdiContext*>(hdc);
    HBITMAP handle = reinterpret_cast<HBITMAP>(lData);
    if (context == nullptr || (uFlags & DST_BITMAP) == 0 || !GdiIsBitmap(handle))
        return FALSE;
    GdiBlit(context->target, reinterpret_cast<GdiBitmap*>(handle), x, y);
    return TRUE;
}
