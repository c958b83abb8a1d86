// Win32-style paths over the Linux tree: drive C: is the root, both slashes separate, case-insensitive fallback.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/win32/kernel_local.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool CurrentDirectory(std::string& out)
{
    std::vector<char> buffer(256);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return false;
        buffer.resize(buffer.size() * 2);
    }
    out = buffer.data();
    return true;
}

void SplitComponents(const std::string& path, std::vector<std::string>& parts)
{
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/')
            i++;
        size_t start = i;
        while (i < path.size() && path[i] != '/')
            i++;
        if (i > start)
            parts.push_back(path.substr(start, i - start));
    }
}

std::string Join(const std::string& dir, const std::string& name) { return dir == "/" ? "/" + name : dir + "/" + name; }

// The entry of `dir` whose name equals `name` without regard to case; the
// smallest such name when there are several, so the choice is stable.
bool FindWithoutCase(const std::string& dir, const std::string& name, std::string& found)
{
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return false;
    bool any = false;
    while (dirent* entry = readdir(d)) {
        if (strcasecmp(entry->d_name, name.c_str()) != 0)
            continue;
        if (!any || found.compare(entry->d_name) > 0)
            found = entry->d_name;
        any = true;
    }
    closedir(d);
    return any;
}

// Walks an absolute path one component at a time, taking each component as
// written when it exists and otherwise a case-insensitive match; from the
// first component that has neither, the rest is kept as written.
std::string ResolveWithoutCase(const std::string& absolute)
{
    std::vector<std::string> parts;
    SplitComponents(absolute, parts);
    std::string current = "/";
    bool lost = false;
    for (const std::string& part : parts) {
        std::string next = Join(current, part);
        if (!lost && part != "." && part != ".." && !Exists(next)) {
            std::string match;
            if (FindWithoutCase(current, part, match))
                next = Join(current, match);
            else
                lost = true;
        }
        current = next;
    }
    return current;
}

}  // namespace

bool KernelMapPath(const char* path, std::string& out)
{
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (path[0] == '\0') {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    const std::string name = KernelFileSystemName(path);
    const char* rest = name.c_str();
    if (std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') {
        // Only the one drive exists.
        if (std::toupper(static_cast<unsigned char>(name[0])) != 'C') {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return false;
        }
        rest += 2;
    }
    std::string native;
    if (!IsSeparator(rest[0])) {
        if (!CurrentDirectory(native)) {
            SetLastError(KernelErrorFromErrno(errno));
            return false;
        }
        native += '/';
    }
    for (const char* p = rest; *p; p++) {
        char c = IsSeparator(*p) ? '/' : *p;
        if (c == '/' && !native.empty() && native.back() == '/')
            continue;
        native += c;
    }
    if (native.size() > 1 && native.back() == '/')
        native.pop_back();
    if (native.empty())
        native = "/";
    out = Exists(native) ? native : ResolveWithoutCase(native);
    if (out.size() >= 4096) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

BOOL StandInMapPath(LPCSTR path, char* out, size_t outSize)
{
    std::string mapped;
    if (!KernelMapPath(path, mapped))
        return FALSE;
    if (out == nullptr || mapped.size() + 1 > outSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(out, mapped.c_str(), mapped.size() + 1);
    return TRUE;
}

char* _getcwd(char* buffer, int maxlen)
{
    std::string native;
    if (!CurrentDirectory(native))
        return nullptr;
    std::string win = "C:";
    for (char c : native)
        win += c == '/' ? '\\' : c;
    size_t need = win.size() + 1;
    if (buffer == nullptr) {
        size_t size = maxlen > 0 && static_cast<size_t>(maxlen) > need ? static_cast<size_t>(maxlen) : need;
        buffer = static_cast<char*>(std::malloc(size));
        if (buffer == nullptr) {
            errno = ENOMEM;
            return nullptr;
        }
    } else if (maxlen <= 0 || need > static_cast<size_t>(maxlen)) {
        errno = ERANGE;
        return nullptr;
    }
    std::memcpy(buffer, win.c_str(), need);
    return buffer;
}
