// SDL window and OpenGL context handling for the GL back end.
#include "platform/d3d9/gl_context.h"
#include "platform/win32/win32_sdl.h"

#include <cstdio>
#include <cstring>
#include <SDL.h>
#include <dlfcn.h>
#include <link.h>

#include "platform/d3d9/glimports.h"

// The SDL window behind an HWND of the Win32 layer, or null.
static SDL_Window* GlWindowFromHwnd(void* hwnd)
{
    if (!hwnd)
        return nullptr;
    return Win32GetSDLWindow(static_cast<HWND>(hwnd));
}

static int GlPinDriverModule(struct dl_phdr_info* info, size_t, void*)
{
    const char* name = info->dlpi_name;
    if (!name || !*name)
        return 0;
    static const char* const kDriverParts[] = {"_dri.so", "libLLVM", "libgallium", "libglapi", "_mesa.so"};
    for (const char* part : kDriverParts) {
        if (std::strstr(name, part)) {
            // NOLOAD only adds the flag to the module already there.
            void* handle = dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            if (handle)
                dlclose(handle);
            return 0;
        }
    }
    return 0;
}

// The GL driver is loaded and unloaded with each context. Keeping it mapped
// avoids reloading it (and recompiling its shaders) for every device, and
// lets leak reports name the driver's own allocations.
static void GlPinDriverModules()
{
    static bool pinned = false;
    if (pinned)
        return;
    pinned = true;
    dl_iterate_phdr(GlPinDriverModule, nullptr);
}

static void GlSetContextAttributes(const GlContext* ctx)
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The back buffer is an FBO of ours; the window only receives the blit.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, ctx->depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, ctx->depthBits > 0 ? 8 : 0);
}

static bool GlTryContext(GlContext* ctx, SDL_Window* window)
{
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context)
        return false;
    ctx->window = window;
    ctx->context = context;
    return true;
}

bool GlContextCreate(GlContext* ctx, void* hwnd, int width, int height)
{
    if (!ctx)
        return false;
    Win32ChooseGlDriverOptions();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    ctx->videoInited = true;
    GlSetContextAttributes(ctx);
    SDL_Window* window = GlWindowFromHwnd(hwnd);
    bool ok = window && GlTryContext(ctx, window);
    if (ok)
        ctx->hwnd = hwnd;
    if (!ok) {
        // No window of ours behind the handle (or not a GL one): draw offscreen.
        if (width <= 0)
            width = 1;
        if (height <= 0)
            height = 1;
        window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window) {
            ctx->ownsWindow = true;
            ok = GlTryContext(ctx, window);
        }
    }
    if (ok)
        GlPinDriverModules();
    const char* missing = nullptr;
    if (ok && !GlImportsLoad(&missing)) {
        std::fprintf(stderr, "d3d9: OpenGL entry point %s missing\n", missing ? missing : "?");
        ok = false;
    }
    if (!ok) {
        GlContextDestroy(ctx);
        return false;
    }
    return true;
}

void GlContextDestroy(GlContext* ctx)
{
    if (!ctx)
        return;
    // SDL releases the context from whatever window it is current on.
    if (ctx->context)
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(ctx->context));
    if (ctx->ownsWindow && ctx->window)
        SDL_DestroyWindow(ctx->window);
    if (ctx->videoInited)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    *ctx = GlContext();
}

void GlContextBind(GlContext* ctx)
{
    if (!ctx || !ctx->context)
        return;
    if (!ctx->ownsWindow && GlWindowFromHwnd(ctx->hwnd) != ctx->window) {
        // The window went first; keep the context (and every resource) alive on a hidden one.
        SDL_Window* hidden = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1, 1,
                                              SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!hidden)
            return;
        ctx->window = hidden;
        ctx->ownsWindow = true;
        ctx->hwnd = nullptr;
        SDL_GL_MakeCurrent(ctx->window, static_cast<SDL_GLContext>(ctx->context));
        return;
    }
    if (SDL_GL_GetCurrentContext() != ctx->context)
        SDL_GL_MakeCurrent(ctx->window, ctx->context);
}

void GlContextDrawableSize(const GlContext* ctx, int* width, int* height)
{
    int w = 0, h = 0;
    if (ctx && ctx->window)
        SDL_GL_GetDrawableSize(ctx->window, &w, &h);
    if (width)
        *width = w;
    if (height)
        *height = h;
}

void GlContextSwap(GlContext* ctx, int interval)
{
    if (!ctx || !ctx->window)
        return;
    if (interval != ctx->swapInterval) {
        // Fails where there is no vertical sync (Xvfb); nothing to do then.
        SDL_GL_SetSwapInterval(interval);
        ctx->swapInterval = interval;
    }
    SDL_GL_SwapWindow(ctx->window);
}

bool GlContextHeadless(const GlContext* ctx)
{
    if (!ctx || !ctx->window || ctx->ownsWindow)
        return true;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "offscreen") == 0;
}
