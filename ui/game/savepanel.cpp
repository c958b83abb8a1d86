// The save panel: the save, its thumbnail and the overwrite question.
#include "ui/game/savepanel.h"

#include "engine/world/camera.h"
#include "game/shell/game.h"
#include "gfx/core/image.h"

CSavePanel* CSavePanel::s_pCurrent = nullptr;

CSavePanel::~CSavePanel()
{
    KeepScenePicture(false);
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
    if (!SaveGameFile(m_pendingPath)) {
        if (g_pGame)
            g_pGame->QueueMessage(kSavePanelFailedMessage);
        return false;
    }
    const std::string thumbnail =
        m_pendingPath.substr(0, m_pendingPath.size() - kFilePanelSaveSuffixLength) + kFilePanelThumbnailSuffix;
    SaveThumbnail(thumbnail, kFilePanelThumbnailSide, kFilePanelThumbnailSide);
    return true;
}

void CSavePanel::OnAct()
{
    const std::string name = GetNameText();
    if (!FileCanvasNameAllowed(name))
        return;
    m_pendingPath = FullPath(name + kFilePanelSaveSuffix);
    s_pCurrent = this;
    if (!FileExists(m_pendingPath)) {
        WriteSave();
        Close();
        return;
    }
    // A yes closes the question and the panel together.
    Ask(SaveConfirmed, kSavePanelOverwriteQuestion, MessageList(), 1, nullptr);
}

void CSavePanel::SaveConfirmed()
{
    CSavePanel* panel = s_pCurrent;
    if (!panel)
        return;
    panel->WriteSave();
    if (g_pGame)
        g_pGame->Resume();
    panel->ReturnToStartFolder();
}

void CSavePanel::KeepScenePicture(bool open)
{
    if (open && !m_pScene) {
        CFerroxCamera* camera = g_pFerroxGame ? g_pFerroxGame->GetCamera() : nullptr;
        m_pScene = camera ? camera->TakePicture(kFilePanelThumbnailSide, kFilePanelThumbnailSide) : nullptr;
        return;
    }
    if (!open && m_pScene) {
        GxImageDestroy(m_pScene);
        m_pScene = nullptr;
    }
}

int CSavePanel::WriteThumbnail(const std::string& path, int32_t width, int32_t height)
{
    if (!m_pScene)
        return 0;
    GxImage* sized = m_pScene;
    if (m_pScene->width != width || m_pScene->height != height)
        sized = GxImageCreateResample(m_pScene, width, height);
    const bool written = sized && GxImageWriteBMP(sized, path.c_str()) != nullptr;
    if (sized && sized != m_pScene)
        GxImageDestroy(sized);
    return written ? 1 : 0;
}
