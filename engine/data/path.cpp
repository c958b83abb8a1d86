// Working directory, path copies and the texture search path of a model being loaded.
#include "engine/data/path.h"

#include <cstdlib>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/image.h"
#include "platform/win32/winbase.h"

namespace {

// Memory hint of a path copy.
constexpr GxUInt32 kHintPath = 0x10000;

// The model file's folder followed by the texture folder; empty when the path has no separator.
std::string MakeTexturePath(const char* modelPath)
{
    GX_ASSERT(modelPath != nullptr, "a model is loaded from a path");
    const std::string path(modelPath);
    const size_t last = path.find_last_of("\\/");
    if (last == std::string::npos)
        return std::string();
    return path.substr(0, last + 1) + FERROX_TEXTURE_FOLDER;
}

}  // namespace

// Read whole, however deep: an emptied text would turn the file panels' guards on the folder's name off.
std::string GetWorkingDirectory()
{
    char* buffer = _getcwd(nullptr, 0);
    if (!buffer)
        return std::string();
    std::string directory(buffer);
    std::free(buffer);
    return directory;
}

std::string GetWorkingDirectoryName()
{
    const std::string directory = GetWorkingDirectory();
    const size_t last = directory.rfind('\\');
    return last == std::string::npos ? directory : directory.substr(last + 1);
}

char* DuplicatePath(const char* path)
{
    GX_ASSERT(path != nullptr, "a path to copy");
    const size_t length = std::strlen(path);
    char* copy = static_cast<char*>(GxMalloc(length + 1, kHintPath));
    if (!copy)
        return nullptr;
    for (size_t i = 0; i <= length; i++)
        copy[i] = path[i] == '/' ? '\\' : path[i];
    return copy;
}

void FreePath(char* copy)
{
    if (copy)
        GxFree(copy);
}

int SetTexturePath(const char* modelPath)
{
    const std::string texturePath = MakeTexturePath(modelPath);
    if (texturePath.empty())
        return 0;
    return GxImageSetPath(texturePath.c_str()) ? 1 : 0;
}
