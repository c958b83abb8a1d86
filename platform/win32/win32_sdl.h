// Platform-private bridge from the Win32 windowing stand-in to SDL: the SDL window of an HWND.
#ifndef PLATFORM_WIN32_WIN32_SDL_H
#define PLATFORM_WIN32_WIN32_SDL_H

#include "platform/win32/winuser.h"

struct SDL_Window;

// The SDL window behind a top-level window (created with SDL_WINDOW_OPENGL), or null.
SDL_Window* Win32GetSDLWindow(HWND hwnd);

// Asks the GL driver, before it loads, to take the drawing calls on a thread of its own, where its vertex work
// overlaps the program's; a value already in the environment is kept. Every path that starts SDL video calls it.
void Win32ChooseGlDriverOptions(void);

#endif
