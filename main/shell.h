// The program's shell: the game's view of the interface above it, over the in-game interface, the front end,
// the end-game sequence and the start-up launcher; and the links through which the front end and the file
// panels reach the game.
//
// The program library (main/, without the entry point of mall_main.cpp) sits above every module and is the one
// place where the interface and the game meet: it may call the interface, the game, the engine, the graphics
// library and the platform stand-ins, and nothing calls up into it except through what it installs, this shell
// on the game (CGame::SetShell) and the links on the interface. Threading: the main loop's one thread.
// Ownership: the shell owns the front end it makes and the links it installs, and outlives the game it is given
// to; MakeGame makes the game singleton, which owns the in-game interface the shell makes for it, and
// DestroyGame destroys it.
#pragma once

#include <memory>

#include "game/shell/gameshell.h"
#include "ui/frontend/frontend.h"
#include "ui/game/filecanvas.h"

class CFerroxGame;
class CFrontEnd;
class CInterface;
struct GxImage;

// What the front end and the end-game sequence need of the game.
class CProgramFrontEndLink : public CFrontEndGameLink {
public:
    int16_t GetLanguage() override;
    void SetLoadPath(const char* path) override;
    // The end-game click lets the player use the speed keys and Escape again in the next game.
    void ClearEndGameFlags() override;
};

// What the load and save panels need of the game.
class CProgramFilePanelGame : public CFilePanelGame {
public:
    CProgramFilePanelGame() = default;
    CProgramFilePanelGame(const CProgramFilePanelGame&) = delete;
    CProgramFilePanelGame& operator=(const CProgramFilePanelGame&) = delete;
    ~CProgramFilePanelGame() override;
    int SaveGame(const char* path) override;
    int LoadGame(const char* path) override;
    void ResumeGame() override;
    // Writes the picture of the mall kept while the save panel is open: the frame on screen shows the panel.
    // 0 when no picture was kept.
    int SaveScreenshot(const char* path, int32_t width, int32_t height) override;
    // Called as a level frame is drawn, after the mall and before the interface: with `keep` (the save panel is
    // open) takes the camera's picture once and keeps it; without, drops it.
    void KeepScenePicture(bool keep);

private:
    GxImage* m_pScene = nullptr;
};

class CProgramShell : public CGameShell {
public:
    CProgramShell();
    ~CProgramShell() override;
    CProgramShell(const CProgramShell&) = delete;
    CProgramShell& operator=(const CProgramShell&) = delete;

    // Installs the front-end and file-panel links; Uninstall puts the defaults back.
    void Install();
    void Uninstall();

    int ChooseVideoMode(int* adapter, int* mode, int16_t* language) override;
    void SetInterfaceScale(float horizontal, float vertical) override;
    int CreateInterface(CFerroxTagTree* data) override;
    void UpdateInterface(float frameTime) override;
    void RenderInterface() override;
    void SetCursorValue(int16_t value) override;
    void AdvanceContract(int32_t category) override;
    int16_t BuildableNotice(int16_t category, uint16_t index) override;
    void ShowEndGame(int16_t message, int32_t level, const char* worldName, CFerroxWorld* world) override;
    void AskLeave(void (*yes)()) override;
    int HasModal() override;
    int CloseTopPanel() override;
    void LeaveInterface() override;
    int CreateFrontEnd() override;
    void UpdateFrontEnd(float frameTime) override;
    void RenderFrontEnd() override;
    void BuildFrontEnd() override;
    void DestroyFrontEndCanvases() override;
    void ShowFrontEndNotice(int16_t message, const char* detail) override;
    void ShowCityView(int32_t level) override;
    void Release() override;

    // The game singleton, written to the application's game field and to the global game pointer, with this
    // shell given to it before the application creates it; a seed of 0 leaves the game its clock's seed.
    CFerroxGame* MakeGame(CFerroxGame** out, unsigned seed);
    // Destroys the game singleton, puts the default links back and clears the application's game field.
    void DestroyGame();

    CFrontEnd* GetFrontEnd() const { return m_pFrontEnd.get(); }
    // How often the game left a level (LeaveInterface calls).
    int GetLeaveCount() const { return m_leaveCount; }

private:
    CInterface* Interface() const;

    std::unique_ptr<CFrontEnd> m_pFrontEnd;
    int m_leaveCount = 0;
    CProgramFrontEndLink m_frontEndLink;
    CProgramFilePanelGame m_filePanelGame;
};
