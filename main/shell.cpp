// The program's shell over the interface: what the game asks of the in-game interface, the front end, the
// end-game sequence and the launcher.
#include "main/shell.h"

#include <memory>
#include <string>
#include <utility>

#include "engine/application/app.h"
#include "engine/data/locale.h"
#include "engine/world/level.h"
#include "game/shell/game.h"
#include "ui/frontend/endgame.h"
#include "ui/frontend/launcher.h"
#include "ui/game/ingame.h"
#include "ui/game/panels.h"

namespace {

constexpr int kLauncherInstalled = 1;
// Passes over the modal canvases when a level is left: each pass takes the front one off.
constexpr int kModalPasses = 8;

}  // namespace

CProgramShell::CProgramShell() = default;

CProgramShell::~CProgramShell() { CProgramShell::Release(); }

CInterface* CProgramShell::Interface() const { return InterfaceGet(); }

int CProgramShell::ChooseVideoMode(int* adapter, int* mode, int16_t* language)
{
    LauncherGame launcher;
    launcher.window = g_pFerroxApp ? g_pFerroxApp->GetWindow() : nullptr;
    launcher.instance = g_pFerroxApp ? g_pFerroxApp->GetInstance() : nullptr;
    launcher.setup = g_pFerroxSetupTree;
    launcher.language = language ? *language : 0;
    const int result = LauncherChooseVideoMode(&launcher, kLauncherInstalled, adapter, mode);
    if (language)
        *language = launcher.language;
    // No dialog (a headless run) goes on with the mode the settings hold.
    return result != 0 ? 1 : 0;
}

void CProgramShell::SetInterfaceScale(float horizontal, float vertical)
{
    FerroxSetInterfaceScale(horizontal, vertical);
}

int CProgramShell::CreateInterface(CFerroxTagTree* data)
{
    if (!g_pGame)
        return 0;
    if (!g_pGame->GetInterface()) {
        auto ui = std::make_unique<CInterface>();
        ui->Create(data);
        ui->CreateBuildMenus(data);
        g_pGame->SetInterface(std::move(ui));
    }
    return 1;
}

void CProgramShell::UpdateInterface(float frameTime)
{
    if (CInterface* ui = Interface())
        ui->Update(frameTime);
}

void CProgramShell::RenderInterface()
{
    CInterface* ui = Interface();
    if (ui)
        ui->Render();
}

void CProgramShell::SetCursorValue(int16_t value)
{
    if (CInterface* ui = Interface())
        ui->m_cursorValue = value;
}

void CProgramShell::AdvanceContract(int32_t category)
{
    CInterface* ui = Interface();
    if (ui && category >= 0 && category <= UINT16_MAX)
        ui->AdvanceContract(static_cast<uint16_t>(category));
}

void CProgramShell::ShowEndGame(int16_t message, int32_t level, const char* worldName, CFerroxWorld* world)
{
    CInterface* ui = Interface();
    auto* endGame = ui ? dynamic_cast<CEndGameCanvas*>(ui->m_pEndGameCanvas.get()) : nullptr;
    if (!endGame)
        return;
    // The camera paths sit beside the level's model file.
    std::string model;
    if (!FerroxLevelPath(g_pFerroxSetupTree, level, &model))
        model = worldName ? worldName : "";
    endGame->Create(kEndGamePicture, model.c_str(), level, world);
    endGame->m_messageIndex = message;
    ui->GetStack().Push(endGame, 1);
}

void CProgramShell::AskLeave(void (*yes)())
{
    CInterface* ui = Interface();
    if (!ui || !ui->m_pConfirmPanel)
        return;
    CFerroxLocale* locale = FerroxGameLocale();
    const int16_t list = locale ? locale->FindTextList(kInGameMessagesList) : kFerroxNoTextList;
    // Asked while it is open, the one panel would stand twice, and the No of the top copy would clear the action
    // the Yes of the other runs: the player would stay in the level. The open panel becomes the leave question.
    if (ui->GetStack().Holds(ui->m_pConfirmPanel.get()))
        ui->AskConfirmation(yes, kGameLeaveQuestion, list, 0, static_cast<const char16_t*>(nullptr));
    else
        ui->AskConfirmation(yes, kGameLeaveQuestion, list, 0, static_cast<const char*>(nullptr));
}

namespace {

// A hot spot or widget of the canvas holds the point, as the canvas's update tests it.
bool CanvasHolds(const CFerroxCanvas* canvas, float x, float y)
{
    const FerroxPoint point = {x - canvas->GetX(), y + canvas->GetY()};
    for (size_t i = 0; i < canvas->GetHotSpotCount(); i++) {
        if (canvas->GetHotSpot(i)->HitTest(&point))
            return true;
    }
    for (int32_t i = 0; canvas->GetWidget(i); i++) {
        if (canvas->GetWidget(i)->HitTest(&point))
            return true;
    }
    return false;
}

}  // namespace

int CProgramShell::IsCanvasUnderModal(float x, float y)
{
    CInterface* ui = Interface();
    if (!ui || !ui->GetStack().HasModal())
        return 0;
    return ui->GetStack().AnyCanvas([x, y](CFerroxCanvas* canvas) { return CanvasHolds(canvas, x, y); }) ? 1 : 0;
}

void CProgramShell::LeaveInterface()
{
    CInterface* ui = Interface();
    if (!ui)
        return;
    ui->CloseCanvases();
    ui->ClearData();
    // CloseCanvases leaves the modal canvases alone; none of them may outlive the level.
    CFerroxCanvas* const modal[] = {ui->m_pConfirmPanel.get(), ui->m_pLoadPanel.get(), ui->m_pSavePanel.get(),
                                    ui->m_pEndGameCanvas.get()};
    for (int pass = 0; pass < kModalPasses && ui->GetStack().HasModal(); pass++) {
        for (CFerroxCanvas* canvas : modal) {
            if (canvas)
                ui->GetStack().Remove(canvas);
        }
    }
    if (auto* endGame = dynamic_cast<CEndGameCanvas*>(ui->m_pEndGameCanvas.get()))
        endGame->TearDown();
}

CFerroxGameInterface* CProgramShell::GetFrontEndInterface() const { return m_pFrontEnd.get(); }

int CProgramShell::CreateFrontEnd()
{
    if (!m_pFrontEnd) {
        m_pFrontEnd = std::make_unique<CFrontEnd>();
        m_pFrontEnd->Build();
    }
    return 1;
}

void CProgramShell::UpdateFrontEnd(float frameTime)
{
    if (m_pFrontEnd)
        m_pFrontEnd->Update(frameTime);
}

void CProgramShell::RenderFrontEnd()
{
    if (m_pFrontEnd)
        m_pFrontEnd->Render();
}

void CProgramShell::BuildFrontEnd()
{
    if (m_pFrontEnd)
        m_pFrontEnd->Build();
}

void CProgramShell::DestroyFrontEndCanvases()
{
    if (m_pFrontEnd)
        m_pFrontEnd->DestroyCanvases();
}

void CProgramShell::ShowCityView(int32_t level)
{
    if (m_pFrontEnd)
        m_pFrontEnd->ShowCity(level);
}

void CProgramShell::Release() { m_pFrontEnd.reset(); }

CFerroxGame* CProgramShell::MakeGame(CFerroxGame** out)
{
    const bool fresh = g_pGame == nullptr;
    CGame* game = CGame::Instance(out);
    if (fresh)
        game->SetShell(this);
    return game;
}

void CProgramShell::DestroyGame()
{
    CGame::DestroyInstance(nullptr);
    if (g_pFerroxApp)
        g_pFerroxApp->m_pGame = nullptr;
}
