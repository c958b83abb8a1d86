// The debug file name start-up keeps, and the calls the application makes of the graphics engine and the window
// system, gathered in one table so that tests can run start-up and the main loop against a fake engine, message
// source and clock.
#pragma once

#include <string>

#include "gfx/core/engine.h"
#include "platform/win32/windows.h"

// One graphics plugin of start-up: its name and attach function; no function while its module is not in the
// tree, and the step is passed over.
struct FerroxPluginStep {
    const char* name;
    GxBool (*attach)(void);
};
const int kFerroxPluginSteps = 13;

// The engine's debug file name, from "Debug_Data" / "DebugFile" of the setup tree at start-up; empty when none.
extern std::string g_ferroxDebugFileName;

struct FerroxAppPlatform {
    GxBool (*engineInit)(const GxMemoryFunctions* memFuncs, GxUInt32 initFlags, GxUInt32 resArenaSize);
    GxBool (*engineOpen)(void* params);
    GxBool (*engineStart)(void);
    GxBool (*engineStop)(void);
    GxBool (*engineClose)(void);
    GxBool (*engineTerm)(void);
    GxInt32 (*getCurrentSubSystem)(void);
    GxBool (*setSubSystem)(GxInt32 n);
    GxBool (*setVideoMode)(GxInt32 n);
    GxVideoMode* (*getVideoModeInfo)(GxVideoMode* info, GxInt32 n);
    void (*setRefreshRate)(GxUInt32 rate);

    BOOL (*peekMessageA)(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove);
    BOOL (*peekMessageW)(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove);
    BOOL (*translateMessage)(const MSG* msg);
    LRESULT (*dispatchMessageW)(const MSG* msg);
    HWND (*getForegroundWindow)(void);
    BOOL (*clipCursor)(const RECT* rect);
    HWND (*setCapture)(HWND hwnd);
    BOOL (*queryPerformanceFrequency)(LARGE_INTEGER* frequency);
    BOOL (*queryPerformanceCounter)(LARGE_INTEGER* counter);

    // The graphics plugins in their attach order.
    FerroxPluginStep plugins[kFerroxPluginSteps];
};

// The table the application calls through; it starts with the real functions.
FerroxAppPlatform& FerroxGetAppPlatform();
// Puts the real functions back.
void FerroxResetAppPlatform();
