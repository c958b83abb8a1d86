// The game's start-up, shared by the game's entry point (main/mall_main.cpp) and the harness program over it
// (playtest/): one run of the game with the application the entry point makes.
//
// Owns: the program's shell (main/shell.h) for the run, and the application and game singletons while the run
// lasts. May call: the interface, the game, the engine and the driver, as the rest of the program. One thread;
// the options are given once, before the run.
#pragma once

#include <string>

class CFerroxApp;
class CProgramShell;

// How one run of the game goes. The game itself runs with the defaults; a harness sets them.
struct ProgramOptions {
    int frames = 0;            // frames to run, then end; 0 runs until quit
    std::string screenshot;    // where the last frame is saved, as a BMP
    int stepMilliseconds = 0;  // a fixed frame time in place of the clock
};

// The shell the run gives the game; lives as long as the program.
CProgramShell* ProgramShell();

// Runs the game with the application `makeApp` makes (it wraps the engine's frame as the program needs) and
// returns its exit code: a screenshot asked for and not written fails the run. A screenshot left from an earlier
// run is removed first, so it cannot pass for this one's.
int ProgramRun(const ProgramOptions& options, CFerroxApp* (*makeApp)());
