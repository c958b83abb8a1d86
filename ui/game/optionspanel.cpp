// The options panel: load, save, music and sound effects switches, and quitting to the front end.
#include "ui/game/panels.h"

#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "game/shell/sound.h"
#include "ui/game/filecanvas.h"
#include "ui/game/ingame.h"

namespace {

constexpr FerroxColour kWhite = {255, 255, 255, 255};
constexpr FerroxColour kGrey = {190, 190, 190, 255};
constexpr FerroxColour kRed = {255, 0, 0, 255};
constexpr int32_t kTooltipWidgets = 6;  // widgets below this show their tooltip
constexpr int32_t kMusicPlayFlag = 1;

CSoundManager* Sound() { return g_pGame ? g_pGame->GetSoundManager() : nullptr; }

bool IsSwitchedOff(int32_t index)
{
    CSoundManager* sound = Sound();
    if (!sound)
        return false;
    return (index == OPTIONS_MUSIC && !sound->m_musicEnabled) || (index == OPTIONS_EFFECTS && !sound->m_effectsEnabled);
}

// A switched-off option stays red; any other button rests white.
FerroxColour RestingColour(int32_t index) { return IsSwitchedOff(index) ? kRed : kWhite; }

void QuitToFrontEnd()
{
    if (g_pFerroxGame)
        g_pFerroxGame->SetState(kGameStateLeave);
}

// Pauses the game and opens a file panel modally above the main bar, browsing the saves folder; false when
// there is no file panel.
bool OpenFilePanel(CInterface* ui, CFerroxCanvas* canvas)
{
    auto* panel = dynamic_cast<CFerroxFileIOCanvas*>(canvas);
    if (!ui || !panel || !g_pGame)
        return false;
    g_pGame->Pause();
    if (ui->m_pMainPanel)
        ui->m_pMainPanel->Update();
    ui->CloseCanvases();
    ui->GetStack().Push(panel, 1);
    ui->PlaceAboveMainBar(panel, 0.0f);
    panel->OpenMapsFolder();
    return true;
}

}  // namespace

void COptionsPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    CFerroxWidget* widget = GetWidget(index);
    CInterface* ui = InterfaceGet();
    if (event == FERROX_WIDGET_OVER) {
        const bool off = IsSwitchedOff(index);
        if (widget)
            widget->SetColour(off ? kRed : kGrey);
        if ((index < kTooltipWidgets || off) && ui)
            ui->SetTooltip(static_cast<uint16_t>(index - 1), m_tooltipList);
        return;
    }
    if (event == FERROX_WIDGET_NOT_OVER) {
        if (widget)
            widget->SetColour(RestingColour(index));
        return;
    }
    if (event != FERROX_WIDGET_PRESSED)
        return;
    CFerroxMouse* mouse = FerroxGameMouse();
    if (ui)
        ui->CloseCanvases();
    if (mouse)
        mouse->LeftButtonUp();
    EndPress();
    CSoundManager* sound = Sound();
    switch (index) {
    case OPTIONS_LOAD:
        OpenFilePanel(ui, ui ? ui->m_pLoadPanel.get() : nullptr);
        if (mouse)
            mouse->LeftButtonUp();
        break;
    case OPTIONS_SAVE:
        OpenFilePanel(ui, ui ? ui->m_pSavePanel.get() : nullptr);
        if (mouse)
            mouse->LeftButtonUp();
        break;
    case OPTIONS_MUSIC:
        if (!sound)
            break;
        if (!sound->m_musicEnabled) {
            sound->m_musicEnabled = 1;
            sound->PlayMusic(sound->m_currentTrack, kMusicPlayFlag);
        } else {
            sound->StopMusic();
            sound->m_musicEnabled = 0;
        }
        break;
    case OPTIONS_EFFECTS:
        if (!sound)
            break;
        if (!sound->m_effectsEnabled) {
            sound->m_effectsEnabled = 1;
        } else {
            sound->StopAllSamples();
            sound->m_effectsEnabled = 0;
        }
        break;
    case OPTIONS_QUIT:
        if (!ui || !ui->m_pConfirmPanel)
            break;
        ui->GetStack().Push(ui->m_pConfirmPanel.get(), 1);
        ui->AskConfirmation(QuitToFrontEnd, kOptionsQuitQuestion,
                            FerroxGameLocale() ? FerroxGameLocale()->FindTextList(kInGameMessagesList)
                                               : kFerroxNoTextList,
                            0, static_cast<const char16_t*>(nullptr));
        break;
    default:
        if (ui)
            ui->GetStack().RequestPop();
        if (mouse)
            mouse->LeftButtonUp();
        break;
    }
}
