// Internals of the sound stand-in shared with its test access.
#pragma once

#include <atomic>

// Ends queued by the audio thread and not yet dispatched; the queue's lock guards the queue, this mirrors its size.
extern std::atomic<int> g_fmodEndsPending;
