// The levels the game leaves, as a harness sees them: a shell put between the game and the program's shell that
// passes every call on and counts the game's LeaveInterface calls (a leave, also the one inside a load).
#pragma once

#include "game/shell/gameshell.h"

class CGame;

class CLeaveCountingShell : public CGameShell {
public:
    explicit CLeaveCountingShell(CGameShell* inner) : m_pInner(inner) {}
    // Puts itself between the game and its shell once; later calls do nothing.
    void Install(CGame* game);
    int GetLeaves() const { return m_leaves; }

    int ChooseVideoMode(int* adapter, int* mode, int16_t* language) override;
    void SetInterfaceScale(float horizontal, float vertical) override;
    int CreateInterface(CFerroxTagTree* data) override;
    void UpdateInterface(float frameTime) override;
    void RenderInterface() override;
    void SetCursorValue(int16_t value) override;
    void ShowEndGame(int16_t message, int32_t level, const char* worldName, CFerroxWorld* world) override;
    void AskLeave(void (*yes)()) override;
    int IsCanvasUnderModal(float x, float y) override;
    void LeaveInterface() override;
    void AdvanceContract(int32_t category) override;
    int CreateFrontEnd() override;
    void UpdateFrontEnd(float frameTime) override;
    void RenderFrontEnd() override;
    void BuildFrontEnd() override;
    void DestroyFrontEndCanvases() override;
    void ShowCityView(int32_t level) override;
    CFerroxGameInterface* GetFrontEndInterface() const override;
    void Release() override;

private:
    CGameShell* m_pInner;
    int m_leaves = 0;
};
