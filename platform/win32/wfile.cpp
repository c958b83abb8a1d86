// Wide-character file calls of the C runtime (_wfindfirst, _wfindnext, _wchdir, _wmkdir, _wrmdir, _wremove) over the
// narrow search and POSIX. The platform cannot call the engine's text conversion, so it keeps its own strict
// one here: a name converts only when it is well formed, so a wide name never reaches a different file.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/win32/windows.h"

namespace {

constexpr char16_t kHighFirst = 0xD800;
constexpr char16_t kLowFirst = 0xDC00;
constexpr char16_t kLowLast = 0xDFFF;
constexpr char32_t kSurrogateBase = 0x10000;

// UTF-16 to UTF-8; false on an unpaired surrogate.
bool ToUtf8(const char16_t* text, std::string& out)
{
    out.clear();
    for (const char16_t* p = text; *p; p++) {
        char32_t code = *p;
        if (code >= kHighFirst && code <= kLowLast) {
            if (code >= kLowFirst || p[1] < kLowFirst || p[1] > kLowLast)
                return false;
            code = kSurrogateBase + ((code - kHighFirst) << 10) + (p[1] - kLowFirst);
            p++;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return true;
}

// UTF-8 to UTF-16 into a buffer of capacity units (terminator included); false when malformed, overlong, a
// surrogate, or too long.
bool ToUtf16(const char* text, char16_t* out, size_t capacity)
{
    size_t n = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        char32_t code;
        int extra;
        if (*p < 0x80) {
            code = *p;
            extra = 0;
        } else if ((*p & 0xE0) == 0xC0) {
            code = *p & 0x1F;
            extra = 1;
        } else if ((*p & 0xF0) == 0xE0) {
            code = *p & 0x0F;
            extra = 2;
        } else if ((*p & 0xF8) == 0xF0) {
            code = *p & 0x07;
            extra = 3;
        } else {
            return false;
        }
        p++;
        for (int i = 0; i < extra; i++, p++) {
            if ((*p & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (*p & 0x3F);
        }
        static const char32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[extra] || code > 0x10FFFF || (code >= kHighFirst && code <= kLowLast))
            return false;
        size_t units = code >= kSurrogateBase ? 2 : 1;
        if (n + units + 1 > capacity)
            return false;
        if (units == 2) {
            out[n++] = static_cast<char16_t>(kHighFirst + ((code - kSurrogateBase) >> 10));
            out[n++] = static_cast<char16_t>(kLowFirst + ((code - kSurrogateBase) & 0x3FF));
        } else {
            out[n++] = static_cast<char16_t>(code);
        }
    }
    out[n] = 0;
    return true;
}

// Copies a narrow match into the wide record; false when its name does not convert.
bool Widen(const _finddata_t& narrow, _wfinddata_t* data)
{
    data->attrib = narrow.attrib;
    data->time_write = narrow.time_write;
    data->size = narrow.size;
    return ToUtf16(narrow.name, data->name, sizeof(data->name) / sizeof(data->name[0]));
}

// The mapped Linux path of a wide name; false with errno set.
bool MapWide(const char16_t* path, std::string& mapped)
{
    std::string narrow;
    if (!path || !ToUtf8(path, narrow) || narrow.empty()) {
        errno = path && narrow.empty() ? ENOENT : EINVAL;
        return false;
    }
    char buffer[MAX_PATH * 4];
    if (!StandInMapPath(narrow.c_str(), buffer, sizeof(buffer))) {
        errno = ENOENT;
        return false;
    }
    mapped = buffer;
    return true;
}

// Advances a narrow search to its next name that converts; -1 at the end.
int NextConvertible(intptr_t handle, _wfinddata_t* data)
{
    _finddata_t narrow;
    while (_findnext(handle, &narrow) == 0) {
        if (Widen(narrow, data))
            return 0;
    }
    return -1;
}

}  // namespace

intptr_t _wfindfirst(const char16_t* pattern, struct _wfinddata_t* data)
{
    std::string narrowPattern;
    if (!pattern || !data || !ToUtf8(pattern, narrowPattern)) {
        errno = EINVAL;
        return -1;
    }
    _finddata_t narrow;
    intptr_t handle = _findfirst(narrowPattern.c_str(), &narrow);
    if (handle == -1)
        return -1;
    if (Widen(narrow, data) || NextConvertible(handle, data) == 0)
        return handle;
    _findclose(handle);
    errno = ENOENT;
    return -1;
}

int _wfindnext(intptr_t handle, struct _wfinddata_t* data)
{
    if (handle == -1 || handle == 0 || !data) {
        errno = EINVAL;
        return -1;
    }
    if (NextConvertible(handle, data) == 0)
        return 0;
    errno = ENOENT;
    return -1;
}

int _wchdir(const char16_t* path)
{
    std::string mapped;
    if (!MapWide(path, mapped))
        return -1;
    return chdir(mapped.c_str()) == 0 ? 0 : -1;
}

int _wmkdir(const char16_t* path)
{
    std::string mapped;
    if (!MapWide(path, mapped))
        return -1;
    return mkdir(mapped.c_str(), 0777) == 0 ? 0 : -1;
}

int _wrmdir(const char16_t* path)
{
    std::string mapped;
    if (!MapWide(path, mapped))
        return -1;
    return rmdir(mapped.c_str()) == 0 ? 0 : -1;
}

int _wremove(const char16_t* path)
{
    std::string mapped;
    if (!MapWide(path, mapped))
        return -1;
    return unlink(mapped.c_str()) == 0 ? 0 : -1;
}
