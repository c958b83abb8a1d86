// The in-game load panel: the save-file browser whose button 6 asks, then loads the named save.
#pragma once

#include "ui/game/filecanvas.h"

// Text of the "InGameMessages" list asking before a load.
constexpr uint16_t kLoadPanelQuestion = 34;

class CLoadPanel : public CFerroxFileIOCanvas {
public:
    ~CLoadPanel() override;
    // Builds at (x, y) unscaled and becomes the panel the load answer acts on.
    void BuildPanel(const char* path, float x, float y);
    void OnAct() override;
    // The yes answer: loads the name field's save from the folder browsed, tells the player when the save was
    // refused or left objects out, then leaves the panel.
    static void LoadConfirmed();

    static CLoadPanel* s_pCurrent;
};
