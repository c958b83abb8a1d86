// Test access to the sound stand-in: the stream ends still to dispatch.
#pragma once

#include "platform/fmod/fmod_local.h"

// Ends queued by the audio thread and not yet dispatched.
inline int FSOUND_PendingStreamEnds(void) { return g_fmodEndsPending.load(); }
