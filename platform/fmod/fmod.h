// Sound-library stand-in: the FSOUND calls the game's sound manager makes, over SDL2_mixer.
//
// platform_fmod owns the audio device, samples, sample channels and music streams. It calls platform_win32
// (files, and the message pump's hook) and SDL2_mixer, and nothing else of this tree. Files are PCM WAV, 8 or
// 16 bits, mono or stereo. Channels 0 .. n-1 (n from FSOUND_Init) play samples; the channels after them play
// streams, each stream a whole file on a channel of its own. Every channel has a volume of 0-255 and a pan,
// and keeps its volume after its sound finishes until it is played on again. The SFX master volume scales the
// sample channels only.
//
// Threading: every call is made on the main thread. The mixer runs on SDL's audio thread, where a stream's end
// is only queued; its end callback runs on the main thread when the queue is dispatched: at every message pump
// (PeekMessage) once FSOUND_Init has succeeded, or through FSOUND_DispatchStreamEnds. Closing a stream or the
// library drops its pending end.
//
// Failures: results need not be tested. Null handles, channel -1 and channels out of range are accepted and do
// nothing (FSOUND_IsPlaying and FSOUND_GetVolume give 0); a missing or malformed file loads as null. When no
// audio device opens, SDL's dummy driver is tried; when that fails too, every call is a silent no-op. Either way
// one line on standard error says so, in place of the sound library's own reports of the failed device.
//
// Ownership: samples and streams are the caller's until FSOUND_Sample_Free / FSOUND_Stream_Close; FSOUND_Close
// frees any left.
#pragma once

struct FSOUND_SAMPLE;
struct FSOUND_STREAM;

// Channel argument: any free channel.
#define FSOUND_FREE (-1)
// Pan argument: full volume on both sides, no pan.
#define FSOUND_STEREOPAN (-1)
// Mode bits of the sample loader; of them only the loop bit changes what plays.
#define FSOUND_LOOP_OFF 0x00000001
#define FSOUND_LOOP_NORMAL 0x00000002
#define FSOUND_2D 0x00002000

// A stream's end: buff and len are null and 0; returns 1 when it acted.
typedef signed char (*FSOUND_STREAMCALLBACK)(FSOUND_STREAM* stream, void* buff, int len, void* userdata);

// Opens the device at mixrate Hz with maxsoftwarechannels sample channels; 1 when sound (or the dummy driver)
// is running, 0 when every call will be a no-op.
signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);
// Stops everything, frees every sample and stream left and closes the device.
void FSOUND_Close(void);

// 0-255; scales every sample channel, not the streams.
void FSOUND_SetSFXMasterVolume(int volume);

// Loads a WAV file (index -1: any slot; memlength is unused). FSOUND_LOOP_NORMAL in mode makes it loop.
FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* name, unsigned int mode, int memlength);
void FSOUND_Sample_Free(FSOUND_SAMPLE* sample);

// Starts a sample on a channel (FSOUND_FREE: the first sample channel not playing) at volume 255 and centre
// pan; returns the channel, or -1.
int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample);
signed char FSOUND_StopSound(int channel);
signed char FSOUND_IsPlaying(int channel);
signed char FSOUND_SetVolume(int channel, int volume);
int FSOUND_GetVolume(int channel);
// 0 left .. 255 right, 128 centre, FSOUND_STEREOPAN none.
signed char FSOUND_SetPan(int channel, int pan);

// Opens a WAV file as a stream; mode and memlength pass through unread (streams do not loop).
FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* filename, unsigned int mode, int memlength);
signed char FSOUND_Stream_SetEndCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userdata);
// Starts the stream from its beginning on a stream channel; returns the channel, or -1.
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream);
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);

// Runs the end callbacks queued since the last dispatch; returns how many ran. The message pump calls it.
int FSOUND_DispatchStreamEnds(void);
