// The in-game save panel: the save-file browser whose button 6 saves the game and its thumbnail under the
// typed name in the folder browsed, asking before it replaces a save. The thumbnail is the game camera's frame at the
// moment of saving, 64 x 64.
#pragma once

#include "ui/game/filecanvas.h"

// Texts of the "InGameMessages" list: the overwrite question and the failed-save message.
constexpr uint16_t kSavePanelOverwriteQuestion = 35;
constexpr int16_t kSavePanelFailedMessage = 39;

class CSavePanel : public CFerroxFileIOCanvas {
public:
    ~CSavePanel() override;
    // The font goes with Release.
    void Init() override;
    void Release() override;
    // The shared file buttons; button 6 saves, asking first before it replaces a save.
    void OnWidgetEvent(int32_t index, int32_t event) override;
    // The file canvas, then the list rows.
    void Render() override;
    void Reserved() override {}
    // Builds at (x, y) unscaled and becomes the panel the overwrite answer acts on.
    virtual void BuildPanel(const char* path, float x, float y);
    // The yes answer to the overwrite question.
    static void SaveConfirmed();

    static CSavePanel* s_pCurrent;

private:
    // The save's path: the name field's text + ".fds", in the folder browsed.
    std::string SavePath() const;
    void Save();
    // Saves the game and its thumbnail at path; on failure writes no thumbnail and tells the player.
    void WriteSave(const std::string& path);
    void TellFailed();
};
