// The save panel: the save, its thumbnail and the overwrite question.
#include "ui/game/savepanel.h"

#include "engine/data/file.h"
#include "game/shell/game.h"

CSavePanel* CSavePanel::s_pCurrent = nullptr;

CSavePanel::~CSavePanel()
{
    // An answer arriving after the panel went acts on nothing.
    if (s_pCurrent == this)
        s_pCurrent = nullptr;
    CFerroxFileIOCanvas::Release();
}

void CSavePanel::Init() { m_pFont.reset(); }

void CSavePanel::Release()
{
    m_pFont.reset();
    Init();
}

void CSavePanel::OnWidgetEvent(int32_t index, int32_t event)
{
    if (OnFileButton(index, event))
        Save();
    ShowSelectedRow();
}

void CSavePanel::Render()
{
    CFerroxFileIOCanvas::Render();
    RenderRows();
}

void CSavePanel::BuildPanel(const char* path, float x, float y)
{
    Build(path, x, y, 0);
    s_pCurrent = this;
}

void CSavePanel::TellFailed()
{
    if (g_pGame)
        g_pGame->QueueMessage(kSavePanelFailedMessage);
}

std::string CSavePanel::SavePath() const { return GetNameText() + kFilePanelSaveSuffix; }

void CSavePanel::WriteSave(const std::string& path)
{
    if (!SaveGameFile(path)) {
        TellFailed();
        return;
    }
    const std::string thumbnail = path.substr(0, path.size() - kFilePanelSaveSuffixLength) + kFilePanelThumbnailSuffix;
    SaveThumbnail(thumbnail, kFilePanelThumbnailSide, kFilePanelThumbnailSide);
}

void CSavePanel::Save()
{
    const std::string path = SavePath();
    // A name reaching another folder, or a save too deep to be listed and loaded again, fails as a failed save does,
    // before anything is written.
    if (!FileCanvasNameAllowed(GetNameText()) || !Reachable(path)) {
        TellFailed();
        Close();
        return;
    }
    CFerroxFile existing;
    if (existing.Open(path.c_str(), 1) != 0) {
        WriteSave(path);
        Close();
        return;
    }
    existing.Close();
    // A yes closes the question and the panel together.
    Ask(SaveConfirmed, kSavePanelOverwriteQuestion, MessageList(), 1, nullptr);
}

void CSavePanel::SaveConfirmed()
{
    CSavePanel* panel = s_pCurrent;
    if (!panel)
        return;
    // The question is modal: the name field holds the name asked about.
    panel->WriteSave(panel->SavePath());
    if (g_pGame)
        g_pGame->Resume();
    panel->ReturnToStartFolder();
}
