// Internals of the sound stand-in shared with its test access.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "platform/fmod/fmod.h"

constexpr int kFmodVolumeMax = 255;
constexpr int kFmodPanCentre = 128;

// A numbered channel's settings and what plays on it.
struct FmodChannel {
    int volume = kFmodVolumeMax;
    int pan = kFmodPanCentre;
    FSOUND_SAMPLE* sample = nullptr;
    FSOUND_STREAM* stream = nullptr;
};

// The device (main thread only): the sample channels come first, the stream channels after them.
struct FmodDevice {
    bool open = false;
    int sampleChannels = 0;
    int totalChannels = 0;
    int rate = 0;
    uint16_t format = 0;
    int channels = 0;
    int master = kFmodVolumeMax;
    uint32_t nextSerial = 0;
    std::vector<FmodChannel> channel;
    std::set<FSOUND_SAMPLE*> samples;
    // Plays begun per loaded sample: what a player of the stand-in hears, told to its test access.
    std::map<const FSOUND_SAMPLE*, uint32_t> starts;
    std::set<FSOUND_STREAM*> streams;
};

extern FmodDevice g_fmodDevice;

// Ends queued by the audio thread and not yet dispatched; the queue's lock guards the queue, this mirrors its size.
extern std::atomic<int> g_fmodEndsPending;
