// The load panel: the load question and the load.
#include "ui/game/loadpanel.h"

#include "game/shell/game.h"
#include "game/shell/savegame.h"

CLoadPanel* CLoadPanel::s_pCurrent = nullptr;

CLoadPanel::~CLoadPanel()
{
    // An answer arriving after the panel went acts on nothing.
    if (s_pCurrent == this)
        s_pCurrent = nullptr;
}

void CLoadPanel::BuildPanel(const char* path, float x, float y)
{
    Build(path, x, y, 0);
    s_pCurrent = this;
}

void CLoadPanel::OnAct()
{
    const std::string name = GetNameText();
    if (!FileCanvasNameAllowed(name))
        return;
    // The path is fixed now: the folder and the file the player saw when answering.
    m_pendingPath = FullPath(name + kFilePanelSaveSuffix);
    s_pCurrent = this;
    Ask(LoadConfirmed, kLoadPanelQuestion, MessageList(), 1, nullptr);
}

void CLoadPanel::LoadConfirmed()
{
    CLoadPanel* panel = s_pCurrent;
    if (!panel)
        return;
    // A refused load leaves the running game as it was; either way the player is told what did not load.
    const int16_t message = GameLoadMessage(panel->LoadGameFile(panel->m_pendingPath));
    if (g_pGame) {
        if (message >= 0)
            g_pGame->QueueMessage(message);
        g_pGame->Resume();
    }
    panel->ReturnToStartFolder();
}
