// Tests of the windowing stand-in: its state forgotten between tests.
#include <SDL.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/win32/user_local.h"
#include "platform/win32/user_testing.h"

void Win32ResetForTests(void)
{
    UserState& u = User();
    std::vector<std::unique_ptr<UserWindow>> records;
    for (auto& entry : u.windows)
        records.push_back(std::move(entry.second));
    u.windows.clear();
    for (auto& record : records)
        if (record->sdl != nullptr)
            UserReleaseSdlWindow(record->sdl);
    u.dead.clear();
    u.classes.clear();
    u.foreground = nullptr;
    u.capture = nullptr;
    {
        std::lock_guard<std::mutex> lock(u.queueLock);
        u.queue.clear();
        u.quitPending = false;
        u.quitCode = 0;
    }
    if (u.videoReady) {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_QUIT, SDL_MOUSEWHEEL);
    }
    u.clipActive = false;
    u.warpPending = false;
    u.cursorKnown = false;
    std::memset(u.keyDown, 0, sizeof u.keyDown);
    std::memset(u.keyToggled, 0, sizeof u.keyToggled);
    u.cursorCount = 0;
    // SDL video stays up: stopping it unloads GL libraries that leave their
    // allocations behind.
    if (u.videoReady)
        SDL_ShowCursor(SDL_ENABLE);
}
