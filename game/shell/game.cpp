// The game object's singleton, the context the rooms below read, and the commands.
#include "game/shell/game.h"

#include <cstdint>
#include <cstdio>

#include "gfx/core/raster.h"

#include "engine/data/locale.h"
#include "engine/data/ptrlist.h"
#include "engine/world/asset.h"
#include "engine/world/level.h"
#include "engine/world/picker.h"
#include "game/buildings/placement.h"
#include "game/figures/spawner.h"
#include "game/shell/camera.h"
#include "game/shell/conditions.h"
#include "game/shell/gameshell.h"
#include "game/shell/savegame.h"
#include "game/shell/sound.h"
#include "game/world/floors.h"
#include "game/world/objectmgr.h"
#include "game/world/templates.h"

CGame* g_pGame = nullptr;

namespace {
constexpr int32_t kFirstState = kGameStateSplash;
constexpr float kNormalSpeed = 1.0f;
constexpr int kNoSuchTemplate = 1;
}  // namespace

CGame* CGame::Instance(CFerroxGame** out)
{
    if (!g_pGame) {
        g_pGame = new CGame();
        g_pGameContext = g_pGame;
        FerroxSetGame(g_pGame);
    }
    if (out)
        *out = g_pGame;
    return g_pGame;
}

void CGame::DestroyInstance(CFerroxGame** out)
{
    if (g_pFerroxGame == g_pGame)
        FerroxSetGame(nullptr);
    delete g_pGame;
    g_pGame = nullptr;
    g_pGameContext = nullptr;
    if (out)
        *out = nullptr;
}

// The game's commands reach its own placement controller and floor manager in the level's world.
class CGame::BuildSeams : public CGamePlacement, public CGameFloors {
public:
    explicit BuildSeams(CGame* game) : m_pGame(game) {}
    void SetMode(int32_t mode, CFerroxAssetSet* objectTemplate, CFerroxObjectFactory* factory) override
    {
        if (m_pGame->m_pPlacementController && m_pGame->GetWorld())
            m_pGame->m_pPlacementController->SetMode(mode, m_pGame->GetWorld(), 1, objectTemplate, factory);
    }
    void BuildWalls(int32_t value) override
    {
        if (m_pGame->m_pPlacementController && m_pGame->GetWorld())
            m_pGame->m_pPlacementController->BuildWalls(m_pGame->GetWorld(), value, nullptr);
    }
    void GoDown() override
    {
        if (m_pGame->m_pFloorManager && m_pGame->GetWorld())
            m_pGame->m_pFloorManager->FloorDown(m_pGame->GetWorld());
    }
    void GoUp() override
    {
        CFerroxWorld* world = m_pGame->GetWorld();
        if (!m_pGame->m_pFloorManager || !world)
            return;
        m_pGame->m_pFloorManager->FloorUp(m_pGame->m_pNotices, world);
        if (m_pGame->m_pPlacementController) {
            m_pGame->m_pPlacementController->RemoveWalls(world, 0, nullptr);
            m_pGame->m_pPlacementController->BuildWalls(world, 0, nullptr);
        }
    }
    void SelectTile(int32_t tile) override
    {
        if (m_pGame->m_pFloorManager)
            m_pGame->m_pFloorManager->SelectTileType(tile);
    }
    int32_t GetCurrentFloor() override
    {
        return m_pGame->m_pFloorManager ? m_pGame->m_pFloorManager->GetCurrentFloorIndex() : 0;
    }
    int32_t GetBuiltFloors() override
    {
        return m_pGame->m_pFloorManager ? m_pGame->m_pFloorManager->GetBuiltFloors() : 1;
    }

private:
    CGame* m_pGame;
};

CGame::CGame()
    : m_levelLoaded(0), m_pSplash(nullptr), m_pNotices(nullptr), m_pBuildSeams(std::make_unique<BuildSeams>(this)),
      m_pPlacement(m_pBuildSeams.get()), m_pFloors(m_pBuildSeams.get()), m_pShell(nullptr), m_setUp(0)
{
    Init();
}

void CGame::SetPlacement(CGamePlacement* placement) { m_pPlacement = placement ? placement : m_pBuildSeams.get(); }

void CGame::SetFloors(CGameFloors* floors) { m_pFloors = floors ? floors : m_pBuildSeams.get(); }

CGame::~CGame() { Release(); }

void CGame::Init()
{
    m_realFrameTime = 0.0f;
    m_gameOver = 0;
    m_inputBlocked = 0;
    m_worldPress = 0;
    m_gameFilePath.clear();
    m_startMonth = kGameStartMonth;
    m_startYear = kGameStartYear;
    m_gameSpeed = kNormalSpeed;
    m_resumeSpeed = kNormalSpeed;
    m_pPlacementTemplate = nullptr;
    m_pPlacementFactory = nullptr;
    m_dayCounter = 0;
    m_dayTimer = 0.0f;
    m_newDay = 0;
    m_language = 0;
    m_pDebugCharset = nullptr;
    m_pSelectedObject = nullptr;
    m_selectionChanged = 0;
    m_pPickedObject = nullptr;
    m_pickPoint = GxV3d{0.0f, 0.0f, 0.0f};
    m_scaledFrameTime = 0.0f;
    SetState(kFirstState);
}

void CGame::Release()
{
    ReleaseGame();
    if (m_pSoundManager) {
        m_pSoundManager->Close();
        m_pSoundManager.reset();
    }
    CFerroxGame::Release();
}

void CGame::ReleaseGame()
{
    if (m_pDebugCharset)
        GxCharsetDestroy(m_pDebugCharset);
    m_pDebugCharset = nullptr;
    if (m_pSplash)
        GxRasterDestroy(m_pSplash);
    m_pSplash = nullptr;
    m_pSelectionIndicator.reset();
    m_pPicker.reset();
    m_pPlacementController.reset();
    m_pSpawner.reset();
    CDynamicObjectManager* objects = m_setUp ? CDynamicObjectManager::Peek() : nullptr;
    if (objects)
        objects->DeleteAll();  // the objects go before the storeys they stand on
    m_pFloorManager.reset();
    if (m_setUp)
        CDynamicObjectManager::DestroyInstance();
    if (m_pObjectSeam && CDynamicObjectManager::GetSeam() == m_pObjectSeam.get())
        CDynamicObjectManager::SetSeam(nullptr);
    m_pObjectSeam.reset();
    GetShell()->Release();
    m_pConditions.reset();
    if (m_pSaveParts == m_pOwnSaveParts.get())
        m_pSaveParts = nullptr;
    m_pOwnSaveParts.reset();
    m_setUp = 0;
}

void CGame::QueueMessage(int16_t number)
{
    if (m_pNotices)
        m_pNotices->QueueMessage(number);
}

// The level's world file is named, so that the player knows what to restore; the leave state then takes the game
// back to the front end, and the front end to the level's city view.
void CGame::AbandonLevel()
{
    const int32_t level = m_pLevelManager ? m_pLevelManager->GetLevel() : -1;
    std::string path;
    if (!FerroxLevelPath(g_pFerroxSetupTree, level, &path))
        path.clear();
    std::fprintf(stderr, "mall: level %d (%s) cannot be loaded; back to its city view\n", static_cast<int>(level),
                 path.c_str());
    m_returnCity = level;
    m_gameFilePath.clear();
    SetState(kGameStateLeave);
}

void CGame::PlaySample(int32_t sample, int32_t volume)
{
    if (m_pNotices)
        m_pNotices->PlaySample(sample, volume);
    else
        PlaySoundManagerSample(sample, volume);
}

void CGame::PlaySoundManagerSample(int32_t sample, int32_t volume)
{
    if (m_pSoundManager)
        m_pSoundManager->PlaySample(sample, volume);
}

void CGame::ClosePopups()
{
    m_pSelectedObject = nullptr;
    m_selectionChanged = 1;
    if (m_pNotices)
        m_pNotices->ClosePopups();
}

void CGame::SetPlacementMode(int32_t mode, CFerroxAssetSet* objectTemplate, CFerroxObjectFactory* factory)
{
    m_pPlacement->SetMode(mode, objectTemplate, factory);
}

void CGame::StartObjectPlacement(uint16_t category, uint16_t index, CFerroxObjectFactory* factory)
{
    // Without a manager there are no templates.
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    CFerroxAssetSet* objectTemplate = manager ? manager->GetTemplate(category, index) : nullptr;
    if (!objectTemplate || !::IsTemplateAvailable(objectTemplate))
        return;
    m_pPlacementTemplate = objectTemplate;
    m_pPlacementFactory = factory;
    SetPlacementMode(GAME_PLACEMENT_OBJECT, objectTemplate, factory);
}

int CGame::IsTemplateAvailable(uint16_t category, uint16_t index)
{
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    CFerroxAssetSet* objectTemplate = manager ? manager->GetTemplate(category, index) : nullptr;
    if (!objectTemplate)
        return kNoSuchTemplate;
    return ::IsTemplateAvailable(objectTemplate);
}

void CGame::StartFloorTilePlacement(int32_t tile)
{
    if (tile != kGameKeepFloorTile)
        m_pFloors->SelectTile(tile);
    SetPlacementMode(GAME_PLACEMENT_FLOOR_TILES, nullptr, nullptr);
}

void CGame::StartPlacementMode3() { SetPlacementMode(GAME_PLACEMENT_CLEAR, nullptr, nullptr); }

void CGame::BuildWalls(int32_t value) { m_pPlacement->BuildWalls(value); }

void CGame::GoFloorDown()
{
    SetPlacementMode(GAME_PLACEMENT_NONE, nullptr, nullptr);
    m_pFloors->GoDown();
    ClosePopups();
}

void CGame::GoFloorUp()
{
    SetPlacementMode(GAME_PLACEMENT_NONE, nullptr, nullptr);
    m_pFloors->GoUp();
    ClosePopups();
}

int32_t CGame::GetCurrentFloor() { return m_pFloors->GetCurrentFloor(); }

int32_t CGame::GetBuiltFloors() { return m_pFloors->GetBuiltFloors(); }

void CGame::Pause()
{
    m_resumeSpeed = m_gameSpeed;
    m_gameSpeed = 0.0f;
    m_inputBlocked = 1;
}

void CGame::Resume()
{
    m_gameSpeed = m_resumeSpeed;
    m_inputBlocked = 0;
}

void CGame::LeaveAfterResult()
{
    SetState(kGameStateLeave);
    // Both flags: one left set would keep the speed keys and Escape dead in the next game.
    m_gameOver = 0;
    m_inputBlocked = 0;
}

void CGame::StartScenario(int32_t level, const char* path)
{
    if (m_pLevelManager)
        m_pLevelManager->SetLevel(level);
    m_gameFilePath = path ? path : "";
    SetState(kGameStateStart);
}

int16_t CGame::GetLanguage() const { return m_pLocale ? static_cast<int16_t>(m_pLocale->GetLanguage()) : m_language; }

void CGame::CameraUp() { MoveViewOneStorey(1); }

void CGame::CameraDown() { MoveViewOneStorey(0); }

void CGame::MoveViewOneStorey(int up)
{
    if (m_pPlacementController)
        m_pPlacementController->MoveGroundObject(up);
    const GxV3d step = {0.0f, up ? kStoreyHeight : -kStoreyHeight, 0.0f};
    if (m_pCamera)
        m_pCamera->Move(&step);
}

void CGame::PlayDefaultSample() { PlaySample(kSoundDefaultSample, kSoundFullVolume); }
