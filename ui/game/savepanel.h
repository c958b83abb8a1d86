// The in-game save panel: the save-file browser whose button 6 saves the game and its thumbnail under the
// typed name, asking before it replaces a save. The thumbnail is the picture of the mall the panel kept before
// it covered it: the interface has the game camera take it once, in the first level frame drawn while the panel is
// open, and the panel keeps it until it closes.
#pragma once

#include "ui/game/filecanvas.h"

struct GxImage;

// Texts of the "InGameMessages" list: the overwrite question and the failed-save message.
constexpr uint16_t kSavePanelOverwriteQuestion = 35;
constexpr int16_t kSavePanelFailedMessage = 39;

class CSavePanel : public CFerroxFileIOCanvas {
public:
    CSavePanel() { m_clearsTemporaries = 1; }
    ~CSavePanel() override;
    // Builds at (x, y) unscaled and becomes the panel the overwrite answer acts on.
    void BuildPanel(const char* path, float x, float y);
    void OnAct() override;
    // The yes answer to the overwrite question.
    static void SaveConfirmed();
    // Called as a level frame is drawn, after the mall and before the interface: while the panel is open it takes
    // the game camera's picture once and keeps it (the frame on screen later shows the panel); closed, it lets
    // the picture go.
    void KeepScenePicture(bool open);

    static CSavePanel* s_pCurrent;

protected:
    // Writes the kept picture at the size as a BMP; 0 when none was kept or it could not be written.
    int WriteThumbnail(const std::string& path, int32_t width, int32_t height) override;

private:
    // Saves the game and its thumbnail at m_pendingPath; on failure writes no thumbnail and tells the player.
    bool WriteSave();

    GxImage* m_pScene = nullptr;
};
