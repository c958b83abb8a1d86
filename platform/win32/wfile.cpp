// Wide-character file calls of the C runtime (_wfindfirst, _wfindnext, _wchdir, _wmkdir, _wrmdir, _wremove) over the
// narrow search and POSIX, through the stand-in's own conversion: a wide name converts only when it is well formed,
// so it never reaches a different file.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/win32/windows.h"

namespace {

// UTF-16 to UTF-8; false on an unpaired surrogate, which names no file.
bool ToUtf8(const char16_t* text, std::string& out)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return false;
    out.assign(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, &out[0], bytes, nullptr, nullptr);
    out.pop_back();  // the terminator
    return true;
}

// UTF-8 to UTF-16 into a buffer of capacity units (terminator included); false when it does not fit. The narrow
// search lists only UTF-8 names.
bool ToUtf16(const char* text, char16_t* out, size_t capacity)
{
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out, static_cast<int>(capacity)) > 0;
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
    if (!path || !ToUtf8(path, narrow)) {
        errno = EINVAL;
        return false;
    }
    if (narrow.empty()) {
        errno = ENOENT;
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
