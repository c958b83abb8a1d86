// The game's sounds: effects, ambient loops and music tracks made from noise, sine and square envelopes and
// written as 22050 Hz mono 16-bit PCM WAV files under sounds/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kContentSoundRate = 22050;
constexpr size_t kContentEffectCount = 9;
constexpr size_t kContentAmbientCount = 3;
constexpr size_t kContentMusicCount = 4;
constexpr double kContentAmbientSeconds = 8.0;

// File names under sounds/, in the order of data.xml's SOUND block: effects by number (0 click, 1 placed,
// 2 message, 3 shop selected, 4 finance, 5 crime, 6 win, 7 lose, 8 bonus), ambient loops in level order
// (London, Berlin, Paris), music tracks (0 front end, then level + 1).
extern const char* const kContentEffectFiles[kContentEffectCount];
extern const char* const kContentAmbientFiles[kContentAmbientCount];
extern const char* const kContentMusicFiles[kContentMusicCount];

// The samples of each sound, deterministic.
std::vector<int16_t> ContentEffectSamples(size_t index);
std::vector<int16_t> ContentAmbientSamples(size_t index);
std::vector<int16_t> ContentMusicSamples(size_t index);

// Writes every sound into root/sounds/, each file beside its old copy and renamed over it. Needs a started
// engine and open file functions; false names the file that failed in `detail`.
bool ContentWriteSounds(const std::string& root, std::string* detail);
