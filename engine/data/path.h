// Working directory, its last component, path copies with Windows separators and the texture search path.
#pragma once

#include <string>

// The process's current directory (at most 512 characters), empty when it cannot be read.
std::string GetWorkingDirectory();
// The text after the last "\\" of the working directory (the whole text when there is none).
std::string GetWorkingDirectoryName();

// A copy of the path with every "/" turned into "\\", made with the graphics core's
// memory functions; free it with FreePath. Null for a null path or no memory.
char* DuplicatePath(const char* path);
void FreePath(char* copy);

// The "textures/" folder beside a model file, or empty when the path has no separator.
std::string MakeTexturePath(const char* modelPath);
// Sets the image search path to MakeTexturePath (modelPath); 1 on success, else 0.
int SetTexturePath(const char* modelPath);
