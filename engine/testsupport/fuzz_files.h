// Fuzz-target support of the engine's text files: a section saved and read back, and a reload that must save the
// same text again.
#pragma once

#include <cstdlib>
#include <string>

#include "engine/data/file.h"
#include "gfx/testsupport/fuzz.h"

// Writes `header` (if any) and then the section `save` writes into `path`, and returns the file read back line
// by line; a failed write or read aborts.
template <typename Save>
std::string FerroxFuzzSavedText(const std::string& path, const char* header, Save save)
{
    CFerroxFile file;
    if (file.Open(path.c_str(), 0) != 0)
        std::abort();
    if (header != nullptr)
        file.WriteLine(header);
    if (!save(&file) || file.Close() != 0)
        std::abort();
    CFerroxTagFile saved;
    std::string text;
    if (saved.Open(path.c_str(), 1) != 0)
        std::abort();
    for (std::string line; !saved.IsEof();)
        text += saved.ReadLine(line) + "\n";
    saved.Close();
    return text;
}

// The section saved in `path` (as `first`) loads into a fresh `T` that saves the same text again (`saveText`);
// otherwise aborts.
template <typename T, typename SaveText>
void FerroxFuzzCheckReload(const std::string& path, const std::string& first, SaveText saveText)
{
    T again;
    CFerroxTagFile saved;
    if (saved.Open(path.c_str(), 1) != 0 || again.Load(&saved) != 1)
        std::abort();
    saved.Close();
    if (saveText(again) != first)
        std::abort();
}
