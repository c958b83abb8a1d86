// The in-game load panel: the save-file browser whose button 6 asks, then loads the named save.
#pragma once

#include "ui/game/filecanvas.h"

// Text of the "InGameMessages" list asking before a load.
constexpr uint16_t kLoadPanelQuestion = 34;

class CLoadPanel : public CFerroxFileIOCanvas {
public:
    ~CLoadPanel() override;
    // The font goes with Release.
    void Init() override;
    void Release() override;
    // The shared file buttons; button 6 asks, then loads.
    void OnWidgetEvent(int32_t index, int32_t event) override;
    // The file canvas, then the list rows.
    void Render() override;
    void Reserved() override {}
    // Builds at (x, y) unscaled and becomes the panel the load answer acts on.
    virtual void BuildPanel(const char* path, float x, float y);
    // The yes answer: loads the name field's save from the folder browsed, tells the player when the save was
    // refused or left objects out, then leaves the panel.
    static void LoadConfirmed();

    static CLoadPanel* s_pCurrent;
};
