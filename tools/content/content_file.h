// Whole-file output of the content tools: every file is built in memory and replaces its old copy in one step.
#pragma once

#include <functional>

struct GxStream;

// Runs `write` on a memory stream and stores what it wrote as `path`: written beside it, then renamed
// over it, so a failed write leaves any earlier file whole. Needs a started engine and open file functions.
bool ContentWriteFile(const char* path, const std::function<bool(GxStream*)>& write);
// Stores bytes the same way.
bool ContentWriteBytes(const char* path, const void* bytes, unsigned length);
