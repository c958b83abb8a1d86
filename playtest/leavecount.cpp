// The shell that counts the levels left; see playtest/leavecount.h.
#include "playtest/leavecount.h"

#include "game/shell/game.h"

void CLeaveCountingShell::Install(CGame* game)
{
    if (game && game->GetShell() != this)
        game->SetShell(this);
}

int CLeaveCountingShell::ChooseVideoMode(int* adapter, int* mode, int16_t* language)
{
    return m_pInner->ChooseVideoMode(adapter, mode, language);
}

void CLeaveCountingShell::SetInterfaceScale(float horizontal, float vertical)
{
    m_pInner->SetInterfaceScale(horizontal, vertical);
}

int CLeaveCountingShell::CreateInterface(CFerroxTagTree* data) { return m_pInner->CreateInterface(data); }

void CLeaveCountingShell::UpdateInterface(float frameTime) { m_pInner->UpdateInterface(frameTime); }

void CLeaveCountingShell::RenderInterface() { m_pInner->RenderInterface(); }

void CLeaveCountingShell::SetCursorValue(int16_t value) { m_pInner->SetCursorValue(value); }

void CLeaveCountingShell::ShowEndGame(int16_t message, int32_t level, const char* worldName, CFerroxWorld* world)
{
    m_pInner->ShowEndGame(message, level, worldName, world);
}

void CLeaveCountingShell::AskLeave(void (*yes)()) { m_pInner->AskLeave(yes); }

int CLeaveCountingShell::IsCanvasUnderModal(float x, float y) { return m_pInner->IsCanvasUnderModal(x, y); }

void CLeaveCountingShell::LeaveInterface()
{
    m_leaves++;
    m_pInner->LeaveInterface();
}

void CLeaveCountingShell::AdvanceContract(int32_t category) { m_pInner->AdvanceContract(category); }

int CLeaveCountingShell::CreateFrontEnd() { return m_pInner->CreateFrontEnd(); }

void CLeaveCountingShell::UpdateFrontEnd(float frameTime) { m_pInner->UpdateFrontEnd(frameTime); }

void CLeaveCountingShell::RenderFrontEnd() { m_pInner->RenderFrontEnd(); }

void CLeaveCountingShell::BuildFrontEnd() { m_pInner->BuildFrontEnd(); }

void CLeaveCountingShell::DestroyFrontEndCanvases() { m_pInner->DestroyFrontEndCanvases(); }

void CLeaveCountingShell::ShowCityView(int32_t level) { m_pInner->ShowCityView(level); }

CFerroxGameInterface* CLeaveCountingShell::GetFrontEndInterface() const { return m_pInner->GetFrontEndInterface(); }

void CLeaveCountingShell::Release() { m_pInner->Release(); }
