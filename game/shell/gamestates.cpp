// The game object's states and frame: start-up pictures, set-up, front end, the in-game frame and its drawing,
// starting and leaving a level, and the input and technology callbacks.
//
// Sections: creation and the launcher; the states; the in-game frame; drawing; set-up; starting and leaving a
// level; callbacks. Every subsystem pointer may be null (missing content, a failed set-up, tests): each step
// then does nothing.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "engine/application/app.h"
#include "engine/data/locale.h"
#include "engine/data/ptrlist.h"
#include "engine/data/random.h"
#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "engine/world/asset.h"
#include "engine/world/camera.h"
#include "engine/world/level.h"
#include "engine/world/picker.h"
#include "game/buildings/buildings.h"
#include "game/buildings/placement.h"
#include "game/buildings/shop.h"
#include "game/figures/characters.h"
#include "game/figures/shopper.h"
#include "game/figures/spawner.h"
#include "game/figures/staff.h"
#include "game/shell/camera.h"
#include "game/shell/conditions.h"
#include "game/shell/game.h"
#include "game/shell/gameshell.h"
#include "game/shell/input.h"
#include "game/shell/savegame.h"
#include "game/shell/sound.h"
#include "game/world/floors.h"
#include "game/world/levelmanager.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "game/world/world.h"
#include "gfx/core/assert.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"

namespace {

constexpr int kVirtualWidth = 800;
constexpr int kVirtualHeight = 600;
constexpr float kViewSize = 0.57735f;  // tan 30 degrees
constexpr int kClearMode = 2;          // depth only: the sky box and the full-screen pictures cover the frame
constexpr int32_t kLanguageGerman = 1;
const char* const kBrandSplash = "./images/loading/StoneArrow.png";
const char* const kBrandSplashGerman = "./images/loading/BrightRidge.png";
const char* const kLogoSplash = "./images/loading/graphics.png";
const char* const kLoadingSplash = "./images/loading/loading.png";
const char* const kLoadingSplashGerman = "./images/loading/loadingger.png";
const char* const kGameDataFile = "./data.xml";
// Digit keys 0 to 3 set the speed; Escape asks to leave.
constexpr int32_t kKeyDigitZero = 48;
constexpr int32_t kSpeedKeys = 4;
// The level's view: above its start point, pitched down and turned toward the plot.
const GxV3d kLevelStart = {-30.0f, 15.0f, 30.0f};
constexpr float kCameraRaise = 20.0f;
constexpr float kCameraPitch = 10.0f;
constexpr float kCameraYaw = 135.0f;
constexpr float kOutOfSight = -50.0f;
const char* const kSelectionModel = "/people/select.gxs";
constexpr float kFullMasterVolume = 255.0f;
// The end-game message of a win; a loss shows the failed figure's number plus one.
constexpr uint16_t kEndGameWinMessage = 0;

CGameShell g_idleShell;

// Technology categories of the staff trades.
constexpr int32_t kTechCleaning = 1;
constexpr int32_t kTechEngineering = 2;
constexpr int32_t kTechGardening = 3;
constexpr int32_t kTechSecurity = 4;

// The spawner places staff only while the placement controller builds nothing.
int32_t CurrentPlacementMode()
{
    CPlacementController* placement = g_pGame ? g_pGame->m_pPlacementController.get() : nullptr;
    return placement ? placement->GetMode() : PLACEMENT_IDLE;
}

// What a saved game reaches of the running game: its level, conditions, floors, statistics and objects.
class CGameOwnSaveParts : public CGameSaveParts {
public:
    explicit CGameOwnSaveParts(CGame* game) : m_pGame(game) {}
    void LeaveLevel() override { m_pGame->LeaveLevel(); }
    int StartLevel() override { return m_pGame->StartLevel(); }
    CConditions* GetConditions() override { return m_pGame->m_pConditions.get(); }
    CFloorManager* GetFloorManager() override { return m_pGame->m_pFloorManager.get(); }
    CStatistics* GetStatistics() override { return CDynamicObjectManager::PeekStatistics(); }
    void SaveObjects(CFerroxFile* file) override
    {
        if (m_pGame->m_pPlacementController && m_pGame->GetWorld())
            m_pGame->m_pPlacementController->SaveObjects(file, m_pGame->GetWorld());
    }
    int LoadObjects(CFerroxTagFile* file) override
    {
        CPlacementController* placement = m_pGame->m_pPlacementController.get();
        if (!placement || !m_pGame->GetWorld())
            return 0;
        placement->LoadObjects(file, m_pGame->GetWorld());
        return placement->GetObjectsLeftOut();
    }

private:
    CGame* m_pGame;
};

CGame* Game() { return g_pGame; }

GxRaster* ReadPicture(const char* path)
{
    GxRaster* raster = FerroxRasterRead(path);
    if (!raster)
        std::fprintf(stderr, "mall: %s cannot be read; the screen stays empty\n", path);
    return raster;
}

// The floors move the view: the game lifts or lowers the ground object and the camera with the storey shown;
// a new storey gets its wall pieces from the placement controller.
class CViewFloorHooks : public CFloorHooks {
public:
    void OnFloorChanged(int step) override
    {
        CGame* game = Game();
        if (!game)
            return;
        if (step > 0)
            game->CameraUp();
        else
            game->CameraDown();
    }
    void OnStoreyAdded(CFerroxBlockMesh* storey) override
    {
        CGame* game = Game();
        if (game && game->m_pPlacementController)
            game->m_pPlacementController->FloorHooks()->OnStoreyAdded(storey);
    }
};

CViewFloorHooks g_viewFloorHooks;

// A character's floor from its height above the ground.
int32_t FloorOf(CFerroxObject* object)
{
    const GxV3d* at = object->GetPosition();
    if (!at)
        return 0;
    return static_cast<int32_t>(at->y / kStoreyHeight + 0.5f);
}

bool IsOfKind(CFerroxObject* object, ObjectListKind kind)
{
    int (*test)(CFerroxObject*) = CDynamicObjectManager::GetClassHooks().isOfKind[kind];
    return object && test && test(object);
}

bool IsCharacterShown(CFerroxObject* object)
{
    return IsOfKind(object, OBJECT_LIST_SHOPPERS) || IsOfKind(object, OBJECT_LIST_CLEANERS) ||
           IsOfKind(object, OBJECT_LIST_MAINTENANCE) || IsOfKind(object, OBJECT_LIST_SECURITY);
}

}  // namespace

// ---- Creation and the launcher ----

CGameShell* CGame::GetShell() const { return m_pShell ? m_pShell : &g_idleShell; }

CFerroxGameInterface* CGame::GetFrontEnd() const { return GetShell()->GetFrontEndInterface(); }

int CGame::Create(HWND window, const char* name)
{
    g_pGame = this;
    g_pGameContext = this;
    FerroxSrand(static_cast<uint32_t>(std::time(nullptr)));
    if (!CFerroxGame::Create(window, name))
        return 0;
    if (!m_pLocale) {
        auto locale = std::make_unique<CLocale>();
        // Without its texts the game still starts: every text then shows the catalogue's diagnostic.
        locale->LoadSettings();
        m_pLocale = std::move(locale);
    }
    if (!m_pMouse) {
        auto owned = std::make_unique<CMouse>();
        CMouse* mouse = owned.get();
        m_pMouse = std::move(owned);
        if (!mouse->SetCallback(OnMouseButton)) {
            SetStartFailure("the cursor picture cannot be read");
            return 0;
        }
    }
    if (!m_pKeyboard) {
        auto owned = std::make_unique<CKeyboard>();
        CKeyboard* keyboard = owned.get();
        m_pKeyboard = std::move(owned);
        if (keyboard->SetCallbacks(OnKeyDown, OnKeyUp) == 1)
            return 0;
    }
    if (!m_pCamera) {
        m_pCamera = std::make_unique<CCamera>();
        if (!m_pCamera->Create(kVirtualWidth, kVirtualHeight, 1))
            return 0;
        m_pCamera->Resize(nullptr, kViewSize);
    }
    SetScreenSize(m_pCamera->GetWidth(), m_pCamera->GetHeight());
    GetShell()->SetInterfaceScale(static_cast<float>(GetScreenWidth()) / kVirtualWidth,
                                  static_cast<float>(GetScreenHeight()) / kVirtualHeight);
    const bool german = m_pLocale && m_pLocale->GetLanguage() == kLanguageGerman;
    m_pSplash = ReadPicture(german ? kBrandSplashGerman : kBrandSplash);
    DrawSplash();
    DrawSplash();
    SetState(kGameStateSplash);
    SetSkipFrame(1);
    return 1;
}

int CGame::ChooseVideoMode(int* adapter, int* mode)
{
    const int result = GetShell()->ChooseVideoMode(adapter, mode, &m_language);
    if (result == 0)
        return 0;
    if (adapter && *adapter < 0)
        *adapter = 0;
    if (mode && *mode < 0)
        *mode = 0;
    return 1;
}

void CGame::DrawSplash()
{
    if (!m_pCamera)
        return;
    m_pCamera->Clear(FerroxGetBackgroundColour(), kClearMode);
    if (m_pCamera->BeginUpdate() == 0) {
        if (m_pSplash && m_pCamera->PushRasterContext() == 0) {
            const GxRect screen = {0, 0, GetScreenWidth(), GetScreenHeight()};
            GxRasterRenderScaled(m_pSplash, &screen);
            GxRasterPopContext();
        }
        m_pCamera->EndUpdate();
    }
    m_pCamera->ShowRaster(GetWindow());
}

void CGame::ReplaceSplash(const char* path)
{
    if (m_pSplash)
        GxRasterDestroy(m_pSplash);
    m_pSplash = path ? ReadPicture(path) : nullptr;
}

// ---- The states ----

void CGame::Update(float frameTime)
{
    CFerroxGame::Update(frameTime);
    const bool german = m_pLocale && m_pLocale->GetLanguage() == kLanguageGerman;
    switch (GetState()) {
    case kGameStateSplash:
        DrawSplash();
        if (GetGameTime() > kGameSplashSeconds) {
            ReplaceSplash(kLogoSplash);
            DrawSplash();
            SetSkipFrame(1);
            SetState(kGameStateLoading);
        }
        break;
    case kGameStateLoading:
        if (GetGameTime() > kGameSplashSeconds) {
            ReplaceSplash(german ? kLoadingSplashGerman : kLoadingSplash);
            DrawSplash();
            if (!SetUpGame()) {
                // Without data or levels the front end and the objects after the level manager are missing: the
                // program ends, naming what failed, rather than run the front end's state without them.
                SetStartFailure("the game data or the level list cannot be read");
                if (g_pFerroxApp)
                    g_pFerroxApp->Quit();
            }
            SetState(kGameStateFrontEnd);
            SetSkipFrame(1);
            ReplaceSplash(nullptr);
        }
        break;
    case kGameStateFrontEnd:
        GetShell()->UpdateFrontEnd(GetFrameTime());
        break;
    case kGameStateInGame:
        UpdateInGame();
        break;
    case kGameStateStart:
        // A level that does not load never shows the interface: the front end stays until the leave state.
        if (!StartLevel()) {
            AbandonLevel();
            break;
        }
        GetShell()->DestroyFrontEndCanvases();
        SetState(kGameStateInGame);
        if (!m_gameFilePath.empty() && GxFileExists(m_gameFilePath.c_str())) {
            const int loaded = LoadGame(m_gameFilePath.c_str());
            // The path is the scenario the city view chose: a scenario is no saved game, and is told of as one.
            int16_t message = GameLoadMessage(loaded);
            if (loaded == kGameLoadRefused)
                message = kGameDamagedScenarioMessage;
            else if (loaded == kGameLoadDropped)
                message = kGameScenarioPartsMessage;
            if (message >= 0)
                QueueMessage(message);
        }
        m_gameFilePath.clear();
        break;
    case kGameStateLeave:
        LeaveLevel();
        GetShell()->BuildFrontEnd();
        if (m_returnCity >= 0)
            GetShell()->ShowCityView(m_returnCity);
        m_returnCity = -1;
        SetState(kGameStateFrontEnd);
        break;
    default:
        break;
    }
}

// ---- The in-game frame ----

void CGame::CheckResult()
{
    if (m_gameOver || !m_pConditions)
        return;
    // The win is asked first: a game that meets a goal and breaks a limit in the same frame is won.
    int16_t message = static_cast<int16_t>(kEndGameWinMessage);
    int32_t sample = kGameWinSample;
    if (m_pConditions->TestWin() == kConditionNone) {
        const int32_t failed = m_pConditions->TestLose();
        if (failed == kConditionNone)
            return;
        message = static_cast<int16_t>(failed + 1);
        sample = kGameLoseSample;
    }
    m_gameSpeed = 0.0f;
    m_gameOver = 1;
    if (m_pMouse)
        m_pMouse->LeftButtonUp();
    const int32_t level = m_pLevelManager ? m_pLevelManager->GetLevel() : 0;
    CFerroxWorld* world = GetWorld();
    GetShell()->ShowEndGame(message, level, world ? world->GetName() : nullptr, world);
    PlaySample(sample, kSoundFullVolume);
    SetPlacementMode(GAME_PLACEMENT_NONE, nullptr, nullptr);
    if (m_pSpawner)
        m_pSpawner->DropStaffPlacement();
    m_pPickedObject = nullptr;
    m_inputBlocked = 1;
}

void CGame::AdvanceClock()
{
    m_realFrameTime = GetFrameTime();
    m_scaledFrameTime = m_realFrameTime * m_gameSpeed;
    m_dayTimer += m_scaledFrameTime;
    if (m_dayTimer >= kGameDaySeconds) {
        m_dayCounter++;
        m_dayTimer = 0.0f;
        m_newDay = 1;
    }
}

void CGame::CheckSelectionFloor()
{
    CFerroxObject* selected = m_pSelectedObject;
    if (!selected || !m_pFloorManager || !IsCharacterShown(selected))
        return;
    if (FloorOf(selected) == m_pFloorManager->GetCurrentFloorIndex())
        return;
    // ClosePopups takes the shopper and staff popups off the stack too.
    ClosePopups();
}

void CGame::UpdateInGame()
{
    CheckResult();
    AdvanceClock();
    const float real = m_realFrameTime;
    const float scaled = m_scaledFrameTime;
    if (m_pMouse)
        m_pMouse->GetPosition()->overInterface = 0;
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    CStatistics* statistics = objects ? objects->GetStatistics() : nullptr;
    if (m_pSoundManager)
        m_pSoundManager->SetAmbientVolume(statistics ? statistics->m_shoppersPresent : 0);
    GetShell()->UpdateInterface(real);
    if (m_pCamera)
        m_pCamera->Update();
    if (objects)
        objects->Update(scaled);
    CheckSelectionFloor();
    if (m_pSelectionIndicator)
        m_pSelectionIndicator->Update(scaled);
    if (m_pLevelManager && GetWorld())
        m_pLevelManager->Update(scaled);
    UpdateSpawner(scaled);
    if (m_pTechTree)
        m_pTechTree->Update(scaled);
    Pick();
    if (m_pPlacementController && GetWorld()) {
        m_pPlacementController->Update(m_pickPoint);
        GetShell()->SetCursorValue(m_pPlacementController->GetShownValue());
    }
    if (m_pMouse)
        m_pMouse->EndFrame();
    m_newDay = 0;
    m_selectionChanged = 0;
    m_lastKey = FerroxKeyEvent();
}

void CGame::Pick()
{
    if (!m_pPicker || !m_pMouse || !GetWorld())
        return;
    const FerroxMousePosition* mouse = m_pMouse->GetPosition();
    const GxV2d pixel = {mouse->x, mouse->y};
    CFerroxObject* ground = m_pPlacementController ? m_pPlacementController->GetGroundObject() : nullptr;
    // A ray that misses the ground leaves last frame's point.
    m_pPickedObject = m_pPicker->Pick(pixel, ground ? ground->GetModel() : nullptr, &m_pickPoint);
}

// ---- Drawing ----

void CGame::Render()
{
    const int32_t state = GetState();
    if ((state != kGameStateFrontEnd && state != kGameStateInGame) || !m_pCamera)
        return;
    m_pCamera->Clear(FerroxGetBackgroundColour(), kClearMode);
    if (m_pCamera->BeginUpdate() == 0) {
        if (state == kGameStateFrontEnd)
            GetShell()->RenderFrontEnd();
        else
            RenderLevel();
    }
    // Ended whether or not the update began: the driver's end only lets go of the camera.
    m_pCamera->EndUpdate();
    if (m_pMouse)
        m_pMouse->DrawCursor();
    m_pCamera->ShowRaster(GetWindow());
}

void CGame::RenderLevel()
{
    CFerroxWorld* world = GetWorld();
    if (world) {
        // Visible clumps run their callbacks first: a character's skeleton is posed before it is drawn.
        m_pCamera->RenderVisibleClumps();
        world->Render(m_pCamera->GetGraphicsCamera());
    }
    if (m_pFloorManager && world)
        m_pFloorManager->Render();
    if (CDynamicObjectManager* objects = CDynamicObjectManager::Peek())
        objects->RenderEffects();
    PlaceSelectionIndicator();
    if (m_pPlacementController && world)
        m_pPlacementController->Render();
    if (world)
        world->RenderSecondPass();
    GetShell()->RenderInterface();
}

void CGame::PlaceSelectionIndicator()
{
    if (!m_pSelectionIndicator)
        return;
    GxV3d at = {0.0f, kOutOfSight, 0.0f};
    if (IsCharacterShown(m_pSelectedObject) && m_pSelectedObject->GetPosition())
        at = *m_pSelectedObject->GetPosition();
    m_pSelectionIndicator->Translate(&at, gxCOMBINEREPLACE);
}

// ---- Set-up ----

void CGame::FollowFloors(CFloorManager* floors)
{
    if (floors)
        floors->SetHooks(&g_viewFloorHooks);
}

int CGame::SetUpGame()
{
    if (!m_pSpawner) {
        m_pSpawner = std::make_unique<CSpawner>();
        SpawnerHooks hooks = {};
        hooks.placementMode = CurrentPlacementMode;
        SetSpawnerHooks(hooks);
    }
    if (!m_pPicker)
        m_pPicker = std::make_unique<CFerroxPicker>();
    if (!m_pPlacementController)
        m_pPlacementController = std::make_unique<CPlacementController>();
    m_pGameData = std::make_unique<CFerroxTagTree>();
    // Without its data the game has no templates, fonts or menus to play with.
    if (!m_pGameData->Load(kGameDataFile)) {
        std::fprintf(stderr, "mall: %s is missing or cannot be read; the game ends\n", kGameDataFile);
        return 0;
    }
    if (!m_pTechTree) {
        m_pTechTree = std::make_unique<CFerroxTechTree>();
        m_pTechTree->LoadTechnologies(m_pGameData.get(), OnTechnologyUnlocked);
    }
    if (!m_pFloorManager) {
        m_pFloorManager = std::make_unique<CFloorManager>();
        m_pFloorManager->Create(m_pGameData.get());
        FollowFloors(m_pFloorManager.get());
    }
    if (!m_pLevelManager)
        m_pLevelManager = std::make_unique<CLevelManager>();
    auto* levels = static_cast<CLevelManager*>(m_pLevelManager.get());
    std::string path;
    if (!levels->ReadGameType() || !FerroxLevelPath(g_pFerroxSetupTree, levels->GetLevel(), &path)) {
        std::fprintf(stderr, "mall: no level list in ./setup.xml (Game_Data, Level_Data); the game ends\n");
        return 0;
    }
    // The class makers and hooks go in before the object manager is first made.
    RegisterBuildingClasses();
    RegisterCharacterClasses();
    RegisterStaffClasses();
    m_pObjectSeam = std::make_unique<CGameObjectSeam>(m_pFloorManager.get(), levels);
    CDynamicObjectManager::SetSeam(m_pObjectSeam.get());
    CDynamicObjectManager* objects = CDynamicObjectManager::Instance();
    objects->LoadObjectData(m_pGameData.get());
    m_pFloorManager->CreateDebris();
    CreateSelectionIndicator();
    GetShell()->CreateInterface(m_pGameData.get());
    if (!m_pSoundManager) {
        m_pSoundManager = std::make_unique<CSoundManager>();
        m_pSoundManager->Create(m_pGameData.get(), GetStartDirectory());
    }
    if (!m_pConditions) {
        m_pConditions = std::make_unique<CConditions>();
        m_pConditions->SetStatistics(objects->GetStatistics());
    }
    if (m_pMouse)
        m_pMouse->ShowCursorImage(1);
    GetShell()->CreateFrontEnd();
    if (!GetSaveParts()) {
        m_pOwnSaveParts = std::make_unique<CGameOwnSaveParts>(this);
        SetSaveParts(m_pOwnSaveParts.get());
    }
    SetState(kGameStateFrontEnd);
    m_setUp = 1;
    return 1;
}

// ---- Starting and leaving a level ----

int CGame::StartLevel()
{
    m_gameOver = 0;
    m_gameSpeed = 1.0f;
    m_dayCounter = 0;
    m_dayTimer = 0.0f;
    if (!m_setUp || !m_pLevelManager)
        return 1;
    auto* levels = static_cast<CLevelManager*>(m_pLevelManager.get());
    if (m_pCamera)
        m_pCamera->ResetRotation();
    const int created = levels->CreateWorld();
    CFerroxWorld* world = levels->GetWorld();
    if (!created || !world || !world->GetGraphicsWorld()) {
        levels->UnloadLevel();
        return 0;
    }
    m_levelLoaded = 1;
    if (m_pCamera) {
        m_pCamera->AddToWorld(world->GetGraphicsWorld());
        PlaceCamera();
    }
    StartSpawner(world);
    if (m_pPlacementController)
        m_pPlacementController->Create(m_pFloorManager.get(), world);
    if (m_pPicker)
        m_pPicker->SetScene(world, m_pCamera.get());
    if (m_pFloorManager)
        m_pFloorManager->CreateDebris();
    CDynamicObjectManager* objects = CDynamicObjectManager::Instance();
    objects->SwapCityTemplates();
    if (m_pPlacementController)
        m_pPlacementController->LoadWallTemplates();
    if (m_pSoundManager) {
        m_pSoundManager->StopMusic();
        m_pSoundManager->PlayMusic(levels->GetLevel() + 1);
        m_pSoundManager->ChangeMasterVolume(kFullMasterVolume);
        m_pSoundManager->SetCurrentAmbient(levels->GetLevel());
    }
    if (m_pSelectionIndicator)
        m_pSelectionIndicator->AddToWorld(world);
    return 1;
}

void CGame::PlaceCamera()
{
    if (!m_pCamera->GetPosition())
        return;
    // Through the camera's own turns, so that its pitch total holds the tilt the turn limits count from.
    const GxV3d eye = {kLevelStart.x, kLevelStart.y + kCameraRaise, kLevelStart.z};
    m_pCamera->SetPosition(&eye);
    m_pCamera->Pitch(nullptr, kCameraPitch, 0);
    m_pCamera->Yaw(nullptr, kCameraYaw, 0);
    m_pCamera->Update();
}

void CGame::CreateSelectionIndicator()
{
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    if (m_pSelectionIndicator || !objects)
        return;
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = objects->FindTemplateByModel(kSelectionModel);
    descriptor.modelMode = FERROX_MODEL_CLONE;
    m_pSelectionIndicator = std::make_unique<CFerroxObject>();
    m_pSelectionIndicator->Setup(&descriptor);
    // The ring lies under the character: a click on the character must find the character, not the ring.
    m_pSelectionIndicator->DisableCollision();
    const GxV3d away = {0.0f, kOutOfSight, 0.0f};
    m_pSelectionIndicator->Translate(&away, gxCOMBINEREPLACE);
}

void CGame::LeaveLevel()
{
    m_pSelectedObject = nullptr;
    m_pPickedObject = nullptr;
    if (m_pSelectionIndicator)
        m_pSelectionIndicator->RemoveFromWorld();
    GetShell()->LeaveInterface();
    if (m_pPlacementController)
        m_pPlacementController->Release();
    if (CDynamicObjectManager* objects = CDynamicObjectManager::Peek())
        objects->Reset();
    CFerroxWorld* world = GetWorld();
    if (m_pCamera && world && world->GetGraphicsWorld())
        m_pCamera->RemoveFromWorld(world->GetGraphicsWorld());
    if (m_pLevelManager)
        m_pLevelManager->UnloadLevel();
    m_levelLoaded = 0;
    if (m_pSpawner)
        m_pSpawner->Release();
    if (m_pFloorManager)
        m_pFloorManager->Clear();
    if (m_pTechTree)
        m_pTechTree->Reset();
    if (m_pConditions) {
        m_pConditions->Reset();
        if (CDynamicObjectManager* objects = CDynamicObjectManager::Peek())
            m_pConditions->SetStatistics(objects->GetStatistics());
    }
    // No in-game ambient loop goes on under the front end.
    if (m_pSoundManager)
        m_pSoundManager->SetCurrentAmbient(-1);
}

CFerroxWorld* CGame::GetWorld()
{
    if (!m_levelLoaded || !m_pLevelManager)
        return nullptr;
    return m_pLevelManager->GetWorld();
}

void CGame::ContinuePlacement()
{
    if (m_pPlacementController && GetWorld())
        m_pPlacementController->SetMode(PLACEMENT_OBJECT, GetWorld(), 0, m_pPlacementTemplate, m_pPlacementFactory);
    m_pPickedObject = nullptr;
}

// ---- Callbacks ----

void CGame::OnKeyDown(const FerroxKeyEvent* event)
{
    GX_ASSERT(event, "the keyboard's event");
    CGame* game = Game();
    if (!game)
        return;
    game->m_lastKey = *event;
    if (game->m_inputBlocked)
        return;
    const int32_t speed = event->keyCode - kKeyDigitZero;
    if (speed >= 0 && speed < kSpeedKeys)
        game->m_gameSpeed = static_cast<float>(speed);
}

void CGame::OnKeyUp(const FerroxKeyEvent* event)
{
    GX_ASSERT(event, "the keyboard's event");
    CGame* game = Game();
    if (!game || game->m_inputBlocked || game->GetState() != kGameStateInGame)
        return;
    if (event->keyCode == FERROX_KEY_ESCAPE)
        game->GetShell()->AskLeave(OnConfirmLeave);
}

void CGame::OnConfirmLeave()
{
    if (CGame* game = Game())
        game->SetState(kGameStateLeave);
}

int CGame::OnMouseButton(int32_t event)
{
    CGame* game = Game();
    if (!game)
        return 1;
    const int32_t state = game->GetState();
    if (state != kGameStateFrontEnd && state != kGameStateInGame)
        return 1;
    CPlacementController* placement = game->m_pPlacementController.get();
    CFerroxWorld* world = game->GetWorld();
    const int32_t mode = placement ? placement->GetMode() : PLACEMENT_IDLE;
    switch (event) {
    case GAME_MOUSE_RIGHT_DOWN:
        if (mode == PLACEMENT_OBJECT)
            placement->RotateHeldObject(0);
        break;
    case GAME_MOUSE_LEFT_DOWN:
        game->m_worldPress = 0;
        if (game->IsPressOnInterface()) {
            game->SetPlacementMode(GAME_PLACEMENT_NONE, nullptr, nullptr);
            if (game->m_pSpawner)
                game->m_pSpawner->DropStaffPlacement();
            game->m_pPickedObject = nullptr;
            break;
        }
        if (mode == PLACEMENT_IDLE && game->m_pSpawner && game->m_pSpawner->IsPlacing()) {
            game->m_pSpawner->PlaceStaff();
        } else if (mode == PLACEMENT_IDLE) {
            if (game->m_pPickedObject != game->m_pSelectedObject)
                game->m_selectionChanged = 1;
            game->m_pSelectedObject = game->m_pPickedObject;
        } else if (mode == PLACEMENT_OBJECT && world) {
            if (placement->PlaceHeldObject(game->m_pickPoint, world, 0) == 0)
                game->ContinuePlacement();
        } else if (world) {
            placement->BeginDrag(game->m_pickPoint);
            game->m_worldPress = 1;
        }
        break;
    case GAME_MOUSE_LEFT_UP:
        // Only the release of a drag that began on the mall lays or clears: a release the interface sends when
        // one of its buttons takes a press is no click on the mall.
        if (!game->m_worldPress)
            break;
        game->m_worldPress = 0;
        if (mode == PLACEMENT_LAY && world)
            placement->LayFloorArea(game->m_pickPoint, world);
        else if (mode == PLACEMENT_CLEAR && world &&
                 placement->ClearArea(game->m_pickPoint, game->m_pPickedObject, world) == 0)
            game->m_pPickedObject = nullptr;
        break;
    default:
        break;
    }
    return 1;
}

// While a question or file panel is open only it is updated, so the panels under it do not mark the pointer as
// theirs: a press on any canvas of the stack then counts as one on the interface, not on the mall behind it.
bool CGame::IsPressOnInterface()
{
    if (!m_pMouse)
        return false;
    const FerroxMousePosition* mouse = m_pMouse->GetPosition();
    return mouse->overInterface || GetShell()->IsCanvasUnderModal(mouse->x, mouse->y);
}

// Every staff member of the category takes the grade: 1 cleaners, 2 engineers, 3 gardeners (both of the
// maintenance list, told apart by the kind), 4 security.
void CGame::GradeStaff(int32_t category, int32_t grade)
{
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    if (!objects)
        return;
    const ObjectList* list = nullptr;
    int32_t kind = 0;
    switch (category) {
    case kTechCleaning:
        list = &objects->GetCleaners();
        break;
    case kTechEngineering:
    case kTechGardening:
        list = &objects->GetMaintenance();
        kind = category == kTechGardening ? 1 : 0;
        break;
    case kTechSecurity:
        list = &objects->GetSecurity();
        break;
    default:
        return;
    }
    for (CFerroxObject* object : *list) {
        if (auto* member = dynamic_cast<CStaff*>(object))
            member->SetGrade(static_cast<uint16_t>(grade), kind);
    }
}

// The statistics' level of staff category k (0 cleaners ...): what the contract and hire panels show, what new
// staff of the trade are hired at and what the daily contract costs are reckoned from. Null outside the table.
uint16_t* CGame::CategoryLevel(int32_t k)
{
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    if (!statistics || k < 0 || static_cast<size_t>(k) >= statistics->m_categories.size())
        return nullptr;
    return &statistics->m_categories[static_cast<size_t>(k)];
}

// The category's level is announced when the unlock passes it, and then becomes the unlock's grade: contracts
// of a category complete in their order, and a loaded tree replays its unlocks in the order they came.
void CGame::OnTechnologyUnlocked(uint16_t id)
{
    CGame* game = Game();
    if (!game)
        return;
    const int32_t category = id / kGameTechCategoryStep;
    const int32_t grade = id % kGameTechCategoryStep + 1;
    // Categories count from 1 in the ids and from 0 in the table.
    const int32_t k = category - 1;
    uint16_t* level = CategoryLevel(k);
    const int32_t highest = level ? *level : -1;
    if (grade > highest)
        game->QueueMessage(static_cast<int16_t>(category + kGameUnlockMessageBase));
    GradeStaff(category, grade);
    game->GetShell()->AdvanceContract(k);
    if (level)
        *level = static_cast<uint16_t>(grade);
}

// ---- The spawner ----

void CGame::StartSpawner(CFerroxWorld* world)
{
    if (m_pSpawner)
        m_pSpawner->LoadSettings(m_pFloorManager.get(), world);
}

void CGame::UpdateSpawner(float dt)
{
    if (m_pSpawner && GetWorld())
        m_pSpawner->Update(dt);
}

// ---- Selection kinds ----

GameSelectionKind GameClassifySelection(CFerroxObject* object, const void** record)
{
    *record = nullptr;
    if (auto* shopper = dynamic_cast<CShopper*>(object)) {
        *record = &shopper->m_record;
        return GAME_SELECTION_SHOPPER;
    }
    if (auto* shop = dynamic_cast<CShop*>(object)) {
        *record = &shop->GetRecord();
        return GAME_SELECTION_SHOP;
    }
    if (auto* member = dynamic_cast<CStaff*>(object)) {
        *record = &member->GetRecord();
        return GAME_SELECTION_STAFF;
    }
    return GAME_SELECTION_OTHER;
}
