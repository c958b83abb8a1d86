// The shell: what the game object needs of the interface above it (in-game interface, front end, end-game
// sequence, start-up launcher), given to the game by the program that links both.
//
// The game module sits below the interface and never links it; the program (main/) implements this class over
// the interface's classes and hands it to CGame::SetShell before Create. Every operation has a default that
// does nothing and reports nothing open, so a game without a shell (tests, a failed set-up) runs its states and
// its simulation on its own. One thread; the program owns the shell and keeps it alive while installed.
#pragma once

#include <cstdint>

class CFerroxGameInterface;
class CFerroxTagTree;
class CFerroxWorld;

class CGameShell {
public:
    virtual ~CGameShell() = default;

    // The start-up launcher: adapter, mode and the game's language in and out; 0 when the player cancelled.
    virtual int ChooseVideoMode(int* adapter, int* mode, int16_t* language)
    {
        (void)adapter;
        (void)mode;
        (void)language;
        return 1;
    }
    // The interface's scale factors for the video mode (1/800 and 1/600 of the screen size).
    virtual void SetInterfaceScale(float horizontal, float vertical)
    {
        (void)horizontal;
        (void)vertical;
    }

    // The in-game interface: made into the game's interface pointer, its panels and build menus laid out from
    // the game data; 0 when it could not be made.
    virtual int CreateInterface(CFerroxTagTree* data)
    {
        (void)data;
        return 0;
    }
    virtual void UpdateInterface(float frameTime) { (void)frameTime; }
    virtual void RenderInterface() {}
    // The value drawn beside the pointer: the held object's cost, or -1.
    virtual void SetCursorValue(int16_t value) { (void)value; }
    // Sets the end-game sequence up over the level's world with its message and pushes it modally.
    virtual void ShowEndGame(int16_t message, int32_t level, const char* worldName, CFerroxWorld* world)
    {
        (void)message;
        (void)level;
        (void)worldName;
        (void)world;
    }
    // Asks whether to leave the game; the yes button calls the action. Nothing more while the question is open.
    virtual void AskLeave(void (*yes)()) { (void)yes; }
    // Whether a modal canvas (a question, a file panel, the end-game sequence) is open and a canvas of the stack
    // lies under the point: only the newest modal canvas is updated, so the others do not mark the pointer.
    virtual int IsCanvasUnderModal(float x, float y)
    {
        (void)x;
        (void)y;
        return 0;
    }
    // Leaving a level: the panels close, every modal canvas comes off the stack, the message queue and history
    // are emptied and the end-game sequence is torn down.
    virtual void LeaveInterface() {}
    // A contract of staff category k (0 cleaners ...) completed.
    virtual void AdvanceContract(int32_t category) { (void)category; }

    // The front end: made and built once; rebuilt when the game is left; its canvases go when a game starts.
    // Its canvases reach it through the game (null while there is none).
    virtual CFerroxGameInterface* GetFrontEndInterface() const { return nullptr; }
    virtual int CreateFrontEnd() { return 0; }
    virtual void UpdateFrontEnd(float frameTime) { (void)frameTime; }
    virtual void RenderFrontEnd() {}
    virtual void BuildFrontEnd() {}
    virtual void DestroyFrontEndCanvases() {}
    // Shows the city view of a level in place of the main menu.
    virtual void ShowCityView(int32_t level) { (void)level; }
    // Deletes the front end and, when the program made it, the end-game sequence.
    virtual void Release() {}
};
