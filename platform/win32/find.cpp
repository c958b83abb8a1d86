// File search of the C runtime (_findfirst, _findnext, _findclose) over a POSIX directory listing.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/kernel_local.h"

namespace {

struct FindState {
    std::string folder;
    std::vector<std::string> names;
    size_t next;
};

bool SameLetter(char pattern, char name) { return pattern == '?' || _strnicmp(&pattern, &name, 1) == 0; }

// Case-insensitive wildcard match, as the Windows file system matches names. Greedy, going back only to the last
// '*': a later '*' can match anything an earlier one could, so the time stays bounded by the two lengths' product
// whatever the pattern holds.
bool Matches(const char* pattern, const char* name)
{
    const char* afterStar = nullptr;
    const char* starName = nullptr;
    while (*name) {
        if (*pattern == '*') {
            afterStar = ++pattern;
            starName = name;
        } else if (*pattern && SameLetter(*pattern, *name)) {
            pattern++;
            name++;
        } else if (afterStar) {
            pattern = afterStar;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        pattern++;
    return *pattern == 0;
}

// The attributes Windows gives a found name: a link is judged by itself (a reparse point, a folder too when it leads
// to one), and what is neither file, folder nor link is a device.
unsigned Attributes(const struct stat& own, const char* mapped)
{
    if (S_ISDIR(own.st_mode))
        return _A_SUBDIR;
    if (S_ISREG(own.st_mode))
        return 0;
    if (!S_ISLNK(own.st_mode))
        return FILE_ATTRIBUTE_DEVICE;
    struct stat target;
    const bool folder = stat(mapped, &target) == 0 && S_ISDIR(target.st_mode);
    return FILE_ATTRIBUTE_REPARSE_POINT | (folder ? _A_SUBDIR : 0);
}

// Size and time are the entry's own, a link's and not its target's. False for a name whose path is past MAX_PATH
// (no call could reach it) or that went since the listing: its kind is unknown, so it is not found at all.
bool Fill(const FindState& state, const std::string& name, struct _finddata_t* data)
{
    std::memset(data, 0, sizeof(*data));
    std::strncpy(data->name, name.c_str(), sizeof(data->name) - 1);
    std::string full = state.folder + name;
    char mapped[MAX_PATH];
    struct stat info;
    if (!StandInMapPath(full.c_str(), mapped, sizeof(mapped)) || lstat(mapped, &info) != 0)
        return false;
    data->size = static_cast<unsigned long>(info.st_size);
    data->time_write = static_cast<long long>(info.st_mtime);
    data->attrib = Attributes(info, mapped);
    return true;
}

// Fills data with the next name that can be told; false when none is left.
bool FillNext(FindState* state, struct _finddata_t* data)
{
    while (state->next < state->names.size()) {
        if (Fill(*state, state->names[state->next++], data))
            return true;
    }
    return false;
}

}  // namespace

intptr_t _findfirst(const char* pattern, struct _finddata_t* data)
{
    if (!pattern || !data) {
        errno = EINVAL;
        return -1;
    }
    const std::string text = KernelFileSystemName(pattern);
    size_t slash = text.find_last_of("/\\");
    auto* state = new FindState();
    state->folder = slash == std::string::npos ? "" : text.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? text : text.substr(slash + 1);
    // "*.*" stands for every name, dotted or not.
    if (mask.size() >= 3 && mask.compare(mask.size() - 3, 3, "*.*") == 0)
        mask.erase(mask.size() - 2);
    char mapped[MAX_PATH];
    const char* folder = state->folder.empty() ? "." : state->folder.c_str();
    DIR* dir = StandInMapPath(folder, mapped, sizeof(mapped)) ? opendir(mapped) : nullptr;
    if (dir) {
        while (dirent* entry = readdir(dir)) {
            if (Matches(mask.c_str(), entry->d_name) && KernelIsUtf8(entry->d_name))
                state->names.push_back(entry->d_name);
        }
        closedir(dir);
    }
    std::sort(state->names.begin(), state->names.end());
    state->next = 0;
    if (!FillNext(state, data)) {
        delete state;
        errno = ENOENT;
        return -1;
    }
    return reinterpret_cast<intptr_t>(state);
}

int _findnext(intptr_t handle, struct _finddata_t* data)
{
    auto* state = reinterpret_cast<FindState*>(handle);
    if (handle == -1 || !state || !data) {
        errno = EINVAL;
        return -1;
    }
    if (!FillNext(state, data)) {
        errno = ENOENT;
        return -1;
    }
    return 0;
}

int _findclose(intptr_t handle)
{
    if (handle == -1 || handle == 0) {
        errno = EINVAL;
        return -1;
    }
    delete reinterpret_cast<FindState*>(handle);
    return 0;
}
