// The load panel: the load question and the load.
#include "ui/game/loadpanel.h"

#include "engine/data/file.h"
#include "engine/data/utf.h"
#include "game/shell/game.h"
#include "game/shell/savegame.h"
#include "platform/win32/windows.h"

CLoadPanel* CLoadPanel::s_pCurrent = nullptr;

CLoadPanel::~CLoadPanel()
{
    // An answer arriving after the panel went acts on nothing.
    if (s_pCurrent == this)
        s_pCurrent = nullptr;
    CFerroxFileIOCanvas::Release();
}

void CLoadPanel::BuildPanel(const char* path, float x, float y)
{
    Build(path, x, y, 0);
    s_pCurrent = this;
}

void CLoadPanel::Init() { m_pFont.reset(); }

void CLoadPanel::Release()
{
    m_pFont.reset();
    Init();
}

void CLoadPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    if (OnFileButton(index, event))
        Ask(LoadConfirmed, kLoadPanelQuestion, MessageList(), 1, nullptr);
    ShowSelectedRow();
}

void CLoadPanel::Render()
{
    CFerroxFileIOCanvas::Render();
    RenderRows();
}

void CLoadPanel::LoadConfirmed()
{
    CLoadPanel* panel = s_pCurrent;
    if (!panel)
        return;
    // The typed name as it stands, in the folder browsed, from the start folder.
    const std::string path = panel->m_folderPath + panel->GetNameText() + kFilePanelSaveSuffix;
    _wchdir(FerroxUtf8ToUtf16(panel->m_startFolder).c_str());
    // A refused load leaves the running game as it was; the player is told what did not load, but of a name that
    // opens no file, which the game's load passes over.
    const int result = panel->LoadGameFile(path);
    CFerroxFile file;
    const bool opens = file.Open(path.c_str(), 1) == 0;
    if (opens)
        file.Close();
    const int16_t message = result == kGameLoadRefused && !opens ? -1 : GameLoadMessage(result);
    if (g_pGame) {
        if (message >= 0)
            g_pGame->QueueMessage(message);
        g_pGame->Resume();
    }
    panel->ReturnToStartFolder();
}
