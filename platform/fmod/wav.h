// PCM WAV in memory: the reader the sound stand-in loads samples and streams with, and the encoder the content
// tools and the tests write them with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Largest file the reader takes: a ten-minute 44.1 kHz stereo 16-bit track fits well inside it.
constexpr size_t kWavMaxFileBytes = 128u << 20;

struct WavData {
    uint16_t channels = 0;     // 1 or 2
    uint32_t rate = 0;         // frames a second
    uint16_t bits = 0;         // 8 (unsigned) or 16 (signed little-endian)
    std::vector<uint8_t> pcm;  // whole frames only
};

// Reads an uncompressed PCM WAV (mono or stereo, 8 or 16 bits). Returns false and names the fault in `error`
// (when given) for anything else: a bad header, a chunk running past the end, a missing "fmt " or "data" chunk,
// other encodings, sizes that disagree or no frames at all.
bool WavParse(const uint8_t* bytes, size_t size, WavData* out, std::string* error);

// A RIFF/WAVE file of 16-bit signed samples (interleaved when channels is 2). For the content tools, benches and
// tests; the program does not link it.
std::vector<uint8_t> WavEncode16(uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples);
