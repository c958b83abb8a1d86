// The OpenGL context of a device: its SDL window (the device window or a hidden one of our own) and swap.
#pragma once

struct SDL_Window;

struct GlContext {
    SDL_Window* window = nullptr;
    void* context = nullptr;  // SDL_GLContext
    bool ownsWindow = false;  // a hidden window made for a null or foreign HWND
    void* hwnd = nullptr;     // the device window the context draws to, when not our own
    bool videoInited = false;
    int swapInterval = -2;  // last interval asked of SDL
    int depthBits = 0;      // depth of the window's own framebuffer (the device draws into FBOs)
};

// Creates a compatibility-profile context on the SDL window behind hwnd, or on
// a hidden window of width x height when hwnd has none. Loads the GL table.
bool GlContextCreate(GlContext* ctx, void* hwnd, int width, int height);
void GlContextDestroy(GlContext* ctx);
// Makes the context current when another one is. When the device window has
// been destroyed under the device, the context moves to a hidden window.
void GlContextBind(GlContext* ctx);
// Drawable size of the window (the client size).
void GlContextDrawableSize(const GlContext* ctx, int* width, int* height);
void GlContextSwap(GlContext* ctx, int interval);
// True when nothing drawn to the window can be seen: our own hidden window,
// or SDL's offscreen video driver.
bool GlContextHeadless(const GlContext* ctx);
