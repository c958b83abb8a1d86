// The program's shell over the interface: what the game asks of the in-game interface, the front end, the
// end-game sequence and the launcher, and the links the front end and the file panels use to reach the game.
#include "main/shell.h"

#include <memory>
#include <string>
#include <utility>

#include "engine/application/app.h"
#include "engine/data/locale.h"
#include "engine/world/camera.h"
#include "engine/world/level.h"
#include "game/shell/game.h"
#include "gfx/core/image.h"
#include "ui/frontend/endgame.h"
#include "ui/frontend/launcher.h"
#include "ui/game/buildmenu.h"
#include "ui/game/ingame.h"
#include "ui/game/loadpanel.h"
#include "ui/game/panels.h"
#include "ui/game/savepanel.h"
#include "ui/toolkit/widget.h"

namespace {

// Positions of the file panels' pictures among the interface's panel pictures.
constexpr int kLoadPanelPicture = 10;
constexpr int kSavePanelPicture = 11;
constexpr int kLauncherInstalled = 1;
// Passes over the modal canvases when a level is left: each pass takes the front one off.
constexpr int kModalPasses = 8;

template <typename TPanel>
std::unique_ptr<TPanel> MakeFilePanel(int picture)
{
    auto panel = std::make_unique<TPanel>();
    panel->Init();
    panel->BuildPanel(kInterfacePanelPictures[picture], 0.0f, 0.0f);
    return panel;
}

// The interface made its load, save and end-game canvases as bare canvases; the program gives it the real ones.
void FitPanels(CInterface* ui)
{
    ui->m_pLoadPanel = MakeFilePanel<CLoadPanel>(kLoadPanelPicture);
    ui->m_pSavePanel = MakeFilePanel<CSavePanel>(kSavePanelPicture);
    auto endGame = std::make_unique<CEndGameCanvas>();
    endGame->Init();
    ui->m_pEndGameCanvas = std::move(endGame);
}

// The kind of a selected object and the record its popup shows, as the game tells them apart.
InterfaceSelectionKind ClassifySelection(CFerroxObject* object, const void** record)
{
    switch (GameClassifySelection(object, record)) {
    case GAME_SELECTION_SHOPPER:
        return INTERFACE_SELECTION_SHOPPER;
    case GAME_SELECTION_SHOP:
        return INTERFACE_SELECTION_SHOP;
    case GAME_SELECTION_STAFF:
        return INTERFACE_SELECTION_STAFF;
    default:
        return INTERFACE_SELECTION_OTHER;
    }
}

}  // namespace

// ---- Links ----

int16_t CProgramFrontEndLink::GetLanguage() { return g_pGame ? g_pGame->m_language : 0; }

void CProgramFrontEndLink::SetLoadPath(const char* path)
{
    if (g_pGame)
        g_pGame->m_gameFilePath = path ? path : "";
}

void CProgramFrontEndLink::ClearEndGameFlags()
{
    if (!g_pGame)
        return;
    g_pGame->m_gameOver = 0;
    g_pGame->m_inputBlocked = 0;
}

int CProgramFilePanelGame::SaveGame(const char* path) { return g_pGame ? g_pGame->SaveGame(path) : 0; }

int CProgramFilePanelGame::LoadGame(const char* path) { return g_pGame ? g_pGame->LoadGame(path) : 0; }

CProgramFilePanelGame::~CProgramFilePanelGame() { KeepScenePicture(false); }

int CProgramFilePanelGame::SaveScreenshot(const char* path, int32_t width, int32_t height)
{
    if (!m_pScene || !path)
        return 0;
    GxImage* sized = m_pScene;
    if (m_pScene->width != width || m_pScene->height != height)
        sized = GxImageCreateResample(m_pScene, width, height);
    const bool written = sized && GxImageWriteBMP(sized, path) != nullptr;
    if (sized && sized != m_pScene)
        GxImageDestroy(sized);
    return written ? 1 : 0;
}

void CProgramFilePanelGame::KeepScenePicture(bool keep)
{
    if (keep && !m_pScene) {
        CFerroxCamera* camera = g_pGame ? g_pGame->m_pCamera.get() : nullptr;
        m_pScene = camera ? camera->TakePicture(kFilePanelThumbnailSide, kFilePanelThumbnailSide) : nullptr;
        return;
    }
    if (!keep && m_pScene) {
        GxImageDestroy(m_pScene);
        m_pScene = nullptr;
    }
}

void CProgramFilePanelGame::ResumeGame()
{
    if (!g_pGame)
        return;
    g_pGame->m_gameSpeed = g_pGame->m_resumeSpeed;
    g_pGame->m_inputBlocked = 0;
}

// ---- Shell ----

CProgramShell::CProgramShell() = default;

CProgramShell::~CProgramShell()
{
    CProgramShell::Release();
    Uninstall();
}

void CProgramShell::Install()
{
    FrontEndSetGameLink(&m_frontEndLink);
    FilePanelSetGame(&m_filePanelGame);
    InterfaceSetSelectionClassifier(ClassifySelection);
}

void CProgramShell::Uninstall()
{
    if (FrontEndGetGameLink() == &m_frontEndLink)
        FrontEndSetGameLink(nullptr);
    if (FilePanelGetGame() == &m_filePanelGame)
        FilePanelSetGame(nullptr);
    InterfaceSetSelectionClassifier(nullptr);
}

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
    if (!g_pGame->m_pInterface) {
        g_pGame->m_pInterface = std::make_unique<CInterface>();
        auto* ui = static_cast<CInterface*>(g_pGame->m_pInterface.get());
        ui->Create(data);
        FitPanels(ui);
        ui->CreateBuildMenus(data);
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
    if (!ui)
        return;
    // The mall is drawn and the interface not yet: the picture a save keeps beside it.
    m_filePanelGame.KeepScenePicture(ui->m_pSavePanel && ui->GetStack().Holds(ui->m_pSavePanel.get()));
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

int16_t CProgramShell::BuildableNotice(int16_t category, uint16_t index)
{
    CInterface* ui = Interface();
    auto* menus = ui ? dynamic_cast<CBuildCanvasManager*>(ui->m_pBuildMenu.get()) : nullptr;
    return menus ? menus->BuildableNotice(category, index) : -1;
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
    CFerroxLocale* locale = g_pFerroxGame ? g_pFerroxGame->m_pLocale.get() : nullptr;
    const int16_t list = locale ? locale->FindTextList(kInGameMessagesList) : kFerroxNoTextList;
    ui->AskConfirmation(yes, kGameLeaveQuestion, list, 0, static_cast<const char*>(nullptr));
}

int CProgramShell::HasModal()
{
    CInterface* ui = Interface();
    return ui ? ui->GetStack().HasModal() : 0;
}

int CProgramShell::CloseTopPanel()
{
    CInterface* ui = Interface();
    return ui ? ui->CloseTopPanel() : 0;
}

void CProgramShell::LeaveInterface()
{
    m_leaveCount++;
    // The picture outlives no level, nor the graphics engine its image came from.
    m_filePanelGame.KeepScenePicture(false);
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

void CProgramShell::ShowFrontEndNotice(int16_t message, const char* detail)
{
    if (m_pFrontEnd)
        m_pFrontEnd->ShowNotice(message, detail);
}

void CProgramShell::ShowCityView(int32_t level)
{
    if (m_pFrontEnd)
        m_pFrontEnd->ShowCity(level);
}

void CProgramShell::Release()
{
    m_filePanelGame.KeepScenePicture(false);
    m_pFrontEnd.reset();
}

CFerroxGame* CProgramShell::MakeGame(CFerroxGame** out, unsigned seed)
{
    const bool fresh = g_pGame == nullptr;
    CGame* game = CGame::Instance(out);
    if (fresh) {
        Install();
        game->SetShell(this);
        if (seed)
            game->SetRandomSeed(seed);
    }
    return game;
}

void CProgramShell::DestroyGame()
{
    CGame::DestroyInstance(nullptr);
    Uninstall();
    if (g_pFerroxApp)
        g_pFerroxApp->m_pGame = nullptr;
}
