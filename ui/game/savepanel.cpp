// The save panel: the save, its thumbnail and the overwrite question.
#include "ui/game/savepanel.h"

#include "game/shell/game.h"

CSavePanel* CSavePanel::s_pCurrent = nullptr;

namespace {
constexpr const char* kSaveSuffix = ".fds";
constexpr const char* kThumbnailSuffix = ".bmp";
constexpr size_t kSaveSuffixLength = 4;
}  // namespace

CSavePanel::~CSavePanel()
{
    // An answer arriving after the panel went acts on nothing.
    if (s_pCurrent == this)
        s_pCurrent = nullptr;
}

void CSavePanel::BuildPanel(const char* path, float x, float y)
{
    Build(path, x, y, 0);
    s_pCurrent = this;
}

bool CSavePanel::WriteSave()
{
    CFilePanelGame* game = FilePanelGetGame();
    if (!game || !game->SaveGame(m_pendingPath.c_str())) {
        if (g_pGame)
            g_pGame->QueueMessage(kSavePanelFailedMessage);
        return false;
    }
    const std::string thumbnail = m_pendingPath.substr(0, m_pendingPath.size() - kSaveSuffixLength) + kThumbnailSuffix;
    SaveThumbnail(thumbnail, kFilePanelThumbnailSide, kFilePanelThumbnailSide);
    return true;
}

void CSavePanel::OnAct()
{
    const std::string name = GetNameText();
    if (!AcceptName(name))
        return;
    m_pendingPath = FullPath(name + kSaveSuffix);
    s_pCurrent = this;
    if (!FileExists(m_pendingPath)) {
        if (WriteSave())
            Close();
        return;
    }
    // The question closes only itself: the panel leaves after a save that worked and stays after one that
    // failed.
    Ask(SaveConfirmed, kSavePanelOverwriteQuestion, MessageList(), 0, nullptr);
}

void CSavePanel::SaveConfirmed()
{
    CSavePanel* panel = s_pCurrent;
    if (panel && panel->WriteSave())
        panel->m_closePending = 1;
}
