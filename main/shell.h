// The program's shell: the game's view of the interface above it (CGameShell, game/shell/gameshell.h), over the
// in-game interface, the front end, the end-game sequence and the start-up launcher.
//
// The program library (main/, without the entry point of mall_main.cpp; its start-up in main/program.h) links
// every module below it: the game asks the interface through this shell, which
// CProgramShell::MakeGame hands to the game before the application creates it; the interface calls the game and
// the engine itself, through the headers the table of ARCHITECTURE.md (the game shell) lists, and the launcher is run with the record the shell fills from the
// application (LauncherGame, ui/frontend/launcher.h). Threading: one thread, the main loop's. Ownership: the
// shell owns the front end and outlives the game it made; the game's base owns the in-game interface the shell
// makes for it.
#pragma once

#include <memory>

#include "game/shell/gameshell.h"
#include "ui/frontend/frontend.h"

class CFerroxGame;
class CFrontEnd;
class CInterface;

class CProgramShell : public CGameShell {
public:
    CProgramShell();
    ~CProgramShell() override;
    CProgramShell(const CProgramShell&) = delete;
    CProgramShell& operator=(const CProgramShell&) = delete;

    int ChooseVideoMode(int* adapter, int* mode, int16_t* language) override;
    void SetInterfaceScale(float horizontal, float vertical) override;
    int CreateInterface(CFerroxTagTree* data) override;
    void UpdateInterface(float frameTime) override;
    void RenderInterface() override;
    void SetCursorValue(int16_t value) override;
    void AdvanceContract(int32_t category) override;
    void ShowEndGame(int16_t message, int32_t level, const char* worldName, CFerroxWorld* world) override;
    void AskLeave(void (*yes)()) override;
    int IsCanvasUnderModal(float x, float y) override;
    void LeaveInterface() override;
    CFerroxGameInterface* GetFrontEndInterface() const override;
    int CreateFrontEnd() override;
    void UpdateFrontEnd(float frameTime) override;
    void RenderFrontEnd() override;
    void BuildFrontEnd() override;
    void DestroyFrontEndCanvases() override;
    void ShowCityView(int32_t level) override;
    void Release() override;

    // The game singleton, written to the application's game field and to the global game pointer, with this
    // shell given to it before the application creates it.
    CFerroxGame* MakeGame(CFerroxGame** out);
    // Destroys the game singleton and clears the application's game field.
    void DestroyGame();

    CFrontEnd* GetFrontEnd() const { return m_pFrontEnd.get(); }

private:
    CInterface* Interface() const;

    std::unique_ptr<CFrontEnd> m_pFrontEnd;
};
