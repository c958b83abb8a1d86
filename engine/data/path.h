// Working directory, its last component, path copies with Windows separators and the texture search path of a
// model being loaded. One thread; a path copy belongs to the caller, who frees it with FreePath.
#pragma once

#include <string>

// The folder beside a model file that its textures are read from.
constexpr const char* FERROX_TEXTURE_FOLDER = "textures/";

// The process's current directory, whole, empty when it cannot be read.
std::string GetWorkingDirectory();
// The text after the last "\\" of the working directory (the whole text when there is none).
std::string GetWorkingDirectoryName();

// A copy of the path with every "/" turned into "\\", made with the graphics core's memory functions; free it
// with FreePath. Null when there is no memory.
char* DuplicatePath(const char* path);
void FreePath(char* copy);

// Sets the image search path to the model file's folder (up to its last "\\" or "/") followed by
// FERROX_TEXTURE_FOLDER: 1, or 0 when the path has no separator or the search path cannot be set.
int SetTexturePath(const char* modelPath);
