// The RIFF/WAVE layout shared by the reader and the writer.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kRiffHeaderBytes = 12;  // "RIFF", size, "WAVE"
constexpr size_t kChunkHeaderBytes = 8;  // id, size
constexpr size_t kFmtMinBytes = 16;      // PCM format record
constexpr uint16_t kFormatPcm = 1;
