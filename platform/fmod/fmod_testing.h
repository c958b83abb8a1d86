// Test access to the sound stand-in: the sample channels and the stream ends still to dispatch.
#pragma once

#include "platform/fmod/fmod_local.h"

// Ends queued by the audio thread and not yet dispatched.
inline int FSOUND_PendingStreamEnds(void) { return g_fmodEndsPending.load(); }

// Channels that play samples (0 before FSOUND_Init or when sound is off); stream channels follow them.
inline int FSOUND_GetSampleChannels(void) { return g_fmodDevice.open ? g_fmodDevice.sampleChannels : 0; }

// Times the sample was started on a channel since it was loaded (0 for null or a sample not loaded).
inline uint32_t FSOUND_SampleStarts(const FSOUND_SAMPLE* sample)
{
    const auto found = g_fmodDevice.starts.find(sample);
    return found == g_fmodDevice.starts.end() ? 0u : found->second;
}
