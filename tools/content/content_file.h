// Whole-file output of the content tools: every file is built in memory and replaces its old copy in one step.
//
// The content library holds the writers that author the game's root (models, levels, pictures, fonts, sounds, texts
// and data), which mkcontent runs and the tests share; no library links it. It calls the engine, the graphics
// library with its driver and test support, platform/fmod's WAV writer and FreeType, and reads the interface's
// card layout (ui/game/cardlayout.h, constants the panels draw by). Threading: one thread, on a started engine. Ownership: a writer frees what it builds; a file it writes is written beside the old one and
// renamed over it once whole, most of them through this header.
#pragma once

#include <functional>

struct GxStream;

// Runs `write` on a memory stream and stores what it wrote as `path`: written beside it, then renamed
// over it, so a failed write leaves any earlier file whole. Needs a started engine and open file functions.
bool ContentWriteFile(const char* path, const std::function<bool(GxStream*)>& write);
// Stores bytes the same way.
bool ContentWriteBytes(const char* path, const void* bytes, unsigned length);
